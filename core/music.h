// The music player: plays the show's tracker module and reports its playback position, the master
// clock of the timeline. Position word: order in the low 16 bits, row in the high 16 bits.
#pragma once
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
