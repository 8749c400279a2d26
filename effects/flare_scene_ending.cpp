// Order 7: the flare scene goes on (the flare now simply 4 x the clock) and brightens to white over
// its last rows, ten frames to full white, ahead of the flash of the next scene.
#include <GL/gl.h>

#include "core/show_state.h"
#include "effects/effects.h"
#include "effects/flare_scene.h"
#include "effects/flash_transitions.h"

namespace effects {

void drawFlareSceneEnding() {
    drawFlareFrame(true);
    if (core::musicRow > 56) {
        core::flashLevel = buildUpStep(core::flashLevel);
        addFullScreenGrey(core::flashLevel);
    }
}

} // namespace effects
