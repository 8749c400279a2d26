// The contact sheet (which frame stands for each scene, the grid, the labels) and the progress line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/capture/bitmap_font.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/progress.h"

using capture::FrameRecord;
using capture::Image;

namespace {

const uint8_t* pixel(const Image& image, int x, int y) {
    return image.rgb.data() + (size_t(y) * size_t(image.width) + size_t(x)) * 3;
}

int litPixels(const Image& image, int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) count += pixel(image, x, y)[0] > 128;
    return count;
}

} // namespace

TEST(CaptureContactSheet, EachSceneIsShownByTheWrittenFrameNearestItsMiddle) {
    std::vector<FrameRecord> frames;
    auto add = [&](uint32_t first, uint32_t end, const char* scene, uint32_t every) {
        for (uint32_t f = first; f < end; ++f) frames.push_back({f, f * 100, scene, f % every == 0});
    };
    add(0, 10, "drawOpeningScene", 3);  // middle 4; written 0 3 6 9 -> 3
    add(10, 14, "drawFlareScene", 4);   // middle 11; written 12 only
    add(14, 16, "drawBarlangScene", 100);  // nothing written: left out
    add(16, 21, "drawScene3Sphere", 2);    // middle 18, itself written
    add(21, 25, "", 1);                    // cleared frames after the last scene
    const std::vector<capture::SheetPick> picks = capture::pickSceneFrames(frames);
    ASSERT_EQ(picks.size(), 3u);
    EXPECT_TRUE(picks[0].scene == "drawOpeningScene" && picks[0].ms == 300u);
    EXPECT_EQ((std::vector<uint32_t>{picks[0].frame, picks[1].frame, picks[2].frame}), (std::vector<uint32_t>{3, 12, 18}));
}

TEST(CaptureContactSheet, GridHoldsEveryThumbnailInItsOwnCellWithALabelBelow) {
    const uint8_t shades[] = {200, 150, 100, 50, 250};
    std::vector<capture::SheetEntry> entries;
    for (uint8_t shade : shades)
        entries.push_back({capture::makeImage(640, 480, shade, 0, 0), "drawScene2Knot", "1:23.45  frame 5007"});
    Image sheet = capture::makeContactSheet(entries);
    capture::SheetLayout layout = capture::sheetLayout(entries.size(), 640, 480);
    EXPECT_TRUE(layout.columns == 3 && layout.rows == 2 && layout.thumbWidth == 320 && layout.thumbHeight == 240);
    ASSERT_EQ(sheet.width, layout.width);
    ASSERT_EQ(sheet.height, layout.height);
    for (size_t i = 0; i < entries.size(); ++i) {
        int x = 0, y = 0;
        capture::sheetCellOrigin(layout, i, &x, &y);
        ASSERT_LE(x + layout.cellWidth, sheet.width);
        ASSERT_LE(y + layout.cellHeight, sheet.height);
        // Corners of the thumbnail carry its own shade, the pixel outside it the background.
        EXPECT_EQ(pixel(sheet, x, y)[0], shades[i]) << i;
        EXPECT_EQ(pixel(sheet, x + layout.thumbWidth - 1, y + layout.thumbHeight - 1)[0], shades[i]) << i;
        EXPECT_NE(pixel(sheet, x - 1, y)[0], shades[i]) << i;
        // Both label lines are drawn under the thumbnail.
        int labelTop = y + layout.thumbHeight;
        int lineHeight = (layout.cellHeight - layout.thumbHeight) / 2;
        EXPECT_GT(litPixels(sheet, x, labelTop, x + layout.cellWidth, labelTop + lineHeight), 50) << i;
        EXPECT_GT(litPixels(sheet, x, labelTop + lineHeight, x + layout.cellWidth, y + layout.cellHeight), 50) << i;
    }
    // Small captures keep their size in a one-cell sheet.
    capture::SheetLayout small = capture::sheetLayout(1, 160, 120);
    EXPECT_TRUE(small.columns * small.rows == 1 && small.thumbWidth == 160 && small.thumbHeight == 120);
}

TEST(CaptureContactSheet, FontDrawsEveryPrintableCharacterInsideItsCell) {
    for (char c = '!'; c <= '~'; ++c) {
        Image image = capture::makeImage(capture::GLYPH_ADVANCE * 2, capture::GLYPH_HEIGHT * 2);
        capture::drawText(&image, 0, 0, std::string(1, c), 2, 255, 255, 255);
        int inside = litPixels(image, 0, 0, capture::GLYPH_WIDTH * 2, capture::GLYPH_HEIGHT * 2);
        EXPECT_GT(inside, 0) << c;
        EXPECT_EQ(litPixels(image, 0, 0, image.width, image.height), inside) << c;
    }
    EXPECT_EQ(capture::formatShowTime(83456), "1:23.45");
    EXPECT_EQ(capture::frameFileName(42), "frame-000042.png");
    EXPECT_EQ(capture::frameFileName(1234567), "frame-1234567.png");
}

TEST(CaptureProgress, LineShowsShareFramesRateAndTimeLeft) {
    capture::ProgressState state{1200, 0.5, 41.26, 89.4};  // frames, share, rate, seconds left
    EXPECT_EQ(capture::progressLine(state, 10), "[#####-----]  50%  1200 frames  41.3 fps  1:29 left");
    state.fraction = 1.7;  // estimates past the end stay at a full bar
    state.secondsLeft = -1;
    EXPECT_EQ(capture::progressLine(state, 4), "[####] 100%  1200 frames  41.3 fps");
    EXPECT_DOUBLE_EQ(capture::showFraction(0, 0), 0.0);
    EXPECT_LT(capture::showFraction(28, 16), 1.0);  // the show ends at order 28, row 17
    EXPECT_DOUBLE_EQ(capture::showFraction(28, 17), 1.0);
    EXPECT_DOUBLE_EQ(capture::showFraction(29, 0), 1.0);
}
