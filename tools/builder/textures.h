// The show's single 256 x 256 RGB textures, made from code: the title and credit strips, the
// greeting strips, the flare, the knot's space texture, the daylight layer, the tunnel wall, the
// blob sphere's skin and the engine sphere's environment map. Each is the 196608 bytes of a .raw
// file: rows top to bottom as the strip tables number them, pixels left to right, R G B.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/builder/member.h"

namespace builder {

constexpr int TEXTURE_SIZE = 256;
constexpr size_t RAW_TEXTURE_BYTES = size_t(TEXTURE_SIZE) * TEXTURE_SIZE * 3;

// Rows [top, bottom) of a texture that one strip of the show cuts out.
struct StripRows {
    int top, bottom;
};

// The strips of "tavrion.raw": title, subtitle, loading strip and the five credit lines in the
// order they appear on screen.
extern const StripRows TITLE_STRIP, SUBTITLE_STRIP, LOADING_STRIP;
extern const StripRows CREDIT_STRIPS[5];
// The eleven strips of "greets.raw", in the order they appear.
extern const StripRows GREETING_STRIPS[11];

// Each returns a texture, or an empty vector if its text could not be rendered (no font).
std::vector<uint8_t> makeTitleTexture();      // "tavrion.raw"
std::vector<uint8_t> makeGreetingsTexture();  // "greets.raw"
std::vector<uint8_t> makeFlareTexture();      // "effect1.raw"
std::vector<uint8_t> makeSpaceTexture();      // "space82.raw"
std::vector<uint8_t> makeDaylightTexture();   // "nappal.raw"
std::vector<uint8_t> makeTunnelTexture();     // "tex32_02.raw"
std::vector<uint8_t> makeBlobTexture();       // "sphere38.raw"
std::vector<uint8_t> makeChromeTexture();     // "rondany.raw"

// All eight as deflated archive members; false (and no members) if one cannot be made.
bool buildTextureMembers(std::vector<Member>& members);

}  // namespace builder
