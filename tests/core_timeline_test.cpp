// The frame timer, the real clock, which routines each moment of the song draws, and runFrame
// itself on a virtual clock and song position.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "assets/mesh_renderer.h"
#include "core/frame_timer.h"
#include "core/music.h"
#include "core/show_state.h"
#include "core/timeline.h"
#include "core/window.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"
#include "tests/show_frames.h"

namespace {

using frames::fakeNow;

struct TimerTest : ::testing::Test {
    void SetUp() override {
        platform::setClockSource(frames::fakeClock);
        frames::showTime(0);
    }
    void TearDown() override { platform::setClockSource(nullptr); }
};

TEST_F(TimerTest, RatesShareOneAccumulatorThatRestartsAfterLoadingAndWrapsWithTheClock) {
    fakeNow = 300;
    EXPECT_EQ(core::timerTicks(1000), 300u);
    fakeNow = 1001;
    EXPECT_EQ(core::timerTicks(400), 500u);  // 2 ms ticks of 1001 ms in all, not of 701
    EXPECT_EQ(core::timerTicks(600), 1001u);
    EXPECT_EQ(core::timerTicks(1000), 1001u);  // calling again in the same instant adds nothing
    fakeNow = 5000;  // loading: these 3999 ms are dropped
    core::timerRestart();
    fakeNow = 5100;
    EXPECT_EQ(core::timerTicks(1000), 1101u);
    fakeNow = 0xFFFFFF00u;
    core::timerRestart();
    fakeNow = 0x00000100u;
    EXPECT_EQ(core::timerDelta(), 0x200u);
}

TEST(RealClock, CountsMillisecondsOfTheMonotonicClock) {
    const auto before = std::chrono::steady_clock::now();
    const uint32_t start = platform::milliseconds();
    platform::sleepMilliseconds(40);
    const uint32_t end = platform::milliseconds();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
    EXPECT_GE(end - start, 40u);
    EXPECT_LE(end - start, uint32_t(elapsed.count()) + 1);
}

std::string nameOf(const char* name) { return name ? name : "-"; }

// Which routines draw each moment of the song: flashes only at the edges of each stretch, and the
// song ends at order 28, row 17.
TEST(Dispatch, EachOrderDrawsItsSceneOverlayAndFlashesUntilTheEnd) {
    const char *title = "drawTitleOverlays", *greets = "drawGreetingOverlays", *in = "drawFlashIn", *out = "drawFlashOut";
    struct Plan {
        int order, row;
        const char *scene, *overlay, *flash;
    } const plans[] = {
        {0, 0, "drawOpeningScene", title, nullptr},      {2, 63, "drawOpeningScene", title, nullptr},
        {3, 0, "drawOpeningBuildUp", title, nullptr},    {4, 0, "drawFlareScene", nullptr, nullptr},
        {6, 63, "drawFlareScene", nullptr, nullptr},     {7, 0, "drawFlareSceneEnding", nullptr, nullptr},
        {8, 9, "drawBarlangScene", nullptr, in},         {8, 10, "drawBarlangScene", nullptr, nullptr},
        {11, 54, "drawBarlangScene", nullptr, nullptr},  {11, 55, "drawBarlangScene", nullptr, out},
        {12, 0, "drawScene2Knot", nullptr, in},          {17, 63, "drawScene2Knot", nullptr, out},
        {18, 9, "drawTex32Scene", greets, in},           {21, 55, "drawTex32Scene", greets, out},
        {22, 0, "drawScene3Sphere", nullptr, in},        {27, 54, "drawScene3Sphere", nullptr, nullptr},
        {27, 55, "drawScene3Sphere", nullptr, out},      {28, 15, "clear", nullptr, in},
        {28, 16, "clear", nullptr, nullptr},             {29, 3, "clear", nullptr, nullptr},
    };
    for (const Plan& p : plans) {
        const core::FramePlan plan = core::planFrame(p.order, p.row);
        EXPECT_FALSE(plan.ended) << p.order << "/" << p.row;
        EXPECT_EQ(nameOf(plan.scene.name) + " " + nameOf(plan.overlay.name) + " " + nameOf(plan.flash.name),
                  nameOf(p.scene) + " " + nameOf(p.overlay) + " " + nameOf(p.flash))
            << p.order << "/" << p.row;
        // A named routine is one the frame can call.
        for (const core::Routine& r : {plan.scene, plan.overlay, plan.flash}) EXPECT_EQ(!r.name, !r.draw);
    }
    EXPECT_TRUE(core::planFrame(28, 16).clearOnly);
    EXPECT_TRUE(core::planFrame(28, 17).ended);
    EXPECT_TRUE(core::planFrame(29, 17).ended);
}

// The frame loop itself: one runFrame after another on a virtual song position and clock, drawing
// the scenes of an unloaded show (every mesh empty) into a headless context.
uint32_t songWords[2] = {};  // what the two position reads of the next frame return, row read first
int positionReads = 0;
uint32_t songPosition() { return songWords[positionReads++ % 2]; }
int swaps = 0;
void countSwap() { ++swaps; }

struct FrameLoop : TimerTest {
    void SetUp() override {
        TimerTest::SetUp();
        ASSERT_TRUE(platform::createHeadlessGL(32, 24));
        core::setMusicPositionSource(songPosition);
        core::setSwapHook(countSwap);
        core::sceneTime = core::flashLevel = core::flareSize = 0;
        swaps = 0;
    }
    void TearDown() override {
        core::setMusicPositionSource(nullptr);
        core::setSwapHook(nullptr);
        platform::destroyHeadlessGL();
        TimerTest::TearDown();
    }
    // One frame at `ms` of show time with the song at order/row (the two reads may differ).
    core::FramePlan frame(uint32_t ms, uint32_t order, uint32_t row, uint32_t nextOrder = ~0u, uint32_t nextRow = 0) {
        fakeNow = ms;
        songWords[0] = row << 16 | order;
        songWords[1] = nextOrder == ~0u ? songWords[0] : (nextRow << 16 | nextOrder);
        positionReads = 0;
        return core::runFrame();
    }
};

TEST_F(FrameLoop, OpeningDrawsWithTheClockTheLastFrameLeftAndStoresItsOwnAfterwards) {
    frame(6800, 0, 5);
    EXPECT_FLOAT_EQ(core::overlayTime, 10.0f);  // 3400 ticks of 2 ms / 340
    EXPECT_FLOAT_EQ(core::sceneTime, 10.0f);
    // The red light circles at radius 80 with the clock of the previous frame: 0 on the first.
    EXPECT_NEAR(assets::lightPosition.x, 0.0f, 1e-4);
    frame(7480, 2, 63);
    EXPECT_FLOAT_EQ(core::sceneTime, 11.0f);
    EXPECT_NEAR(assets::lightPosition.x, -3.5394f, 1e-3);  // sin(10 x 11) x 80, not sin(11 x 11) x 80
    EXPECT_EQ(swaps, 0);  // presenting a normal frame is the caller's job
    frame(8000, 7, 63, 8, 0);  // the song moves on between the two reads
    EXPECT_EQ(core::musicRow, 63);
    EXPECT_EQ(core::musicOrder, 8);
}

TEST_F(FrameLoop, BuildUpEndsWithFullFlashLevelAndTheFlareUsesTheClockOneFrameLate) {
    frame(20000, 3, 60);
    EXPECT_EQ(core::flashLevel, 1.0f);
    core::sceneTime = 27.6f;
    frame(38500, 4, 0);
    EXPECT_NEAR(core::flareSize, 99.36f, 1e-3);  // from 27.6, the clock of the frame before
    EXPECT_FLOAT_EQ(core::sceneTime, 30.0f);     // (38500 - 26500) / 400, set by the scene
    frame(38900, 4, 1);
    EXPECT_FLOAT_EQ(core::flareSize, 120.0f);
}

TEST_F(FrameLoop, SphereClockStartsAt145SecondsAndWrapsBeforeThem) {
    frame(145000, 22, 0);
    EXPECT_EQ(core::sceneTime, 0.0f);
    frame(145420, 23, 0);
    EXPECT_FLOAT_EQ(core::sceneTime, 1.0f);
    core::resetTimer();
    fakeNow = 0;
    frame(100000, 27, 10);  // 45 s early: the unsigned difference wraps to nearly 2^32
    EXPECT_FLOAT_EQ(core::sceneTime, float((4294967296.0 - 45000) / 420));
}

TEST_F(FrameLoop, SongEndsAtOrderTwentyEightRowSeventeenWithBothBuffersCleared) {
    EXPECT_FALSE(frame(200000, 28, 5).ended);
    EXPECT_FLOAT_EQ(core::flashLevel, 0.5f);  // the flash-in over the black screen
    EXPECT_TRUE(frame(200010, 28, 16).clearOnly);
    EXPECT_EQ(swaps, 0);
    EXPECT_TRUE(frame(200020, 28, 17).ended);
    EXPECT_EQ(swaps, 2);
}

} // namespace
