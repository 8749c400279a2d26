// Whole-member decode speed of our DEFLATE decoder next to zlib's inflate, on data shaped like the
// show's members (text, a set of 256 x 256 RGB textures, mesh-like float data), plus the cost of
// reading a deflated member in small pieces through the archive interface. The last line printed
// is "ours/zlib: R", the throughput ratio over all three whole-member sets.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/inflate.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t randomState = 20240601;
uint32_t nextRandom() {
    randomState = randomState * 1664525u + 1013904223u;
    return randomState >> 8;
}

// About 4 MiB of word soup with sentence structure: compresses about 3:1.
Bytes makeText() {
    static const char* words[] = {"the", "tunnel", "flight", "camera", "follows", "a", "closed", "random",
                                  "path", "through", "light", "and", "shadow", "knot", "twists", "under",
                                  "music", "of", "order", "row", "flare", "sphere", "mirrors", "engine",
                                  "barlang", "cave", "texture", "strip", "greeting", "white", "flash", "scene"};
    Bytes out;
    while (out.size() < (4u << 20)) {
        int sentence = 4 + int(nextRandom() % 12);
        for (int i = 0; i < sentence; ++i) {
            const char* w = words[nextRandom() % 32];
            out.insert(out.end(), w, w + std::strlen(w));
            out.push_back(i + 1 < sentence ? ' ' : '.');
        }
        out.push_back(nextRandom() % 5 == 0 ? '\n' : ' ');
    }
    return out;
}

// Sixteen 256 x 256 RGB textures: gradients, rings and grain, like painted and rendered pictures.
Bytes makeTextures() {
    Bytes out;
    for (int t = 0; t < 16; ++t) {
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                double r = std::sqrt(double((x - 128) * (x - 128) + (y - 128) * (y - 128)));
                int ring = int(127 + 127 * std::sin(r / (4.0 + t)));
                int grain = nextRandom() % 4 == 0 ? int(nextRandom() % (2 + t / 2)) : 0;
                out.push_back(uint8_t((x * (t + 1) / 4 + grain) & 0xFF));
                out.push_back(uint8_t((ring + grain) & 0xFF));
                out.push_back(uint8_t(((x ^ y) * t / 3 + y / 2) & 0xFF));
            }
        }
    }
    return out;
}

// Vertices, normals and texture coordinates of deformed spheres as 32-bit floats, then indices.
Bytes makeMesh() {
    std::vector<float> floats;
    std::vector<uint16_t> indices;
    const int rings = 128, segments = 128;
    for (int mesh = 0; mesh < 4; ++mesh) {
        for (int i = 0; i <= rings; ++i) {
            for (int j = 0; j <= segments; ++j) {
                float u = float(j) / segments, v = float(i) / rings;
                float theta = u * 6.2831853f, phi = v * 3.1415926f;
                float radius = 10.0f + std::sin(theta * (3 + mesh)) * std::cos(phi * 5) * 0.7f;
                float nx = std::sin(phi) * std::cos(theta), ny = std::cos(phi), nz = std::sin(phi) * std::sin(theta);
                floats.insert(floats.end(), {nx * radius, ny * radius, nz * radius, nx, ny, nz, u, v});
            }
        }
        for (int i = 0; i < rings; ++i) {
            for (int j = 0; j < segments; ++j) {
                uint16_t a = uint16_t(i * (segments + 1) + j), b = uint16_t(a + segments + 1);
                indices.insert(indices.end(), {a, b, uint16_t(a + 1), uint16_t(a + 1), b, uint16_t(b + 1)});
            }
        }
    }
    Bytes out(floats.size() * 4 + indices.size() * 2);
    std::memcpy(out.data(), floats.data(), floats.size() * 4);
    std::memcpy(out.data() + floats.size() * 4, indices.data(), indices.size() * 2);
    return out;
}

Bytes rawDeflate(const Bytes& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct DataSet {
    const char* name;
    Bytes original;
    Bytes packed;
    platform::DiskFile file; // the packed bytes as a file, for our decoder
};

std::vector<DataSet>& dataSets() {
    static std::vector<DataSet> sets = [] {
        std::vector<DataSet> s;
        s.push_back({"text", makeText(), {}, {}});
        s.push_back({"textures", makeTextures(), {}, {}});
        s.push_back({"mesh", makeMesh(), {}, {}});
        for (DataSet& set : s) {
            set.packed = rawDeflate(set.original);
            platform::openMemoryFile(set.file, set.packed.data(), set.packed.size());
        }
        return s;
    }();
    return sets;
}

void BM_Ours(benchmark::State& state) {
    DataSet& set = dataSets()[size_t(state.range(0))];
    Bytes out(set.original.size());
    for (auto _ : state) {
        archive::OutputRequest request;
        request.start = 0;
        request.length = uint32_t(out.size());
        request.destination = out.data();
        int status = archive::inflateMember(set.file, 0, uint32_t(set.packed.size()), 8, nullptr, request);
        if (status != archive::INFLATE_OK || request.delivered != out.size()) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    if (out != set.original) state.SkipWithError("wrong output");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
    state.SetLabel(set.name);
}

void BM_Zlib(benchmark::State& state) {
    DataSet& set = dataSets()[size_t(state.range(0))];
    Bytes out(set.original.size());
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = set.packed.data();
        z.avail_in = uInt(set.packed.size());
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("zlib failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    if (out != set.original) state.SkipWithError("wrong output");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
    state.SetLabel(set.name);
}

// A member (deflated or stored) as the only one of an archive in memory, mounted.
struct OneMemberArchive {
    Bytes zip;
    platform::DiskFile memory;
    archive::MountedArchive* mounted = nullptr;
    OneMemberArchive(const Bytes& member, bool deflated);
    ~OneMemberArchive() {
        archive::unmountArchive(mounted);
        platform::closeDiskFile(memory);
    }
};

OneMemberArchive::OneMemberArchive(const Bytes& member, bool deflated) {
    Bytes packed = deflated ? rawDeflate(member) : member;
    auto put = [this](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) zip.push_back(uint8_t(v >> (8 * i)));
    };
    put(0x04034B50, 4);
    put(20, 2);
    put(0, 2);
    put(deflated ? 8 : 0, 2);
    put(0, 8);
    put(uint32_t(packed.size()), 4);
    put(uint32_t(member.size()), 4);
    put(6, 2);
    put(0, 2);
    zip.insert(zip.end(), {'m', '.', 'p', '3', 'd', 'x'});
    zip.insert(zip.end(), packed.begin(), packed.end());
    put(0x02014B50, 4);
    zip.resize(zip.size() + 64, 0);
    platform::openMemoryFile(memory, zip.data(), zip.size());
    std::string path = "/proc/self/fd/" + std::to_string(memory.descriptor);
    mounted = archive::mountArchive(path.c_str(), false);
}

// A 200 KiB member read front to back in 4-byte pieces, deflated and stored.
void BM_SmallPieces(benchmark::State& state) {
    Bytes member(dataSets()[0].original.begin(), dataSets()[0].original.begin() + 200 * 1024);
    OneMemberArchive source(member, state.range(0) != 0);
    double seconds = 0;
    for (auto _ : state) {
        auto started = std::chrono::steady_clock::now();
        archive::ArchiveFile file;
        archive::assignFile(file, "m.p3dx");
        archive::openFile(file, 1);
        Bytes joined;
        uint8_t piece[4];
        uint32_t got = 0;
        do {
            archive::readBlock(file, piece, 4, &got);
            joined.insert(joined.end(), piece, piece + got);
        } while (got == 4);
        archive::closeFile(file);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (joined != member || archive::takeFileError() != 0) state.SkipWithError("wrong pieces");
    }
    state.counters["pieces"] = double(member.size() / 4);
    state.counters["us_per_piece"] = seconds * 1e6 / double(state.iterations()) / double(member.size() / 4);
}

// The mesh set (about 2.9 MB, deflated) read front to back in 4 KiB pieces: through one handle,
// whose read cursor carries each piece on from the last (arg 1), and through a fresh handle per
// piece (arg 0), which decodes from the member's start every time as every read did before the
// cursor.
void BM_MeshPieces(benchmark::State& state) {
    const Bytes& member = dataSets()[2].original;
    OneMemberArchive source(member, true);
    const bool oneHandle = state.range(0) != 0;
    for (auto _ : state) {
        archive::ArchiveFile file;
        Bytes joined(member.size());
        uint32_t at = 0, got = 0;
        do {
            if (!oneHandle || at == 0) {
                if (at > 0) archive::closeFile(file);
                archive::assignFile(file, "m.p3dx");
                archive::openFile(file, 1);
                archive::seekFile(file, at);
            }
            uint32_t want = uint32_t(member.size()) - at < 4096 ? uint32_t(member.size()) - at : 4096;
            archive::readBlock(file, joined.data() + at, want, &got);
            at += got;
        } while (got == 4096);
        archive::closeFile(file);
        if (joined != member || archive::takeFileError() != 0) state.SkipWithError("wrong pieces");
    }
    state.counters["pieces"] = double((member.size() + 4095) / 4096);
    state.SetLabel(oneHandle ? "one handle (cursor)" : "handle per piece (from the start)");
}

BENCHMARK(BM_Ours)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zlib)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallPieces)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_MeshPieces)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

// Keeps the per-iteration CPU times of the whole-member runs for the summary: on a busy machine
// CPU time is the steadier measure of the two.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.iterations > 0) seconds[run.benchmark_name()] = run.cpu_accumulated_time / double(run.iterations);
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double oursTime = 0, zlibTime = 0, bytes = 0;
    for (size_t i = 0; i < dataSets().size(); ++i) {
        const DataSet& set = dataSets()[i];
        std::string ours = "BM_Ours/" + std::to_string(i), zlib = "BM_Zlib/" + std::to_string(i);
        if (!reporter.seconds.count(ours) || !reporter.seconds.count(zlib)) continue;
        double mb = double(set.original.size()) / 1e6;
        std::printf("%-9s %5.2f MB -> %5.2f MB packed: ours %7.1f MB/s, zlib %7.1f MB/s\n", set.name, mb,
                    double(set.packed.size()) / 1e6, mb / reporter.seconds[ours], mb / reporter.seconds[zlib]);
        oursTime += reporter.seconds[ours];
        zlibTime += reporter.seconds[zlib];
        bytes += mb;
    }
    if (oursTime > 0 && zlibTime > 0) {
        std::printf("all sets: ours %.1f MB/s, zlib %.1f MB/s\n", bytes / oursTime, bytes / zlibTime);
        std::printf("ours/zlib: %.2f\n", zlibTime / oursTime);
    }
    return 0;
}
