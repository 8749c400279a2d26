// The music player: plays the show's tracker module and reports its playback position, the master
// clock of the timeline. Position word: order in the low 16 bits, row in the high 16 bits.
// The module is read whole through the archive layer and played by the audio layer, either on the
// sound device or offline, rendered on demand by the capture tool and tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace core {

// Opens the audio device and loads the module through the archive layer: amplification 50, music
// volume 100, stopped at order 0 row 0. Does not return on failure: the window is torn down, then
// the message box, exit code 1.
void loadMusic(int32_t device, uint32_t frequency, const char* name, void* window);
bool playMusic();
// 0 before playMusic; then the position being heard (offline: right after the last rendered
// chunk). Stays on the last row once the song has ended; the song never loops.
uint32_t getMusicPosition();
// Where getMusicPosition reads from: the audio layer, or while a source is set (tests driving the
// frame loop through a song of their own making) that source. nullptr restores the audio layer.
using MusicPositionSource = uint32_t (*)();
void setMusicPositionSource(MusicPositionSource source);
// True once the song has played to its end (offline: once it has been rendered to its end). A
// song may end before the show's own end point; the main loop then ends the show.
bool musicEnded();
// Fades out over 1.25 s, then frees the module and the device.
void stopMusic();
void fadeOutMusic();

// The texts loadMusic shows before it ends the program.
inline constexpr const char* audioInitFailedText = "BASS initialization error.";
inline constexpr const char* moduleLoadFailedText = "BASS can't music load file.";

// What loadMusic does, minus the ending: message is nullptr when the music is ready, otherwise
// the text to show and the exit code to end with (the audio layer is released again).
struct MusicOpenResult {
    const char* message;
    int exitCode;
};
MusicOpenResult openMusic(int32_t device, uint32_t frequency, const char* name, void* window);

// The pause between fade-out steps. nullptr restores the real sleep; the capture tool renders
// audio in it, tests record it.
using MusicSleep = void (*)(uint32_t milliseconds);
void setMusicSleep(MusicSleep sleep);

} // namespace core

namespace core {
// Offline mode (capture tool, tests): no device, no message box, no exit; false on failure.
// The caller renders the music chunk by chunk and the reported position follows what was
// rendered. playMusic, getMusicPosition, fadeOutMusic and stopMusic work as with a device.
bool loadMusicOffline(const char* name, uint32_t frequency);
// The next frames, 16-bit interleaved stereo at the loaded frequency, music volume applied.
// Returns the frames produced: fewer, then 0, at the end of the song. Before playMusic it
// writes silence and the position stays 0.
size_t renderMusic(int16_t* interleavedStereo, size_t frames);
} // namespace core
