// Temporary stand-in: clears the frame to a colour of its own until the scene is written.
#include "effects/effects.h"

#include <GL/gl.h>

namespace effects {

void drawBarlangScene() {
    glClearColor(0.2f, 0.1f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

} // namespace effects
