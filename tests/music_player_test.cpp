// The music player, mostly offline: a small FastTracker 2 module made here (speed 1 at 250 BPM, so
// every row lasts exactly 441 frames at 44100 Hz) is written as a loose file and read through the
// archive layer. The last group plays it on SDL's dummy audio driver.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/music.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "tests/zip_fixture.h"

namespace {

constexpr uint32_t rate = 44100;
constexpr size_t framesPerRow = 441;
constexpr size_t videoFrame = 735;  // one frame at 60 Hz

uint32_t word(uint32_t order, uint32_t row) { return (row << 16) | order; }

// `orders` orders of 64 rows, each its own pattern; one channel; a looping square wave struck on
// row 0 of every pattern.
std::vector<uint8_t> makeModule(int orders) {
    std::vector<uint8_t> xm;
    auto u8 = [&](unsigned v) { xm.push_back(uint8_t(v)); };
    auto u16 = [&](unsigned v) { u8(v & 0xFF), u8(v >> 8); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    auto text = [&](const char* s, size_t width) {
        for (size_t i = 0; i < width; i++) u8(i < std::strlen(s) ? s[i] : 0);
    };
    text("Extended Module: ", 17), text("music test", 20), u8(0x1A), text("tavremon tests", 20);
    u16(0x0104), u32(276);  // version; header size counted from its own field
    u16(orders), u16(0), u16(1), u16(orders), u16(1);  // orders, restart, channels, patterns, instruments
    u16(1), u16(1), u16(250);                          // linear table, speed 1, 250 BPM: 10 ms a row
    for (int i = 0; i < 256; i++) u8(i < orders ? i : 0);
    for (int p = 0; p < orders; p++) {
        u32(9), u8(0), u16(64), u16(5 + 63);
        u8(49), u8(1), u8(0), u8(0), u8(0);      // C-4, instrument 1
        for (int r = 1; r < 64; r++) u8(0x80);  // packed empty cells
    }
    size_t instrument = xm.size();
    u32(263), text("square", 22), u8(0), u16(1), u32(40);
    while (xm.size() - instrument < 263) u8(0);  // keymap and envelopes: all zero
    u32(64), u32(0), u32(64), u8(64), u8(0), u8(1), u8(128), u8(0), u8(0), text("square", 22);
    for (int i = 0; i < 64; i++) u8(i == 0 ? 100 : i == 32 ? uint8_t(-200) : 0);  // deltas: +100 x32, -100 x32
    return xm;
}

// A loose file in the working folder, named after the running test so parallel runs don't meet.
std::string writeFile(const std::vector<uint8_t>& bytes, const char* suffix = ".xm") {
    std::string name = std::string("music_") + testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
    zipfixture::writeFile(name, bytes);
    return name;
}

void noSleep(uint32_t) {}
std::vector<std::pair<int32_t, uint32_t>> fadeSteps;
void recordSleep(uint32_t ms) { fadeSteps.push_back({platform::audioGetMusicVolume(), ms}); }

std::vector<int16_t> render(size_t total, size_t chunk) {
    std::vector<int16_t> samples(total * 2);
    for (size_t done = 0, got = 1; done < total && got > 0; done += got)
        got = core::renderMusic(samples.data() + 2 * done, std::min(chunk, total - done));
    return samples;
}

int peak(const std::vector<int16_t>& samples) {
    int highest = 0;
    for (int16_t s : samples) highest = std::max(highest, std::abs(int(s)));
    return highest;
}

class MusicPlayer : public testing::Test {
protected:
    void SetUp() override { core::setMusicSleep(noSleep); }
    void TearDown() override {
        core::setMusicSleep(noSleep);
        core::stopMusic();
        core::setMusicSleep(nullptr);
    }
    void playOffline(int orders = 4) {
        core::stopMusic();
        ASSERT_TRUE(core::loadMusicOffline(writeFile(makeModule(orders)).c_str(), rate));
        core::playMusic();
    }
};

TEST_F(MusicPlayer, PositionIsZeroUntilPlayThenFollowsRenderedFramesToTheRow) {
    ASSERT_TRUE(core::loadMusicOffline(writeFile(makeModule(4)).c_str(), rate));
    std::vector<int16_t> before(2 * 4000, 1);
    EXPECT_EQ(core::renderMusic(before.data(), 4000), 4000u);
    EXPECT_EQ(peak(before), 0);
    EXPECT_EQ(core::getMusicPosition(), 0u);

    EXPECT_TRUE(core::playMusic());
    render(framesPerRow - 1, videoFrame);
    EXPECT_EQ(core::getMusicPosition(), word(0, 0));
    render(1, videoFrame);  // exactly on the boundary: the next frame belongs to row 1
    EXPECT_EQ(core::getMusicPosition(), word(0, 1));
    render(framesPerRow * 63, videoFrame);
    EXPECT_EQ(core::getMusicPosition(), word(1, 0));
    render(framesPerRow * (2 * 64 + 40), videoFrame);
    EXPECT_EQ(core::getMusicPosition(), 2621443u);  // order 3, row 40
}

TEST_F(MusicPlayer, SongEndsOnceAndPositionStaysOnItsLastRow) {
    playOffline();
    std::vector<int16_t> chunk(2 * 1000);
    size_t total = 0, got = 0;
    bool endedEarly = false;
    while ((got = core::renderMusic(chunk.data(), 1000)) == 1000) {
        total += got;
        endedEarly = endedEarly || core::musicEnded();
    }
    EXPECT_FALSE(endedEarly);
    EXPECT_TRUE(core::musicEnded());  // what ends the show when the song is shorter than it
    core::setMusicPositionSource([] { return word(3, 63); });
    EXPECT_FALSE(core::musicEnded()) << "a position source stands in for the song and never ends";
    core::setMusicPositionSource(nullptr);
    EXPECT_EQ(total + got, 4 * 64 * framesPerRow);
    EXPECT_EQ(core::getMusicPosition(), word(3, 63));
    EXPECT_EQ(core::renderMusic(chunk.data(), 1000), 0u);
    EXPECT_EQ(core::getMusicPosition(), word(3, 63));
}

TEST_F(MusicPlayer, ChunkSizeDoesNotChangeTheSamples) {
    playOffline(1);
    std::vector<int16_t> whole = render(20000, 20000);
    playOffline(1);
    std::vector<int16_t> mixed;
    for (size_t chunk : {1, 2, 735, 441, 0, 18821}) {
        std::vector<int16_t> part = render(chunk, chunk);
        mixed.insert(mixed.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(mixed == whole);

    // The music volume scales that same output linearly.
    playOffline(1);
    ASSERT_TRUE(platform::audioSetMusicVolume(50));
    std::vector<int16_t> half = render(20000, videoFrame);
    ASSERT_GT(peak(whole), 1000);
    for (size_t i = 0; i < whole.size(); i++) ASSERT_EQ(half[i], whole[i] * 50 / 100) << "sample " << i;
}

TEST_F(MusicPlayer, StopFadesFromHundredToFourFiftyMillisecondsApartThenNothingPlays) {
    playOffline();
    fadeSteps.clear();
    core::setMusicSleep(recordSleep);
    core::stopMusic();
    ASSERT_EQ(fadeSteps.size(), 25u);
    for (size_t i = 0; i < 25; i++) EXPECT_EQ(fadeSteps[i], std::make_pair(int32_t(100 - 4 * i), 50u));
    std::vector<int16_t> after(2 * 100);
    EXPECT_EQ(core::renderMusic(after.data(), 100), 0u);
    EXPECT_EQ(core::getMusicPosition(), 0u);
}

TEST_F(MusicPlayer, MissingOrForeignFilesAreNeverLoaded) {
    EXPECT_FALSE(core::loadMusicOffline("music_missing.xm", rate));
    EXPECT_FALSE(core::loadMusicOffline(writeFile({'n', 'o', 't', ' ', 'x', 'm'}, ".txt").c_str(), rate));
    EXPECT_FALSE(core::loadMusicOffline(writeFile({}, ".empty").c_str(), rate));
    EXPECT_FALSE(core::playMusic());
    // Each failure released the audio layer again.
    const std::string module = writeFile(makeModule(1));
    EXPECT_TRUE(core::loadMusicOffline(module.c_str(), rate));
}

// On SDL's dummy driver: a real device and callback thread, no sound card.
class MusicDevice : public MusicPlayer {
protected:
    void SetUp() override {
        MusicPlayer::SetUp();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
};

TEST_F(MusicDevice, LoadFailuresChooseTheirMessageAndExitCodeOne) {
    std::string module = writeFile(makeModule(1));
    core::MusicOpenResult noDevice = core::openMusic(7, rate, module.c_str(), nullptr);
    EXPECT_EQ(std::string(noDevice.message) + " " + std::to_string(noDevice.exitCode), "BASS initialization error. 1");
    core::MusicOpenResult missing = core::openMusic(-1, rate, "music_missing.xm", nullptr);
    EXPECT_EQ(std::string(missing.message) + " " + std::to_string(missing.exitCode), "BASS can't music load file. 1");
    EXPECT_EQ(core::openMusic(-1, rate, module.c_str(), nullptr).message, nullptr);
}

TEST_F(MusicDevice, PlaysOnTheDeviceAndItsPositionNeverRunsAheadOfTheClock) {
    core::loadMusic(-1, rate, writeFile(makeModule(4)).c_str(), nullptr);
    platform::sleepMilliseconds(100);  // the device already runs, but nothing plays yet
    EXPECT_EQ(core::getMusicPosition(), 0u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(core::playMusic());
    // However busy the machine, the rows heard move on, one every 10 ms at most.
    uint32_t rows = 0;
    while (rows < 5 && std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
        platform::sleepMilliseconds(20);
        const uint32_t position = core::getMusicPosition();
        rows = (position & 0xFFFF) * 64 + (position >> 16);
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(rows, 5u);
    EXPECT_LE(rows, uint32_t(elapsed.count()) / 10 + 2);
}

} // namespace
