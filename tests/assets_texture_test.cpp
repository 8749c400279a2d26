// Raw textures and the screen quad, drawn headless: texel order, black for missing texels, and the
// loading strip's place and rows on the frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <GL/gl.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "assets/screen_quad.h"
#include "assets/texture.h"
#include "platform/headless_gl.h"

using namespace assets;

namespace {

constexpr int width = 640, height = 480;

// The bound texture's level 0 as RGB bytes.
std::vector<uint8_t> boundTexels() {
    std::vector<uint8_t> texels(RAW_TEXTURE_BYTES);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

uint32_t textureFrom(const std::vector<uint8_t>& bytes) {
    // Named after the process: ctest runs this file's tests side by side in one folder.
    const std::string name = "assets_texture_test_" + std::to_string(getpid()) + ".raw";
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    uint32_t texture = loadRawTexture(name.c_str());
    std::remove(name.c_str());
    return texture;
}

class Textures : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(platform::createHeadlessGL(width, height, &error)) << error;
    }
    void TearDown() override { platform::destroyHeadlessGL(); }

    // The frame as RGBA rows from the top, as the virtual screen counts them.
    std::vector<uint8_t> frame() {
        std::vector<uint8_t> pixels(size_t(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    static const uint8_t* at(const std::vector<uint8_t>& pixels, int x, int y) {
        return &pixels[(size_t(height - 1 - y) * width + x) * 4];
    }
};

} // namespace

TEST_F(Textures, FirstStoredTexelIsTexelZeroAndMissingTexelsAreBlack) {
    std::vector<uint8_t> bytes(100, 200);
    bytes[0] = 255;
    uint32_t texture = textureFrom(bytes);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    std::vector<uint8_t> texels = boundTexels();
    EXPECT_TRUE(texels[0] == 255 && texels[99] == 200 && texels[100] == 0 && texels.back() == 0);

    EXPECT_NE(loadRawTexture("assets_texture_test_missing.raw"), 0u);
    uint8_t lastLevel[3] = {1, 1, 1};
    glGetTexImage(GL_TEXTURE_2D, 8, GL_RGB, GL_UNSIGNED_BYTE, lastLevel);
    EXPECT_EQ(lastLevel[0] + lastLevel[1] + lastLevel[2], 0) << "a full mipmap chain";
}

TEST_F(Textures, LoadingStripCoversExactlyItsShareOfTheFrameWithItsRows) {
    // Red holds the stored row, green the column.
    std::vector<uint8_t> bytes(RAW_TEXTURE_BYTES);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        bytes[i] = uint8_t(i / 768);
        bytes[i + 1] = uint8_t(i / 3 % 256);
    }
    uint32_t texture = textureFrom(bytes);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawScreenQuad(texture, 0, 159, 256, 175, 384, 460, 640, 476, 1.0f);
    std::vector<uint8_t> pixels = frame();
    // x 0.6..1.0 and y 0.9583..0.9917 of the frame: columns 384..639, rows 460..475.
    EXPECT_EQ(at(pixels, 384, 460)[0], 159) << "texture row 159 on the top edge";
    EXPECT_EQ(at(pixels, 639, 475)[0], 174);
    EXPECT_TRUE(at(pixels, 384, 460)[1] == 0 && at(pixels, 639, 460)[1] == 255);  // columns 0 and 255
    int outside = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = at(pixels, x, y);
            if (!(x >= 384 && y >= 460 && y < 476) && (p[0] | p[1] | p[2])) ++outside;
        }
    EXPECT_EQ(outside, 0);
}

