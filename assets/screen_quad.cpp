// The additive screen quad of the loading strip and the overlays: GL state set for each quad, so
// it trusts nothing the previous draw left behind.
#include "assets/screen_quad.h"

#include <GL/gl.h>

namespace assets {

namespace {
// Texel and virtual-pixel positions become 0..1 fractions, divided in extended precision.
float fraction(float value, long double whole) { return float(value / whole); }
} // namespace

void drawScreenQuad(uint32_t texture, float tx0, float ty0, float tx1, float ty1,
                    float sx0, float sy0, float sx1, float sy1, float intensity) {
    // x runs 0..1 to the right and y 0..1 downwards, whatever the window size.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 1, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // Additive: black adds nothing. The alpha test with reference 0 drops every fragment of an
    // intensity-0 quad, so it does not even touch the frame.
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glAlphaFunc(GL_GREATER, 0.0f);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(intensity, intensity, intensity, intensity);

    const float u0 = fraction(tx0, 256), v0 = fraction(ty0, 256);
    const float u1 = fraction(tx1, 256), v1 = fraction(ty1, 256);
    const float x0 = fraction(sx0, 640), y0 = fraction(sy0, 480);
    const float x1 = fraction(sx1, 640), y1 = fraction(sy1, 480);
    if (intensity > 0) {  // otherwise every fragment would fail the alpha test
        glBegin(GL_QUADS);
        glTexCoord2f(u1, v0); glVertex2f(x1, y0);
        glTexCoord2f(u0, v0); glVertex2f(x0, y0);
        glTexCoord2f(u0, v1); glVertex2f(x0, y1);
        glTexCoord2f(u1, v1); glVertex2f(x1, y1);
        glEnd();
    }

    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
}

} // namespace assets
