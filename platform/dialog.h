// The setup dialog on GTK3: a title, a drop-down list, a check box, a label and two buttons
// (Start is the default: Enter presses it). Runs its own loop until a button is pressed or the
// window manager closes it.
#pragma once

namespace platform {

struct DialogLayout {
    const char* title;
    const char* const* entries;   // list entries in display order (not sorted)
    int entryCount;
    int selectedEntry;            // initially selected entry
    const char* checkText;
    bool checked;                 // initial state of the check box
    const char* labelText;
    const char* startText;
    const char* exitText;
};

enum class DialogOutcome { Start, Exit, NoDisplay };

// On Start, *selectedEntry is the list's current entry (-1 for none) and *checked the box's state.
DialogOutcome runDialog(const DialogLayout& layout, int* selectedEntry, bool* checked);

} // namespace platform
