// Frame cost of every scene of the show, drawn headless from the show's own data: 120 frames of
// each at 640 x 480 and 60 frames a second of show time, each frame drawn twice, once with the
// vertex-array submission the show uses and once with the former one (a glBegin/glEnd pair and
// three light or fade evaluations per triangle, vertex by vertex for the lit patches, every mesh
// in its own order of objects), kept below as this benchmark's reference. Per scene and path: mean and 95th-percentile wall milliseconds
// per frame (runFrame and glFinish), main-thread CPU milliseconds per frame (around runFrame; the
// rasteriser's threads are not counted) and the CPU milliseconds of all threads (around runFrame
// and glFinish: the frame's whole work, which a busy machine disturbs less than the wall time),
// then the ratios new/old side by side. Everything
// else in a frame (the deformations' sines, the tunnel's arrays) is today's code in both columns.
//
// The two paths alternate which goes first, frame by frame, so a busy machine slows both alike.
// Drawing every moment twice advances the frame-counted state (flash fades, the water's scroll,
// the grain's random picks) twice as fast as the show does; the pictures stay typical of the scene.
//
//   build/bench/frame_bench [--size=WxH] [--frames=N] [--fragments] [benchmark flags]
//
// --fragments adds, per scene, the fragment-shader invocations and the depth-passing fragments
// per pixel of the current path, counted by GL queries on ten more frames.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/mesh_renderer.h"
#include "core/music.h"
#include "core/startup.h"
#include "core/timeline.h"
#include "effects/barlang_scene.h"
#include "engine/lit_patches.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"

namespace {

// ---- The former submission: the benchmark's reference, not used by the show ----

float formerLightFactor(float x, float y, float z) {
    if (!assets::lightingEnabled) return 1.0f;
    const long double dx = x - (long double)assets::lightPosition.x;
    const long double dy = y - (long double)assets::lightPosition.y;
    const long double dz = z - (long double)assets::lightPosition.z;
    const long double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    const float v = float(1 - distance / assets::lightRange);
    if (v > 1) return 1.0f;
    if (!(v >= 0)) return 0.0f;
    return v;
}

void formerObject(const assets::MeshObject& object, const assets::MeshMaterial& material, bool withAlpha,
                  float alpha) {
    const uint32_t vertexCount = uint32_t(std::max(object.vertexCount, 0));
    for (int32_t i = 0; i < object.triangleCount; ++i) {
        const assets::Triangle& triangle = object.triangles[i];
        const int32_t corners[3] = {triangle.a, triangle.b, triangle.c};
        if (uint32_t(corners[0]) >= vertexCount || uint32_t(corners[1]) >= vertexCount ||
            uint32_t(corners[2]) >= vertexCount)
            continue;
        glBegin(GL_POLYGON);
        float factors[3];
        for (int k = 0; k < 3; ++k) {
            const assets::Point3& v = object.vertices[corners[k]];
            factors[k] = formerLightFactor(v.x, v.y, v.z);
        }
        for (int k = 0; k < 3; ++k) {
            const assets::Point3& v = object.vertices[corners[k]];
            const assets::TexCoord& uv = object.texCoords[corners[k]];
            float r = 1, g = 1, b = 1;
            if (object.lit) {
                r = assets::ambientColour.r + factors[k] * assets::lightColour.r;
                g = assets::ambientColour.g + factors[k] * assets::lightColour.g;
                b = assets::ambientColour.b + factors[k] * assets::lightColour.b;
            }
            if (withAlpha) glColor4f(r, g, b, alpha);
            else glColor3f(r, g, b);
            glTexCoord2f(1 - uv.u * material.uScale, 1 - uv.v * material.vScale);
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    }
}

// The fade per corner is today's eyeFade; the former took it in long double, slower still.
void formerCaveObject(const assets::MeshObject& object, const assets::MeshMaterial& material, bool water,
                      float scroll) {
    if (!object.vertices || !object.texCoords || !object.triangles) return;
    const long double su = material.uScale;
    const long double sv = material.vScale * 10.0L;
    glColor3d(1, 1, 1);
    for (int32_t t = 0; t < object.triangleCount; ++t) {
        const int32_t corners[3] = {object.triangles[t].a, object.triangles[t].b, object.triangles[t].c};
        bool inside = true;
        for (int32_t c : corners) inside = inside && c >= 0 && c < object.vertexCount;
        if (!inside) continue;
        glBegin(GL_POLYGON);
        for (int32_t c : corners) {
            const assets::Point3 v = object.vertices[c];
            const assets::TexCoord uv = object.texCoords[c];
            const float b = water ? 1.0f : effects::eyeFade(v.x, v.y, v.z);
            glColor3f(b, b, b);
            glTexCoord2f(float(1 + scroll - uv.u * su), float(1 + scroll - uv.v * sv));
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    }
}

void formerPatches(const engine::PatchBatch& batch) {
    for (const engine::PatchGroup& group : batch.groups) {
        glBegin(group.mode);
        for (uint32_t i = group.first; i < group.first + group.count; ++i) {
            const engine::PatchVertex& v = batch.vertices[i];
            glColor3f(v.r, v.g, v.b);
            glTexCoord2f(v.s, v.t);
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    }
}

void useFormerSubmission(bool former) {
    assets::setObjectSubmission(former ? formerObject : nullptr);
    effects::setCaveObjectSubmission(former ? formerCaveObject : nullptr);
    engine::setPatchSubmission(former ? formerPatches : nullptr);
}

// ---- The show, driven frame by frame ----

int width = 640, height = 480, frameCount = 120;
bool countFragments = false;
constexpr uint32_t fps = 60;

uint32_t virtualMs = 0;
uint32_t virtualClock() { return virtualMs; }
uint64_t musicFramesRendered = 0;

// The music position is what picks the scene, so the music is rendered up to every frame's moment.
void moveTo(uint32_t frame) {
    virtualMs = uint32_t(uint64_t(frame) * 1000 / fps);
    const uint64_t target = uint64_t(frame) * 44100 / fps;
    static std::vector<int16_t> chunk(2 * 4096);
    while (musicFramesRendered < target) {
        const size_t want = size_t(std::min<uint64_t>(4096, target - musicFramesRendered));
        core::renderMusic(chunk.data(), want);
        musicFramesRendered += want;
    }
}

struct FrameCost {
    double wallMs, cpuMs, allCpuMs;
};

FrameCost drawFrame() {
    const auto started = std::chrono::steady_clock::now();
    const double cpuBefore = platform::threadCpuMilliseconds();
    const double allCpuBefore = platform::processCpuMilliseconds();
    core::runFrame();
    const double cpuMs = platform::threadCpuMilliseconds() - cpuBefore;
    glFinish();
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count(), cpuMs,
            platform::processCpuMilliseconds() - allCpuBefore};
}

struct Summary {
    double mean = 0, p95 = 0;
};

Summary summarise(std::vector<double> values) {
    Summary s;
    if (values.empty()) return s;
    for (double v : values) s.mean += v;
    s.mean /= double(values.size());
    std::sort(values.begin(), values.end());
    s.p95 = values[std::min(values.size() - 1, size_t(std::ceil(0.95 * double(values.size()))) - 1)];
    return s;
}

struct SceneResult {
    std::string name;
    Summary newWall, newCpu, newAllCpu, oldWall, oldCpu, oldAllCpu;
    double fragments = 0, passed = 0;
};
std::vector<SceneResult> results;

void countFragmentsAt(uint32_t frame, SceneResult& result) {
    GLuint queries[2];
    glGenQueries(2, queries);
    double invocations = 0, passed = 0;
    const int frames = 10;
    for (int i = 0; i < frames; ++i) {
        moveTo(frame + uint32_t(i));
        glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, queries[0]);
        glBeginQuery(GL_SAMPLES_PASSED, queries[1]);
        core::runFrame();
        glEndQuery(GL_SAMPLES_PASSED);
        glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
        GLuint64 a = 0, b = 0;
        glGetQueryObjectui64v(queries[0], GL_QUERY_RESULT, &a);
        glGetQueryObjectui64v(queries[1], GL_QUERY_RESULT, &b);
        invocations += double(a);
        passed += double(b);
    }
    glDeleteQueries(2, queries);
    const double pixels = double(width) * height * frames;
    result.fragments = invocations / pixels;
    result.passed = passed / pixels;
}

void sceneBenchmark(benchmark::State& state, const char* name, double startSeconds) {
    SceneResult result;
    result.name = name;
    const uint32_t first = uint32_t(startSeconds * fps);
    for (auto _ : state) {
        std::vector<double> newWall, newCpu, newAllCpu, oldWall, oldCpu, oldAllCpu;
        for (int i = 0; i < frameCount; ++i) {
            moveTo(first + uint32_t(i));
            for (int pass = 0; pass < 2; ++pass) {
                const bool former = (pass == 0) == (i % 2 == 0);
                useFormerSubmission(former);
                const FrameCost cost = drawFrame();
                (former ? oldWall : newWall).push_back(cost.wallMs);
                (former ? oldCpu : newCpu).push_back(cost.cpuMs);
                (former ? oldAllCpu : newAllCpu).push_back(cost.allCpuMs);
            }
        }
        useFormerSubmission(false);
        result.newWall = summarise(newWall);
        result.newCpu = summarise(newCpu);
        result.oldWall = summarise(oldWall);
        result.oldCpu = summarise(oldCpu);
        result.newAllCpu = summarise(newAllCpu);
        result.oldAllCpu = summarise(oldAllCpu);
        state.SetIterationTime(result.newWall.mean / 1000.0);
    }
    if (countFragments) countFragmentsAt(first + uint32_t(frameCount), result);
    state.counters["new_ms"] = result.newWall.mean;
    state.counters["new_p95"] = result.newWall.p95;
    state.counters["new_cpu"] = result.newCpu.mean;
    state.counters["new_cpu_p95"] = result.newCpu.p95;
    state.counters["old_ms"] = result.oldWall.mean;
    state.counters["old_cpu"] = result.oldCpu.mean;
    results.push_back(result);
}

// Two seconds from the middle of every scene, in show order (the music only runs forwards).
struct SceneMoment {
    const char* name;
    double seconds;
};
const SceneMoment moments[] = {
    {"opening", 10},  {"flare", 36},    {"flare_ending", 48}, {"barlang", 60},
    {"knot", 95},     {"tunnel", 130},  {"sphere", 160},
};

bool takeOption(const char* argument) {
    int w = 0, h = 0;
    if (std::sscanf(argument, "--size=%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
        width = w, height = h;
        return true;
    }
    if (std::sscanf(argument, "--frames=%d", &w) == 1 && w > 0) {
        frameCount = w;
        return true;
    }
    if (std::strcmp(argument, "--fragments") == 0) {
        countFragments = true;
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i)
        if (!takeOption(argv[i])) argv[kept++] = argv[i];
    argc = kept;
    benchmark::Initialize(&argc, argv);

    std::string error;
    if (!platform::createHeadlessGL(width, height, &error)) {
        std::fprintf(stderr, "frame_bench: no headless GL context: %s\n", error.c_str());
        return 1;
    }
    glViewport(0, 0, width, height);
    platform::setClockSource(virtualClock);
    if (!core::loadShow(nullptr, core::MusicMode::Offline, TAV_BUILD_DIR "/tavremon.yip")) {
        std::fprintf(stderr, "frame_bench: cannot load the show from " TAV_BUILD_DIR "/tavremon.yip\n");
        return 1;
    }
    core::startShow();

    for (const SceneMoment& moment : moments)
        benchmark::RegisterBenchmark(moment.name, sceneBenchmark, moment.name, moment.seconds)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n%dx%d, %d frames per scene and path; ms per frame: wall, main-thread CPU, all threads' CPU\n",
                width, height, frameCount);
    std::printf("%-13s %8s %8s %8s %8s %8s | %8s %8s %8s %8s | %6s %6s %6s\n", "scene", "mean", "p95", "cpu",
                "cpu p95", "all cpu", "old mean", "old p95", "old cpu", "old all", "wall", "cpu", "all");
    for (const SceneResult& r : results)
        std::printf("%-13s %8.2f %8.2f %8.2f %8.2f %8.2f | %8.2f %8.2f %8.2f %8.2f | %6.2f %6.2f %6.2f\n",
                    r.name.c_str(), r.newWall.mean, r.newWall.p95, r.newCpu.mean, r.newCpu.p95, r.newAllCpu.mean,
                    r.oldWall.mean, r.oldWall.p95, r.oldCpu.mean, r.oldAllCpu.mean, r.newWall.mean / r.oldWall.mean,
                    r.newCpu.mean / r.oldCpu.mean, r.newAllCpu.mean / r.oldAllCpu.mean);
    std::printf("(the last three columns: new/old)\n");
    if (countFragments) {
        std::printf("\nper pixel: fragment-shader invocations (whole 4x4 blocks), fragments passing the depth test\n");
        for (const SceneResult& r : results) std::printf("%-13s %6.2f %6.2f\n", r.name.c_str(), r.fragments, r.passed);
    }
    return 0;
}
