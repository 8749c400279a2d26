// Vertex-array submission of a textured, coloured triangle list (a mesh object, a cave wall): the
// caller computes each vertex's texture coordinate and colour once into reused buffers, and the
// whole list goes to GL with the object's own positions in one indexed draw.
//
// Each triangle is sent with its corners in the order GL rasterises a three-corner GL_POLYGON
// (b, c, a), so edge and interpolation arithmetic sees the same vertices in the same roles as a
// triangle drawn on its own as a polygon, and gives the same picture.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/mesh.h"

namespace assets {

struct TriangleArrays {
    std::vector<float> texCoords;   // u, v per vertex
    std::vector<float> colours;     // r, g, b, a per vertex
    std::vector<float> factors;     // the light or fade factor per vertex the colours come from
    std::vector<uint32_t> indices;  // three per drawable triangle
    int32_t lastCorner = -1;        // the last corner of the last drawable triangle (its c)
};

// Fills arrays.indices (and lastCorner) from the triangles whose three corners all lie in
// 0..vertexCount-1; the others are left out. Returns false when none is left. `backwards` lists
// them from the last to the first; lastCorner is still the last one's c.
bool collectTriangles(TriangleArrays& arrays, const Triangle* triangles, int32_t triangleCount,
                      int32_t vertexCount, bool backwards = false);

// Draws the collected triangles with positions from `vertices` and the arrays' texture
// coordinates and colours (which must hold every vertex). Leaves GL's current colour and texture
// coordinate at the last corner's, as drawing the triangles one by one as polygons would (later
// immediate-mode drawing that sets no colour of its own inherits it), and no client array enabled.
void drawTriangleArrays(const TriangleArrays& arrays, const Point3* vertices, int32_t vertexCount);

} // namespace assets
