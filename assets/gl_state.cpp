// The show's GL preset and the light setters. The setters only store values for the mesh
// renderer's next draw: nothing here touches GL state other than initGLState.
#include "assets/gl_state.h"

#include <GL/gl.h>

#include "assets/mesh_renderer.h"

namespace assets {

void initGLState() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void setAmbientColour(float r, float g, float b) { ambientColour = {r, g, b}; }

void setLightPosition(float x, float y, float z) { lightPosition = {x, y, z}; }

void setLightColour(float r, float g, float b, float range) {
    lightColour = {r, g, b};
    lightRange = range;
}

} // namespace assets
