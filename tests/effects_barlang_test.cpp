// The barlang flight drawn headless from the show's own data: the water's scroll, a scene without
// its camera, and the engine sphere drawn without its mirror image.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "core/keyframed_scene.h"
#include "core/show_state.h"
#include "core/startup.h"
#include "effects/barlang_scene.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"
#include "tests/show_frames.h"

namespace {

const int width = 320, height = 240;
using Frame = std::vector<uint8_t>;

// The frame at show time `ms`, with the water scroll starting from `scroll`.
Frame drawAt(uint32_t ms, float scroll, void (*draw)() = effects::drawBarlangScene) {
    frames::showTime(ms);
    effects::floorScroll = scroll;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw();
    Frame rgb(width * height * 3);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

bool differs(const Frame& a, const Frame& b, int x, int y) {
    const size_t i = (size_t(y) * width + x) * 3;
    return std::abs(a[i] - b[i]) + std::abs(a[i + 1] - b[i + 1]) + std::abs(a[i + 2] - b[i + 2]) > 60;
}

double shareDiffering(const Frame& a, const Frame& b, int fromRow, int toRow) {
    int count = 0;
    for (int y = fromRow; y < toRow; ++y)
        for (int x = 0; x < width; ++x) count += differs(a, b, x, y);
    return double(count) / (width * (toRow - fromRow));
}

// A picture rather than one flat colour: against a black frame, most pixels differ.
bool isPicture(const Frame& f) { return shareDiffering(f, Frame(f.size()), 0, height) > 0.5; }

struct BarlangScene : ::testing::Test {
    static void SetUpTestSuite() {
        ASSERT_TRUE(platform::createHeadlessGL(width, height));
        platform::setClockSource(frames::fakeClock);
        ASSERT_TRUE(core::loadShow(nullptr, core::MusicMode::Offline, TAV_BUILD_DIR "/tavremon.yip"));
        ASSERT_NE(core::sphereObject, nullptr);
        ASSERT_GT(core::barlangMesh.objectCount, 1);
    }
};

TEST_F(BarlangScene, OnlyTheWaterScrollsByTwoThousandthsPerObjectDrawn) {
    const Frame still = drawAt(60000, 0);
    EXPECT_NEAR(effects::floorScroll, 0.002 * core::barlangMesh.objectCount, 1e-5);
    const Frame moved = drawAt(60000, 0.3f);
    EXPECT_EQ(shareDiffering(still, moved, height * 3 / 4, height), 0) << "the roof moved";
    EXPECT_GT(shareDiffering(still, moved, 0, height / 4), 0.05) << "the water stood still";
}

TEST_F(BarlangScene, WithoutItsCameraTheSceneDrawsTheCaveAloneAndTheSphereAloneStaysUpright) {
    engine::SceneCamera* camera = core::sceneCamera;
    core::sceneCamera = nullptr;
    EXPECT_TRUE(isPicture(drawAt(63000, 0)));
    core::sceneCamera = camera;
    // Every draw flips the sphere's data; drawn without its mirror it must not turn over.
    const Frame first = drawAt(63000, 0, effects::drawEngineSphere);
    EXPECT_GT(shareDiffering(first, Frame(first.size()), 0, height), 0.01);
    EXPECT_EQ(first, drawAt(63000, 0, effects::drawEngineSphere));
}

} // namespace
