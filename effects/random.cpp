#include "effects/random.h"

namespace effects {

namespace {
// PCG32 (XSH RR): small state, good statistics, the same sequence on every platform.
uint64_t state = 0;
const uint64_t increment = 1442695040888963407ull;

uint32_t next32() {
    uint64_t old = state;
    state = old * 6364136223846793005ull + increment;
    uint32_t xorshifted = uint32_t(((old >> 18u) ^ old) >> 27u);
    uint32_t rot = uint32_t(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}
} // namespace

void seedRandom(uint32_t seed) {
    state = 0;
    next32();
    state += seed;
    next32();
}

uint32_t randomBelow(uint32_t n) {
    if (n == 0) return 0;
    // Reject the top partial block of 2^32 so every value is equally likely.
    uint32_t threshold = uint32_t(-n) % n;
    for (;;) {
        uint32_t r = next32();
        if (r >= threshold) return r % n;
    }
}

} // namespace effects
