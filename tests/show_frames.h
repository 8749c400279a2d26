// For the tests that draw the show's frames headless: a clock the test sets, and small textures.
#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "core/frame_timer.h"

namespace frames {

inline uint32_t fakeNow = 0;
inline uint32_t fakeClock() { return fakeNow; }

// Restarts the show's timer at clock 0, then moves the clock on to `ms` of show time.
inline void showTime(uint32_t ms) {
    fakeNow = 0;
    core::resetTimer();
    fakeNow = ms;
}

// A width x height texture of RGB texels, sampled nearest, left bound.
inline uint32_t texture(int width, int height, const std::vector<uint8_t>& rgb) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return name;
}

} // namespace frames
