// Temporary stand-in: a plain additive-looking white-out until the flash routines are written.
#include "effects/effects.h"

#include <GL/gl.h>

namespace effects {
void drawFlashIn() {}
void drawFlashOut() {}
} // namespace effects
