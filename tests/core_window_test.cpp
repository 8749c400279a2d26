// The window glue: the debug dump under a comma locale, key and close events, a window that cannot
// be made, and the setup dialog's modes.
#include <SDL.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "core/setup_dialog.h"
#include "core/show_state.h"
#include "core/window.h"
#include "platform/window.h"

namespace {

std::string readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The setup dialog's toolkit puts the process in the user's locale. Under one with a decimal comma
// (its numbers copied from de_DE, made here with localedef) the dump still writes a point.
TEST(DebugDump, KeepsTheDecimalPointUnderACommaLocale) {
    std::string folder = "/tmp/tavremon-locale-" + std::to_string(getpid());
    std::string source = folder + "/comma";
    mkdir(folder.c_str(), 0700);
    std::ofstream(source) << "LC_NUMERIC\ncopy \"de_DE\"\nEND LC_NUMERIC\n";
    // Only the numbers are defined, so localedef warns about the other categories (-c: write anyway).
    std::string make = "localedef -c -i " + source + " -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
    std::system(make.c_str());
    setenv("LOCPATH", folder.c_str(), 1);
    bool active = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    char probe[8] = "";
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    std::string text = core::debugDumpText(12.5f, -3.25f);
    std::setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    std::system(("rm -rf " + folder).c_str());
    if (!active || std::string(probe) != "0,5") GTEST_SKIP() << "localedef could not make a comma locale here";
    EXPECT_EQ(text, " ---- \r\n : 12.500000\r\n : -3.250000\r\n");
}

// The window's events as the main loop sees them, on SDL's dummy video driver: it starts the event
// queue but has no GL, so openWindow fails after starting it, and the events are pushed by hand.
// Each test runs in a fresh folder, where the dump file goes.
void push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }
void pressKey(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    push(event);
}

struct WindowEvents : ::testing::Test {
    char folder[64] = "/tmp/tavremon-dump-XXXXXX";
    char previous[4096] = {};
    void SetUp() override {
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_NE(mkdtemp(folder), nullptr);
        ASSERT_EQ(chdir(folder), 0);
        // No message box may find a display and wait for a click.
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        ASSERT_NE(platform::openWindow(platform::WindowRequest{}), platform::WindowFailure::None);
        core::quitRequested = false;
    }
    void TearDown() override {
        std::remove("ize.dbg");
        ASSERT_EQ(chdir(previous), 0);
        rmdir(folder);
    }
};

TEST_F(WindowEvents, SpaceAppendsADumpOnEveryPressOtherKeysDoNothingEscapeAndCloseQuit) {
    core::overlayTime = 1.0f;
    core::sceneTime = 2.0f;
    { std::ofstream("ize.dbg", std::ios::binary) << "x"; }
    pressKey(SDLK_a);
    pressKey(SDLK_RETURN);
    pressKey(SDLK_SPACE);
    pressKey(SDLK_SPACE);
    EXPECT_FALSE(core::pumpMessages() || core::quitRequested);
    const std::string dump = " ---- \r\n : 1.000000\r\n : 2.000000\r\n";
    EXPECT_EQ(readAll("ize.dbg"), "x" + dump + dump);

    pressKey(SDLK_ESCAPE);
    EXPECT_TRUE(core::pumpMessages() && core::quitRequested);

    core::quitRequested = false;
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    push(close);
    EXPECT_TRUE(core::pumpMessages() && core::quitRequested);
    core::quitRequested = false;
}

TEST_F(WindowEvents, AWindowThatCannotBeMadeEndsTheProgramWithItsMessageAndCodeOne) {
    EXPECT_EXIT(core::createGLWindow(320, 240, 16, false), testing::ExitedWithCode(1), "Fail: CreateWindowEx");
}

TEST(SetupDialog, TheLastModeGivesA1024x768x32WindowAndNoSelectionKeepsTheResolution) {
    core::DisplaySettings settings;
    core::applyStart(settings, -1, true);
    EXPECT_TRUE(settings.width == 640 && settings.depth == 16 && settings.fullscreen);
    core::applyStart(settings, 12, false);
    EXPECT_EQ(settings.width, 640);
    core::applyStart(settings, 11, false);
    EXPECT_TRUE(settings.width == 1024 && settings.height == 768 && settings.depth == 32 && !settings.fullscreen);
}

} // namespace
