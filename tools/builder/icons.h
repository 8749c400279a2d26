// The desktop icon of the show, cut from the title picture: the title's last two characters with
// their glow, square, as an RGBA PNG of any size. Dark parts of the picture are transparent, so
// the glow shows on a light panel as on a dark one.
#pragma once

#include <cstdint>
#include <vector>

namespace builder {

// The icon side lengths the show installs (hicolor NxN folders).
constexpr int ICON_SIZES[] = {48, 128, 256};

// The PNG file of the icon at size × size pixels, made from the 256 × 256 RGB title texture;
// empty if the title strip holds no text to cut it from.
std::vector<uint8_t> makeIconPng(const std::vector<uint8_t>& titleTexture, int size);

}  // namespace builder
