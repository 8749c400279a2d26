// The blob sphere scene (orders 22-27): scene3Mesh along its camera path under a white light, with
// the sphere spliced into it at start-up boiling under four octaves of drifting sine waves and
// drawn translucent.
#pragma once
#include <cstdint>

#include "assets/mesh.h"

namespace effects {

// One octave of the wave along `axis` (0-2) at (u, v).
float wave(int32_t axis, int32_t octave, float u, float v);
// Octaves 0-3 at doubling frequency and halving weight; always below 15/16 in magnitude.
float waveSum(int32_t axis, float u, float v);

// Writes the target's vertices from the rest shape, each coordinate pushed by `amplitude` times a
// wave sum at `phase`, so no coordinate moves by 15/16 of the amplitude or more. Deforms as many
// vertices as both objects hold (none for a missing array).
void deformSphere(assets::MeshObject& target, const assets::MeshObject& rest, float phase,
                  float amplitude);

} // namespace effects
