// Copies a rectangle of a 256 x 256 texture onto a rectangle of a virtual 640 x 480 screen (origin
// top-left), additively with an intensity: black texels leave the frame as it was. Used for the
// loading strip and every title and greeting overlay.
#pragma once
#include <cstdint>

namespace assets {

// Texture rectangle in texels (ty counted from the first stored row), screen rectangle in virtual
// pixels; (tx0, ty0) lands on (sx0, sy0), so swapped corners mirror the picture. Leaves GL_TEXTURE_2D
// enabled, an orthographic projection and identity modelview loaded, blending and alpha test off and
// depth test and depth writes on.
void drawScreenQuad(uint32_t texture, float tx0, float ty0, float tx1, float ty1,
                    float sx0, float sy0, float sx1, float sy1, float intensity);

} // namespace assets
