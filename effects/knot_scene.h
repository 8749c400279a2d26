// The twisting knot scene (orders 12-17): scene2Mesh along its camera path under a white light
// whose reach shrinks, one wall cross-fading from the "nappal" picture to its own texture, and the
// knot spliced into the mesh at start-up, twisted about its centre and drawn translucent.
#pragma once
#include <cstdint>

#include "assets/mesh.h"

namespace effects {

// The scene clock from show milliseconds: (ms - 78000) / 212, never below 0.
float knotSceneClock(uint32_t showMs);
// The cross-fade from show milliseconds: 1 before 80 s (the millisecond difference wraps to a huge
// number there), 0 at 80 s, rising linearly to 1 at 105 s and held there.
float knotFadeAt(uint32_t showMs);

// Writes the target's vertices from the rest shape: each vertex turned about the knot's centre by
// an angle that lags `lag` per unit of its distance from the origin, and pulled halfway towards
// the centre. Deforms as many vertices as both objects hold (any count; none for a missing array).
void deformKnot(assets::MeshObject& target, const assets::MeshObject& rest, float phase, float lag);

} // namespace effects
