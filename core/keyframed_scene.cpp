// Loads the keyframed scene and picks out its camera and sphere. Every engine call is checked; an
// error discards the half-loaded scene, shows the engine's message and asks the show to quit.
#include "core/keyframed_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "assets/texture.h"
#include "core/window.h"
#include "platform/window.h"

namespace core {

uint32_t rondanyTexture = 0;
engine::Scene* engineScene = nullptr;
engine::SceneCamera* sceneCamera = nullptr;
engine::TriMesh* sphereObject = nullptr;

namespace {

engine::ObjectNode* foundNode = nullptr;

// Reports the code and tells the caller whether to stop: after a failure no further engine call
// may touch the scene, and no reference to it is handed on.
bool failed(engine::ResultCode code) {
    reportEngineError(code);
    return code != engine::ERR_OK;
}

// A scene whose load failed is no use to anyone: what the load left of it goes, and with it the
// engine's reference, which the load leaves on it when no scene was active before.
void discardScene(engine::Scene* scene) {
    engine::sceneFree(scene);
    engine::Scene* active = nullptr;
    engine::getActiveScene(active);
    if (active == scene) engine::engineDone();
    delete scene;
}

} // namespace

std::string engineErrorMessage(engine::ResultCode code) {
    return "Brontavel3D Error (#" + std::to_string(code) + "):\r" + engine::errorText(code);
}

void reportEngineError(engine::ResultCode code) {
    if (code == engine::ERR_OK) return;
    platform::showMessageBox(engineErrorMessage(code).c_str(), "Error...");
    postQuitMessage();
}

void setupKeyframedScene() {
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 4.0 / 3.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    rondanyTexture = assets::loadRawTexture("rondany.raw");

    // Nothing is published until the scene has loaded and is active, so a reader never sees a
    // half-built or failed scene.
    engineScene = nullptr;
    sceneCamera = nullptr;
    sphereObject = nullptr;

    engine::Scene* scene = nullptr;
    if (failed(engine::sceneCreate(scene))) return;
    if (failed(engine::sceneLoad(scene, "Gomb.3DS"))) {
        discardScene(scene);
        return;
    }
    // Made active before the normals are computed: the load leaves the scene active only when no
    // other scene was active before it, and computeNormals works on the active scene.
    if (failed(engine::setActiveScene(scene))) return;
    engine::computeNormals();
    engineScene = scene;

    if (failed(engine::findObjectByName(foundNode, "Camera01"))) return;
    sceneCamera = engine::asCamera(foundNode);
    if (failed(engine::setActiveCamera(nullptr))) return;
    if (failed(engine::findObjectByName(foundNode, "GeoSphere0"))) return;
    sphereObject = engine::asMesh(foundNode);
}

} // namespace core
