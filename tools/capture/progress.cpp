// Formats and draws the capture's progress line on a terminal.
#include "tools/capture/progress.h"

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

double showFraction(int32_t order, int32_t row) {
    const double end = 28 * 64 + 17;
    double at = double(order) * 64 + row;
    return at <= 0 ? 0 : at >= end ? 1 : at / end;
}

} // namespace capture
