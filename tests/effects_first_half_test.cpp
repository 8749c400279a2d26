#include <gtest/gtest.h>

#include "effects/flare_scene.h"
#include "effects/flash_transitions.h"
#include "effects/opening_scene.h"
#include "effects/title_overlays.h"

namespace {

float intensity(float t, float start, float end, bool expectVisible = true) {
    bool visible = false;
    float value = effects::overlayIntensity(t, start, end, &visible);
    EXPECT_EQ(visible, expectVisible) << t;
    return value;
}

TEST(Overlays, NothingAtTheWindowEdgesAndPointEightAtTheMiddle) {
    intensity(180.0f, 180, 186, false);
    intensity(186.0f, 180, 186, false);
    intensity(179.0f, 180, 186, false);
    EXPECT_NEAR(intensity(183.0f, 180, 186), 0.8f, 1e-6);
}

TEST(Overlays, SixUnitGreetingWindowRisesStepsDownAndFades) {
    EXPECT_NEAR(intensity(181.2f, 180, 186), 0.5f, 1e-4);
    EXPECT_GT(intensity(182.5f, 180, 186), 1.0f);  // clamped to full by GL
    EXPECT_NEAR(intensity(184.2f, 180, 186), 0.3f, 1e-4);
    EXPECT_NEAR(intensity(184.92f, 180, 186), 0.0f, 1e-4);
    EXPECT_LT(intensity(185.5f, 180, 186), 0.0f);  // drawn, but adds nothing
}

TEST(Overlays, TitleStripsAtThirtyTwoAndAHalf) {
    EXPECT_NEAR(intensity(32.5f, 5, 35), 0.8f - 12.5f / 12.0f, 1e-5);  // title: invisible
    EXPECT_NEAR(intensity(32.5f, 30, 40), 0.625f, 1e-6);                // credit 3 rising
    EXPECT_NEAR(intensity(32.5f, 25, 35), 0.175f, 1e-6);                // credit 4 falling
    intensity(32.5f, 20, 30, false);
}

TEST(Flashes, LevelsFollowTheRows) {
    EXPECT_FLOAT_EQ(effects::flashInLevel(0), 1.0f);
    EXPECT_NEAR(effects::flashInLevel(9), 0.1f, 1e-6);
    for (int row = 10; row <= 15; ++row) EXPECT_EQ(effects::flashInLevel(row), 0.0f) << row;
    EXPECT_NEAR(effects::flashOutLevel(55), 0.2f, 1e-6);
    EXPECT_FLOAT_EQ(effects::flashOutLevel(63), 1.0f);
    EXPECT_EQ(effects::flashOutLevel(40), 0.0f);
}

TEST(OpeningBuildUp, AddsNothingAtRowFiftyFourAndNineEleventhsAtTheLastRow) {
    EXPECT_EQ(effects::buildUpLevel(54), 0.0f);
    EXPECT_NEAR(effects::buildUpLevel(63), 9.0f / 11.0f, 1e-6);
}

TEST(FlareScene, ClockStartsAtTwentySixAndAHalfSecondsAndNeverGoesNegative) {
    EXPECT_EQ(effects::flareSceneClock(0), 0.0f);
    EXPECT_EQ(effects::flareSceneClock(26500), 0.0f);
    EXPECT_FLOAT_EQ(effects::flareSceneClock(26900), 1.0f);
    EXPECT_FLOAT_EQ(effects::flareSceneClock(38500), 30.0f);
}

TEST(FlareScene, WhiteFadeTakesTwentyFramesAndBuildUpTenFrames) {
    float level = 1.0f;
    int frames = 0;
    while (level > 0.0f && frames < 100) level = effects::fadeStep(level), ++frames;
    EXPECT_EQ(frames, 20);
    level = 0.0f;
    frames = 0;
    while (level < 0.999f && frames < 100) level = effects::buildUpStep(level), ++frames;
    EXPECT_EQ(frames, 10);
    EXPECT_GT(effects::buildUpStep(1.5f), 1.5f);  // no upper limit: GL clamps the colour
}

} // namespace
