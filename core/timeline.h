// The show's spine per frame: one turn of the main loop (music position -> order and row -> scene
// routine, overlay and flash). No window and no clock of its own: the window loop, the capture
// tool and the tests all run the same code.
#pragma once
#include <cstdint>

namespace core {

// A routine a frame calls, with the name the capture tool's timeline records for it.
struct Routine {
    const char* name = nullptr;  // none when nothing is called
    void (*draw)() = nullptr;
};

// What one frame draws.
struct FramePlan {
    Routine scene;
    Routine overlay;
    Routine flash;
    bool clearOnly = false;   // orders above 27: only a cleared screen
    bool ended = false;       // the show is over: order > 27 and row > 16, or the song ended
};

FramePlan planFrame(int32_t order, int32_t row);

// The flare's half-width for orders 4-6 from the scene clock the previous frame left.
float flareSizeFor(float s);

// One turn of the main loop after the message pump: reads the music position twice (row first),
// sets the overlay clock, and either ends, at the end point or once the song has ended (both
// buffers cleared and presented; the caller stops the music and exits), or calls the scene
// routine, its overlay and its flash. Does not present a normal frame: the caller swaps (or reads
// the pixels back).
FramePlan runFrame();

} // namespace core
