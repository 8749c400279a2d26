// The millisecond clock: the monotonic system clock, or the source a test or the capture tool
// installs in its place.
#include "platform/clock.h"

#include <time.h>

namespace platform {

namespace {
ClockSource installedSource = nullptr;

uint32_t realMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return uint32_t(ms);
}
} // namespace

uint32_t milliseconds() { return installedSource ? installedSource() : realMilliseconds(); }

void setClockSource(ClockSource source) { installedSource = source; }

void sleepMilliseconds(uint32_t ms) {
    timespec wait{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0) {
    }
}

namespace {
double cpuMilliseconds(clockid_t clock) {
    timespec used{};
    clock_gettime(clock, &used);
    return double(used.tv_sec) * 1e3 + double(used.tv_nsec) / 1e6;
}
} // namespace

double threadCpuMilliseconds() { return cpuMilliseconds(CLOCK_THREAD_CPUTIME_ID); }
double processCpuMilliseconds() { return cpuMilliseconds(CLOCK_PROCESS_CPUTIME_ID); }

} // namespace platform
