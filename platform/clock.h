// The millisecond clock and sleep. The show reads the real monotonic clock; the capture tool and
// tests install a virtual clock so the same frame code runs frame-exact.
#pragma once
#include <cstdint>

namespace platform {

using ClockSource = uint32_t (*)();

// Milliseconds since an arbitrary start, wrapping at 2^32 (the installed source, or the real clock).
uint32_t milliseconds();
// nullptr restores the real clock.
void setClockSource(ClockSource source);
void sleepMilliseconds(uint32_t ms);
// CPU time the calling thread has used, in milliseconds (the frame benchmark's main-thread cost).
double threadCpuMilliseconds();
// CPU time all the process's threads have used (the main thread's and llvmpipe's rasteriser's).
double processCpuMilliseconds();

} // namespace platform
