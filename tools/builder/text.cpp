// Renders one line of text with FreeType into a coverage mask. A font that cannot be opened or a
// glyph that cannot be loaded makes the call fail, rather than leave a blank strip.
#include "tools/builder/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

namespace builder {
namespace {

// Decodes UTF-8 into code points; a malformed byte stands for itself (Latin-1).
std::vector<uint32_t> codePoints(const std::string& text) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < text.size();) {
        uint8_t c = uint8_t(text[i]);
        if (c >= 0xC0 && c < 0xE0 && i + 1 < text.size() && (uint8_t(text[i + 1]) & 0xC0) == 0x80) {
            out.push_back(uint32_t(c & 0x1F) << 6 | (uint8_t(text[i + 1]) & 0x3F));
            i += 2;
        } else {
            out.push_back(c);
            i += 1;
        }
    }
    return out;
}

struct FontFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FontFace() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

bool openFace(const TextStyle& style, FontFace& font) {
    if (FT_Init_FreeType(&font.library)) return false;
    if (FT_New_Face(font.library, fontPath(style.fontFile).c_str(), 0, &font.face)) return false;
    // Char size in 26.6 points at 72 dpi is pixels; a narrower char width condenses the glyphs.
    FT_F26Dot6 height = FT_F26Dot6(style.pixelHeight) * 64;
    FT_F26Dot6 width = FT_F26Dot6(std::lround(style.pixelHeight * style.widthScale * 64.0));
    return FT_Set_Char_Size(font.face, std::max<FT_F26Dot6>(width, 64), height, 72, 72) == 0;
}

// Copies one rendered glyph into the mask, adding coverage (neighbouring glyphs may touch).
void blitGlyph(const FT_Bitmap& bitmap, int x0, int y0, TextMask& mask) {
    for (int y = 0; y < int(bitmap.rows); ++y) {
        int my = y0 + y;
        if (my < 0 || my >= mask.height) continue;
        for (int x = 0; x < int(bitmap.width); ++x) {
            int mx = x0 + x;
            if (mx < 0 || mx >= mask.width) continue;
            uint8_t& dst = mask.coverage[size_t(my) * mask.width + mx];
            dst = uint8_t(std::min(255, dst + bitmap.buffer[y * bitmap.pitch + x]));
        }
    }
}

}  // namespace

std::string fontPath(const std::string& fontFile) {
    return std::string(TAV_FONT_DIR) + "/" + fontFile;
}

bool renderText(const TextStyle& style, const std::string& text, TextMask& mask) {
    mask = TextMask{};
    FontFace font;
    if (!openFace(style, font)) return false;
    FT_Face face = font.face;
    std::vector<uint32_t> chars = codePoints(text);

    // First pass: pen positions (in 26.6) with kerning, and the line's extent.
    std::vector<long> penX;
    long pen = 0;
    FT_UInt previous = 0;
    for (uint32_t ch : chars) {
        FT_UInt glyph = FT_Get_Char_Index(face, ch);
        if (previous && glyph && FT_HAS_KERNING(face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kern) == 0) pen += kern.x;
        }
        if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT)) return false;
        penX.push_back(pen);
        pen += face->glyph->advance.x + long(style.tracking) * 64;
        previous = glyph;
    }
    int ascender = int(std::ceil(face->size->metrics.ascender / 64.0));
    int descender = int(std::floor(face->size->metrics.descender / 64.0));
    // A margin of two pixels on each side catches glyphs that overhang their advance.
    mask.width = int((pen + 63) / 64) + 4;
    mask.height = ascender - descender;
    mask.baseline = ascender;
    mask.coverage.assign(size_t(mask.width) * mask.height, 0);

    for (size_t i = 0; i < chars.size(); ++i) {
        FT_UInt glyph = FT_Get_Char_Index(face, chars[i]);
        if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT)) return false;
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL)) return false;
        const FT_GlyphSlot slot = face->glyph;
        int x0 = 2 + int(penX[i] / 64) + slot->bitmap_left;
        int y0 = mask.baseline - slot->bitmap_top;
        blitGlyph(slot->bitmap, x0, y0, mask);
    }
    return true;
}

InkBox inkBounds(const TextMask& mask) {
    InkBox box{mask.width, mask.height, 0, 0};
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            if (!mask.coverage[size_t(y) * mask.width + x]) continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x + 1);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y + 1);
        }
    }
    if (box.left >= box.right) box = InkBox{};
    return box;
}

}  // namespace builder
