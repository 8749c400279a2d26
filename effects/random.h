// The show's one pseudo-random generator, shared by the noise textures, the opening grain and the
// flight path. Seeded with 1 once at start-up, so every run shows the same noise and the same path.
#pragma once
#include <cstdint>

namespace effects {

void seedRandom(uint32_t seed);
// A uniform integer in 0 .. n-1 (0 when n is 0), without modulo bias.
uint32_t randomBelow(uint32_t n);

} // namespace effects
