// Text for the title and greeting strips: one line of text rendered by FreeType into an 8-bit
// coverage mask, which the texture builders colour and place into their strip rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace builder {

// Coverage 0..255, row-major, top row first. The mask spans the whole advance of the line
// horizontally and the font's ascender to descender vertically; baseline is the row the glyphs
// sit on.
struct TextMask {
    int width = 0;
    int height = 0;
    int baseline = 0;
    std::vector<uint8_t> coverage;
};

// The rows and columns that hold ink (coverage above zero); empty when left >= right.
struct InkBox {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct TextStyle {
    std::string fontFile;      // a file in the DejaVu font folder, e.g. "DejaVuSans-Bold.ttf"
    int pixelHeight = 16;      // em size in pixels
    float widthScale = 1.0f;   // < 1 condenses glyphs for strips stretched sideways on screen
    int tracking = 0;          // extra pixels between letters
};

// Full path of a font of the DejaVu folder the build was configured with.
std::string fontPath(const std::string& fontFile);

// Renders one line (UTF-8; the strips only use Latin-1 characters). False if the font cannot be
// opened or a glyph cannot be rendered.
bool renderText(const TextStyle& style, const std::string& text, TextMask& mask);

InkBox inkBounds(const TextMask& mask);

}  // namespace builder
