// The blob sphere scene: the wave field that moves the spliced sphere's vertices each frame, and
// the scene drawn along its camera path.
#include "effects/sphere_scene.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "assets/float_rounding.h"
#include "assets/gl_state.h"
#include "assets/mesh_renderer.h"
#include "core/show_state.h"
#include "effects/effects.h"

namespace effects {

namespace {

const int32_t sphereObject = 12;  // the sphere, spliced in from sphereMeshB at start-up
const int32_t hiddenObjects[] = {12, 13, 14};
const int32_t unlitObject = 15;
const float phasePerUnit = 12.0f;
const float displacement = 18.0f;
const long double spatialFrequency = 2.3L;
const float sphereOpacity = 0.4f;

// The factor of each octave (row) and axis (column); every octave mixes in the other two axes'
// factors as well, so the three axes boil differently.
const float waveFactors[4][3] = {
    {0.476f, 0.572f, 0.324f},
    {0.247f, 0.254f, 0.723f},
    {0.525f, 0.760f, 0.073f},
    {0.728f, 0.284f, 0.369f},
};

} // namespace

float wave(int32_t axis, int32_t octave, float u, float v) {
    const float* w = waveFactors[octave];
    const long double a1 = 0.1L * u * w[axis];
    const long double a2 = 0.09L * u * w[(axis + 1) % 3];
    const long double a3 = 0.07L * v * w[(axis + 2) % 3];
    // In double first (see assets/float_rounding.h). Each sine is within |argument| 2^-53 + 2^-52
    // of its extended-precision value, the inner one's error passing into the outer argument; the
    // bound covers all of it with room to spare.
    const double inner = assets::quickSine(double(a3));
    const double quick = assets::quickSine(double(a1)) * assets::quickSine(double(a2) + inner);
    const double bound = 0x1p-49 * (std::fabs(double(a1)) + std::fabs(double(a2)) + std::fabs(double(a3)) + 8);
    if (assets::roundsToSameFloat(quick, bound)) return float(quick);
    const long double along = std::sin(a1);
    const long double across = std::sin(a2 + std::sin(a3));
    return float(along * across);
}

float waveSum(int32_t axis, float u, float v) {
    float sum = 0.0f;
    float weight = 0.5f;
    for (int32_t octave = 0; octave < 4; ++octave, weight /= 2) {
        const float k = float(octave + 1);
        sum += wave(axis, octave, k * u, k * v) * weight;
    }
    return sum;
}

void deformSphere(assets::MeshObject& target, const assets::MeshObject& rest, float phase,
                  float amplitude) {
    if (!target.vertices || !rest.vertices) return;
    const int32_t count = std::min(target.vertexCount, rest.vertexCount);
    for (int32_t i = 0; i < count; ++i) {
        const assets::Point3 r = rest.vertices[i];
        const float x = float(phase + spatialFrequency * r.x);
        const float y = float(phase + spatialFrequency * r.y);
        const float z = float(phase + spatialFrequency * r.z);
        target.vertices[i] = {float((long double)amplitude * waveSum(0, x, y) + r.x),
                              float((long double)amplitude * waveSum(1, y, z) + r.y),
                              float((long double)amplitude * waveSum(2, z, x) + r.z)};
    }
}

void drawScene3Sphere() {
    assets::setAmbientColour(0, 0, 0);
    assets::lightingEnabled = true;
    assets::setLightPosition(-0.6414f, 0.0f, 159.3159f);
    assets::setLightColour(1.0f, 1.0f, 1.0f, 700.0f);

    // The sphere is drawn in its own pass below; objects 13 and 14 are never shown. A mesh without
    // these objects is drawn as it is.
    assets::Mesh& mesh = core::scene3Mesh;
    if (assets::MeshObject* object = assets::meshObjectAt(mesh, unlitObject)) object->lit = false;
    for (int32_t index : hiddenObjects)
        if (assets::MeshObject* object = assets::meshObjectAt(mesh, index)) object->visible = false;
    assets::MeshObject* sphere = assets::meshObjectAt(mesh, sphereObject);
    if (sphere && core::sphereMeshA.objectCount > 0 && core::sphereMeshA.objects)
        deformSphere(*sphere, core::sphereMeshA.objects[0], core::sceneTime * phasePerUnit,
                     displacement);

    // meshScale is left as the knot scene set it (0.95).
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    assets::clearBeforeDraw = true;
    assets::drawMesh(mesh, core::sceneTime);

    if (assets::MeshMaterial* material = assets::meshMaterialOf(mesh, sphereObject)) {
        const uint32_t own = material->texture;
        material->texture = core::sphere38Texture;
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
        assets::clearBeforeDraw = false;
        assets::drawMeshObject(mesh, core::sceneTime, sphereObject, sphereOpacity);
        assets::clearBeforeDraw = true;
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
        material->texture = own;
    }
}

} // namespace effects
