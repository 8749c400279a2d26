// The GL preset of the show (clear, depth test) and the setters the scenes use to state the mesh
// renderer's CPU lighting in one line each. The setters only store values for the next draw call.
#pragma once

namespace assets {

// Clears colour and depth, depth clear value 1.0, depth test on with GL_LEQUAL, nicest hints.
void initGLState();

void setAmbientColour(float r, float g, float b);
void setLightPosition(float x, float y, float z);
void setLightColour(float r, float g, float b, float range);

} // namespace assets
