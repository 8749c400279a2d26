// The audio layer: plays one tracker module through libopenmpt and an SDL audio device, or renders
// it on demand without a device (offline, for the capture tool and tests). It is the only code that
// talks to libopenmpt and SDL audio. The position word it reports has the pattern order in the low
// 16 bits and the row in the high 16 bits.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {

// Opens the output device paused: device -1 is the default device, n >= 1 the n-th device SDL
// lists. 16-bit stereo at `frequency` Hz with a small buffer, so the reported position stays
// close to what is heard. `window` is accepted for the caller's sake; SDL needs no owner window.
// False when a device is already open or the device cannot be opened.
bool audioInit(int32_t device, uint32_t frequency, void* window);
// The same layer without a device: nothing plays by itself, audioRender pulls the samples.
bool audioInitOffline(uint32_t frequency);
// Lets the device run (it plays silence until a module plays).
bool audioStart();

// Loads a module from memory; the layer keeps its own copy. Returns the module's handle, or 0 when
// the data is not a module libopenmpt can play or no output is initialised. One module at a time:
// a new load replaces the previous one. The module plays once, without looping.
uint32_t audioLoadModule(const void* data, size_t size);
// 0..100; 50 is unity gain, 100 doubles the amplitude, 0 silences.
bool audioSetAmplification(uint32_t module, uint32_t amount);
// Global music volume 0..100, scaling the output linearly. Starts at 100.
bool audioSetMusicVolume(int32_t volume);
int32_t audioGetMusicVolume();

// Starts playback from order 0, row 0.
bool audioPlay(uint32_t module);
// 0 until played; then the position of the audio now leaving the device (offline: the position
// right after the last rendered chunk). Stops at the end of the song. Cheap and safe to call
// while the device runs.
uint32_t audioPosition(uint32_t module);
// True once the song has played to its end and its last samples have left the device (offline:
// once a render reached the end). The position then stays on the song's last row.
bool audioEnded(uint32_t module);
// Offline only: renders the next frames (interleaved stereo, volume applied). Before play it
// writes silence and reports all frames; at the song end it reports fewer frames, then 0.
size_t audioRender(uint32_t module, int16_t* interleavedStereo, size_t frames);

bool audioFreeModule(uint32_t module);
// Pauses the device.
bool audioStop();
// Closes the device and forgets everything, so audioInit may be called again.
void audioFree();

} // namespace platform
