// Arbitrary bytes as a .3DS scene: both passes through a loose file, then the keyframer evaluated
// at a few frames (with the mesh transform and a camera) and every mesh drawn as lit patches into
// the headless context. Whatever loads must be safe to evaluate, draw and free.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/lit_patches.h"
#include "engine/scene.h"
#include "platform/headless_gl.h"

#include <GL/gl.h>

namespace {

bool haveGL() {
    static const bool ok = platform::createHeadlessGL(16, 12);
    return ok;
}

const std::string& inputName() {
    static const std::string name = "engine_3ds_fuzz_" + std::to_string(getpid()) + ".3ds";
    return name;
}

void evaluate() {
    float start = 0, end = 0;
    if (engine::getFrameRange(start, end) != engine::ERR_OK) {
        engine::updateScene();
        return;
    }
    for (float f : {start, start + (end - start) * 0.37f, end - 0.5f, 0.0f, 7.0f, 1e7f}) {
        engine::setFrame(f);
        engine::updateScene();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The context comes first: its driver threads and allocations are not the input's doing.
    const bool gl = haveGL();
    std::FILE* file = std::fopen(inputName().c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    engine::engineInit(engine::ENGINE_NORMALS | engine::ENGINE_TRANSFORM);
    engine::Scene* scene = nullptr;
    if (engine::sceneCreate(scene) != engine::ERR_OK) return 0;
    engine::sceneLoad(scene, inputName().c_str());
    std::remove(inputName().c_str());
    engine::setActiveScene(scene);

    if (scene->firstObject) {
        engine::computeNormals();
        engine::ObjectNode* camera = nullptr;
        engine::findFirstObject(camera, engine::OBJ_CAMERA);
        engine::setActiveCamera(engine::asCamera(camera));
        evaluate();
        if (gl) {
            for (engine::ObjectNode* node = scene->firstObject; node; node = node->next)
                if (engine::TriMesh* mesh = engine::asMesh(node)) {
                    engine::drawLitPatches(*mesh, 1.7f, 0.8f, -1.0f);
                    engine::drawLitPatches(*mesh, 0.0f, 0.3f, 1.0f);
                }
            glFinish();
        }
    }
    engine::sceneFree(scene);
    engine::sceneFreeWorld(scene);
    delete scene;
    engine::engineDone();
    return 0;
}
