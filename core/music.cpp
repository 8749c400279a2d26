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

// Opens the name for reading in bytes. A pending error means the handle is not open and must not
// be touched again.
bool openMember(archive::ArchiveFile& file, const char* name) {
    archive::assignFile(file, name);
    archive::openFile(file, 1);
    return archive::takeFileError() == 0;
}

// The module member, read whole, handed to the audio layer, which keeps its own copy; the block
// dies here.
bool loadModule(const char* name) {
    std::string shortName = std::string(name ? name : "").substr(0, 255);
    std::vector<uint8_t> block;
    if (!readWholeMember(shortName.c_str(), block)) return false;
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

bool readWholeMember(const char* name, std::vector<uint8_t>& block) {
    block.clear();
    archive::ArchiveFile file;
    if (!openMember(file, name)) return false;
    uint32_t size = archive::fileSize(file);
    // A member whose header claims more than its data can hold is not a module; never allocate
    // what a forged size asks for.
    bool failed = archive::fileSizeBound(file) < size;
    if (!failed) block.resize(size);
    uint32_t read = 0;
    if (!failed && size > 0) archive::readBlock(file, block.data(), size, &read);
    failed = archive::takeFileError() != 0 || failed;
    archive::closeFile(file);
    archive::takeFileError();
    block.resize(read);
    return !failed;
}

uint32_t memberSize(const char* name) {
    archive::ArchiveFile file;
    if (!openMember(file, name)) return 0;
    uint32_t size = archive::fileSize(file);
    archive::closeFile(file);
    archive::takeFileError();
    return size;
}

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
