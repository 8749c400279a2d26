// The show window as the spine sees it: creation with the fatal-error messages, teardown on every
// way out, frame presentation, the quit message, the keys (Esc ends, space appends the clocks to
// "ize.dbg").
#pragma once
#include <string>

namespace core {

// Opens the window and its GL context and installs the exit handler; never returns on failure
// (message box, exit code 1). Returns the window handle for the audio layer.
void* createGLWindow(int width, int height, int depth, bool fullscreen);
// Releases the context and the window, shows the cursor, posts the quit message. Harmless when
// run again. The desktop's display mode is never changed, so there is none to restore.
void killGLWindow();
void swapFrame();
// The capture tool and tests present frames their own way; nullptr restores the window swap.
void setSwapHook(void (*hook)());
[[noreturn]] void fatalError(const char* text);

// The quit message: posted by Esc, the close box, teardown, a termination signal, or an engine
// error at start-up; seen by the next pump.
void postQuitMessage();
// Handles the window's events without waiting; true once the quit message is pending.
bool pumpMessages();

// The three lines the space key appends (CR LF line ends).
std::string debugDumpText(float overlayClock, float sceneClock);
// Appends them to "ize.dbg" in the working folder if that file exists; never creates it.
void writeDebugDump();

} // namespace core
