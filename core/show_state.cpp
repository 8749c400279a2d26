// The one instance of each shared show value, with its starting value.
#include "core/show_state.h"

namespace core {

int32_t musicOrder = 0;
int32_t musicRow = 0;
float sceneTime = 0.0f;
float overlayTime = 0.0f;
float flashLevel = 0.0f;
float flareSize = 0.0f;
volatile std::sig_atomic_t quitRequested = 0;

DisplaySettings display;

uint32_t noiseTextures[16] = {};

assets::Mesh gyarMesh, scene1Mesh, barlangMesh, scene2Mesh, scene3Mesh;
assets::Mesh sphereMeshA, sphereMeshB, tknotMeshA, tknotMeshB;

uint32_t titleTexture = 0, effect1Texture = 0, space82Texture = 0, nappalTexture = 0, tex32Texture = 0,
         sphere38Texture = 0, greetsTexture = 0;

} // namespace core
