// The SDL2 window, its GL context and its events. SDL and GL failures go back to the caller, which
// shows the message box; nothing here ends the process.
#include "platform/window.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>

#include "platform/present.h"

namespace platform {

namespace {
SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool videoStarted = false;
bool directDrawingNoted = false;

struct PixelFormat {
    int red, green, blue, depth;
};

// Candidate formats from the exact request down to the most modest one, as a pixel-format choice
// picks the closest format the driver has rather than failing on the first miss.
int candidateFormats(int colourBits, PixelFormat* out) {
    int n = 0;
    if (colourBits <= 16) {
        out[n++] = {5, 6, 5, 16};
        out[n++] = {8, 8, 8, 16};
        out[n++] = {8, 8, 8, 24};
    } else {
        out[n++] = {8, 8, 8, 32};
        out[n++] = {8, 8, 8, 24};
        out[n++] = {8, 8, 8, 16};
    }
    out[n++] = {1, 1, 1, 16};
    out[n++] = {1, 1, 1, 0};
    return n;
}

void destroyWindowOnly() {
    if (window) SDL_DestroyWindow(window);
    window = nullptr;
}

// Full screen covers the desktop in the desktop's own mode: a mode change is what a crash can leave
// behind, what Wayland compositors refuse and what flat panels only fake by scaling. The window is
// made desktop-sized from the start, so it covers the screen even where no window manager acts on
// the full-screen request.
SDL_Window* createWindow(const WindowRequest& request) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI;
    SDL_Rect area = {0, 0, request.width, request.height};
    if (request.fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
        SDL_GetDisplayBounds(0, &area);
    }
    return SDL_CreateWindow(request.title, area.x, area.y, area.w, area.h, flags);
}

// The frame code draws at the chosen size. Full screen, and a window whose drawable is larger than
// its client area (HiDPI), draw into the offscreen picture that each swap scales into place; a
// plain window is drawn straight into, as the copy would change nothing but cost time. Without
// framebuffer objects everything is drawn straight into the window, centred by the viewport.
void startPresentation(const WindowRequest& request) {
    int drawableWidth = request.width, drawableHeight = request.height;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    const bool scaled = request.fullscreen || drawableWidth != request.width || drawableHeight != request.height;
    if (scaled && beginOffscreenPicture(request.width, request.height, request.depth)) {
        glViewport(0, 0, request.width, request.height);
        return;
    }
    if (scaled && !directDrawingNoted) {
        std::fprintf(stderr, "This OpenGL context has no framebuffer objects: the picture is drawn unscaled, "
                             "in the middle of the window.\n");
        directDrawingNoted = true;
    }
    glViewport((drawableWidth - request.width) / 2, (drawableHeight - request.height) / 2, request.width,
               request.height);
}
} // namespace

WindowFailure openWindow(const WindowRequest& request) {
    closeWindow();
    if (!videoStarted) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return WindowFailure::VideoInit;
        videoStarted = true;
    }

    PixelFormat formats[8];
    int formatCount = candidateFormats(request.depth, formats);
    WindowFailure failure = WindowFailure::ChooseFormat;
    for (int i = 0; i < formatCount; ++i) {
        const PixelFormat& f = formats[i];
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, f.red);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, f.green);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, f.blue);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, f.depth);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        // A compatibility context: the show draws in OpenGL 1.1 immediate mode.
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);

        window = createWindow(request);
        if (!window) {
            // A missing visual shows up here on X11; try the next format before giving up.
            failure = (i + 1 == formatCount) ? WindowFailure::CreateWindow : failure;
            continue;
        }
        context = SDL_GL_CreateContext(window);
        if (!context) {
            destroyWindowOnly();
            failure = WindowFailure::ChooseFormat;
            continue;
        }
        failure = WindowFailure::None;
        break;
    }
    if (failure != WindowFailure::None) {
        closeWindow();
        return failure;
    }

    if (SDL_GL_MakeCurrent(window, context) != 0) {
        closeWindow();
        return WindowFailure::MakeCurrent;
    }
    SDL_ShowCursor(SDL_DISABLE);
    SDL_RaiseWindow(window);
    // Tear-free frames; adaptive sync, where the driver has it, lets a late frame out at once
    // rather than waiting a whole refresh for the next one.
    if (SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(1);
    startPresentation(request);
    return WindowFailure::None;
}

void closeWindow() {
    if (context) {
        if (SDL_GL_MakeCurrent(window, context) == 0) endOffscreenPicture();
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    destroyWindowOnly();
    if (videoStarted) SDL_ShowCursor(SDL_ENABLE);
}

void swapWindow() {
    if (!window) return;
    if (offscreenPictureActive()) {
        // The drawable's size is asked each frame: a window manager may size the window late.
        int drawableWidth = 0, drawableHeight = 0;
        SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
        presentOffscreenPicture(drawableWidth, drawableHeight);
    }
    SDL_GL_SwapWindow(window);
}

void* windowHandle() { return window; }

WindowEvents pumpWindowEvents() {
    WindowEvents events;
    if (!videoStarted) return events;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_QUIT:
            events.closeRequested = true;
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) events.closeRequested = true;
            break;
        case SDL_KEYDOWN:
            if (e.key.keysym.sym == SDLK_ESCAPE) ++events.escapePresses;
            else if (e.key.keysym.sym == SDLK_SPACE) ++events.spacePresses;
            break;
        default:
            break;
        }
    }
    return events;
}

void showMessageBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s%s%s\n", caption && *caption ? caption : "", caption && *caption ? " " : "", text);
    const char* title = caption && *caption ? caption : "Error";
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, window);
}

} // namespace platform
