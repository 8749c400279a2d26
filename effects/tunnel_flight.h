// The tunnel flight (orders 18-21): the camera rides the closed random flight path through a tube
// built around it every frame, an opaque outer tube with a brighter inner tube added on top, both
// textured with scrolling coordinates and fading to black ahead.
#pragma once
#include <cstdint>

#include "engine/vecmath.h"

namespace effects {

// The flight clock from show milliseconds: one path sample every 150 ms.
float tunnelClock(uint32_t showMs);

// Eye and target at flight time t: on the curve between the samples around t, the target three
// samples further on.
void flightCamera(float t, engine::Vec3& eye, engine::Vec3& target);

// Vertex `segment` (0..16, 16 closing the ring) of the ring of `radius` around path sample
// `ring` (any integer: the low 7 bits pick the sample, so -1 is sample 127).
engine::Vec3 ringPoint(int32_t ring, int32_t segment, float radius);

// Grey level of the rings at `ring`: 1 one sample ahead of the camera, 0 eight samples ahead.
// Not clamped: OpenGL clamps the colour.
float ringBrightness(float t, int32_t ring);

} // namespace effects
