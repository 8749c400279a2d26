// A desktop OpenGL compatibility context without any display: Mesa's EGL surfaceless platform with
// a pbuffer of the requested size (llvmpipe when no GPU is there). Used by the capture tool and the
// tests, which draw into it with the same frame code the show window runs.
#pragma once
#include <string>

namespace platform {

// Creates the context and makes it current on the calling thread. Returns false (and fills *error)
// when no context can be made. Calling it again replaces the previous context.
bool createHeadlessGL(int width, int height, std::string* error = nullptr);
void destroyHeadlessGL();
int headlessWidth();
int headlessHeight();

} // namespace platform
