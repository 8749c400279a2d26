// Picks one frame from the middle of every scene of a capture and lays the pictures out in a
// labelled grid.
#include "tools/capture/contact_sheet.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/capture/bitmap_font.h"

namespace capture {

namespace {

// Thumbnails no wider than this keep a sheet of a 4K capture at a sensible size.
constexpr int MAX_THUMB_WIDTH = 320;
constexpr uint8_t BACKGROUND = 24;

int labelLineHeight(int scale) { return (GLYPH_HEIGHT + 2) * scale; }

} // namespace

std::vector<SheetPick> pickSceneFrames(const std::vector<FrameRecord>& frames) {
    std::vector<std::string> order;
    for (const FrameRecord& f : frames) {
        if (f.scene.empty()) continue;
        bool seen = false;
        for (const std::string& s : order) seen = seen || s == f.scene;
        if (!seen) order.push_back(f.scene);
    }
    std::vector<SheetPick> picks;
    for (const std::string& scene : order) {
        std::vector<const FrameRecord*> own;
        for (const FrameRecord& f : frames)
            if (f.scene == scene) own.push_back(&f);
        uint32_t middle = own[(own.size() - 1) / 2]->frame;
        const FrameRecord* best = nullptr;
        for (const FrameRecord* f : own) {
            if (!f->pictureWritten) continue;
            uint32_t distance = f->frame > middle ? f->frame - middle : middle - f->frame;
            uint32_t bestDistance = best ? (best->frame > middle ? best->frame - middle : middle - best->frame) : 0;
            if (!best || distance < bestDistance) best = f;
        }
        if (best) picks.push_back({scene, best->frame, best->ms});
    }
    return picks;
}

SheetLayout sheetLayout(size_t count, int frameWidth, int frameHeight) {
    SheetLayout l;
    if (count == 0 || frameWidth <= 0 || frameHeight <= 0) return l;
    l.columns = int(std::ceil(std::sqrt(double(count))));
    l.rows = int((count + size_t(l.columns) - 1) / size_t(l.columns));
    l.thumbWidth = frameWidth < MAX_THUMB_WIDTH ? frameWidth : MAX_THUMB_WIDTH;
    l.thumbHeight = int(int64_t(frameHeight) * l.thumbWidth / frameWidth);
    if (l.thumbHeight < 1) l.thumbHeight = 1;
    l.labelScale = l.thumbWidth >= 256 ? 2 : 1;
    l.cellWidth = l.thumbWidth;
    l.cellHeight = l.thumbHeight + 2 * labelLineHeight(l.labelScale) + 2;
    l.width = SHEET_MARGIN + l.columns * (l.cellWidth + SHEET_MARGIN);
    l.height = SHEET_MARGIN + l.rows * (l.cellHeight + SHEET_MARGIN);
    return l;
}

void sheetCellOrigin(const SheetLayout& layout, size_t index, int* x, int* y) {
    int column = int(index % size_t(layout.columns));
    int row = int(index / size_t(layout.columns));
    *x = SHEET_MARGIN + column * (layout.cellWidth + SHEET_MARGIN);
    *y = SHEET_MARGIN + row * (layout.cellHeight + SHEET_MARGIN);
}

Image makeContactSheet(const std::vector<SheetEntry>& entries) {
    if (entries.empty()) return Image{};
    const Image& first = entries.front().picture;
    SheetLayout layout = sheetLayout(entries.size(), first.width, first.height);
    Image sheet = makeImage(layout.width, layout.height, BACKGROUND, BACKGROUND, BACKGROUND);
    for (size_t i = 0; i < entries.size(); ++i) {
        int x = 0, y = 0;
        sheetCellOrigin(layout, i, &x, &y);
        pasteImage(&sheet, scaleImage(entries[i].picture, layout.thumbWidth, layout.thumbHeight), x, y);
        int textY = y + layout.thumbHeight + 2;
        for (const std::string* line : {&entries[i].title, &entries[i].detail}) {
            // A line too long for the cell at the sheet's scale falls back to the small size.
            int scale = layout.labelScale;
            if (textWidth(*line, scale) > layout.cellWidth) scale = 1;
            Image label = makeImage(layout.cellWidth, labelLineHeight(scale), BACKGROUND, BACKGROUND, BACKGROUND);
            drawText(&label, 0, scale, *line, scale, 230, 230, 230);
            pasteImage(&sheet, label, x, textY);
            textY += labelLineHeight(layout.labelScale);
        }
    }
    return sheet;
}

std::string formatShowTime(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u.%02u", ms / 60000, ms / 1000 % 60, ms % 1000 / 10);
    return text;
}

std::string frameFileName(uint32_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06u.png", frame);
    return name;
}

bool writeContactSheet(const std::string& path, const std::string& outDir, const std::vector<SheetPick>& picks,
                       std::string* error) {
    if (picks.empty()) {
        *error = "no scene has a written picture for the contact sheet";
        return false;
    }
    std::vector<SheetEntry> entries;
    for (const SheetPick& pick : picks) {
        SheetEntry entry;
        if (!readPng(outDir + "/" + frameFileName(pick.frame), &entry.picture, error)) return false;
        entry.title = pick.scene;
        entry.detail = formatShowTime(pick.ms) + "  frame " + std::to_string(pick.frame);
        entries.push_back(std::move(entry));
    }
    return writePng(path, makeContactSheet(entries), error);
}

} // namespace capture
