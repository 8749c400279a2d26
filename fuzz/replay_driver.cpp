// Stand-in for libFuzzer in ordinary builds: replays every file of the corpus folders given on the
// command line, then a few thousand mutated copies of them (fixed seed), so each build smoke-tests
// the fuzz targets without clang.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    std::vector<std::vector<uint8_t>> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(argv[i], ec)) {
            std::ifstream in(argv[i], std::ios::binary);
            inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(argv[i], ec)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    inputs.push_back({});
    for (const auto& input : inputs) LLVMFuzzerTestOneInput(input.data(), input.size());

    uint32_t seed = 12345;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return seed >> 8; };
    const int mutations = 2000;
    for (int i = 0; i < mutations; ++i) {
        std::vector<uint8_t> data = inputs[next() % inputs.size()];
        if (data.empty()) data.resize(1 + next() % 64);
        int flips = 1 + int(next() % 8);
        for (int f = 0; f < flips; ++f) data[next() % data.size()] = uint8_t(next());
        if (next() % 4 == 0) data.resize(next() % (data.size() + 1));
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("replayed %zu inputs and %d mutations\n", inputs.size(), mutations);
    return 0;
}
