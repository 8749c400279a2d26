// A tiny built-in 5×8 bitmap font (printable ASCII) for the labels of the contact sheet, so the
// tool needs no font files.
#pragma once
#include <cstdint>
#include <string>

#include "tools/capture/image.h"

namespace capture {

constexpr int GLYPH_WIDTH = 5;
constexpr int GLYPH_HEIGHT = 8;
constexpr int GLYPH_ADVANCE = GLYPH_WIDTH + 1;

int textWidth(const std::string& text, int scale);
// Draws text with its top-left corner at (x, y), each font pixel as a scale × scale square,
// clipped to the image. Characters outside printable ASCII draw as '?'.
void drawText(Image* image, int x, int y, const std::string& text, int scale, uint8_t r, uint8_t g, uint8_t b);

} // namespace capture
