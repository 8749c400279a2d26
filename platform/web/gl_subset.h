// The OpenGL 1.x subset over WebGL 2 (gl_subset.cpp) keeps its shader and buffers per context.
#pragma once

namespace platform {

// Forgets them: the next draw makes them again in the context then current.
void resetGLSubset();

} // namespace platform
