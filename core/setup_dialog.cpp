// The setup dialog's logic behind the GTK dialog: the screen-mode table and what Start does with
// the chosen row. A row index outside the table leaves the settings as they were.
#include "core/setup_dialog.h"

#include <cstdlib>

#include "platform/dialog.h"
#include "platform/window.h"

namespace core {

const ScreenMode SCREEN_MODES[12] = {
    {"320x240 16bit", 320, 240, 16},  {"400x300 16bit", 400, 300, 16}, {"512x384 16bit", 512, 384, 16},
    {"640x480 16bit", 640, 480, 16},  {"800x600 16bit", 800, 600, 16}, {"1024x768 16bit", 1024, 768, 16},
    {"320x240 32bit", 320, 240, 32},  {"400x300 32bit", 400, 300, 32}, {"512x384 32bit", 512, 384, 32},
    {"640x480 32bit", 640, 480, 32},  {"800x600 32bit", 800, 600, 32}, {"1024x768 32bit", 1024, 768, 32},
};

void applyStart(DisplaySettings& settings, int listIndex, bool fullscreenChecked) {
    settings.fullscreen = fullscreenChecked;
    if (listIndex >= 0 && listIndex <= 11) {
        settings.width = SCREEN_MODES[listIndex].width;
        settings.height = SCREEN_MODES[listIndex].height;
        settings.depth = SCREEN_MODES[listIndex].depth;
    }
}

bool runSetupDialog() {
    const char* entries[12];
    for (int i = 0; i < 12; ++i) entries[i] = SCREEN_MODES[i].text;
    platform::DialogLayout layout{"  Tavremon:54 setup.", entries, 12, DEFAULT_MODE_INDEX, "Fullscreen", true,
                                  "Resolution", "Start", "Exit"};
    int listIndex = -1;
    bool checked = false;
    switch (platform::runDialog(layout, &listIndex, &checked)) {
    case platform::DialogOutcome::Start:
        applyStart(display, listIndex, checked);
        return true;
    case platform::DialogOutcome::Exit:
        return false;
    case platform::DialogOutcome::NoDisplay:
        platform::showMessageBox("Failed: CreateDialog().", "Jajaj!...");
        std::exit(0);
    }
    return false;
}

} // namespace core
