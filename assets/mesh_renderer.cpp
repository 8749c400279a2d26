// The mesh renderer: places the first camera of a .p3d mesh on its Bezier path, moves each object
// along its own path and sends its triangles with per-vertex colours from the CPU point light.
// It trusts nothing about a mesh beyond what the loader promises (assets/mesh.h), and not even that
// for records changed or copied by hand: every path is placed within its own length, every
// material and vertex index is checked before use. The light and fade factors are exact: computed
// in double where that provably stores the same float as extended precision, in extended otherwise.
#include "assets/mesh_renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "assets/float_rounding.h"
#include "assets/triangle_arrays.h"
#include "platform/present.h"

namespace assets {

bool clearBeforeDraw = true;
bool lightingEnabled = false;
Colour ambientColour = {0, 0, 0};
Colour lightColour = {0, 0, 0};
Point3 lightPosition = {0, 0, 0};
float lightRange = 0;
Point3 meshScale = {1, 1, 1};
Point3 cameraEye = {0, 0, 0};
Point3 cameraTarget = {0, 0, 0};

namespace {

constexpr double aspect = 4.0 / 3.0;  // fixed: the picture is framed for 4:3 whatever the window
constexpr double nearPlane = 0.1;
constexpr double farPlane = 1000.0;
constexpr float projectionScale = 0.05f;

// Multiplies the frame's camera onto the current (projection) matrix. The 0.05 scale between
// perspective and look-at puts the near plane 2 and the far plane 20000 mesh units from the eye.
void applyCamera(float fieldOfView) {
    gluPerspective(fieldOfView, aspect, nearPlane, farPlane);
    glScalef(projectionScale, projectionScale, projectionScale);
    gluLookAt(cameraEye.x, cameraEye.y, cameraEye.z, cameraTarget.x, cameraTarget.y,
              cameraTarget.z, 0, 0, 1);
}

// The per-vertex data of the object being drawn; kept between calls so that drawing allocates
// nothing once the buffers have grown to the largest object.
TriangleArrays arrays;

// A mesh drawn backwards (see drawBackwards below): every object's triangles last to first, and
// the current colour and texture coordinate the first object drawn leaves, which the forward
// order's last object would have left.
struct BackwardsPass {
    bool on = false;
    bool leftSet = false;
    float colour[4] = {};
    float texCoord[2] = {};
};
BackwardsPass backwards;

void drawObjectTriangles(const MeshObject& object, const MeshMaterial& material, bool withAlpha,
                         float alpha) {
    if (!collectTriangles(arrays, object.triangles, object.triangleCount, object.vertexCount, backwards.on)) return;
    const size_t count = size_t(object.vertexCount);
    arrays.texCoords.resize(count * 2);
    for (size_t i = 0; i < count; ++i) {
        const TexCoord& uv = object.texCoords[i];
        arrays.texCoords[2 * i] = 1 - uv.u * material.uScale;
        arrays.texCoords[2 * i + 1] = 1 - uv.v * material.vScale;
    }
    // Colours go as an array even when they are all white: GL interpolates a per-vertex colour
    // differently from a constant one, by a level here and there.
    const float a = withAlpha ? alpha : 1.0f;
    arrays.colours.resize(count * 4);
    if (!object.lit) {
        for (size_t i = 0; i < count; ++i) {
            float* c = &arrays.colours[4 * i];
            c[0] = c[1] = c[2] = 1.0f;
            c[3] = a;
        }
    } else {
        // The light factor of a vertex is the same for every triangle that shares it.
        lightFactors(object.vertices, count, arrays.factors);
        for (size_t i = 0; i < count; ++i) {
            const float k = arrays.factors[i];
            float* c = &arrays.colours[4 * i];
            c[0] = ambientColour.r + k * lightColour.r;
            c[1] = ambientColour.g + k * lightColour.g;
            c[2] = ambientColour.b + k * lightColour.b;
            c[3] = a;
        }
    }
    drawTriangleArrays(arrays, object.vertices, object.vertexCount);
    if (backwards.on && !backwards.leftSet) {
        const size_t last = size_t(arrays.lastCorner);
        std::copy_n(&arrays.colours[last * 4], 4, backwards.colour);
        std::copy_n(&arrays.texCoords[last * 2], 2, backwards.texCoord);
        backwards.leftSet = true;
    }
}

ObjectSubmission submitObject = drawObjectTriangles;

// Binds the object's texture and loads its matrices.
void placeObject(const Mesh& mesh, const MeshObject& object, float t, float fieldOfView) {
    const MeshMaterial& material = mesh.materials[object.materialIndex];

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, material.texture);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();

    // The object's path is placed by its own length: a record copied in from another mesh may
    // have a shorter path than this mesh's camera.
    Point3 offset = {0, 0, 0};
    PathPlace place;
    if (object.hasPath && object.path && placeOnPath(t, object.pathPointCount, place))
        offset = pathPoint(object.path, place);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(offset.x, offset.y, offset.z);
    glMatrixMode(GL_PROJECTION);
    applyCamera(fieldOfView);
    glMatrixMode(GL_MODELVIEW);
    glScalef(meshScale.x, meshScale.y, meshScale.z);
}

void drawObject(const Mesh& mesh, const MeshObject& object, float t, float fieldOfView,
                bool withAlpha, float alpha) {
    placeObject(mesh, object, t, fieldOfView);
    const MeshMaterial& material = mesh.materials[object.materialIndex];
    if (object.triangleCount <= 0 || !object.triangles || !object.vertices || !object.texCoords ||
        !platform::frameSeen())
        return;
    submitObject(object, material, withAlpha, alpha);
}

bool drawsObject(const Mesh& mesh, int32_t i, int32_t only) {
    if (only >= 0 && i != only) return false;
    const MeshObject& object = mesh.objects[i];
    if (object.materialIndex < 0 || object.materialIndex >= mesh.materialCount) return false;
    if (mesh.materials[object.materialIndex].skip != 0.0f) return false;
    return only >= 0 || object.visible;
}

// ---- Drawing a mesh backwards ----
//
// llvmpipe tests depth before it shades, so a fragment hidden by one drawn before it costs next to
// nothing. A mesh whose later objects stand in front of its earlier ones (the opening hall: its
// shell first, then the trusses, pipes and tanks inside) is therefore much cheaper drawn from its
// last triangle to its first. With an opaque depth-tested draw that gives exactly the same picture
// if the depth test is made strict where it was not (and the other way round): on every pixel the
// forward order keeps the last of the fragments at the nearest depth (GL_LEQUAL lets a later one
// at the same depth replace it), the backward order the first of them it meets, which is that same
// fragment. Colour and depth buffers come out the same bits, ties included (objects that touch
// round to the same depth along their seams), and the GL state is put back as the forward order
// leaves it. The one exception would be a fragment exactly at the far plane's depth, which is
// kept forwards and dropped backwards; nothing of the show comes within 1/1000 of it.

// The depth test with which the order of opaque objects cannot change the picture beyond ties
// (every fragment kept or dropped by a test that writes, nothing blended): GL_LESS or GL_LEQUAL;
// 0 otherwise.
GLint orderFreeDepthTest() {
    if (!glIsEnabled(GL_DEPTH_TEST) || glIsEnabled(GL_BLEND)) return 0;
    GLboolean writes = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
    GLint test = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &test);
    return writes && (test == GL_LESS || test == GL_LEQUAL) ? test : 0;
}

// How far from the eye an object's farthest part can be: the distance to the centre of its box,
// plus half the box's diagonal.
double farthestReach(const MeshObject& object, float t) {
    if (object.vertexCount <= 0 || !object.vertices) return 0;
    Point3 low = object.vertices[0], high = object.vertices[0];
    for (int32_t i = 1; i < object.vertexCount; ++i) {
        const Point3& v = object.vertices[i];
        low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
        high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
    }
    Point3 offset = {0, 0, 0};
    PathPlace place;
    if (object.hasPath && object.path && placeOnPath(t, object.pathPointCount, place))
        offset = pathPoint(object.path, place);
    const double cx = offset.x + meshScale.x * (double(low.x) + high.x) / 2 - cameraEye.x;
    const double cy = offset.y + meshScale.y * (double(low.y) + high.y) / 2 - cameraEye.y;
    const double cz = offset.z + meshScale.z * (double(low.z) + high.z) / 2 - cameraEye.z;
    const double sx = meshScale.x * (double(high.x) - low.x), sy = meshScale.y * (double(high.y) - low.y),
                 sz = meshScale.z * (double(high.z) - low.z);
    return std::sqrt(cx * cx + cy * cy + cz * cz) + std::sqrt(sx * sx + sy * sy + sz * sz) / 2;
}

// Whether the objects drawn later tend to lie nearer the eye: the covariance of their place in
// the mesh and their farthest reach, each object weighted by its triangles, is negative. Only the
// cost depends on it, never the picture. (The opening hall and the knot and sphere rooms come out
// backwards, the flare's temple forwards: the order with the fewer fragments in each.)
bool nearerLater(const Mesh& mesh, float t) {
    double sumW = 0, sumI = 0, sumR = 0, sumIR = 0;
    for (int32_t i = 0; i < mesh.objectCount; ++i) {
        if (!drawsObject(mesh, i, -1) || mesh.objects[i].triangleCount <= 0) continue;
        const double w = mesh.objects[i].triangleCount, r = farthestReach(mesh.objects[i], t);
        if (!std::isfinite(r)) return false;  // a file's wild coordinates: keep to its order
        sumW += w, sumI += w * i, sumR += w * r, sumIR += w * i * r;
    }
    return sumIR * sumW - sumI * sumR < 0;
}

void drawBackwards(const Mesh& mesh, float t, float fieldOfView, GLint depthTest) {
    glDepthFunc(depthTest == GL_LEQUAL ? GL_LESS : GL_LEQUAL);
    backwards = BackwardsPass{};
    backwards.on = true;
    int32_t lastPlaced = -1;
    for (int32_t i = mesh.objectCount - 1; i >= 0; --i) {
        if (!drawsObject(mesh, i, -1)) continue;
        if (lastPlaced < 0) lastPlaced = i;
        drawObject(mesh, mesh.objects[i], t, fieldOfView, false, 1.0f);
    }
    backwards.on = false;
    glDepthFunc(GLenum(depthTest));
    if (lastPlaced >= 0) placeObject(mesh, mesh.objects[lastPlaced], t, fieldOfView);
    if (backwards.leftSet) {
        glColor4fv(backwards.colour);
        glTexCoord2fv(backwards.texCoord);
    }
}

// The shared body of drawMesh (only < 0: every visible object) and drawMeshObject.
void drawObjects(const Mesh& mesh, float t, int32_t only, bool withAlpha, float alpha) {
    if (clearBeforeDraw) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (mesh.cameraCount < 1 || !mesh.cameras) return;
    const MeshCamera& camera = mesh.cameras[0];
    PathPlace place;
    if (!camera.eye || !camera.target || !placeOnPath(t, mesh.pathPointCount, place)) return;

    cameraEye = pathPoint(camera.eye, place);
    cameraTarget = pathPoint(camera.target, place);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    applyCamera(camera.fieldOfView);

    if (mesh.objectCount < 1 || !mesh.objects || !mesh.materials) return;
    // Unseen frames draw nothing, so the order is not worth working out; an installed submission
    // is compared with the default in the mesh's own order.
    if (only < 0 && platform::frameSeen() && submitObject == drawObjectTriangles) {
        const GLint depthTest = orderFreeDepthTest();
        if (depthTest && nearerLater(mesh, t)) return drawBackwards(mesh, t, camera.fieldOfView, depthTest);
    }
    for (int32_t i = 0; i < mesh.objectCount; ++i)
        if (drawsObject(mesh, i, only)) drawObject(mesh, mesh.objects[i], t, camera.fieldOfView, withAlpha, alpha);
}

} // namespace

double bezierPoint(double f, double p0, double p1MinusP0, double p3MinusP2, double p3) {
    const long double s = f, a = p0, b = p1MinusP0, c = p3MinusP2, d = p3;
    const long double r = 1 - s;
    return double(r * r * (r * a + 3 * s * (a + b)) + s * s * (s * d + 3 * r * (d - c)));
}

bool placeOnPath(float t, int32_t points, PathPlace& place) {
    if (points < 4) return false;
    const int32_t lastSegment = (points - 1) / 3 - 1;
    if (!(t > 0)) {  // negative or NaN
        place = {0, 0};
        return true;
    }
    const float whole = std::trunc(t);
    if (whole > float(lastSegment)) {
        place = {lastSegment, 1};
        return true;
    }
    place = {int32_t(whole), t - whole};
    return true;
}

namespace {
float bezierCoordinate(float f, float p0, float p1, float p2, float p3) {
    return float(bezierPoint(f, p0, double(p1) - p0, double(p3) - p2, p3));
}
} // namespace

Point3 pathPoint(const Point3* points, PathPlace place) {
    const Point3* p = points + 3 * place.segment;
    return {bezierCoordinate(place.f, p[0].x, p[1].x, p[2].x, p[3].x),
            bezierCoordinate(place.f, p[0].y, p[1].y, p[2].y, p[3].y),
            bezierCoordinate(place.f, p[0].z, p[1].z, p[2].z, p[3].z)};
}

namespace {
// 1 - distance / range in extended precision, as the float stored from it.
float extendedFade(float x, float y, float z, Point3 centre, float range) {
    const long double ex = x - (long double)centre.x;
    const long double ey = y - (long double)centre.y;
    const long double ez = z - (long double)centre.z;
    return float(1 - std::sqrt(ex * ex + ey * ey + ez * ez) / range);
}

// In double first: its result lies within a few units in the 16th digit of the extended one, so
// wherever that cannot cross a float rounding boundary it stores the same float. For a range > 0.
float quickFade(const Point3& p, Point3 centre, float range, double inverse) {
    const double dx = double(p.x) - centre.x, dy = double(p.y) - centre.y, dz = double(p.z) - centre.z;
    const double share = std::sqrt(dx * dx + dy * dy + dz * dz) * inverse;
    const double quick = 1 - share;
    if (roundsToSameFloat(quick, 0x1p-48 * (share + 1))) return float(quick);
    return extendedFade(p.x, p.y, p.z, centre, range);
}

float clampFade(float v) {
    if (v > 1) return 1.0f;
    if (!(v >= 0)) return 0.0f;  // also a point on the centre with range 0 (0 / 0)
    return v;
}
} // namespace

float distanceFade(float x, float y, float z, Point3 centre, float range) {
    float fade;
    const Point3 point = {x, y, z};
    distanceFades(&point, 1, centre, range, &fade);
    return fade;
}

void distanceFades(const Point3* points, size_t count, Point3 centre, float range, float* fades) {
    if (!(range > 0) || !std::isfinite(range)) {
        for (size_t i = 0; i < count; ++i) fades[i] = extendedFade(points[i].x, points[i].y, points[i].z, centre, range);
        return;
    }
    const double inverse = 1.0 / range;
    for (size_t i = 0; i < count; ++i) fades[i] = quickFade(points[i], centre, range, inverse);
}

void clampedDistanceFades(const Point3* points, size_t count, Point3 centre, float range, float* fades) {
    if (!(range > 0) || !std::isfinite(range)) {
        distanceFades(points, count, centre, range, fades);
        for (size_t i = 0; i < count; ++i) fades[i] = clampFade(fades[i]);
        return;
    }
    // A point farther out than the range by more than the squared distance's rounding error (a few
    // units in the 16th digit) fades below 0, which clamps to 0: no square root needed. Most of a
    // cave or a hall lies out there.
    const double inverse = 1.0 / range;
    const double beyond = double(range) * double(range) * (1 + 0x1p-30);
    for (size_t i = 0; i < count; ++i) {
        const Point3& p = points[i];
        const double dx = double(p.x) - centre.x, dy = double(p.y) - centre.y, dz = double(p.z) - centre.z;
        fades[i] = dx * dx + dy * dy + dz * dz > beyond ? 0.0f : clampFade(quickFade(p, centre, range, inverse));
    }
}

float lightFactor(float x, float y, float z) {
    if (!lightingEnabled) return 1.0f;
    return clampFade(distanceFade(x, y, z, lightPosition, lightRange));
}

void lightFactors(const Point3* points, size_t count, std::vector<float>& factors) {
    factors.resize(count);
    if (!lightingEnabled) {
        std::fill(factors.begin(), factors.end(), 1.0f);
        return;
    }
    clampedDistanceFades(points, count, lightPosition, lightRange, factors.data());
}

void setObjectSubmission(ObjectSubmission submission) {
    submitObject = submission ? submission : drawObjectTriangles;
}

void drawMesh(const Mesh& mesh, float t) { drawObjects(mesh, t, -1, false, 1.0f); }

void drawMeshObject(const Mesh& mesh, float t, int32_t index, float alpha) {
    // A negative index would mean "all" to the shared body; it names no object here.
    if (index < 0) index = INT32_MAX;
    drawObjects(mesh, t, index, true, alpha);
}

} // namespace assets
