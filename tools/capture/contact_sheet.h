// The contact sheet: one picture from the middle of every scene of a capture, labelled with the
// scene's name and the moment of the picture, in a grid.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/capture/image.h"

namespace capture {

// What the capture loop remembers of every captured frame.
struct FrameRecord {
    uint32_t frame = 0;
    uint32_t ms = 0;
    std::string scene;          // empty for frames that are only cleared
    bool pictureWritten = false;
};

struct SheetPick {
    std::string scene;
    uint32_t frame = 0;
    uint32_t ms = 0;
};

// For every scene, in the order the scenes first appear: the frame with a written picture that
// lies nearest the middle of that scene's frames (the earlier one on a tie). Scenes without any
// written picture (shorter than --every) and cleared frames are left out.
std::vector<SheetPick> pickSceneFrames(const std::vector<FrameRecord>& frames);

struct SheetLayout {
    int columns = 0;
    int rows = 0;
    int thumbWidth = 0;
    int thumbHeight = 0;
    int labelScale = 1;
    int cellWidth = 0;   // thumbnail plus label, without the margin
    int cellHeight = 0;
    int width = 0;       // the whole sheet
    int height = 0;
};

constexpr int SHEET_MARGIN = 8;

SheetLayout sheetLayout(size_t count, int frameWidth, int frameHeight);
// Top-left corner of the cell that holds entry index.
void sheetCellOrigin(const SheetLayout& layout, size_t index, int* x, int* y);

struct SheetEntry {
    Image picture;
    std::string title;   // first label line
    std::string detail;  // second label line
};

Image makeContactSheet(const std::vector<SheetEntry>& entries);

// "m:ss.cc" for a moment of the show.
std::string formatShowTime(uint32_t ms);

// Reads the picked frames back from outDir and writes the sheet to path.
bool writeContactSheet(const std::string& path, const std::string& outDir, const std::vector<SheetPick>& picks,
                       std::string* error);

// The file name of frame index inside the output folder: frame-NNNNNN.png.
std::string frameFileName(uint32_t frame);

} // namespace capture
