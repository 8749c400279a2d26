// Set-up of the show's one keyframed 3D scene: the chrome texture and the "Gomb.3DS" scene whose
// sphere the barlang flight draws, with its camera and sphere picked out by name. Runs once at
// start-up; an engine error shows the engine's message and posts the quit message.
#pragma once
#include <cstdint>
#include <string>

#include "engine/scene.h"

namespace core {

// Filled by setupKeyframedScene and read by the barlang flight. After a failed load, or when the
// file has no "Camera01" or "GeoSphere0", the missing references stay none (and so does
// engineScene after a failure): readers test them and then draw nothing of the scene.
extern uint32_t rondanyTexture;
extern engine::Scene* engineScene;
extern engine::SceneCamera* sceneCamera;
extern engine::TriMesh* sphereObject;

void setupKeyframedScene();

// The message box text for a nonzero engine result: "Brontavel3D Error (#N):", a carriage return
// (no line feed) and the engine's own text for the code.
std::string engineErrorMessage(engine::ResultCode code);

// Code 0 does nothing. Any other code shows engineErrorMessage in a message box captioned
// "Error..." and posts the quit message, so the show ends at the first pump of the main loop.
void reportEngineError(engine::ResultCode code);

} // namespace core
