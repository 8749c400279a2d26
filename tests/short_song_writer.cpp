// Writes a module far shorter than the show (two orders of 32 rows, about two seconds) with the
// data builder's module writer: `short_song_writer FILE`. The end-to-end test of a song that ends
// before the show's end point puts it beside the program as the loose module.
#include <cstdio>
#include <vector>

#include "tools/builder/xm_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: short_song_writer FILE\n");
        return 2;
    }
    builder::XmModule song{"short song", 2, 3, 250, {0, 1}, {}, {}};  // speed 3 at 250 BPM: 30 ms a row
    for (int p = 0; p < 2; ++p) {
        builder::XmPattern pattern{32, std::vector<builder::XmCell>(32 * 2)};
        pattern.cells[0] = {uint8_t(49 + 5 * p), 1, 0x50, 0, 0};  // one note at the start of each
        song.patterns.push_back(pattern);
    }
    builder::XmInstrument square;
    square.name = "square";
    for (int i = 0; i < 64; ++i) square.sample.data.push_back(int16_t(i < 32 ? 8000 : -8000));
    square.sample.loop = builder::XM_LOOP_FORWARD;
    square.sample.loopLength = 64;
    song.instruments.push_back(square);

    std::vector<uint8_t> bytes = builder::writeXm(song);
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
