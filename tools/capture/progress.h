// The progress line on stderr: frames done, frames per second and time left, redrawn in place when
// stderr is a terminal, a plain line every ten seconds otherwise (a log file, a batch job).
#pragma once
#include <chrono>
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

struct ProgressMeter {
    using Clock = std::chrono::steady_clock;
    bool terminal = false;
    Clock::time_point start;
    Clock::time_point shown;
    bool drawn = false;          // a line is on the terminal, to be ended before other output
};

void startProgress(ProgressMeter* meter);
// Shows framesDone and the fraction of the capture done, if it is time for another line.
void showProgress(ProgressMeter* meter, uint64_t framesDone, double fraction);
// The last line, and on a terminal the line ended, so that messages start on a line of their own.
void endProgress(ProgressMeter* meter, uint64_t framesDone, double fraction);
double secondsSince(ProgressMeter::Clock::time_point start);

// How far the show is, from the music position: it ends at order 28, row 17 (64-row patterns).
double showFraction(int32_t order, int32_t row);

} // namespace capture
