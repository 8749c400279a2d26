// Draws one engine mesh as thick shell patches: only where four moving directional lights sum to
// more than 1.0, cut along that iso-line per triangle, with an inner copy scaled to 0.6 and walls
// joining the two along the cut. Grey level and texture coordinates come from the vertex normals,
// so the bound texture acts as a normal-based map. The caller sets up matrices, texture and state.
#pragma once
#include "engine/scene.h"

namespace engine {

// Also negates every vertex's y in place (so successive calls alternate between the mesh and its
// mirror image) and leaves each vertex's light sum in transformedPosition.x. Vertex normals must
// have been computed.
void drawLitPatches(TriMesh& mesh, float time, float intensity, float amp);

// The point on A..B where the linear interpolation of the sums sA, sB equals 1.0. out is left as
// it was when the sums are equal.
void thresholdPoint(Vec3& out, Vec3 a, Vec3 b, float sA, float sB);

} // namespace engine
