// The setup dialog's logic: the twelve screen modes, the defaults, and what Start and Exit do to
// the display settings. The GTK dialog itself lives in platform/dialog.
#pragma once
#include "core/show_state.h"

namespace core {

struct ScreenMode {
    const char* text;
    int32_t width, height, depth;
};
extern const ScreenMode SCREEN_MODES[12];
const int DEFAULT_MODE_INDEX = 3;  // "640x480 16bit"

// Start: the full-screen flag from the check box; the mode from the list when the index is 0..11,
// otherwise the settings keep their values.
void applyStart(DisplaySettings& settings, int listIndex, bool fullscreenChecked);

// Shows the dialog; true when Start was pressed (display holds the choice), false for Exit.
// Without a display it shows "Failed: CreateDialog()." and ends the program with exit code 0.
bool runSetupDialog();

} // namespace core
