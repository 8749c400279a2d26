// The frame timer. Every rate reads the same accumulator, so two scenes ticking at different
// rates in one frame agree on the time; the accumulator only grows when someone asks, which is
// what lets timerRestart drop the seconds spent loading.
#include "core/frame_timer.h"

#include "platform/clock.h"

namespace core {

namespace {
struct FrameTimer {
    uint32_t lastTimeStamp = 0;  // the clock at the previous timerDelta
    uint32_t accumulatedMs = 0;
};
FrameTimer timer;
} // namespace

uint32_t timerDelta() {
    uint32_t now = platform::milliseconds();
    uint32_t delta = now - timer.lastTimeStamp;
    timer.lastTimeStamp = now;
    return delta;
}

uint32_t timerTicks(uint32_t rate) {
    timer.accumulatedMs += timerDelta();
    if (rate == 0) rate = 1;           // callers pass 1..1000; guard the division anyway
    if (rate > 1000) rate = 1000;
    return timer.accumulatedMs / (1000u / rate);
}

void timerRestart() { timerDelta(); }

void resetTimer() { timer = FrameTimer{}; }

} // namespace core
