// What presenting through the offscreen picture costs a 640 × 480 frame: each iteration draws the
// same frame twice, once straight into the default framebuffer (the old way) and once into the
// offscreen picture followed by the copy into a 640 × 480, 1280 × 720 or 1920 × 1080 drawable,
// each timed to glFinish in wall-clock time and in the CPU time of the whole process (a software
// renderer works on threads of its own). The two run interleaved, so a busy machine slows both
// alike. The last lines printed are "extra per frame at WxH: N ms wall, M ms CPU".
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "platform/headless_gl.h"
#include "platform/present.h"

namespace {

constexpr int PICTURE_WIDTH = 640, PICTURE_HEIGHT = 480;
using Clock = std::chrono::steady_clock;

// A frame with some weight: cleared buffers and a few hundred depth-tested, blended triangles
// covering the picture, so both ways write every pixel.
void drawFrame() {
    glViewport(0, 0, PICTURE_WIDTH, PICTURE_HEIGHT);
    glClearColor(0.1f, 0.2f, 0.3f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 400; ++i) {
        float x = float(i % 20) / 10 - 1, y = float(i / 20) / 10 - 1, z = float(i % 7) / 7;
        glColor4f(x * 0.5f + 0.5f, y * 0.5f + 0.5f, z, 0.7f);
        glVertex3f(x, y, z);
        glVertex3f(x + 0.3f, y, z);
        glVertex3f(x, y + 0.3f, z);
    }
    glEnd();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

struct Stopwatch {
    Clock::time_point wall = Clock::now();
    std::clock_t cpu = std::clock();
    double wallMs() const { return std::chrono::duration<double, std::milli>(Clock::now() - wall).count(); }
    double cpuMs() const { return double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC; }
};

void BM_PresentCost(benchmark::State& state) {
    const int drawableWidth = int(state.range(0)), drawableHeight = int(state.range(1));
    std::string error;
    if (!platform::createHeadlessGL(drawableWidth, drawableHeight, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (!platform::beginOffscreenPicture(PICTURE_WIDTH, PICTURE_HEIGHT, 16)) {
        state.SkipWithError("no framebuffer objects");
        return;
    }
    GLint picture = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &picture);
    double directMs = 0, offscreenMs = 0, directCpuMs = 0, offscreenCpuMs = 0;
    for (auto _ : state) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        Stopwatch direct;
        drawFrame();
        glFinish();
        directMs += direct.wallMs();
        directCpuMs += direct.cpuMs();

        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(picture));
        Stopwatch offscreen;
        drawFrame();
        platform::presentOffscreenPicture(drawableWidth, drawableHeight);
        glFinish();
        const double ms = offscreen.wallMs();
        offscreenMs += ms;
        offscreenCpuMs += offscreen.cpuMs();
        state.SetIterationTime(ms / 1000);
    }
    const double n = double(state.iterations());
    state.counters["direct_ms"] = directMs / n;
    state.counters["direct_cpu_ms"] = directCpuMs / n;
    state.counters["offscreen_ms"] = offscreenMs / n;
    state.counters["extra_ms"] = (offscreenMs - directMs) / n;
    state.counters["extra_cpu_ms"] = (offscreenCpuMs - directCpuMs) / n;
    platform::endOffscreenPicture();
    platform::destroyHeadlessGL();
}
BENCHMARK(BM_PresentCost)->Args({640, 480})->Args({1280, 720})->Args({1920, 1080})->UseManualTime()->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::pair<double, double>> extra;  // wall, CPU
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || !run.counters.count("extra_ms")) continue;
            const std::string size = run.run_name.args;  // "W/H"
            extra[size] = {run.counters.at("extra_ms"), run.counters.at("extra_cpu_ms")};
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const auto& [size, ms] : reporter.extra)
        std::printf("extra per frame at %s: %.3f ms wall, %.3f ms CPU\n", size.c_str(), ms.first, ms.second);
    return 0;
}
