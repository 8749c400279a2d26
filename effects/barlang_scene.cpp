// The barlang cave: camera 0 of barlangMesh flown along its path by the mesh renderer's own path
// placement, walls faded with the distance from the eye, the water scrolled and blended over a
// mirrored lit-patch sphere, and the upright sphere on top. It trusts the loaded mesh only as far
// as assets/mesh.h promises (materials and paths are looked up through the checked helpers), and
// the keyframed scene not at all: a scene without its camera or sphere draws no sphere.
#include "effects/barlang_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <memory>
#include <vector>

#include "assets/mesh_renderer.h"
#include "assets/triangle_arrays.h"
#include "core/frame_timer.h"
#include "core/keyframed_scene.h"
#include "core/show_state.h"
#include "engine/lit_patches.h"
#include "platform/present.h"

namespace effects {

float floorScroll = 0.0f;

namespace {

constexpr uint32_t clockStartMs = 52000;
constexpr double msPerUnit = 2500.0;
constexpr float fadeDistance = 2500.0f;
constexpr double aspect = 4.0 / 3.0;
constexpr float caveScale = 0.05f;
constexpr float scrollPerObject = 0.002f;
constexpr long double vScaleFactor = 10.0L;

constexpr double sphereFieldOfView = 48.0;
constexpr float sphereTimeUnitMs = 600.0f;
constexpr float mirrorLift = 121.0f;
constexpr float sphereIntensity = 0.8f;

assets::Point3 eye = {0, 0, 0};
assets::Point3 target = {0, 0, 0};

// Whether the sphere's vertex data holds its mirror image now. Every drawLitPatches call flips the
// data in y before drawing; normally the mirror draw and the upright draw alternate and this just
// follows along, but a frame without the mirror (a cave without objects) would otherwise leave the
// upright sphere drawn upside down every other frame.
bool sphereDataMirrored = false;
const engine::Scene* sceneOfSphereData = nullptr;  // a newly loaded scene starts upright

// Places eye and target on camera 0's path at the scene clock, held at the path's ends as the
// mesh renderer holds its own camera. Returns false when the mesh has no camera path to fly.
bool placeCamera(const assets::Mesh& mesh, float clock) {
    if (mesh.cameraCount < 1 || !mesh.cameras) return false;
    const assets::MeshCamera& camera = mesh.cameras[0];
    assets::PathPlace place;
    if (!camera.eye || !camera.target || !assets::placeOnPath(clock, mesh.pathPointCount, place)) return false;
    eye = assets::pathPoint(camera.eye, place);
    target = assets::pathPoint(camera.target, place);
    return true;
}

void loadCaveProjection(float fieldOfView) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfView, aspect, 0.1, 1000.0);
    glScalef(caveScale, caveScale, caveScale);
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0, 0, 1);
}

// The water (object 0) keeps full brightness and scrolls; the walls fade with distance.
//
// Each cave object keeps its arrays from frame to frame: its triangle list and its wall texture
// coordinates are pure functions of the loaded mesh and its material, and only the fades (the eye
// moves every frame) and the water's scrolled coordinates are computed anew. An entry is rebuilt
// whenever the object's arrays, counts or texture scales differ from those it was made from, and
// all are dropped when the mesh's storage blocks change (a newly loaded mesh, whose arrays may sit
// where the old ones were); the cave's data itself is never changed in place.
struct CaveObjectArrays {
    const assets::Triangle* triangles = nullptr;
    const assets::TexCoord* texCoords = nullptr;
    int32_t triangleCount = 0, vertexCount = 0;
    float uScale = 0, vScale = 0, scroll = 0;
    bool drawable = false, texCoordsMade = false, faded = false;
    assets::TriangleArrays arrays;
};
std::vector<CaveObjectArrays> caveObjects;
std::vector<std::weak_ptr<assets::MeshStorage>> caveStorage;  // the blocks the entries were made from

void forgetArraysOfOtherMeshes(const assets::Mesh& mesh) {
    bool same = caveStorage.size() == mesh.storage.size();
    for (size_t i = 0; same && i < caveStorage.size(); ++i)
        same = !caveStorage[i].expired() && !caveStorage[i].owner_before(mesh.storage[i]) &&
               !mesh.storage[i].owner_before(caveStorage[i]);
    if (same) return;
    caveObjects.clear();
    caveStorage.assign(mesh.storage.begin(), mesh.storage.end());
}

CaveObjectArrays& arraysFor(const assets::MeshObject& object, const assets::MeshMaterial& material) {
    for (CaveObjectArrays& entry : caveObjects)
        if (entry.triangles == object.triangles && entry.texCoords == object.texCoords &&
            entry.triangleCount == object.triangleCount && entry.vertexCount == object.vertexCount &&
            entry.uScale == material.uScale && entry.vScale == material.vScale)
            return entry;
    if (caveObjects.size() >= 64) caveObjects.clear();  // a run of reloads never piles up
    CaveObjectArrays& entry = caveObjects.emplace_back();
    entry.triangles = object.triangles, entry.texCoords = object.texCoords;
    entry.triangleCount = object.triangleCount, entry.vertexCount = object.vertexCount;
    entry.uScale = material.uScale, entry.vScale = material.vScale;
    entry.drawable = assets::collectTriangles(entry.arrays, object.triangles, object.triangleCount, object.vertexCount);
    return entry;
}

void drawCaveObjectArrays(const assets::MeshObject& object, const assets::MeshMaterial& material, bool water,
                          float scroll) {
    if (!object.vertices || !object.texCoords) return;
    CaveObjectArrays& entry = arraysFor(object, material);
    if (!entry.drawable) return;
    assets::TriangleArrays& arrays = entry.arrays;
    const size_t count = size_t(object.vertexCount);
    if (!entry.texCoordsMade || entry.scroll != scroll) {
        const long double su = material.uScale;
        const long double sv = material.vScale * vScaleFactor;
        arrays.texCoords.resize(count * 2);
        for (size_t i = 0; i < count; ++i) {
            const assets::TexCoord uv = object.texCoords[i];
            arrays.texCoords[2 * i] = float(1 + scroll - uv.u * su);
            arrays.texCoords[2 * i + 1] = float(1 + scroll - uv.v * sv);
        }
        entry.texCoordsMade = true, entry.scroll = scroll;
    }
    if (arrays.colours.size() != count * 4 || water == entry.faded) {
        arrays.colours.assign(count * 4, 1.0f);  // alpha stays 1; so do the water's colours
        entry.faded = false;
    }
    if (!water) {
        arrays.factors.resize(count);
        eyeFades(object.vertices, count, arrays.factors.data());
        for (size_t i = 0; i < count; ++i) {
            float* c = &arrays.colours[4 * i];
            c[0] = c[1] = c[2] = arrays.factors[i];
        }
        entry.faded = true;
    }
    glColor3d(1, 1, 1);
    assets::drawTriangleArrays(arrays, object.vertices, object.vertexCount);
}

CaveObjectSubmission submitCaveObject = drawCaveObjectArrays;

void flipY(engine::TriMesh& mesh) {
    if (!mesh.vertices) return;
    for (int32_t i = 0; i < mesh.vertexCount; ++i) mesh.vertices[i].position.y = -mesh.vertices[i].position.y;
}

bool isSphere(const engine::TriMesh* mesh) { return mesh && mesh->name == "GeoSphere0"; }

// Both sphere images: the same mesh under the same breathing camera, the mirror one seen from
// `lift` units higher up with amp -1 on the lights.
void drawSphereImage(bool mirror, float lift, float amp) {
    if (!core::engineScene || !core::sceneCamera || !core::sphereObject) return;
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(sphereFieldOfView, aspect, 1.0, 1000.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, core::rondanyTexture);

    const float t = float(core::timerTicks(600)) / sphereTimeUnitMs;
    const float m = std::sin(0.8f * t) * 0.5f + 1.5f;
    const engine::Vec3 position = core::sceneCamera->position;
    const engine::Vec3 centre = core::sceneCamera->target;
    if (sceneOfSphereData != core::engineScene) sceneOfSphereData = core::engineScene, sphereDataMirrored = false;
    // drawLitPatches flips before it draws: the data must hold the other image than the one wanted.
    if (sphereDataMirrored == mirror)
        for (engine::ObjectNode* node = core::engineScene->firstObject; node; node = node->next)
            if (isSphere(engine::asMesh(node))) flipY(*engine::asMesh(node));
    sphereDataMirrored = mirror;
    for (engine::ObjectNode* node = core::engineScene->firstObject; node; node = node->next) {
        engine::TriMesh* mesh = engine::asMesh(node);
        if (!mesh) continue;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(position.x * m, position.y * m + lift, position.z * m, centre.x, centre.y + lift,
                  centre.z, 0, 1, 0);
        if (!isSphere(mesh)) continue;
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glTranslatef(core::sceneTime, core::sceneTime, 0);
        glMatrixMode(GL_MODELVIEW);
        engine::drawLitPatches(*mesh, t, sphereIntensity, amp);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
    }
}

} // namespace

float barlangSceneClock(uint32_t showMs) {
    const int32_t sinceStart = int32_t(showMs - clockStartMs);
    if (sinceStart < 0) return 0.0f;
    return float(sinceStart / msPerUnit);
}

float eyeFade(float x, float y, float z) {
    const float fade = assets::distanceFade(x, y, z, eye, fadeDistance);
    if (fade < 0) return 0.0f;
    if (fade > 1) return 1.0f;
    return fade;
}

void eyeFades(const assets::Point3* points, size_t count, float* fades) {
    assets::clampedDistanceFades(points, count, eye, fadeDistance, fades);
}

void setCaveObjectSubmission(CaveObjectSubmission submission) {
    submitCaveObject = submission ? submission : drawCaveObjectArrays;
}

void drawEngineSphere() { drawSphereImage(false, 0.0f, 1.0f); }

void drawEngineSphereMirror() { drawSphereImage(true, mirrorLift, -1.0f); }

void drawBarlangScene() {
    core::sceneTime = barlangSceneClock(core::timerTicks(600));
    glColor3f(1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The walls are drawn with whatever texture matrix is current; start from a clean one.
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();

    assets::Mesh& mesh = core::barlangMesh;
    const bool flying = placeCamera(mesh, core::sceneTime);
    forgetArraysOfOtherMeshes(mesh);
    glEnable(GL_TEXTURE_2D);
    if (flying && mesh.objects) {
        const float fieldOfView = mesh.cameras[0].fieldOfView;
        // From the last object down: the water, object 0, comes last, over the mirrored sphere.
        for (int32_t i = mesh.objectCount - 1; i >= 0; --i) {
            const assets::MeshObject& object = mesh.objects[i];
            const assets::MeshMaterial* material = assets::meshMaterialOf(mesh, i);
            if (!material) continue;
            glBindTexture(GL_TEXTURE_2D, material->texture);
            floorScroll += scrollPerObject;
            float scroll = 0.0f;
            if (i == 0) {
                drawEngineSphereMirror();
                glBindTexture(GL_TEXTURE_2D, material->texture);
                scroll = floorScroll;
                glEnable(GL_BLEND);
                glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
            } else {
                glDisable(GL_BLEND);
            }
            loadCaveProjection(fieldOfView);
            if (platform::frameSeen()) submitCaveObject(object, *material, i == 0, scroll);
        }
    }
    drawEngineSphere();
    glDisable(GL_BLEND);
    glMatrixMode(GL_MODELVIEW);
}

} // namespace effects
