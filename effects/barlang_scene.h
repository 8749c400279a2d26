// The barlang flight (orders 8-11): the camera path of barlangMesh flown through the cave, its
// walls fading to black away from the eye, and the keyframed scene's "GeoSphere0" drawn as moving
// lit patches under a breathing camera of its own: mirrored under the water (object 0, blended
// multiplicatively over it) and upright on top of everything.
#pragma once
#include <cstddef>
#include <cstdint>

#include "assets/mesh.h"
#include "effects/effects.h"

namespace effects {

// Texture scroll of the water: grows by 0.002 for every object drawn, every frame.
extern float floorScroll;

// The scene clock from show milliseconds: (ms - 52000) / 2500, never below 0.
float barlangSceneClock(uint32_t showMs);

// Brightness of a cave vertex: 1 at the eye of the current frame, falling linearly to 0 at 2500
// mesh units from it.
float eyeFade(float x, float y, float z);
// The same for every point, into fades[0 .. count - 1].
void eyeFades(const assets::Point3* points, size_t count, float* fades);

// How a cave object's triangles reach GL once its texture and camera are set: by default as vertex
// arrays, every vertex faded once. Another submission may be installed to compare pictures or cost
// with the default in one run; nullptr restores the default. Nothing is submitted while
// platform::frameSeen() is false.
using CaveObjectSubmission = void (*)(const assets::MeshObject& object, const assets::MeshMaterial& material,
                                      bool water, float scroll);
void setCaveObjectSubmission(CaveObjectSubmission submission);

// "GeoSphere0" upright, and its mirror image seen from 121 units higher up. Each clears the depth
// buffer first, so the sphere lies over what was drawn before. Both draw nothing when the
// keyframed scene did not load or lacks its camera or sphere. The sphere's vertex data is flipped
// in y by every draw; the scene draws the mirror first and the upright second, so it is upright
// again at the end of each frame.
void drawEngineSphere();
void drawEngineSphereMirror();

} // namespace effects
