// tavremon: the setup dialog, the show window, the loading, then one loop that draws whatever
// scene owns the current music position until the song ends, Esc is pressed or the window closes.
#include "core/command_line.h"
#include "core/music.h"
#include "core/setup_dialog.h"
#include "core/show_state.h"
#include "core/startup.h"
#include "core/timeline.h"
#include "core/window.h"
#include "platform/program_folder.h"

int main(int argc, char** argv) {
    if (int code = core::answerCommandLine(argc, argv, TAV_VERSION); code >= 0) return code;
    platform::changeToProgramFolder();

    if (!core::runSetupDialog()) return 0;
    void* window = core::createGLWindow(core::display.width, core::display.height, core::display.depth,
                                        core::display.fullscreen);
    core::loadShow(window, core::MusicMode::Device);
    core::startShow();

    while (!core::quitRequested) {
        if (core::pumpMessages()) break;
        core::FramePlan frame = core::runFrame();
        if (frame.ended) {
            // Both buffers are black already; the exit handler tears the window down.
            core::stopMusic();
            return 0;
        }
        core::swapFrame();
    }
    // Esc, the close box, a termination signal or an engine error at start-up.
    core::stopMusic();
    core::killGLWindow();
    return 0;
}
