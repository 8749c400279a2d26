// The captured music as a WAV file: 16-bit stereo PCM at 44100 Hz, written as it is rendered, with
// the lengths in the header filled in when the file is closed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace capture {

constexpr uint32_t WAV_FREQUENCY = 44100;

struct WavFile {
    FILE* file = nullptr;
    std::string path;
    uint64_t frames = 0;   // stereo sample pairs written so far
    bool failed = false;   // a write went wrong; reported by closeWav
};

bool openWav(WavFile* wav, const std::string& path, std::string* error);
// Appends interleaved left/right samples.
void appendWav(WavFile* wav, const int16_t* interleavedStereo, size_t frames);
void appendSilence(WavFile* wav, size_t frames);
// Writes the final lengths and closes the file; false when any write failed or the data grew past
// what a WAV header can describe.
bool closeWav(WavFile* wav, std::string* error);

} // namespace capture
