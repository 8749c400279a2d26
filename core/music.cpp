// The music player. The show's clock is the song: the timeline asks for the position being heard
// each frame, and the song's end ends the show. This file loads the module (a loose file or an
// archive member, read whole through the archive layer, which refuses a size the data cannot
// hold), hands it to the audio layer, which parses and plays it, and fades it out. It trusts the
// audio layer to reject a module that is not one; it keeps no audio state of its own but the
// handle, the fade's pause and the position source tests may set.
#include "core/music.h"

#include <cstdlib>
#include <string>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/window.h"

#include "archive/archive.h"
#include "core/window.h"

namespace core {

namespace {
uint32_t musicHandle = 0;  // 0 until a module is loaded
MusicSleep fadeSleep = nullptr;
MusicPositionSource positionSource = nullptr;

// The module member, read whole, handed to the audio layer, which keeps its own copy; the block
// dies here.
bool loadModule(const char* name) {
    std::string shortName = std::string(name ? name : "").substr(0, 255);
    std::vector<uint8_t> block;
    if (archive::readWholeFile(shortName.c_str(), block) != archive::ZFS_OK) return false;
    musicHandle = platform::audioLoadModule(block.data(), block.size());
    if (musicHandle == 0) return false;
    platform::audioSetAmplification(musicHandle, 50);
    platform::audioSetMusicVolume(100);
    return true;
}

void pause(uint32_t milliseconds) {
    if (fadeSleep) fadeSleep(milliseconds);
    else platform::sleepMilliseconds(milliseconds);
}
} // namespace

MusicOpenResult openMusic(int32_t device, uint32_t frequency, const char* name, void* window) {
    if (!platform::audioInit(device, frequency, window)) return {audioInitFailedText, 1};
    platform::audioStart();
    if (!loadModule(name)) {
        platform::audioFree();
        return {moduleLoadFailedText, 1};
    }
    return {nullptr, 0};
}

void loadMusic(int32_t device, uint32_t frequency, const char* name, void* window) {
    MusicOpenResult result = openMusic(device, frequency, name, window);
    if (result.message == nullptr) return;
    // The window goes first, as for the window's own failures: a message behind a full-screen
    // window would look like a hang.
    killGLWindow();
    platform::showMessageBox(result.message, "");
    std::exit(result.exitCode);
}

bool loadMusicOffline(const char* name, uint32_t frequency) {
    if (!platform::audioInitOffline(frequency)) return false;
    if (!loadModule(name)) {
        platform::audioFree();
        return false;
    }
    return true;
}

bool playMusic() { return platform::audioPlay(musicHandle); }

// A position source stands in for a song and never ends.
bool musicEnded() { return !positionSource && platform::audioEnded(musicHandle); }

uint32_t getMusicPosition() { return positionSource ? positionSource() : platform::audioPosition(musicHandle); }

void setMusicPositionSource(MusicPositionSource source) { positionSource = source; }

size_t renderMusic(int16_t* interleavedStereo, size_t frames) {
    return platform::audioRender(musicHandle, interleavedStereo, frames);
}

void setMusicSleep(MusicSleep sleep) { fadeSleep = sleep; }

// From 100 the volumes set are 100, 96, ..., 4: 25 steps of 50 ms. Volume 0 itself is never set;
// the module is freed right after.
void fadeOutMusic() {
    int32_t volume = platform::audioGetMusicVolume();
    while (volume > 0) {
        platform::audioSetMusicVolume(volume);
        volume -= 4;
        pause(50);
    }
}

void stopMusic() {
    fadeOutMusic();
    platform::audioFreeModule(musicHandle);
    musicHandle = 0;
    platform::audioStop();
    platform::audioFree();
}

} // namespace core
