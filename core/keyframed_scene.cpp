// TEMPORARY stand-in until the keyframed scene set-up is written: loads nothing.
#include "core/keyframed_scene.h"

namespace core {
void setupKeyframedScene() {}
} // namespace core
