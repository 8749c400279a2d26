// The knot scene and its clock: the scene mesh along its camera path, the cross-fading wall and the
// twisted, translucent knot spliced in at start-up.
#include "effects/knot_scene.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "assets/float_rounding.h"
#include "assets/gl_state.h"
#include "assets/mesh_renderer.h"
#include "core/frame_timer.h"
#include "core/show_state.h"
#include "effects/effects.h"

namespace effects {

namespace {

const int32_t wallObject = 11;  // the object that cross-fades between two pictures
const int32_t knotObject = 12;  // the knot, spliced in from tknotMeshB at start-up
const float knotLag = 0.03f;
const float overlayScale = 0.95f;
const float knotOpacity = 0.4f;
const long double centreX = 0.307L, centreY = -0.045L, centreZ = 160.253L;

float knotFade = 0.0f;

// Draws object `index` with its material's texture replaced by `texture` for this one call.
void drawWithTexture(assets::Mesh& mesh, int32_t index, uint32_t texture, float alpha) {
    assets::MeshMaterial* material = assets::meshMaterialOf(mesh, index);
    if (!material) return;
    const uint32_t own = material->texture;
    material->texture = texture;
    assets::drawMeshObject(mesh, core::sceneTime, index, alpha);
    material->texture = own;
}

float lengthOf(assets::Point3 p) {
    const long double x = p.x, y = p.y, z = p.z;
    return float(std::sqrt(x * x + y * y + z * z));
}

} // namespace

float knotSceneClock(uint32_t showMs) {
    const long double s = (int64_t(showMs) - 78000) / 212.0L;
    return s < 0 ? 0.0f : float(s);
}

float knotFadeAt(uint32_t showMs) {
    const long double fade = uint32_t(showMs - 80000u) / 25000.0L;
    return fade > 1 ? 1.0f : float(fade);
}

void deformKnot(assets::MeshObject& target, const assets::MeshObject& rest, float phase, float lag) {
    if (!target.vertices || !rest.vertices) return;
    const int32_t count = std::min(target.vertexCount, rest.vertexCount);
    for (int32_t i = 0; i < count; ++i) {
        const assets::Point3 p = rest.vertices[i];
        // The turn lags with the distance from the origin (not from the centre), so the parts of
        // the knot turn by different amounts: that is the twist.
        const float a = float(phase - (long double)lengthOf(p) * lag);
        float sine[3], cosine[3];
        assets::floatSineCosine(0.476L * a, sine[0], cosine[0]);
        assets::floatSineCosine(0.247L * a, sine[1], cosine[1]);
        assets::floatSineCosine(0.525L * a, sine[2], cosine[2]);
        const long double s1 = sine[0], c1 = cosine[0], s2 = sine[1], c2 = cosine[1], s3 = sine[2], c3 = cosine[2];
        const long double m00 = s1 * s2 * s3 + c1 * c3, m01 = c2 * s3, m02 = s1 * c3 - c1 * s2 * s3;
        const long double m10 = s1 * s2 * c3 - c1 * s3, m11 = c2 * c3, m12 = -c1 * s2 * c3 - s1 * s3;
        const long double m20 = -s1 * c2, m21 = s2, m22 = c1 * c2;
        const long double dx = p.x - centreX, dy = p.y - centreY, dz = p.z - centreZ;
        target.vertices[i] = {float((m00 * dx + m01 * dy + m02 * dz) * 0.5L + centreX),
                              float((m10 * dx + m11 * dy + m12 * dz) * 0.5L + centreY),
                              float((m20 * dx + m21 * dy + m22 * dz) * 0.5L + centreZ)};
    }
}

void drawScene2Knot() {
    core::sceneTime = knotSceneClock(core::timerTicks(600));
    assets::setAmbientColour(0, 0, 0);
    assets::lightingEnabled = true;
    assets::setLightPosition(0.0f, 0.4946f, 69.5844f);

    // The wall and the knot are drawn in their own passes below, not by drawMesh; the wall's own
    // pass is unlit. A mesh without these objects is drawn as it is.
    assets::Mesh& mesh = core::scene2Mesh;
    if (assets::MeshObject* wall = assets::meshObjectAt(mesh, wallObject)) {
        wall->lit = false;
        wall->visible = false;
    }
    if (assets::MeshObject* knot = assets::meshObjectAt(mesh, knotObject)) {
        knot->visible = false;
        if (core::tknotMeshA.objectCount > 0 && core::tknotMeshA.objects)
            deformKnot(*knot, core::tknotMeshA.objects[0], core::sceneTime / 2.0f, knotLag);
    }

    knotFade = knotFadeAt(core::timerTicks(1000));
    assets::setLightColour(1.0f, 1.0f, 1.0f, float((1 - knotFade) * 1000.0L + 1300.0L));

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    assets::meshScale = {1, 1, 1};
    assets::clearBeforeDraw = true;
    assets::drawMesh(mesh, core::sceneTime);
    assets::clearBeforeDraw = false;

    // The wall in its own texture (blending is off, so opaque), then the "nappal" picture over it,
    // fading out as the wall's own texture fades in.
    assets::drawMeshObject(mesh, core::sceneTime, wallObject, knotFade);
    assets::meshScale = {overlayScale, overlayScale, overlayScale};
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawWithTexture(mesh, wallObject, core::nappalTexture, 1 - knotFade);

    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    drawWithTexture(mesh, knotObject, core::space82Texture, knotOpacity);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    assets::clearBeforeDraw = true;
    // meshScale stays at 0.95: the sphere scene later in the show draws with it.
}

} // namespace effects
