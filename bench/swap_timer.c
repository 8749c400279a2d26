// How often the real show presents a frame: an LD_PRELOAD shim around SDL_GL_SwapWindow that notes
// the monotonic time of every swap and, when the program ends, prints the swap-to-swap intervals
// (mean, median, 95th percentile, worst) and the frame rate they make on standard error. The first
// SWAP_TIMER_SKIP swaps (default 60: the loading and the first second) are left out.
//
//   bench/live_swaps.sh [SECONDS [WxH]]    (or preload it by hand: LD_PRELOAD=build/bench/libswap_timer.so)
//
// Nothing else of the program is touched: the call goes straight on to SDL's own function.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

enum { maxSwaps = 1 << 16 };
static double swapMs[maxSwaps];
static int swapCount = 0;

static double nowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

void SDL_GL_SwapWindow(void* window) {
    static void (*real)(void*) = NULL;
    if (!real) *(void**)&real = dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    if (real) real(window);
    if (swapCount < maxSwaps) swapMs[swapCount++] = nowMs();
}

static int byValue(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

__attribute__((destructor)) static void report(void) {
    const char* skipText = getenv("SWAP_TIMER_SKIP");
    const int skip = skipText ? atoi(skipText) : 60;
    const int first = skip < 0 ? 0 : skip;
    if (swapCount == 0) return;  // a helper the preload reached as well, not the show
    if (swapCount - first < 2) {
        fprintf(stderr, "swap_timer: %d swaps, too few to time\n", swapCount);
        return;
    }
    const int n = swapCount - first - 1;
    static double intervals[maxSwaps];
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        intervals[i] = swapMs[first + i + 1] - swapMs[first + i];
        sum += intervals[i];
    }
    qsort(intervals, (size_t)n, sizeof intervals[0], byValue);
    const double mean = sum / n;
    int p95 = (int)(0.95 * n + 0.999999) - 1;
    if (p95 < 0) p95 = 0;
    fprintf(stderr, "swap_timer: %d intervals: mean %.2f ms (%.1f fps), median %.2f, p95 %.2f, worst %.2f ms\n", n,
            mean, 1000.0 / mean, intervals[n / 2], intervals[p95], intervals[n - 1]);
}
