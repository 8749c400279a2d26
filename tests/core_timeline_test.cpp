#include <gtest/gtest.h>

#include <cstring>

#include "core/timeline.h"
#include "platform/clock.h"

namespace {

uint32_t fakeNow = 0;
uint32_t fakeClock() { return fakeNow; }

struct TimerTest : ::testing::Test {
    void SetUp() override {
        platform::setClockSource(fakeClock);
        fakeNow = 0;
        core::resetTimer();
    }
    void TearDown() override { platform::setClockSource(nullptr); }
};

TEST_F(TimerTest, RatesGiveTwoMillisecondTicksOrMilliseconds) {
    fakeNow = 1001;
    EXPECT_EQ(core::timerTicks(400), 500u);
    EXPECT_EQ(core::timerTicks(600), 1001u);
    EXPECT_EQ(core::timerTicks(1000), 1001u);
}

TEST_F(TimerTest, AllCallersShareOneAccumulator) {
    fakeNow = 300;
    EXPECT_EQ(core::timerTicks(1000), 300u);
    fakeNow = 500;
    EXPECT_EQ(core::timerTicks(400), 250u);  // 500 ms in all, not 200
    EXPECT_EQ(core::timerTicks(1000), 500u);  // calling again in the same instant adds nothing
}

TEST_F(TimerTest, DeltaWrapsAroundTheThirtyTwoBitClock) {
    fakeNow = 0xFFFFFF00u;
    core::timerRestart();
    fakeNow = 0x00000100u;
    EXPECT_EQ(core::timerDelta(), 0x200u);
}

TEST_F(TimerTest, RestartDropsTheTimeSpentLoading) {
    fakeNow = 5000;
    core::timerRestart();
    fakeNow = 5100;
    EXPECT_EQ(core::timerTicks(1000), 100u);
}

bool named(const char* actual, const char* expected) {
    if (!actual || !expected) return actual == expected;
    return std::strcmp(actual, expected) == 0;
}

void expectPlan(int order, int row, const char* scene, const char* overlay, const char* flash) {
    core::FramePlan plan = core::planFrame(order, row);
    EXPECT_FALSE(plan.ended) << order << "/" << row;
    EXPECT_TRUE(named(plan.scene, scene)) << order << "/" << row << ": " << (plan.scene ? plan.scene : "none");
    EXPECT_TRUE(named(plan.overlay, overlay)) << order << "/" << row;
    EXPECT_TRUE(named(plan.flash, flash)) << order << "/" << row << ": " << (plan.flash ? plan.flash : "none");
}

TEST(Dispatch, OpeningOrdersDrawTheirSceneAndTitlesWithoutFlashes) {
    expectPlan(0, 0, "drawOpeningScene", "drawTitleOverlays", nullptr);
    expectPlan(2, 63, "drawOpeningScene", "drawTitleOverlays", nullptr);
    expectPlan(3, 0, "drawOpeningBuildUp", "drawTitleOverlays", nullptr);
    expectPlan(3, 63, "drawOpeningBuildUp", "drawTitleOverlays", nullptr);
    expectPlan(4, 0, "drawFlareScene", nullptr, nullptr);
    expectPlan(6, 63, "drawFlareScene", nullptr, nullptr);
    expectPlan(7, 0, "drawFlareSceneEnding", nullptr, nullptr);
    expectPlan(7, 63, "drawFlareSceneEnding", nullptr, nullptr);
}

TEST(Dispatch, FlashesFireOnlyAtTheEdgesOfEachStretch) {
    expectPlan(8, 9, "drawBarlangScene", nullptr, "drawFlashIn");
    expectPlan(8, 10, "drawBarlangScene", nullptr, nullptr);
    expectPlan(9, 5, "drawBarlangScene", nullptr, nullptr);
    expectPlan(11, 54, "drawBarlangScene", nullptr, nullptr);
    expectPlan(11, 55, "drawBarlangScene", nullptr, "drawFlashOut");
    expectPlan(12, 0, "drawScene2Knot", nullptr, "drawFlashIn");
    expectPlan(17, 63, "drawScene2Knot", nullptr, "drawFlashOut");
    expectPlan(18, 9, "drawTex32Scene", "drawGreetingOverlays", "drawFlashIn");
    expectPlan(21, 55, "drawTex32Scene", "drawGreetingOverlays", "drawFlashOut");
    expectPlan(22, 0, "drawScene3Sphere", nullptr, "drawFlashIn");
    expectPlan(27, 54, "drawScene3Sphere", nullptr, nullptr);
    expectPlan(27, 55, "drawScene3Sphere", nullptr, "drawFlashOut");
}

TEST(Dispatch, TheSongEndsAtOrderTwentyEightRowSeventeen) {
    expectPlan(28, 15, "clear", nullptr, "drawFlashIn");
    expectPlan(28, 16, "clear", nullptr, nullptr);
    EXPECT_TRUE(core::planFrame(28, 16).clearOnly);
    EXPECT_TRUE(core::planFrame(28, 17).ended);
    EXPECT_TRUE(core::planFrame(29, 17).ended);
    EXPECT_FALSE(core::planFrame(29, 3).ended);
    EXPECT_FALSE(core::planFrame(27, 63).ended);
}

TEST(FlareSize, GrowsWithTheSceneClockAndDipsThreeTimes) {
    EXPECT_FLOAT_EQ(core::flareSizeFor(30.0f), 120.0f);
    EXPECT_NEAR(core::flareSizeFor(27.6f), 99.36f, 1e-3);
    EXPECT_EQ(core::flareSizeFor(27.9f), 0.0f);
    EXPECT_NEAR(core::flareSizeFor(28.3f), 90.56f, 1e-3);
    EXPECT_EQ(core::flareSizeFor(33.0f), 0.0f);
    EXPECT_EQ(core::flareSizeFor(44.5f), 0.0f);
    EXPECT_NEAR(core::flareSizeFor(45.25f), 0.75f * 45.25f * 4.0f, 1e-3);
    // Continuous at the outer edges of each window.
    for (float edge : {27.5f, 28.5f, 32.0f, 34.0f, 43.5f, 45.5f}) {
        EXPECT_NEAR(core::flareSizeFor(edge - 1e-4f), core::flareSizeFor(edge + 1e-4f), 0.05f) << edge;
    }
}

} // namespace
