// Formats and draws the capture's progress line on a terminal.
#include "tools/capture/progress.h"

#include <unistd.h>

#include <cstdio>

namespace capture {

std::string progressLine(const ProgressState& state, int barWidth) {
    double fraction = state.fraction < 0 ? 0 : state.fraction > 1 ? 1 : state.fraction;
    int filled = int(fraction * barWidth + 1e-9);
    std::string line = "[";
    line.append(size_t(filled), '#');
    line.append(size_t(barWidth - filled), '-');
    line += "]";
    char text[128];
    std::snprintf(text, sizeof text, " %3d%%  %llu frames  %.1f fps", int(fraction * 100 + 1e-9),
                  static_cast<unsigned long long>(state.framesDone), state.framesPerSecond);
    line += text;
    if (state.secondsLeft >= 0) {
        unsigned long long s = static_cast<unsigned long long>(state.secondsLeft + 0.5);
        std::snprintf(text, sizeof text, "  %llu:%02llu left", s / 60, s % 60);
        line += text;
    }
    return line;
}

namespace {

void drawProgress(ProgressMeter* meter, uint64_t framesDone, double fraction) {
    ProgressState state;
    state.framesDone = framesDone;
    const double elapsed = secondsSince(meter->start);
    state.framesPerSecond = elapsed > 0 ? double(framesDone) / elapsed : 0;
    state.fraction = fraction;
    if (fraction > 0.001) state.secondsLeft = elapsed * (1 - fraction) / fraction;
    if (meter->terminal) {
        std::fprintf(stderr, "\r%s\x1b[K", progressLine(state).c_str());
        meter->drawn = true;
    } else {
        std::fprintf(stderr, "tavremon-capture: %s\n", progressLine(state, 0).c_str() + 3);
    }
    meter->shown = ProgressMeter::Clock::now();
}

} // namespace

double secondsSince(ProgressMeter::Clock::time_point start) {
    return std::chrono::duration<double>(ProgressMeter::Clock::now() - start).count();
}

void startProgress(ProgressMeter* meter) {
    meter->terminal = isatty(STDERR_FILENO);
    meter->start = meter->shown = ProgressMeter::Clock::now();
}

void showProgress(ProgressMeter* meter, uint64_t framesDone, double fraction) {
    if (secondsSince(meter->shown) >= (meter->terminal ? 0.2 : 10.0)) drawProgress(meter, framesDone, fraction);
}

void endProgress(ProgressMeter* meter, uint64_t framesDone, double fraction) {
    if (meter->terminal) drawProgress(meter, framesDone, fraction);
    if (meter->drawn) std::fputc('\n', stderr);
    meter->drawn = false;
}

double showFraction(int32_t order, int32_t row) {
    const double end = 28 * 64 + 17;
    double at = double(order) * 64 + row;
    return at <= 0 ? 0 : at >= end ? 1 : at / end;
}

} // namespace capture
