// Title, credit and greeting strips: rectangles of a 256 x 256 texture laid additively over the
// scene, each fading in and out over its own window of the overlay clock (680 ms per unit).
#pragma once
#include <cstdint>

namespace effects {

// The strip's intensity at overlay time t for the window start..end; `visible` is false outside
// the window (at t == start or t >= end nothing is drawn at all). A drawn strip may still have an
// intensity <= 0, which adds nothing.
float overlayIntensity(float t, float start, float end, bool* visible);

void drawTimedOverlay(uint32_t texture, float srcLeft, float srcTop, float srcRight, float srcBottom,
                      float dstLeft, float dstTop, float dstRight, float dstBottom, float start, float end);

} // namespace effects
