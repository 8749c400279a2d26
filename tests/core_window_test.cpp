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

namespace {

std::string readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(DebugDump, FormatsBothClocksWithSixDecimalsAndCrLf) {
    EXPECT_EQ(core::debugDumpText(12.5f, 3.25f), " ---- \r\n : 12.500000\r\n : 3.250000\r\n");
    EXPECT_EQ(core::debugDumpText(0.0f, -1.5f), " ---- \r\n : 0.000000\r\n : -1.500000\r\n");
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

struct DumpFileTest : ::testing::Test {
    char folder[64] = "/tmp/tavremon-dump-XXXXXX";
    char previous[4096] = {};
    void SetUp() override {
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_NE(mkdtemp(folder), nullptr);
        ASSERT_EQ(chdir(folder), 0);
    }
    void TearDown() override {
        std::remove("ize.dbg");
        ASSERT_EQ(chdir(previous), 0);
        rmdir(folder);
    }
};

TEST_F(DumpFileTest, AppendsThreeLinesPerPressToAnExistingFile) {
    { std::ofstream("ize.dbg", std::ios::binary) << "keep\r\n"; }
    core::overlayTime = 1.0f;
    core::sceneTime = 2.0f;
    core::writeDebugDump();
    core::writeDebugDump();
    EXPECT_EQ(readAll("ize.dbg"),
              "keep\r\n ---- \r\n : 1.000000\r\n : 2.000000\r\n ---- \r\n : 1.000000\r\n : 2.000000\r\n");
}

TEST_F(DumpFileTest, NeverCreatesTheFile) {
    core::writeDebugDump();
    struct stat st;
    EXPECT_NE(stat("ize.dbg", &st), 0);
}

TEST(SetupDialog, StartWithTheDefaultsKeeps640x480x16FullScreen) {
    core::DisplaySettings settings;
    core::applyStart(settings, core::defaultModeIndex, true);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_EQ(settings.depth, 16);
    EXPECT_TRUE(settings.fullscreen);
}

TEST(SetupDialog, UncheckedAnd1024x768x32GiveAWindow) {
    core::DisplaySettings settings;
    core::applyStart(settings, 11, false);
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
    EXPECT_EQ(settings.depth, 32);
    EXPECT_FALSE(settings.fullscreen);
}

TEST(SetupDialog, NoSelectionKeepsTheResolution) {
    core::DisplaySettings settings;
    core::applyStart(settings, -1, false);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.depth, 16);
    EXPECT_FALSE(settings.fullscreen);
    core::applyStart(settings, 12, true);
    EXPECT_EQ(settings.width, 640);
}

} // namespace
