// The show window on SDL2: one fixed-size, double-buffered RGBA OpenGL window (windowed, or
// full-screen with a real display-mode change), its key and close events, message boxes.
#pragma once
#include <string>

namespace platform {

struct WindowRequest {
    int width = 640;
    int height = 480;
    int depth = 16;          // colour bits; the depth buffer asks for the same number
    bool fullscreen = false;
    const char* title = "";
};

// Why a window could not be made, in the order the steps are tried.
enum class WindowFailure {
    None,
    VideoInit,       // the video subsystem would not start (no display)
    CreateWindow,    // no window at all
    ChooseFormat,    // no pixel format gives a GL context, even the most modest one
    CreateContext,
    MakeCurrent,
};

WindowFailure openWindow(const WindowRequest& request);
// Leaves full-screen (restoring the desktop mode once), releases the context and the window,
// shows the cursor. Harmless when called again or when nothing was opened.
void closeWindow();
void swapWindow();
// Opaque handle of the open window (for the audio layer), nullptr when none is open.
void* windowHandle();

// Events since the last pump, without waiting. Key repeat follows the desktop's settings.
struct WindowEvents {
    bool closeRequested = false;  // close box or window manager
    int escapePresses = 0;
    int spacePresses = 0;
};
WindowEvents pumpWindowEvents();

// A modal message box (SDL, when a display is there) and the same text on stderr. An empty
// caption gives the default one.
void showMessageBox(const char* text, const char* caption);

} // namespace platform
