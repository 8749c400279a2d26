// Presents the offscreen frame into the window's 4:3 box. Saves exactly the GL state it touches
// and puts it back, so the frame code never sees the presentation.
#include "platform/present.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {
GLuint framebuffer = 0;
GLuint colourBuffer = 0;
GLuint depthBuffer = 0;
int pictureWidth = 0;
int pictureHeight = 0;
bool seen = true;

// Framebuffer objects are core from OpenGL 3.0 on and come as GL_ARB_framebuffer_object before;
// both give the entry points under the same names.
bool hasFramebufferObjects() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version && std::atoi(version) >= 3) return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const char* name = "GL_ARB_framebuffer_object";
    const size_t length = std::strlen(name);
    for (const char* at = extensions; at && (at = std::strstr(at, name)); at += length) {
        bool starts = at == extensions || at[-1] == ' ';
        bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

void deleteBuffers() {
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    if (colourBuffer) glDeleteRenderbuffers(1, &colourBuffer);
    if (depthBuffer) glDeleteRenderbuffers(1, &depthBuffer);
    framebuffer = colourBuffer = depthBuffer = 0;
}

bool makeBuffers(int width, int height, GLenum colourFormat, GLenum depthFormat) {
    glGenFramebuffers(1, &framebuffer);
    glGenRenderbuffers(1, &colourBuffer);
    glGenRenderbuffers(1, &depthBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colourBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, colourFormat, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return true;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    deleteBuffers();
    return false;
}

// Paints the parts of the drawable outside the picture's box black, through the scissor so the
// clear stays off the box the copy fills anyway.
void clearBars(const Box& box, int drawableWidth, int drawableHeight) {
    const Box bars[4] = {
        {0, 0, box.x, drawableHeight},
        {box.x + box.width, 0, drawableWidth - box.x - box.width, drawableHeight},
        {box.x, 0, box.width, box.y},
        {box.x, box.y + box.height, box.width, drawableHeight - box.y - box.height},
    };
    for (const Box& bar : bars) {
        if (bar.width <= 0 || bar.height <= 0) continue;
        glScissor(bar.x, bar.y, bar.width, bar.height);
        glClear(GL_COLOR_BUFFER_BIT);
    }
}
} // namespace

Box pictureBox(int width, int height) {
    Box box;
    if (int64_t(width) * 3 > int64_t(height) * 4) {
        // Wider than 4:3: full height, bars left and right.
        box.height = height;
        box.width = int((int64_t(height) * 4 + 1) / 3);
    } else {
        // Taller than (or exactly) 4:3: full width, bars above and below.
        box.width = width;
        box.height = int((int64_t(width) * 3 + 2) / 4);
    }
    if (box.width > width) box.width = width;
    if (box.height > height) box.height = height;
    if (box.width < 1) box.width = 1;
    if (box.height < 1) box.height = 1;
    box.x = (width - box.width) / 2;
    box.y = (height - box.height) / 2;
    return box;
}

bool beginOffscreenPicture(int width, int height, int depth) {
    endOffscreenPicture();
    if (width < 1 || height < 1 || !hasFramebufferObjects()) return false;
    // 16-bit modes keep their coarse colour steps; the depth buffer is as deep as the colour, as
    // far as renderbuffers go (24 bits for the 32-bit modes, whose colour has 24 bits anyway).
    const GLenum depthFormat = depth <= 16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24;
    bool made = false;
    if (depth <= 16) made = makeBuffers(width, height, GL_RGB565, depthFormat);
    if (!made) made = makeBuffers(width, height, GL_RGB8, depthFormat);
    if (!made) return false;
    pictureWidth = width;
    pictureHeight = height;
    return true;
}

bool offscreenPictureActive() { return framebuffer != 0; }

void presentOffscreenPicture(int drawableWidth, int drawableHeight) {
    if (!framebuffer || drawableWidth < 1 || drawableHeight < 1) return;
    const Box box = pictureBox(drawableWidth, drawableHeight);

    // The frame code's state that a clear and a copy obey.
    GLfloat clearColour[4];
    GLboolean colourMask[4];
    GLint scissorBox[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
    const GLboolean scissorTest = glIsEnabled(GL_SCISSOR_TEST);

    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_SCISSOR_TEST);
    clearBars(box, drawableWidth, drawableHeight);
    glDisable(GL_SCISSOR_TEST);
    const bool sameSize = box.width == pictureWidth && box.height == pictureHeight;
    glBlitFramebuffer(0, 0, pictureWidth, pictureHeight, box.x, box.y, box.x + box.width, box.y + box.height,
                      GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);

    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
    glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
    if (scissorTest) glEnable(GL_SCISSOR_TEST);
}

void endOffscreenPicture() {
    if (!framebuffer) return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    deleteBuffers();
    pictureWidth = pictureHeight = 0;
}

void setFrameSeen(bool frameIsSeen) { seen = frameIsSeen; }

bool frameSeen() { return seen; }

} // namespace platform
