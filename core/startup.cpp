// The show's start-up, one step per line in the order the show needs them: data, loading strip,
// music, meshes, textures, keyframed scene, effects, light; then the music and the show clock.
// Missing or damaged data loads as empty meshes and black textures; only a missing song in
// offline mode stops the start.
#include "core/startup.h"

#include <GL/gl.h>

#include <vector>

#include "archive/archive.h"
#include "assets/gl_state.h"
#include "assets/mesh_file.h"
#include "assets/mesh_renderer.h"
#include "assets/screen_quad.h"
#include "assets/texture.h"
#include "core/frame_timer.h"
#include "core/keyframed_scene.h"
#include "core/music.h"
#include "core/show_state.h"
#include "core/window.h"
#include "effects/effects.h"
#include "effects/random.h"
#include "platform/memory.h"


namespace core {

namespace {
void makeNoiseTextures() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glGenTextures(16, noiseTextures);
    glEnable(GL_TEXTURE_2D);

    std::vector<uint8_t> texels(128 * 128 * 3);
    for (uint32_t texture : noiseTextures) {
        for (size_t i = 0; i < texels.size(); i += 3) {
            uint8_t v = uint8_t(effects::randomBelow(255));
            texels[i] = texels[i + 1] = texels[i + 2] = v;
        }
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, 128, 128, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    }
}
} // namespace

bool loadShow(void* window, MusicMode mode, const char* archiveName) {
    platform::keepFreedMemory();
    archive::mountArchive(archiveName, false);
    assets::initGLState();
    titleTexture = assets::loadRawTexture("tavrion.raw");
    // The loading picture: the strip at rows 159-175 of the title texture, bottom right.
    assets::drawScreenQuad(titleTexture, 0, 159, 256, 175, 384, 460, 640, 476, 1.0f);
    swapFrame();

    if (mode == MusicMode::Device) loadMusic(-1, 44100, "zlt!qmv.mo3", window);
    else if (!loadMusicOffline("zlt!qmv.mo3", 44100)) return false;

    assets::loadMesh(gyarMesh, "gyar.p3d");
    assets::loadMesh(scene1Mesh, "scene1.p3d");
    assets::loadMesh(barlangMesh, "barlang.p3d");
    assets::loadMesh(scene2Mesh, "scene2.p3d");
    assets::loadMesh(scene3Mesh, "scene3.p3d");
    assets::loadMesh(sphereMeshA, "sphere.p3D");
    assets::loadMesh(sphereMeshB, "sphere.p3D");
    effect1Texture = assets::loadRawTexture("effect1.raw");
    for (assets::Mesh* mesh : {&gyarMesh, &scene1Mesh, &barlangMesh, &scene2Mesh, &scene3Mesh})
        assets::loadMeshTextures(*mesh);
    assets::loadMesh(tknotMeshA, "tknot.p3D");
    assets::loadMesh(tknotMeshB, "tknot.p3D");
    // Object splices share the source arrays; a mesh with too few objects keeps what it has.
    assets::copyMeshObject(scene2Mesh, 12, tknotMeshB, 0);
    space82Texture = assets::loadRawTexture("space82.raw");
    nappalTexture = assets::loadRawTexture("nappal.raw");
    tex32Texture = assets::loadRawTexture("tex32_02.raw");
    sphere38Texture = assets::loadRawTexture("sphere38.raw");
    greetsTexture = assets::loadRawTexture("greets.raw");
    assets::copyMeshObject(scene3Mesh, 12, sphereMeshB, 0);
    setupKeyframedScene();
    effects::prepareEffects();
    makeNoiseTextures();
    assets::initGLState();
    assets::setAmbientColour(0.1f, 0.3f, 0.3f);
    assets::setLightColour(1.0f, 0.0f, 0.0f, 100.0f);
    assets::setLightPosition(0.0f, 8.7891f, 136.5971f);
    assets::lightingEnabled = true;
    return true;
}

void startShow() {
    playMusic();
    timerRestart();
}

} // namespace core
