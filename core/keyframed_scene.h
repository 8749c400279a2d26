// Set-up of the show's one keyframed 3D scene (the engine sphere of the barlang flight).
#pragma once

namespace core {

// Loads the scene at start-up; an engine error shows its message and posts the quit message.
void setupKeyframedScene();

} // namespace core
