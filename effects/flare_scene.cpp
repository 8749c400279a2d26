// The flare scene and its clock: the temple, the white light, the camera-facing flare and the
// white overlay that fades out as the scene starts.
#include "effects/flare_scene.h"

#include <GL/gl.h>

#include <cmath>

#include "assets/gl_state.h"
#include "assets/mesh_renderer.h"
#include "core/frame_timer.h"
#include "core/show_state.h"
#include "effects/effects.h"
#include "effects/flash_transitions.h"

namespace effects {

namespace {
const float flareX = -0.1664f, flareY = 0.1832f, flareZ = 389.9201f;
}

float flareSceneClock(uint32_t showMs) {
    double s = (double(int64_t(showMs) - 26500)) / 400.0;
    return s < 0.0 ? 0.0f : float(s);
}

float fadeStep(float level) {
    level -= 0.05f;
    return level < 0.0f ? 0.0f : level;
}

float buildUpStep(float level) {
    level += 0.1f;
    return level < 0.0f ? 0.0f : level;
}

void drawFlareFrame(bool sizeFromClock) {
    core::sceneTime = flareSceneClock(core::timerTicks(600));
    assets::setAmbientColour(0.0f, 0.0f, 0.0f);
    assets::lightingEnabled = true;
    assets::setLightPosition(-0.2547f, 0.0548f, 431.822f);
    assets::setLightColour(1.0f, 1.0f, 1.0f, 1100.0f);
    assets::drawMesh(core::scene1Mesh, core::sceneTime);

    // The flare stands in the plane x = cx; turning it by the camera's azimuth about z makes it face
    // the camera horizontally. The projection stays as the renderer left it.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    float angle = float(std::atan2(double(assets::cameraEye.y) - assets::cameraTarget.y,
                                   double(assets::cameraEye.x) - assets::cameraTarget.x) *
                        180.0 / M_PI);
    glRotatef(angle, 0.0f, 0.0f, 1.0f);
    glDisable(GL_FOG);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, core::effect1Texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    if (sizeFromClock) core::flareSize = 4.0f * core::sceneTime;
    float g = core::flareSize;
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(flareX, flareY - g, flareZ - g);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(flareX, flareY - g, flareZ + g);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(flareX, flareY + g, flareZ + g);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(flareX, flareY + g, flareZ - g);
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

void drawFlareScene() {
    drawFlareFrame(false);
    // The white of the flash fades out over 20 frames, whatever the frame rate.
    if (core::flashLevel > 0.0f) {
        core::flashLevel = fadeStep(core::flashLevel);
        addFullScreenGrey(core::flashLevel);
    }
}

} // namespace effects
