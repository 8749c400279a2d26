// Writes the WAV file as the music is rendered and fills in its lengths on close, where a failed
// write or more audio than one WAV file can hold is reported.
#include "tools/capture/wav_file.h"

#include <cstring>
#include <vector>

namespace capture {

namespace {

constexpr uint32_t CHANNELS = 2;
constexpr uint32_t BYTES_PER_FRAME = CHANNELS * 2;
constexpr uint32_t HEADER_SIZE = 44;

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// The canonical 44-byte RIFF header for a PCM stream of dataBytes bytes.
void fillHeader(uint8_t* h, uint32_t dataBytes) {
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);                               // fmt chunk size
    put16(h + 20, 1);                                // PCM
    put16(h + 22, CHANNELS);
    put32(h + 24, WAV_FREQUENCY);
    put32(h + 28, WAV_FREQUENCY * BYTES_PER_FRAME);  // byte rate
    put16(h + 32, BYTES_PER_FRAME);                  // block align
    put16(h + 34, 16);                               // bits per sample
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes);
}

} // namespace

bool openWav(WavFile* wav, const std::string& path, std::string* error) {
    *wav = WavFile{};
    wav->path = path;
    wav->file = std::fopen(path.c_str(), "wb");
    if (!wav->file) {
        *error = "cannot create " + path;
        return false;
    }
    // Lengths are unknown until the end; a zero-length header keeps the file valid meanwhile.
    uint8_t header[HEADER_SIZE];
    fillHeader(header, 0);
    if (std::fwrite(header, 1, HEADER_SIZE, wav->file) != HEADER_SIZE) wav->failed = true;
    return true;
}

void appendWav(WavFile* wav, const int16_t* interleavedStereo, size_t frames) {
    if (!wav->file || frames == 0) return;
    // Little-endian on disk whatever the machine.
    std::vector<uint8_t> bytes(frames * BYTES_PER_FRAME);
    for (size_t i = 0; i < frames * CHANNELS; ++i) put16(&bytes[i * 2], uint16_t(interleavedStereo[i]));
    if (std::fwrite(bytes.data(), 1, bytes.size(), wav->file) != bytes.size()) wav->failed = true;
    wav->frames += frames;
}

void appendSilence(WavFile* wav, size_t frames) {
    std::vector<int16_t> zeros(frames * CHANNELS, 0);
    appendWav(wav, zeros.data(), frames);
}

bool closeWav(WavFile* wav, std::string* error) {
    if (!wav->file) return true;
    uint64_t dataBytes = wav->frames * BYTES_PER_FRAME;
    bool tooLong = dataBytes > 0xFFFFFFFFull - 36;
    uint8_t header[HEADER_SIZE];
    fillHeader(header, tooLong ? 0 : uint32_t(dataBytes));
    if (std::fseek(wav->file, 0, SEEK_SET) != 0 || std::fwrite(header, 1, HEADER_SIZE, wav->file) != HEADER_SIZE)
        wav->failed = true;
    if (std::fclose(wav->file) != 0) wav->failed = true;
    wav->file = nullptr;
    if (tooLong) {
        *error = wav->path + ": too much audio for one WAV file";
        return false;
    }
    if (wav->failed) {
        *error = "cannot write " + wav->path;
        return false;
    }
    return true;
}

} // namespace capture
