// White flashes over scene changes: a uniform grey added to the whole frame after the scene.
#pragma once

namespace effects {

// Grey level of the flash for a row (never below 0).
float flashInLevel(int row);    // 1 - row / 10
float flashOutLevel(int row);   // (row - 53) / 10

// Adds (level, level, level) to the whole viewport: identity matrices, additive blending, no
// depth test, no texture. Leaves blending off, depth test and texturing on, both matrices identity.
void addFullScreenGrey(float level);

} // namespace effects
