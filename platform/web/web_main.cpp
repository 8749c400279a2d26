// tavremon in a browser. The page (index.html) is the setup dialog: it fetches the archive into the
// in-memory file system and decodes the song, and its Start calls webStart with the chosen mode.
// From there the start-up order is the native program's: the window (a canvas), the loading, then
// one frame per animation frame of the browser, the same one-frame function the native loop calls,
// until the song ends, Esc is pressed or full screen is left; then the page shows the form again.
#include <GL/gl.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstdlib>
#include <vector>

#include "core/frame_timer.h"
#include "core/music.h"
#include "core/setup_dialog.h"
#include "core/show_state.h"
#include "core/startup.h"
#include "core/timeline.h"
#include "core/window.h"
#include "platform/clock.h"
#include "platform/present.h"
#include "platform/window.h"

namespace platform {
uint32_t webMusicPositionAt(uint32_t sample);
}

namespace {

// The fade's pauses pass on the audio clock: each one moves the moment the next volume step is
// scheduled at, so the fade is heard as on the desktop while the page stays responsive.
EM_JS(void, scheduleAfter, (uint32_t ms), { if (Module.tavAudio) Module.tavAudio.wait(ms); });
EM_JS(void, showEnded, (), { if (Module.onShowEnded) Module.onShowEnded(); });
EM_JS(void, frameShown, (int order, int row), { if (Module.onFrame) Module.onFrame(order, row); });

void endShow() {
    core::stopMusic();
    platform::closeWindow();
    showEnded();
}

EM_BOOL onAnimationFrame(double, void*) {
    // The web pump: Esc and leaving full screen end the show; space has no dump file to write to.
    platform::WindowEvents events = platform::pumpWindowEvents();
    if (events.closeRequested || events.escapePresses > 0) {
        endShow();
        return EM_FALSE;
    }
    core::FramePlan frame = core::runFrame();
    if (frame.ended) {
        endShow();
        return EM_FALSE;
    }
    core::swapFrame();
    frameShown(core::musicOrder, core::musicRow);
    return EM_TRUE;
}

// The test hook: the show on a virtual clock at 60 frames a second, as the capture tool runs it,
// with the song's position read from the table at each frame's moment. The frames asked for are
// drawn and read back for the page; the others draw nothing (no mesh geometry, rasterisation off).
constexpr uint32_t testFps = 60;
uint32_t testFrameIndex = 0;
uint32_t testClock() { return uint32_t(uint64_t(testFrameIndex) * 1000 / testFps); }
uint32_t testPosition() { return platform::webMusicPositionAt(uint32_t(uint64_t(testFrameIndex) * 44100 / testFps)); }

EM_JS(void, handFrame, (int index, const uint8_t* rgba, int width, int height, int order, int row), {
    Module.tavTestFrames = Module.tavTestFrames || [];
    Module.tavTestFrames.push({index : index, width : width, height : height, order : order, row : row,
                               rgba : HEAPU8.slice(rgba, rgba + width * height * 4)});
});

// frames: ascending frame numbers separated by commas.
void runTestFrames(const char* frames) {
    std::vector<uint32_t> wanted;
    for (const char* at = frames; *at;) {
        char* end = nullptr;
        unsigned long value = std::strtoul(at, &end, 10);
        if (end == at) break;
        wanted.push_back(uint32_t(value));
        at = *end == ',' ? end + 1 : end;
    }
    platform::setClockSource(testClock);
    core::setMusicPositionSource(testPosition);
    testFrameIndex = 0;
    core::timerRestart();
    const int width = core::display.width, height = core::display.height;
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    size_t next = 0;
    for (testFrameIndex = 0; next < wanted.size(); ++testFrameIndex) {
        const bool seen = testFrameIndex == wanted[next];
        seen ? glDisable(GL_RASTERIZER_DISCARD) : glEnable(GL_RASTERIZER_DISCARD);
        platform::setFrameSeen(seen);
        if (core::runFrame().ended) break;
        if (!seen) continue;
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        handFrame(int(testFrameIndex), pixels.data(), width, height, core::musicOrder, core::musicRow);
        ++next;
    }
    core::swapFrame();
}

} // namespace

extern "C" {

// Start pressed: the list's entry, the box, and for tests the frames to draw ("": the show).
EMSCRIPTEN_KEEPALIVE void webStart(int listIndex, int fullscreen, const char* testFrames) {
    core::applyStart(core::display, listIndex, fullscreen != 0);
    // A show started again after Esc or its end starts from the beginning.
    core::quitRequested = 0;
    core::resetTimer();
    void* window = core::createGLWindow(core::display.width, core::display.height, core::display.depth,
                                        core::display.fullscreen);
    core::setMusicSleep(scheduleAfter);
    core::loadShow(window, core::MusicMode::Device);
    if (testFrames && *testFrames) {
        runTestFrames(testFrames);
        return;
    }
    core::startShow();
    emscripten_request_animation_frame_loop(onAnimationFrame, nullptr);
}

}

int main() { return 0; }
