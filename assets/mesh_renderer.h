// The mesh renderer: draws a .p3d mesh as its first camera sees it at a path time, with objects
// moved along their own paths and every vertex coloured by a CPU point light. The settings below
// are read by every draw call; the scene routines set them directly or through assets/gl_state.h.
//
// Safe with any mesh: a mesh without a camera, or whose camera path holds no complete Bezier
// segment (fewer than 4 points), draws nothing after the optional clear and leaves cameraEye and
// cameraTarget unchanged. A path time below 0 (or NaN) uses the start of the first segment, one
// beyond the path the end of the last complete segment. Objects whose material index is outside
// the mesh's materials, and triangles with a vertex index outside their object, are not drawn.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/mesh.h"

namespace assets {

struct Colour { float r, g, b; };

// Settings (process lifetime).
extern bool clearBeforeDraw;      // clear colour and depth at the start of every draw call; true
extern bool lightingEnabled;      // false: every light factor is 1; false at start
extern Colour ambientColour;      // added to every lit vertex
extern Colour lightColour;        // scaled by the light factor
extern Point3 lightPosition;      // object-space units
extern float lightRange;          // distance at which the light factor reaches 0
extern Point3 meshScale;          // model scale of every object; (1, 1, 1) at start

// Outputs of the last draw call.
extern Point3 cameraEye;
extern Point3 cameraTarget;

// Clears (if clearBeforeDraw), loads the camera's projection and draws every object that is visible
// and whose material's skip value is exactly 0. Leaves the projection (perspective x 0.05 scale x
// look-at) loaded; the matrix mode is GL_MODELVIEW after the last object, GL_PROJECTION if none.
void drawMesh(const Mesh& mesh, float t);

// The same for object `index` alone (visible flag ignored, skip value honoured), every colour sent
// with this alpha. Blending is left as the caller set it. An index out of range draws no object.
void drawMeshObject(const Mesh& mesh, float t, int32_t index, float alpha);

// One coordinate of the cubic Bezier segment P0..P3 at f in [0, 1], from P0, P1 - P0, P3 - P2, P3.
double bezierPoint(double f, double p0, double p1MinusP0, double p3MinusP2, double p3);

// Where on a path of `points` Bezier control points (3 per segment, plus 1) the time t falls:
// segment and fraction. Returns false when the path holds no complete segment. Times outside the
// path are held at its ends (below 0 or NaN: the start; past the end: the end of the last complete
// segment), so that no point beyond the array is ever read.
struct PathPlace {
    int32_t segment;
    float f;
};
bool placeOnPath(float t, int32_t points, PathPlace& place);
// The point at `place` on the path through `points`.
Point3 pathPoint(const Point3* points, PathPlace place);

// 1 - distance to lightPosition / lightRange, clamped to [0, 1]; 1 when lighting is off.
float lightFactor(float x, float y, float z);

// lightFactor of every point, into factors (resized to count).
void lightFactors(const Point3* points, size_t count, std::vector<float>& factors);

// 1 - (distance from (x, y, z) to centre) / range, evaluated in extended precision and stored as a
// float, not clamped: the falloff of the light and of the barlang cave's fade with the eye.
float distanceFade(float x, float y, float z, Point3 centre, float range);
// The same for every point, into fades[0 .. count - 1].
void distanceFades(const Point3* points, size_t count, Point3 centre, float range, float* fades);
// The same clamped to [0, 1] (NaN to 0), the same floats as clamping distanceFades' but without
// the square root for points beyond the range.
void clampedDistanceFades(const Point3* points, size_t count, Point3 centre, float range, float* fades);

// How one object's triangles reach GL once its texture and matrices are set: by default as vertex
// arrays, every vertex lit once (assets/triangle_arrays.h). Another submission may be installed to
// compare pictures or cost with the default in one run; nullptr restores the default. Nothing is
// submitted while platform::frameSeen() is false.
using ObjectSubmission = void (*)(const MeshObject& object, const MeshMaterial& material, bool withAlpha,
                                  float alpha);
void setObjectSubmission(ObjectSubmission submission);

} // namespace assets
