// Loading .3DS scenes of N keyframer dummies, each with an instance name, a parent and a position
// track: the reader's lookups by node id and by name must keep the time per node flat as N grows.
// 100,000 nodes are past the reader's cap: that file is refused, and what counts is how soon.
// The last line printed is "per node at 40000/10000: R", the ratio of the time per node.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/scene.h"
#include "tests/engine_3ds_writer.h"

namespace {

using namespace test3ds;

// Writes the scene file for `count` dummies once; returns its name.
std::string sceneWithDummies(int count) {
    std::string name = "reader_3ds_bench_" + std::to_string(count) + ".3ds";
    std::vector<Chunk> keyframer{frameRange(0, 100)};
    for (int i = 0; i < count; ++i) {
        std::string dummy = "Dummy";
        dummy += std::to_string(i);
        keyframer.push_back({0xB002, {}, {nodeHeader("$$$DUMMY", int16_t(i > 0 && i < 30000 ? i - 1 : -1)),
                                          {0xB011, cstr(dummy), {}},
                                          track(0xB020, {{0, floats({float(i), 0, 0})}, {100, floats({0, 0, 0})}})}});
    }
    Chunk box = {0x4000, cstr("Box"), {{0x4100, {}, {pointArray({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                                                      faceArray({{0, 1, 2, 0}})}}}};
    writeFile(name, sceneFile({box}, keyframer));
    return name;
}

std::map<int, double> secondsPerNode;

void loadDummies(benchmark::State& state) {
    const int count = int(state.range(0));
    const std::string name = sceneWithDummies(count);
    engine::ResultCode result = 0;
    for (auto _ : state) {
        engine::engineInit(0);
        engine::Scene* scene = nullptr;
        engine::sceneCreate(scene);
        auto start = std::chrono::steady_clock::now();
        result = engine::sceneLoad(scene, name.c_str());
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        secondsPerNode[count] = seconds / count;
        engine::sceneFree(scene);
        engine::sceneFreeWorld(scene);
        delete scene;
    }
    std::remove(name.c_str());
    state.counters["result"] = result;  // 0 loaded, 3 refused
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(loadDummies)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(100000)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (secondsPerNode.count(10000) && secondsPerNode.count(40000))
        std::printf("per node at 40000/10000: %.2f\n", secondsPerNode[40000] / secondsPerNode[10000]);
    return 0;
}
