#include "platform/window.h"

#include <SDL.h>

#include <cstdio>

namespace platform {

namespace {
SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool displayChanged = false;
bool videoStarted = false;

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

        // The window is created plain first; the display mode changes after it is shown.
        window = SDL_CreateWindow(request.title, 0, 0, request.width, request.height,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | (request.fullscreen ? SDL_WINDOW_BORDERLESS : 0));
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

    SDL_ShowCursor(SDL_DISABLE);
    SDL_RaiseWindow(window);
    if (request.fullscreen) {
        SDL_DisplayMode mode{};
        mode.w = request.width;
        mode.h = request.height;
        mode.format = request.depth <= 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
        SDL_DisplayMode closest{};
        int display = SDL_GetWindowDisplayIndex(window);
        if (display >= 0 && SDL_GetClosestDisplayMode(display, &mode, &closest)) SDL_SetWindowDisplayMode(window, &closest);
        else SDL_SetWindowDisplayMode(window, &mode);
        // A failed mode change is not reported: the show then runs in a window of that size.
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
        displayChanged = true;
    }

    if (SDL_GL_MakeCurrent(window, context) != 0) {
        closeWindow();
        return WindowFailure::MakeCurrent;
    }
    SDL_GL_SetSwapInterval(0);  // no frame limiter: the loop renders as fast as it can
    return WindowFailure::None;
}

void closeWindow() {
    if (displayChanged && window) SDL_SetWindowFullscreen(window, 0);
    displayChanged = false;
    if (context) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    destroyWindowOnly();
    if (videoStarted) SDL_ShowCursor(SDL_ENABLE);
}

void swapWindow() {
    if (window) SDL_GL_SwapWindow(window);
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
