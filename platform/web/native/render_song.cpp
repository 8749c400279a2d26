// tavremon-render-song ARCHIVE OUTDIR: renders the show's song from the archive with the native
// audio layer, as the show plays it (amplification, volume), into OUTDIR/tavremon-music.wav, and
// writes OUTDIR/tavremon-music.tbl: where in it each (order, row) begins, at the granularity of 32
// samples. The web build plays the one and reads the other for the show's clock.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/music.h"

namespace {

constexpr uint32_t rate = 44100;
constexpr size_t chunk = 32;

void putWord(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tavremon-render-song ARCHIVE OUTDIR\n");
        return 2;
    }
    archive::mountArchive(argv[1], false);
    if (archive::takeFileError() != 0 || !core::loadMusicOffline("zlt!qmv.mo3", rate)) {
        std::fprintf(stderr, "tavremon-render-song: cannot load the song from %s\n", argv[1]);
        return 1;
    }
    core::playMusic();

    std::vector<int16_t> samples;
    std::vector<uint32_t> marks;  // sample, position word
    uint32_t rendered = 0, last = ~0u;
    std::vector<int16_t> block(chunk * 2);
    for (;;) {
        // The position before a chunk is the one of the samples rendered so far.
        uint32_t word = core::getMusicPosition();
        if (word != last) {
            marks.insert(marks.end(), {rendered, word});
            last = word;
        }
        size_t got = core::renderMusic(block.data(), chunk);
        samples.insert(samples.end(), block.begin(), block.begin() + std::ptrdiff_t(got * 2));
        rendered += uint32_t(got);
        if (got < chunk) break;
    }

    std::vector<uint8_t> table;
    putWord(table, uint32_t(marks.size() / 2), 4);
    putWord(table, rendered, 4);
    for (uint32_t value : marks) putWord(table, value, 4);

    std::vector<uint8_t> wav;
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    putWord(wav, 36 + dataBytes, 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putWord(wav, 16, 4);
    putWord(wav, 1, 2);
    putWord(wav, 2, 2);
    putWord(wav, rate, 4);
    putWord(wav, rate * 4, 4);
    putWord(wav, 4, 2);
    putWord(wav, 16, 2);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    putWord(wav, dataBytes, 4);
    for (int16_t s : samples) putWord(wav, uint16_t(s), 2);

    const std::string out = argv[2];
    if (!writeFile(out + "/tavremon-music.tbl", table) || !writeFile(out + "/tavremon-music.wav", wav)) {
        std::fprintf(stderr, "tavremon-render-song: cannot write into %s\n", argv[2]);
        return 1;
    }
    std::printf("%u samples, %zu positions\n", rendered, marks.size() / 2);
    return 0;
}
