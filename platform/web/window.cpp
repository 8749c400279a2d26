// The show window in a browser: a WebGL 2 context on the page's canvas, sized to the chosen mode or,
// full screen, to the screen, with the picture presented as platform/present.h says; Esc and
// leaving full screen as the close events; message boxes written onto the page.
#include "platform/window.h"

#include <GL/gl.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstring>

#include "platform/present.h"
#include "platform/web/gl_subset.h"

namespace platform {

namespace {
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
bool fullscreenAsked = false;
WindowEvents pending;
const char* const canvas = "#canvas";

EM_BOOL onKeyDown(int, const EmscriptenKeyboardEvent* key, void*) {
    if (!context) return EM_FALSE;
    if (std::strcmp(key->key, "Escape") == 0) ++pending.escapePresses;
    else if (std::strcmp(key->key, " ") == 0) ++pending.spacePresses;
    return EM_FALSE;
}

// Leaving full screen (the browser's own Esc, or any other way) closes the show, as closing the
// window does.
EM_BOOL onFullscreenChange(int, const EmscriptenFullscreenChangeEvent* change, void*) {
    if (context && fullscreenAsked && !change->isFullscreen) pending.closeRequested = true;
    return EM_FALSE;
}

// The canvas in device pixels: the screen's when full screen, the mode's otherwise.
EM_JS(void, sizeCanvas, (int width, int height, int fullscreen), {
    const canvas = document.getElementById('canvas');
    if (fullscreen) {
        const ratio = window.devicePixelRatio || 1;
        width = Math.round(screen.width * ratio);
        height = Math.round(screen.height * ratio);
    }
    canvas.width = width;
    canvas.height = height;
    canvas.classList.toggle('fullscreen', !!fullscreen);
});

// Full screen, the canvas follows the size it is shown at (the screen, or the window where the
// browser keeps full screen inside it).
EM_JS(void, followShownSize, (), {
    const canvas = document.getElementById('canvas');
    const ratio = window.devicePixelRatio || 1;
    const width = Math.round(canvas.clientWidth * ratio), height = Math.round(canvas.clientHeight * ratio);
    if (width > 0 && height > 0 && (canvas.width != width || canvas.height != height)) {
        canvas.width = width;
        canvas.height = height;
    }
});

EM_JS(void, writeMessage, (const char* text), {
    if (Module.onShowMessage) Module.onShowMessage(UTF8ToString(text));
});
} // namespace

WindowFailure openWindow(const WindowRequest& request) {
    closeWindow();
    sizeCanvas(request.width, request.height, request.fullscreen);
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;  // the frame code draws into the offscreen picture, which has one
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_TRUE;
    context = emscripten_webgl_create_context(canvas, &attributes);
    if (context <= 0) {
        context = 0;
        return WindowFailure::CreateContext;
    }
    if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        closeWindow();
        return WindowFailure::MakeCurrent;
    }
    resetGLSubset();
    // Always the offscreen picture: it has the chosen mode's colour depth, as the native window's
    // pixel format has, and full screen scales it into the screen.
    if (!beginOffscreenPicture(request.width, request.height, request.depth)) {
        closeWindow();
        return WindowFailure::ChooseFormat;
    }
    glViewport(0, 0, request.width, request.height);
    fullscreenAsked = request.fullscreen;
    pending = WindowEvents{};
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKeyDown);
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, onFullscreenChange);
    return WindowFailure::None;
}

void closeWindow() {
    if (!context) return;
    endOffscreenPicture();
    emscripten_webgl_make_context_current(0);
    emscripten_webgl_destroy_context(context);
    context = 0;
    if (fullscreenAsked) emscripten_exit_fullscreen();
    fullscreenAsked = false;
}

// The browser shows the canvas when the animation-frame callback returns; this only places the
// picture into it.
void swapWindow() {
    if (!context) return;
    if (fullscreenAsked) followShownSize();
    int width = 0, height = 0;
    emscripten_get_canvas_element_size(canvas, &width, &height);
    presentOffscreenPicture(width, height);
}

void* windowHandle() { return context ? reinterpret_cast<void*>(context) : nullptr; }

WindowEvents pumpWindowEvents() {
    WindowEvents events = pending;
    pending = WindowEvents{};
    return events;
}

void showMessageBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s%s%s\n", caption && *caption ? caption : "", caption && *caption ? " " : "", text);
    writeMessage(text);
}

} // namespace platform
