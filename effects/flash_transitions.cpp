// The white flashes at scene changes: a grey quad added over the whole frame, with the GL state it
// needs set here and the state the scenes expect put back.
#include "effects/flash_transitions.h"

#include <GL/gl.h>

#include "core/show_state.h"
#include "effects/effects.h"

namespace effects {

namespace {
void drawFlash(float level) {
    core::flashLevel = level;
    addFullScreenGrey(level);
}
} // namespace

float flashInLevel(int row) {
    float level = float(1.0 - row / 10.0);
    return level < 0.0f ? 0.0f : level;
}

float flashOutLevel(int row) {
    float level = float((row - 53) / 10.0);
    return level < 0.0f ? 0.0f : level;
}

void addFullScreenGrey(float level) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    glColor3f(level, level, level);
    glDisable(GL_TEXTURE_2D);
    // Adding a level of 0 (or less, which GL clamps to 0) changes no pixel: no need to touch
    // every one of them.
    if (level > 0) {
        glBegin(GL_QUADS);
        glVertex3f(-1.0f, -1.0f, 0.0f);
        glVertex3f(-1.0f, 1.0f, 0.0f);
        glVertex3f(1.0f, 1.0f, 0.0f);
        glVertex3f(1.0f, -1.0f, 0.0f);
        glEnd();
    }
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

void drawFlashIn() { drawFlash(flashInLevel(core::musicRow)); }
void drawFlashOut() { drawFlash(flashOutLevel(core::musicRow)); }

} // namespace effects
