// The progress bar on stderr: frames done, frames per second and time left, redrawn in place.
// Shown only when stderr is a terminal.
#pragma once
#include <cstdint>
#include <string>

namespace capture {

struct ProgressState {
    uint64_t framesDone = 0;
    double fraction = 0.0;       // 0..1 of the whole capture
    double framesPerSecond = 0;  // of wall-clock time
    double secondsLeft = -1;     // negative: not known yet
};

// One line without the carriage return, e.g.
// "[##########----------]  50%  1200 frames  41.3 fps  0:29 left".
std::string progressLine(const ProgressState& state, int barWidth = 30);

// How far the show is, from the music position: it ends at order 28, row 17 (64-row patterns).
double showFraction(int32_t order, int32_t row);

} // namespace capture
