// Temporary stand-in: seeds the generator; the flight path comes with the tunnel scene.
#include "effects/effects.h"
#include "effects/random.h"

namespace effects {
void prepareEffects() { seedRandom(1); }
} // namespace effects
