// The spine's side of the window: creation and teardown (also on exit and on termination
// signals), presenting a frame, the quit message, the keys and the debug dump.
#include "core/window.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "core/show_state.h"
#include "platform/window.h"

namespace core {

namespace {
void (*swapHook)() = nullptr;
volatile std::sig_atomic_t quitPosted = 0;
bool exitHandlerInstalled = false;

void exitCleanup() { killGLWindow(); }

// Ctrl-C, a termination request, the terminal going away (SIGHUP) or Ctrl-\ end the show the
// way the close box does: through the quit message, so the music fades and the window is torn
// down. Only sig_atomic_t flags are touched here.
void onTerminationSignal(int) {
    quitRequested = 1;
    quitPosted = 1;
}

// A clock as "%6.6f" prints it in the C locale. The setup dialog's toolkit switches the process to
// the user's locale, where printf would write a decimal comma; the dump always has a point.
std::string fixedSixDecimals(double value) {
    char digits[64];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
    std::string text = error == std::errc() ? std::string(digits, end) : std::string("nan");
    if (text.size() < 6) text.insert(0, 6 - text.size(), ' ');
    return text;
}
} // namespace

void* createGLWindow(int width, int height, int depth, bool fullscreen) {
    if (!exitHandlerInstalled) {
        std::atexit(exitCleanup);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, onTerminationSignal);
        exitHandlerInstalled = true;
    }
    platform::WindowRequest request;
    request.width = width;
    request.height = height;
    request.depth = depth;
    request.fullscreen = fullscreen;
    request.title = "zelta!morbakunz";
    switch (platform::openWindow(request)) {
    case platform::WindowFailure::None: break;
    case platform::WindowFailure::VideoInit: fatalError("Fail: RegisterClass().");
    case platform::WindowFailure::CreateWindow: fatalError("Fail: CreateWindowEx().");
    case platform::WindowFailure::ChooseFormat: fatalError("Fail: ChoosePixelFormat.");
    case platform::WindowFailure::CreateContext: fatalError("Fail: wglCreateContext.");
    case platform::WindowFailure::MakeCurrent: fatalError("Fail: wglMakeCurrent.");
    }
    return platform::windowHandle();
}

void killGLWindow() {
    platform::closeWindow();
    postQuitMessage();
}

void swapFrame() {
    if (swapHook) swapHook();
    else platform::swapWindow();
}

void setSwapHook(void (*hook)()) { swapHook = hook; }

void fatalError(const char* text) {
    killGLWindow();
    platform::showMessageBox(text, "Error ...");
    std::exit(1);
}

void postQuitMessage() { quitPosted = 1; }

bool pumpMessages() {
    platform::WindowEvents events = platform::pumpWindowEvents();
    for (int i = 0; i < events.spacePresses; ++i) writeDebugDump();
    if (events.closeRequested || events.escapePresses > 0) {
        quitRequested = 1;
        postQuitMessage();
    }
    return quitPosted != 0;
}

std::string debugDumpText(float overlayClock, float sceneClock) {
    return " ---- \r\n : " + fixedSixDecimals(overlayClock) + "\r\n : " + fixedSixDecimals(sceneClock) + "\r\n";
}

void writeDebugDump() {
    // "r+" opens only an existing file; a missing or read-only dump file is skipped silently.
    std::FILE* file = std::fopen("ize.dbg", "r+b");
    if (!file) return;
    std::string text = debugDumpText(overlayTime, sceneTime);
    if (std::fseek(file, 0, SEEK_END) == 0) std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

} // namespace core
