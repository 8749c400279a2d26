// The show window on SDL2: one double-buffered RGBA OpenGL window, windowed at the chosen size or
// covering the desktop in the desktop's own mode, with the picture presented as platform/present.h
// says; its key and close events, message boxes.
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

// On success the context is current, swaps wait for the display's refresh, and the viewport is
// the chosen width × height in the picture the frame code draws.
WindowFailure openWindow(const WindowRequest& request);
// Releases the offscreen picture, the context and the window, shows the cursor. Harmless when
// called again or when nothing was opened.
void closeWindow();
// Presents the frame: the offscreen picture scaled into the window, then the buffer swap.
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
