// The opening scene, its build-up to white and its film grain.
#include "effects/opening_scene.h"

#include <GL/gl.h>

#include <cmath>

#include "assets/gl_state.h"
#include "assets/mesh_renderer.h"
#include "core/frame_timer.h"
#include "core/show_state.h"
#include "effects/effects.h"
#include "effects/flash_transitions.h"
#include "effects/random.h"

namespace effects {

float buildUpLevel(int row) { return float((row - 54) / 11.0); }

void drawOpeningScene() {
    // The red light runs on a circle of radius 80 above the hall, one turn per 2 pi / 11 units.
    double a = 11.0 * double(core::sceneTime);
    float lightX = float(std::sin(a) * 80.0);
    float lightY = float(std::cos(a) * 80.0);
    assets::setLightPosition(lightX, lightY + 8.7891f, 136.5971f);
    assets::drawMesh(core::gyarMesh, core::sceneTime);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // Film grain: one of the noise textures, a new pick every frame, repeated 5 times each way.
    glBindTexture(GL_TEXTURE_2D, core::noiseTextures[randomBelow(16)]);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    core::flashLevel = 0.11f;
    glColor3f(0.11f, 0.11f, 0.11f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glTexCoord2f(0.0f, 5.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glTexCoord2f(5.0f, 5.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(5.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

void drawOpeningBuildUp() {
    drawOpeningScene();
    core::sceneTime = float(double(core::timerTicks(400)) / 340.0);
    if (core::musicRow > 53) {
        core::flashLevel = buildUpLevel(core::musicRow);
        addFullScreenGrey(core::flashLevel);
    }
}

} // namespace effects
