// Draws one engine mesh as thick shell patches: only where four moving directional lights sum to
// more than 1.0, cut along that iso-line per triangle, with an inner copy scaled to 0.6 and walls
// joining the two along the cut. Grey level and texture coordinates come from the vertex normals,
// so the bound texture acts as a normal-based map. The caller sets up matrices, texture and state.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/scene.h"

namespace engine {

// Also negates every vertex's y in place (so successive calls alternate between the mesh and its
// mirror image) and leaves each vertex's light sum in transformedPosition.x. Vertex normals must
// have been computed.
void drawLitPatches(TriMesh& mesh, float time, float intensity, float amp);

// What one drawLitPatches call draws, in drawing order: its vertices, and the groups of them that
// form GL_TRIANGLES and GL_QUADS primitives. By default it goes to GL as vertex arrays in one draw;
// another submission may be installed to compare pictures or cost with the default in one run;
// nullptr restores the default. Nothing is submitted while platform::frameSeen() is false.
struct PatchVertex {
    float x, y, z;
    float r, g, b;
    float s, t;
};
struct PatchGroup {
    uint32_t mode;  // GL_TRIANGLES or GL_QUADS
    uint32_t first, count;
};
struct PatchBatch {
    std::vector<PatchVertex> vertices;
    std::vector<PatchGroup> groups;
};
using PatchSubmission = void (*)(const PatchBatch& batch);
void setPatchSubmission(PatchSubmission submission);

// The point on A..B where the linear interpolation of the sums sA, sB equals 1.0. out is left as
// it was when the sums are equal.
void thresholdPoint(Vec3& out, Vec3 a, Vec3 b, float sA, float sB);

} // namespace engine
