// The single textures: text only inside the rows the show cuts out, a flare that fades out before
// the quad's edges, tiling textures without seams, and the desktop icon cut from the title.
#include <gtest/gtest.h>

#include <cstdlib>

#include <png.h>

#include "tools/builder/icons.h"
#include "tools/builder/text.h"
#include "tools/builder/textures.h"

using namespace builder;

namespace {

int brightest(const std::vector<uint8_t>& raw, int y) {
    int best = 0;
    for (int x = 0; x < TEXTURE_SIZE * 3; ++x) best = std::max(best, int(raw[size_t(y) * TEXTURE_SIZE * 3 + x]));
    return best;
}

bool rowIsBlack(const std::vector<uint8_t>& raw, int y) { return brightest(raw, y) == 0; }

// Rows of a strip that another strip in the list also cuts out.
bool sharedRow(int y, const StripRows* strips, size_t count, size_t self) {
    for (size_t i = 0; i < count; ++i)
        if (i != self && y >= strips[i].top && y < strips[i].bottom) return true;
    return false;
}

// Every strip carries bright ink; rows outside the strips, shared between two strips, and on a
// strip's edge (where linear filtering reaches the neighbouring row) stay black.
void expectTextOnlyInStrips(const std::vector<uint8_t>& raw, const StripRows* strips, size_t count) {
    for (int y = 0; y < TEXTURE_SIZE; ++y) {
        bool usable = false;
        for (size_t i = 0; i < count; ++i) {
            bool inside = y > strips[i].top && y < strips[i].bottom - 1;
            usable = usable || (inside && !sharedRow(y, strips, count, i));
        }
        if (!usable) {
            EXPECT_TRUE(rowIsBlack(raw, y)) << "row " << y;
        }
    }
    for (size_t i = 0; i < count; ++i) {
        int peak = 0;
        for (int y = strips[i].top; y < strips[i].bottom; ++y) peak = std::max(peak, brightest(raw, y));
        EXPECT_GT(peak, 200) << "strip " << i << " has no clear text";
    }
}

// Mean absolute difference between neighbouring columns (or rows), across the wrap edge and
// inside the picture. A texture that tiles has no brighter seam at the edge than anywhere else.
double neighbourDifference(const std::vector<uint8_t>& raw, bool columns, int at) {
    double sum = 0;
    for (int i = 0; i < TEXTURE_SIZE; ++i) {
        int next = (at + 1) % TEXTURE_SIZE;
        size_t a = columns ? (size_t(i) * TEXTURE_SIZE + at) * 3 : (size_t(at) * TEXTURE_SIZE + i) * 3;
        size_t b = columns ? (size_t(i) * TEXTURE_SIZE + next) * 3 : (size_t(next) * TEXTURE_SIZE + i) * 3;
        for (int c = 0; c < 3; ++c) sum += std::abs(int(raw[a + c]) - int(raw[b + c]));
    }
    return sum / (TEXTURE_SIZE * 3);
}

}  // namespace

TEST(TitleAndGreetingsTextures, HoldTextOnlyInTheRowsTheStripsShowAndCreditsReadable) {
    std::vector<uint8_t> raw = makeTitleTexture();
    ASSERT_EQ(raw.size(), RAW_TEXTURE_BYTES);
    // The rows the show cuts out (title overlays, loading picture). On screen the subtitle covers
    // the title strip's rows 32 to 40, so the title stays above.
    const StripRows strips[] = {{0, 32},    {45, 60},   {159, 175}, {176, 192},
                                {193, 207}, {209, 224}, {225, 239}, {241, 256}};
    expectTextOnlyInStrips(raw, strips, 8);
    // The loading strip's banner fades in from black on its left, where it meets the scene.
    EXPECT_EQ(raw[size_t(167) * TEXTURE_SIZE * 3], 0);
    expectTextOnlyInStrips(makeGreetingsTexture(), GREETING_STRIPS, 11);
    // Every credit strip is drawn 16 pixels tall at 640x480; its letters fill 12 of them.
    for (StripRows strip : CREDIT_STRIPS) {
        int top = strip.bottom, bottom = strip.top;
        for (int y = strip.top; y < strip.bottom; ++y)
            if (brightest(raw, y) >= 160) top = std::min(top, y), bottom = std::max(bottom, y + 1);
        EXPECT_GE((bottom - top) * 16.0 / (strip.bottom - strip.top), 12.0) << "credit strip at row " << strip.top;
    }
}

TEST(FlareTexture, IsBrightestAtTheCentreAndBlackAlongEveryEdge) {
    std::vector<uint8_t> raw = makeFlareTexture();
    ASSERT_EQ(raw.size(), RAW_TEXTURE_BYTES);
    auto texel = [&](int x, int y) { return raw[(size_t(y) * TEXTURE_SIZE + x) * 3]; };
    for (int i = 0; i < TEXTURE_SIZE; ++i) ASSERT_EQ(brightest(raw, 0) + brightest(raw, 255) + texel(0, i) + texel(255, i), 0);
    EXPECT_EQ(texel(128, 128), 255);
}

TEST(TilingTextures, ShowNoSeamWhereTheyRepeat) {
    struct Case {
        const char* name;
        std::vector<uint8_t> raw;
    };
    Case cases[] = {{"space82", makeSpaceTexture()},  {"nappal", makeDaylightTexture()},
                    {"tex32_02", makeTunnelTexture()}, {"sphere38", makeBlobTexture()},
                    {"rondany", makeChromeTexture()}};
    for (const Case& c : cases) {
        ASSERT_EQ(c.raw.size(), RAW_TEXTURE_BYTES) << c.name;
        for (bool columns : {true, false}) {
            double inside = 0;
            for (int at = 0; at < TEXTURE_SIZE - 1; ++at) inside += neighbourDifference(c.raw, columns, at);
            inside /= TEXTURE_SIZE - 1;
            EXPECT_LT(neighbourDifference(c.raw, columns, TEXTURE_SIZE - 1), 2.5 * inside + 1.0)
                << c.name << (columns ? " left-right" : " top-bottom");
        }
    }
}

TEST(TextRendering, CondensesGlyphsOnRequestAndFailsWithoutTheFont) {
    TextStyle style{"DejaVuSans-Bold.ttf", 16, 1.0f, 0}, narrow{"DejaVuSans-Bold.ttf", 16, 0.5f, 0};
    TextMask mask, narrowMask;
    ASSERT_TRUE(renderText(style, "the libopenmpt developers", mask));
    ASSERT_TRUE(renderText(narrow, "the libopenmpt developers", narrowMask));
    InkBox ink = inkBounds(mask), narrowInk = inkBounds(narrowMask);
    EXPECT_GT(ink.right - ink.left, 150);
    EXPECT_LE(ink.bottom - ink.top, 17);
    EXPECT_GE(mask.baseline, ink.bottom - 4);  // only the descenders of "p" reach below it
    // Half-width glyphs for a strip that the screen stretches sideways.
    EXPECT_NEAR(narrowInk.right - narrowInk.left, (ink.right - ink.left) / 2.0, 8);
    EXPECT_EQ(narrowInk.bottom - narrowInk.top, ink.bottom - ink.top);
    EXPECT_FALSE(renderText(TextStyle{"NoSuchFont.ttf", 12, 1.0f, 0}, "x", mask));
}

// The desktop icon is cut from the title: its last two characters, bright over transparency.
TEST(DesktopIcon, ShowsTheTitlesLastTwoCharactersOverTransparency) {
    std::vector<uint8_t> png = makeIconPng(makeTitleTexture(), 48);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
    ASSERT_EQ(image.width, 48u);
    ASSERT_EQ(image.height, 48u);
    // Columns that hold a glyph's core form one run per character.
    int runs = 0;
    bool previous = false;
    for (int x = 0; x < 48; ++x) {
        bool core = false;
        for (int y = 0; y < 48; ++y) core = core || rgba[(size_t(y) * 48 + x) * 4 + 3] >= 200;
        runs += core && !previous;
        previous = core;
    }
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(rgba[3], 0);  // a clear corner
    EXPECT_TRUE(makeIconPng(std::vector<uint8_t>(RAW_TEXTURE_BYTES, 0), 48).empty());
}
