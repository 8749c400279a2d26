// One frame of each scene of the second half, drawn headless from the show's own data.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/show_state.h"
#include "core/startup.h"
#include "effects/effects.h"
#include "effects/tunnel_flight.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"
#include "tests/show_frames.h"

namespace {

const int width = 320, height = 240;

// Grey level (0-255) of every pixel of the frame, bottom row first.
std::vector<double> greyFrame() {
    std::vector<uint8_t> rgba(width * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<double> grey;
    for (size_t i = 0; i < rgba.size(); i += 4) grey.push_back((rgba[i] + rgba[i + 1] + rgba[i + 2]) / 3.0);
    return grey;
}

void expectAPicture(const char* scene) {
    const std::vector<double> grey = greyFrame();
    double sum = 0, squares = 0, brightest = 0;
    for (double g : grey) sum += g, squares += g * g, brightest = std::max(brightest, g);
    const double mean = sum / grey.size();
    EXPECT_GT(brightest, 60) << scene << " is blank";
    EXPECT_GT(std::sqrt(squares / grey.size() - mean * mean), 8) << scene << " is one flat colour";
}

TEST(SecondHalfFrames, EveryScenePaintsAVariedPictureFromTheShowData) {
    ASSERT_TRUE(platform::createHeadlessGL(width, height));
    platform::setClockSource(frames::fakeClock);
    ASSERT_TRUE(core::loadShow(nullptr, core::MusicMode::Offline, TAV_BUILD_DIR "/tavremon.yip"));
    ASSERT_GT(core::scene2Mesh.objectCount, 12);
    ASSERT_GT(core::scene3Mesh.objectCount, 15);

    frames::showTime(90000);
    effects::drawScene2Knot();
    expectAPicture("knot scene");
    // The knot is turned from the rest shape each frame, never from the shape it had last frame.
    const assets::Point3 knotVertex = core::scene2Mesh.objects[12].vertices[0];
    effects::drawScene2Knot();
    EXPECT_EQ(std::memcmp(&knotVertex, core::scene2Mesh.objects[12].vertices, sizeof knotVertex), 0);

    // The tunnel fades to black ahead: wherever the inner tube is in view, its rings just ahead
    // of the camera are brighter than those near the far end (mostly hidden behind the bends).
    // A plain white wall texture keeps the wall's own pattern out of the comparison.
    frames::showTime(110000);
    effects::drawTex32Scene();
    expectAPicture("tunnel");
    const uint32_t wallTexture = core::tex32Texture;
    core::tex32Texture = frames::texture(8, 8, std::vector<uint8_t>(8 * 8 * 3, 255));
    double level[2] = {0, 0}, seen[2] = {0, 0};  // rings 1-2 and 6-7 ahead
    for (uint32_t ms = 110000; ms < 145000; ms += 350) {
        frames::showTime(ms);
        effects::drawTex32Scene();
        const std::vector<double> grey = greyFrame();
        std::vector<float> depth(width * height);
        glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        GLdouble modelview[16], projection[16], x, y, z;
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (int ahead : {1, 2, 6, 7})
            for (int s = 0; s < 16; ++s) {
                const engine::Vec3 p = effects::ringPoint(int(ms / 150) + ahead, s, 2.0f);
                if (!gluProject(p.x, p.y, p.z, modelview, projection, viewport, &x, &y, &z) || x < 0 ||
                    y < 0 || x >= width || y >= height || z > 1)
                    continue;
                const int pixel = int(y) * width + int(x);
                if (std::fabs(depth[pixel] - z) > 1e-4) continue;  // behind a nearer wall
                level[ahead > 2] += grey[pixel];
                ++seen[ahead > 2];
            }
    }
    ASSERT_TRUE(seen[0] > 100 && seen[1] > 20);
    EXPECT_GT(level[0] / seen[0], level[1] / seen[1] + 50);
    core::tex32Texture = wallTexture;

    core::sceneTime = (160000 - 145000) / 420.0f;  // as the spine sets it
    effects::drawScene3Sphere();
    expectAPicture("sphere scene");
    platform::setClockSource(nullptr);
    platform::destroyHeadlessGL();
}

} // namespace
