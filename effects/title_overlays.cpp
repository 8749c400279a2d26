// The title, credit and greeting strips: two tables of strips with their texture rectangles,
// screen rectangles and windows of the overlay clock, faded in and out.
#include "effects/title_overlays.h"

#include "assets/screen_quad.h"
#include "core/show_state.h"
#include "effects/effects.h"

namespace effects {

namespace {
struct Strip {
    float srcLeft, srcTop, srcRight, srcBottom;
    float dstLeft, dstTop, dstRight, dstBottom;
    float start, end;
};

// The title and its subtitle share one window; the five credit lines follow one another every
// 5 units at the lower right, each cross-fading into the next.
const Strip titleStrips[] = {
    {0, 0, 256, 45, 64, 195, 576, 285, 5, 35},
    {0, 45, 256, 60, 64, 260, 576, 275, 5, 35},
    {0, 241, 256, 256, 320, 400, 576, 416, 30, 40},
    {0, 225, 256, 239, 320, 400, 576, 416, 25, 35},
    {0, 209, 256, 224, 320, 400, 576, 416, 20, 30},
    {0, 193, 256, 207, 320, 400, 576, 416, 15, 25},
    {0, 176, 256, 192, 320, 400, 576, 416, 10, 20},
};

struct GreetingStrip {
    float srcTop, srcBottom, start, end;
};
const GreetingStrip greetingStrips[] = {
    {5, 27, 180, 186},     {28, 50, 183, 189},    {51, 73, 186, 192},    {74, 96, 189, 195},
    {96, 118, 192, 198},   {116, 138, 195, 201},  {138, 160, 198, 204},  {160, 182, 201, 207},
    {182, 204, 204, 210},  {204, 226, 207, 213},  {226, 248, 210, 216},
};
} // namespace

float overlayIntensity(float t, float start, float end, bool* visible) {
    double s = start, e = end, time = t;
    double mid = (s + e) / 2.0;
    double step = (e - s) / 2.5;
    *visible = true;
    // Rising to 1.25 at mid (clamped to 1 by GL from 40 % on), then stepping down to 0.8 and falling.
    if (s < time && time < mid) return float((time - s) / step);
    if (mid <= time && time < e) return float(0.8 - (time - mid) / step);
    *visible = false;
    return 0.0f;
}

void drawTimedOverlay(uint32_t texture, float srcLeft, float srcTop, float srcRight, float srcBottom,
                      float dstLeft, float dstTop, float dstRight, float dstBottom, float start, float end) {
    bool visible = false;
    float intensity = overlayIntensity(core::overlayTime, start, end, &visible);
    if (!visible) return;
    assets::drawScreenQuad(texture, srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom,
                           intensity);
}

void drawTitleOverlays() {
    for (const Strip& s : titleStrips)
        drawTimedOverlay(core::titleTexture, s.srcLeft, s.srcTop, s.srcRight, s.srcBottom, s.dstLeft, s.dstTop,
                         s.dstRight, s.dstBottom, s.start, s.end);
}

void drawGreetingOverlays() {
    for (const GreetingStrip& s : greetingStrips)
        drawTimedOverlay(core::greetsTexture, 0, s.srcTop, 256, s.srcBottom, 250, 392, 634, 424, s.start, s.end);
}

} // namespace effects
