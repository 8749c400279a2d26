// The scenes of the first half (orders 0-7), drawn headless with hand-made meshes and one-colour
// textures, and read back: where light falls, how much grey is added, and what each routine leaves
// in the shared show state. The titles and flashes are pinned by the reference pictures.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "assets/mesh_renderer.h"
#include "core/show_state.h"
#include "effects/effects.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"
#include "tests/show_frames.h"

namespace {

const int width = 160, height = 120;  // a quarter of the 640 x 480 virtual screen

// Red channel of every pixel, bottom row first.
std::vector<int> frame() {
    std::vector<uint8_t> rgba(width * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<int> red(width * height);
    for (int i = 0; i < width * height; ++i) red[i] = rgba[4 * i];
    return red;
}
int at(int x, int y) { return frame()[y * width + x]; }

struct FirstHalf : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(platform::createHeadlessGL(width, height));
        platform::setClockSource(frames::fakeClock);
        frames::showTime(0);
        glEnable(GL_TEXTURE_2D);  // as the show's start-up leaves it
        whiteTexture = frames::texture(1, 1, {255, 255, 255});
        core::flashLevel = core::sceneTime = core::flareSize = 0;
        core::musicRow = 0;
        assets::clearBeforeDraw = true;
    }
    void TearDown() override {
        platform::setClockSource(nullptr);
        core::scene1Mesh = core::gyarMesh = {};
        platform::destroyHeadlessGL();
    }
    uint32_t whiteTexture = 0;
};

TEST_F(FirstHalf, OpeningLightStartsAboveTheHallAndTheGrainRepeatsFiveTimesAtElevenHundredths) {
    std::fill(core::noiseTextures, core::noiseTextures + 16, frames::texture(2, 1, {0, 0, 0, 255, 255, 255}));
    effects::drawOpeningScene();
    EXPECT_EQ(assets::lightPosition.x, 0.0f);
    EXPECT_NEAR(assets::lightPosition.y, 88.7891f, 1e-3);
    core::sceneTime = float(M_PI / 22);  // a quarter turn
    effects::drawOpeningScene();
    EXPECT_NEAR(assets::lightPosition.x, 80.0f, 1e-3);
    EXPECT_NEAR(assets::lightPosition.y, 8.7891f, 1e-3);

    // Two texels five times over: ten bands across the bottom row, the white ones at 0.11.
    std::vector<int> red = frame();
    int changes = 0, brightest = 0;
    for (int x = 0; x < width; ++x) {
        brightest = std::max(brightest, red[width + x]);
        if (x > 0 && (red[width + x] > 14) != (red[width + x - 1] > 14)) ++changes;
    }
    EXPECT_EQ(changes, 9);
    EXPECT_NEAR(brightest, 28, 1);
    EXPECT_FLOAT_EQ(core::flashLevel, 0.11f);
}

// The temple mesh reduced to a camera standing 400 units from the flare at `azimuth` degrees,
// level with it, and no objects.
struct FlareCamera {
    std::vector<assets::Point3> eye, target;
    assets::MeshCamera camera;
    FlareCamera(double azimuth) {
        const double a = azimuth * M_PI / 180;
        eye.assign(4, {float(400 * std::cos(a)), float(400 * std::sin(a)), 389.92f});
        target.assign(4, {0, 0, 389.92f});
        camera = {60.0f, eye.data(), target.data(), nullptr};
        core::scene1Mesh = {4, 0, nullptr, 1, &camera, 0, nullptr, 0, {}};
    }
};

TEST_F(FirstHalf, FlareWhiteFadesOverTwentyFramesAndTheEndingBrightensFromRowFiftySeven) {
    core::effect1Texture = whiteTexture;
    FlareCamera camera(0);
    core::flashLevel = 1.0f;
    for (int i = 0; i < 19; ++i) effects::drawFlareScene();
    EXPECT_GT(core::flashLevel, 0.0f);
    effects::drawFlareScene();
    EXPECT_EQ(core::flashLevel, 0.0f);

    frames::fakeNow = 38500;  // flare clock (38500 - 26500) / 400 = 30
    core::musicRow = 56;
    effects::drawFlareSceneEnding();
    EXPECT_EQ(at(2, 2), 0);
    EXPECT_FLOAT_EQ(core::sceneTime, 30.0f);
    EXPECT_FLOAT_EQ(core::flareSize, 120.0f);
    core::musicRow = 57;
    effects::drawFlareSceneEnding();
    EXPECT_NEAR(at(2, 2), 26, 1);
}

} // namespace
