// The shared show state: the values the spine sets every frame and the scene routines read and
// write, the loaded meshes and textures, and the display settings chosen in the setup dialog.
// One instance each, alive for the whole process.
#pragma once
#include <csignal>
#include <cstdint>

#include "assets/mesh.h"

namespace core {

extern int32_t musicOrder;   // pattern order of the current frame (low half of the position word)
extern int32_t musicRow;     // row of the current frame (high half of the position word)
extern float sceneTime;      // scene clock, see the dispatch in timeline.cpp
extern float overlayTime;    // show ms / 680, set at the top of every frame
extern float flashLevel;     // grey level of the full-screen additive flash quads
extern float flareSize;      // half-width of the flare in orders 4-6
// Set by Esc, the close box and the termination signals (from a signal handler, hence the type).
extern volatile std::sig_atomic_t quitRequested;

struct DisplaySettings {
    int32_t width = 640;
    int32_t height = 480;
    int32_t depth = 16;
    bool fullscreen = true;
};
extern DisplaySettings display;

extern uint32_t noiseTextures[16];

extern assets::Mesh gyarMesh, scene1Mesh, barlangMesh, scene2Mesh, scene3Mesh;
extern assets::Mesh sphereMeshA, sphereMeshB, tknotMeshA, tknotMeshB;

extern uint32_t titleTexture, effect1Texture, space82Texture, nappalTexture, tex32Texture,
    sphere38Texture, greetsTexture;

} // namespace core
