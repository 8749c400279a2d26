// The music player: plays the show's tracker module and reports its playback position, the master
// clock of the timeline. Position word: order in the low 16 bits, row in the high 16 bits.
#pragma once
#include <cstddef>
#include <cstdint>

namespace core {

// Opens the audio device and loads the module through the archive layer. Does not return on
// failure (message box, exit code 1).
void loadMusic(int32_t device, uint32_t frequency, const char* name, void* window);
bool playMusic();
uint32_t getMusicPosition();
// Fades out over 1.25 s, then frees the module and the device.
void stopMusic();
void fadeOutMusic();

} // namespace core

namespace core {
// Offline mode (capture tool, tests): no device. The caller renders the music chunk by chunk and
// the reported position follows what was rendered.
bool loadMusicOffline(const char* name, uint32_t frequency);
size_t renderMusic(int16_t* interleavedStereo, size_t frames);
} // namespace core
