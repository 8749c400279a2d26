// TEMPORARY stand-in for the music player: no sound; the position advances at 145 BPM, speed 6
// (one 64-row pattern every 6.621 s) from the moment playMusic is called. Replaced by the real
// player on libopenmpt and SDL audio.
#include "core/music.h"

#include "platform/clock.h"

namespace core {

namespace {
bool playing = false;
uint32_t startMs = 0;
} // namespace

void loadMusic(int32_t, uint32_t, const char*, void*) {}

bool playMusic() {
    playing = true;
    startMs = platform::milliseconds();
    return true;
}

uint32_t getMusicPosition() {
    if (!playing) return 0;
    uint64_t rows = uint64_t(platform::milliseconds() - startMs) * 1000 / 103448;  // 103.448 ms per row
    uint32_t order = uint32_t(rows / 64), row = uint32_t(rows % 64);
    if (order > 28) order = 28, row = 63;
    return (row << 16) | order;
}

void fadeOutMusic() {}
void stopMusic() { playing = false; }

} // namespace core

namespace core {
bool loadMusicOffline(const char*, uint32_t) { return true; }
size_t renderMusic(int16_t* out, size_t frames) {
    for (size_t i = 0; i < frames * 2; ++i) out[i] = 0;
    return frames;
}
} // namespace core
