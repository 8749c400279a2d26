#include "core/timeline.h"

#include <GL/gl.h>

#include <cstring>

#include "core/frame_timer.h"
#include "core/music.h"
#include "core/show_state.h"
#include "core/window.h"
#include "effects/effects.h"

namespace core {

namespace {
void clearFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

struct SceneRoutine {
    const char* name;
    void (*draw)();
};

// Every routine the dispatch can call, looked up by the name the plan carries.
const SceneRoutine routines[] = {
    {"drawOpeningScene", effects::drawOpeningScene},
    {"drawOpeningBuildUp", effects::drawOpeningBuildUp},
    {"drawTitleOverlays", effects::drawTitleOverlays},
    {"drawFlareScene", effects::drawFlareScene},
    {"drawFlareSceneEnding", effects::drawFlareSceneEnding},
    {"drawBarlangScene", effects::drawBarlangScene},
    {"drawScene2Knot", effects::drawScene2Knot},
    {"drawTex32Scene", effects::drawTex32Scene},
    {"drawGreetingOverlays", effects::drawGreetingOverlays},
    {"drawScene3Sphere", effects::drawScene3Sphere},
    {"drawFlashIn", effects::drawFlashIn},
    {"drawFlashOut", effects::drawFlashOut},
    {"clear", clearFrame},
};

void call(const char* name) {
    if (!name) return;
    for (const SceneRoutine& routine : routines)
        if (routine.name == name || std::strcmp(routine.name, name) == 0) {
            routine.draw();
            return;
        }
}
} // namespace

FramePlan planFrame(int32_t order, int32_t row) {
    FramePlan plan;
    if (order > 27) {
        if (row > 16) {
            plan.ended = true;
            return plan;
        }
        plan.scene = "clear";
        plan.clearOnly = true;
        if (order == 28 && row < 16) plan.flash = "drawFlashIn";
        return plan;
    }
    // Each stretch of the song: its scene, its overlay, its first and last order for the flashes.
    struct Stretch {
        int32_t first, last;
        const char* scene;
        const char* overlay;
        bool flashes;
    };
    static const Stretch stretches[] = {
        {22, 27, "drawScene3Sphere", nullptr, true},
        {18, 21, "drawTex32Scene", "drawGreetingOverlays", true},
        {12, 17, "drawScene2Knot", nullptr, true},
        {8, 11, "drawBarlangScene", nullptr, true},
        {7, 7, "drawFlareSceneEnding", nullptr, false},
        {4, 6, "drawFlareScene", nullptr, false},
        {3, 3, "drawOpeningBuildUp", "drawTitleOverlays", false},
        {0, 2, "drawOpeningScene", "drawTitleOverlays", false},
    };
    for (const Stretch& s : stretches) {
        if (order < s.first || order > s.last) continue;
        plan.scene = s.scene;
        plan.overlay = s.overlay;
        if (s.flashes && order == s.first && row < 10) plan.flash = "drawFlashIn";
        else if (s.flashes && order == s.last && row > 54) plan.flash = "drawFlashOut";
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
    if (musicEnded()) plan = FramePlan{.ended = true};
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
