// Indexed vertex-array submission of triangle lists. Triangles whose corners lie outside the
// vertex array are left out when the index list is built, so the draw never reads past it.
#include "assets/triangle_arrays.h"

#include <GL/gl.h>

namespace assets {

bool collectTriangles(TriangleArrays& arrays, const Triangle* triangles, int32_t triangleCount,
                      int32_t vertexCount, bool backwards) {
    arrays.indices.clear();
    arrays.lastCorner = -1;
    if (!triangles || triangleCount <= 0 || vertexCount <= 0) return false;
    arrays.indices.reserve(size_t(triangleCount) * 3);
    const uint32_t count = uint32_t(vertexCount);
    for (int32_t k = 0; k < triangleCount; ++k) {
        const Triangle& t = triangles[backwards ? triangleCount - 1 - k : k];
        if (uint32_t(t.a) >= count || uint32_t(t.b) >= count || uint32_t(t.c) >= count) continue;
        // GL turns a polygon into a fan whose triangles end on its first corner.
        arrays.indices.insert(arrays.indices.end(), {uint32_t(t.b), uint32_t(t.c), uint32_t(t.a)});
        if (!backwards || arrays.lastCorner < 0) arrays.lastCorner = t.c;
    }
    return !arrays.indices.empty();
}

void drawTriangleArrays(const TriangleArrays& arrays, const Point3* vertices, int32_t vertexCount) {
    if (arrays.indices.empty() || arrays.lastCorner < 0) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Point3), vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, arrays.texCoords.data());
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_FLOAT, 0, arrays.colours.data());
    glDrawRangeElements(GL_TRIANGLES, 0, GLuint(vertexCount - 1), GLsizei(arrays.indices.size()),
                        GL_UNSIGNED_INT, arrays.indices.data());
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);

    const size_t last = size_t(arrays.lastCorner);
    glColor4fv(&arrays.colours[last * 4]);
    glTexCoord2fv(&arrays.texCoords[last * 2]);
}

} // namespace assets
