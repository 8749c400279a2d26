// The flare scene (orders 4-7): the temple under a white light with a camera-facing flare that
// grows with time; it starts under a white overlay that fades out frame by frame, and order 7 ends
// it by brightening to white.
#pragma once
#include <cstdint>

namespace effects {

// The scene clock from show milliseconds: (ms - 26500) / 400, never below 0.
float flareSceneClock(uint32_t showMs);
// White overlay steps, counted in frames: the fade after the flash (-0.05, not below 0) and the
// build-up before the next scene (+0.1, not below 0, no upper limit).
float fadeStep(float level);
float buildUpStep(float level);

// Steps shared by both routines: the clock, the light, the mesh and the flare of this frame's size.
// `sizeFromClock` makes the flare 4 x the new clock instead of the size the spine computed.
void drawFlareFrame(bool sizeFromClock);

} // namespace effects
