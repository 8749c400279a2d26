// How a frame reaches the screen: the frame code draws into an offscreen framebuffer of exactly the
// chosen size, and each frame is copied, scaled, into the largest centred 4:3 box of whatever the
// window's drawable is (a desktop-sized full-screen window, a HiDPI window), the rest black. The
// desktop's display mode is never touched. Also the 4:3 fit itself, which the capture tool shares.
#pragma once

namespace platform {

// A rectangle in OpenGL window coordinates (origin at the bottom left).
struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The largest 4:3 box centred in a width × height drawable (the whole of it when it is 4:3).
Box pictureBox(int width, int height);

// Makes the offscreen picture in the current context (colour 5-6-5 for 16-bit modes, 8 bits a
// channel otherwise, plus a depth buffer) and binds it for both drawing and reading, so that the
// frame code and anything reading pixels back see only the picture. Returns false, leaving the
// context as it was, when the context has no framebuffer objects or cannot make one of this kind.
bool beginOffscreenPicture(int width, int height, int depth);
bool offscreenPictureActive();
// Copies the picture into the centred 4:3 box of the default framebuffer of the given size and
// paints the bars black. Every piece of state the frame code can see comes back as it was,
// the offscreen picture bound again included.
void presentOffscreenPicture(int drawableWidth, int drawableHeight);
// Deletes the offscreen picture; the context must still be current. Harmless when there is none.
void endOffscreenPicture();

// Whether the frame being drawn will be seen. A frame nobody sees (a capture seeking to its first
// frame) still runs all of its frame code, so everything carried from frame to frame stays exact,
// but the mesh renderer, the cave and the lit patches send it no triangles. True at start.
void setFrameSeen(bool seen);
bool frameSeen();

} // namespace platform
