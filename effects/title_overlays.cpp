// Temporary stand-in: the overlays draw nothing until they are written.
#include "effects/effects.h"

namespace effects {
void drawTitleOverlays() {}
void drawGreetingOverlays() {}
} // namespace effects
