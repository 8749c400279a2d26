// The frame loop's spine: which routines each moment of the song draws (planFrame, one table of the
// song's stretches), and the turn of the loop that reads the music position, sets the clocks the
// spine owns and calls the plan's routines (runFrame). It trusts the music position to come from
// a 16-bit order and row; anything else draws nothing.
#include "core/timeline.h"

#include <GL/gl.h>

#include "core/frame_timer.h"
#include "core/music.h"
#include "core/show_state.h"
#include "core/window.h"
#include "effects/effects.h"

namespace core {

namespace {
void clearFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

// The routines that more than one moment of the song calls.
constexpr Routine CLEAR = {"clear", clearFrame};
constexpr Routine TITLE_OVERLAYS = {"drawTitleOverlays", effects::drawTitleOverlays};
constexpr Routine FLASH_IN = {"drawFlashIn", effects::drawFlashIn};
constexpr Routine FLASH_OUT = {"drawFlashOut", effects::drawFlashOut};

void call(const Routine& routine) {
    if (routine.draw) routine.draw();
}
} // namespace

FramePlan planFrame(int32_t order, int32_t row) {
    FramePlan plan;
    if (order > 27) {
        if (row > 16) {
            plan.ended = true;
            return plan;
        }
        plan.scene = CLEAR;
        plan.clearOnly = true;
        if (order == 28 && row < 16) plan.flash = FLASH_IN;
        return plan;
    }
    // Each stretch of the song: its scene, its overlay, its first and last order for the flashes.
    struct Stretch {
        int32_t first, last;
        Routine scene;
        Routine overlay;
        bool flashes;
    };
    static constexpr Stretch stretches[] = {
        {22, 27, {"drawScene3Sphere", effects::drawScene3Sphere}, {}, true},
        {18, 21, {"drawTex32Scene", effects::drawTex32Scene},
         {"drawGreetingOverlays", effects::drawGreetingOverlays}, true},
        {12, 17, {"drawScene2Knot", effects::drawScene2Knot}, {}, true},
        {8, 11, {"drawBarlangScene", effects::drawBarlangScene}, {}, true},
        {7, 7, {"drawFlareSceneEnding", effects::drawFlareSceneEnding}, {}, false},
        {4, 6, {"drawFlareScene", effects::drawFlareScene}, {}, false},
        {3, 3, {"drawOpeningBuildUp", effects::drawOpeningBuildUp}, TITLE_OVERLAYS, false},
        {0, 2, {"drawOpeningScene", effects::drawOpeningScene}, TITLE_OVERLAYS, false},
    };
    for (const Stretch& s : stretches) {
        if (order < s.first || order > s.last) continue;
        plan.scene = s.scene;
        plan.overlay = s.overlay;
        if (s.flashes && order == s.first && row < 10) plan.flash = FLASH_IN;
        else if (s.flashes && order == s.last && row > 54) plan.flash = FLASH_OUT;
        return plan;
    }
    return plan;  // negative orders cannot come from a 16-bit field; draw nothing
}

float flareSizeFor(float sceneClock) {
    // Evaluated in double, stored as float; each dip shrinks to a fraction of 4*s, holds at 0,
    // then grows back from the same fraction.
    double s = sceneClock;
    double factor = 1.0;
    if (s > 27.5 && s < 27.8) factor = 1.0 - (s - 27.5);
    else if (s >= 27.8 && s <= 28.2) factor = 0.0;
    else if (s > 28.2 && s < 28.5) factor = s - 28.2 + 0.7;
    else if (s > 32.0 && s < 32.5) factor = 1.0 - (s - 32.0);
    else if (s >= 32.5 && s <= 33.5) factor = 0.0;
    else if (s > 33.5 && s < 34.0) factor = s - 33.5 + 0.5;
    else if (s > 43.5 && s < 44.0) factor = 1.0 - (s - 43.5);
    else if (s >= 44.0 && s <= 45.0) factor = 0.0;
    else if (s > 45.0 && s < 45.5) factor = s - 45.0 + 0.5;
    return float(factor * s * 4.0);
}

FramePlan runFrame() {
    uint32_t rowWord = getMusicPosition();
    musicRow = int32_t(rowWord >> 16);
    uint32_t orderWord = getMusicPosition();
    musicOrder = int32_t(orderWord & 0xFFFFu);

    overlayTime = float(double(timerTicks(400)) / 340.0);

    FramePlan plan = planFrame(musicOrder, musicRow);
    // A song that stops before order 28 row 17 (a loose module beside the program may be a shorter
    // one) would otherwise hold its last row for ever: its end is the end of the show too.
    if (musicEnded()) {
        plan = FramePlan{};
        plan.ended = true;
    }
    if (plan.ended) {
        clearFrame();
        swapFrame();
        clearFrame();
        swapFrame();
        return plan;
    }

    // Scene clocks the spine owns, set around the scene call.
    if (musicOrder >= 22 && musicOrder <= 27)
        sceneTime = float(double(uint32_t(timerTicks(600) - 145000u)) / 420.0);
    else if (musicOrder >= 4 && musicOrder <= 6)
        flareSize = flareSizeFor(sceneTime);

    call(plan.scene);
    if (musicOrder == 3) flashLevel = 1.0f;
    else if (musicOrder >= 0 && musicOrder <= 2) sceneTime = float(double(timerTicks(400)) / 340.0);
    call(plan.overlay);
    call(plan.flash);
    return plan;
}

} // namespace core
