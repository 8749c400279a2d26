// The picture's way to the screen: the 4:3 fit, and the offscreen picture copied into a larger
// drawable (here the headless pbuffer stands in for the window).
#include <gtest/gtest.h>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless_gl.h"
#include "platform/present.h"

namespace {

TEST(PictureBox, LargestCentredFourThreeBoxNeverStretched) {
    struct Case {
        int width, height;
        platform::Box box;
    };
    const Case cases[] = {
        {640, 480, {0, 0, 640, 480}},       {1024, 768, {0, 0, 1024, 768}},    // exact
        {1280, 720, {160, 0, 960, 720}},    {1920, 1080, {240, 0, 1440, 1080}}, // wider
        {1366, 768, {171, 0, 1024, 768}},   {200, 100, {33, 0, 133, 100}},      // wider, odd
        {480, 640, {0, 140, 480, 360}},     {1280, 1024, {0, 32, 1280, 960}},   // taller
        {101, 200, {0, 62, 101, 76}},       {1, 1, {0, 0, 1, 1}},               // taller, odd; tiny
    };
    for (const Case& c : cases) {
        platform::Box box = platform::pictureBox(c.width, c.height);
        EXPECT_EQ((std::vector<int>{box.x, box.y, box.width, box.height}),
                  (std::vector<int>{c.box.x, c.box.y, c.box.width, c.box.height}))
            << c.width << "x" << c.height;
    }
}

using Rgb = std::array<int, 3>;

std::vector<uint8_t> readDefaultFramebuffer(int width, int height) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    GLint bound = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &bound);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(bound));
    return rgb;
}

Rgb at(const std::vector<uint8_t>& rgb, int width, int x, int y) {
    const uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
    return {p[0], p[1], p[2]};
}

struct OffscreenPicture : testing::Test {
    static constexpr int screenWidth = 1280, screenHeight = 720;
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(platform::createHeadlessGL(screenWidth, screenHeight, &error)) << error;
        // White everywhere first: a bar the presentation forgets to paint stays white.
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override {
        platform::endOffscreenPicture();
        platform::destroyHeadlessGL();
    }
};

TEST_F(OffscreenPicture, FillsTheCentredBoxWithBlackBarsAndGivesTheFrameCodeItsStateBack) {
    ASSERT_TRUE(platform::beginOffscreenPicture(640, 480, 32));
    // Quadrants: red bottom left, green bottom right, blue top left, white top right.
    glEnable(GL_SCISSOR_TEST);
    const float colours[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    for (int q = 0; q < 4; ++q) {
        glScissor((q % 2) * 320, (q / 2) * 240, 320, 240);
        glClearColor(colours[q][0], colours[q][1], colours[q][2], 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // State a scene could leave behind that would spoil a careless clear or copy.
    glClearColor(1, 1, 0, 1);
    glColorMask(GL_TRUE, GL_TRUE, GL_FALSE, GL_TRUE);

    platform::presentOffscreenPicture(screenWidth, screenHeight);

    GLint scissor[4];
    GLfloat clear[4];
    GLboolean mask[4];
    glGetIntegerv(GL_SCISSOR_BOX, scissor);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST) && scissor[0] == 320 && scissor[1] == 240);
    EXPECT_TRUE(clear[1] == 1.0f && clear[2] == 0.0f && !mask[2]);
    // Reading pixels back still reads the picture, at its own size.
    uint8_t corner[3] = {};
    glReadPixels(5, 5, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, corner);
    EXPECT_EQ((Rgb{corner[0], corner[1], corner[2]}), (Rgb{255, 0, 0}));

    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const std::vector<uint8_t> screen = readDefaultFramebuffer(screenWidth, screenHeight);
    int litBarPixels = 0;
    for (int y = 0; y < screenHeight; ++y)
        for (int x : {0, 80, 159, 1120, 1200, 1279}) litBarPixels += at(screen, screenWidth, x, y) != Rgb{0, 0, 0};
    EXPECT_EQ(litBarPixels, 0);
    // The box is 960 × 720 from x 160: quadrant centres land 1.5 times as far from its corner.
    const std::pair<int, int> spots[] = {{400, 180}, {880, 180}, {400, 540}, {880, 540}, {161, 1}, {1118, 718}};
    const Rgb expected[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {255, 0, 0}, {255, 255, 255}};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(at(screen, screenWidth, spots[i].first, spots[i].second), expected[i]) << i;
}

TEST_F(OffscreenPicture, SixteenBitModesKeepTheirColourStepsAndTallDrawablesGetBarsAboveAndBelow) {
    ASSERT_TRUE(platform::beginOffscreenPicture(320, 240, 16));
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // A 640 × 720 drawable: the box is 640 × 480 from y 120.
    platform::presentOffscreenPicture(640, 720);
    const std::vector<uint8_t> screen = readDefaultFramebuffer(screenWidth, screenHeight);
    for (int y : {0, 119, 600, 719}) EXPECT_EQ(at(screen, screenWidth, 320, y), (Rgb{0, 0, 0})) << y;
    // Half intensity in 5 bits is 15 or 16 steps of 31, never the 127 or 128 of 8 bits.
    const Rgb grey = at(screen, screenWidth, 320, 360);
    EXPECT_TRUE(grey[0] == 123 || grey[0] == 132) << grey[0];
    EXPECT_TRUE(grey[2] == 123 || grey[2] == 132) << grey[2];
}

} // namespace
