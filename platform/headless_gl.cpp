// The headless GL context on Mesa's surfaceless EGL. Every EGL step is checked; a failed one
// releases what the earlier steps made.
#include "platform/headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace platform {

namespace {
EGLDisplay display = EGL_NO_DISPLAY;
EGLSurface surface = EGL_NO_SURFACE;
EGLContext context = EGL_NO_CONTEXT;
int surfaceWidth = 0;
int surfaceHeight = 0;

bool fail(std::string* error, const char* what) {
    if (error) *error = std::string(what) + " (EGL error 0x" + std::to_string(eglGetError()) + ")";
    destroyHeadlessGL();
    return false;
}
} // namespace

bool createHeadlessGL(int width, int height, std::string* error) {
    destroyHeadlessGL();
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return fail(error, "eglGetPlatformDisplayEXT missing");
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) return fail(error, "no surfaceless EGL display");
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) return fail(error, "eglInitialize failed");

    const EGLint configAttributes[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
        EGL_DEPTH_SIZE, 24, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1)
        return fail(error, "no pbuffer config with desktop OpenGL");
    if (!eglBindAPI(EGL_OPENGL_API)) return fail(error, "eglBindAPI(OpenGL) failed");

    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (surface == EGL_NO_SURFACE) return fail(error, "eglCreatePbufferSurface failed");
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) return fail(error, "eglCreateContext failed");
    if (!eglMakeCurrent(display, surface, surface, context)) return fail(error, "eglMakeCurrent failed");
    surfaceWidth = width;
    surfaceHeight = height;
    return true;
}

void destroyHeadlessGL() {
    if (display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    eglTerminate(display);
    display = EGL_NO_DISPLAY;
    surface = EGL_NO_SURFACE;
    context = EGL_NO_CONTEXT;
    surfaceWidth = surfaceHeight = 0;
}

int headlessWidth() { return surfaceWidth; }
int headlessHeight() { return surfaceHeight; }

} // namespace platform
