#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "assets/screen_quad.h"
#include "assets/texture.h"
#include "platform/headless_gl.h"

using namespace assets;

namespace {

constexpr int width = 640, height = 480;

void writeFile(const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

// Loads `bytes` as a loose .raw file and returns the texture's level `level` as RGB bytes.
std::vector<uint8_t> uploadAndReadBack(const std::vector<uint8_t>& bytes, uint32_t* texture,
                                       int level = 0) {
    const char* name = "assets_texture_test.raw";
    writeFile(name, bytes);
    *texture = loadRawTexture(name);
    std::remove(name);
    int side = 256 >> level;
    std::vector<uint8_t> texels(size_t(side) * side * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

// A picture whose red channel is the stored row number and green the column.
std::vector<uint8_t> rowColumnPicture() {
    std::vector<uint8_t> bytes(rawTextureBytes);
    for (int row = 0; row < 256; ++row)
        for (int column = 0; column < 256; ++column) {
            bytes[(row * 256 + column) * 3] = uint8_t(row);
            bytes[(row * 256 + column) * 3 + 1] = uint8_t(column);
        }
    return bytes;
}

class Textures : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(platform::createHeadlessGL(width, height, &error)) << error;
    }
    void TearDown() override { platform::destroyHeadlessGL(); }

    std::vector<uint8_t> frame() {
        std::vector<uint8_t> pixels(size_t(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    // Pixel in virtual-screen rows (0 at the top), as the quad's caller counts them.
    static const uint8_t* at(const std::vector<uint8_t>& pixels, int x, int yFromTop) {
        return &pixels[(size_t(height - 1 - yFromTop) * width + x) * 4];
    }
    void clearTo(float grey) {
        glClearColor(grey, grey, grey, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
    }
};

} // namespace

TEST_F(Textures, FirstStoredTexelIsTexelZeroAndBytesPastThePictureAreIgnored) {
    std::vector<uint8_t> bytes(rawTextureBytes + 300, 0xFF);
    std::fill(bytes.begin(), bytes.begin() + rawTextureBytes, 0);
    bytes[0] = 255;
    uint32_t texture = 0;
    std::vector<uint8_t> texels = uploadAndReadBack(bytes, &texture);
    EXPECT_NE(texture, 0u);
    EXPECT_EQ(texels[0], 255);
    EXPECT_EQ(texels[1], 0);
    EXPECT_EQ(texels[2], 0);
    EXPECT_EQ(texels.back(), 0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Textures, ShortAndMissingFilesArePaddedWithBlackAndGetEveryMipmap) {
    uint32_t texture = 0;
    std::vector<uint8_t> texels = uploadAndReadBack(std::vector<uint8_t>(100, 200), &texture);
    EXPECT_EQ(texels[99], 200);
    EXPECT_EQ(texels[100], 0);
    EXPECT_EQ(texels.back(), 0);

    uint32_t missing = loadRawTexture("assets_texture_test_missing.raw");
    EXPECT_NE(missing, texture);
    uint8_t lastLevel[3] = {1, 1, 1};
    glGetTexImage(GL_TEXTURE_2D, 8, GL_RGB, GL_UNSIGNED_BYTE, lastLevel);
    EXPECT_EQ(lastLevel[0] + lastLevel[1] + lastLevel[2], 0);
}

TEST_F(Textures, MaterialTexturesComeFromTheNamePlusRawOnePerMaterial) {
    std::vector<uint8_t> bytes(rawTextureBytes, 0);
    bytes[0] = 42;
    writeFile("mAt_01.raw", bytes);
    MeshMaterial materials[2] = {{6, {'m', 'A', 't', '_', '0', '1'}, 0, 0, 1, 1},
                                 {6, {'m', 'A', 't', '_', '0', '1'}, 0, 0, 1, 1}};
    Mesh mesh;
    mesh.materialCount = 2;
    mesh.materials = materials;
    loadMeshTextures(mesh);
    std::remove("mAt_01.raw");
    EXPECT_NE(materials[0].texture, materials[1].texture);
    glBindTexture(GL_TEXTURE_2D, materials[1].texture);
    std::vector<uint8_t> texels(rawTextureBytes);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], 42);
}

TEST_F(Textures, LoadingStripCoversExactlyItsShareOfTheFrameWithItsRows) {
    uint32_t texture = 0;
    uploadAndReadBack(rowColumnPicture(), &texture);
    clearTo(0);
    drawScreenQuad(texture, 0, 159, 256, 175, 384, 460, 640, 476, 1.0f);
    std::vector<uint8_t> pixels = frame();
    // x 0.6..1.0 and y 0.9583..0.9917 of a 640 x 480 frame: columns 384..639, rows 460..475.
    EXPECT_EQ(at(pixels, 384, 460)[0], 159) << "first texture row at the top edge";
    EXPECT_EQ(at(pixels, 639, 475)[0], 174);
    EXPECT_EQ(at(pixels, 384, 460)[1], 0) << "first texture column at the left edge";
    EXPECT_EQ(at(pixels, 639, 460)[1], 255);
    int outside = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool inStrip = x >= 384 && y >= 460 && y < 476;
            const uint8_t* p = at(pixels, x, y);
            if (!inStrip && (p[0] | p[1] | p[2])) ++outside;
        }
    EXPECT_EQ(outside, 0);
}

TEST_F(Textures, QuadAddsTheTextureScaledByIntensityAndRestoresDepthState) {
    uint32_t white = 0, black = 0;
    uploadAndReadBack(std::vector<uint8_t>(rawTextureBytes, 255), &white);
    uploadAndReadBack(std::vector<uint8_t>(rawTextureBytes, 0), &black);
    struct Case { uint32_t texture; float intensity; int expected; const char* what; };
    const Case cases[] = {{white, 0.5f, 51 + 128, "half intensity"},
                          {white, 0.0f, 51, "intensity 0"},
                          {black, 1.0f, 51, "black texels"}};
    for (const Case& c : cases) {
        clearTo(0.2f);
        glDepthMask(GL_TRUE);
        drawScreenQuad(c.texture, 0, 0, 256, 256, 0, 0, 640, 480, c.intensity);
        EXPECT_NEAR(at(frame(), 320, 240)[1], c.expected, 2) << c.what;
    }
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
}
