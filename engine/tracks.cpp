// Keyframer evaluation: each track is a list of keys; a frame falls into the segment between two
// keys and is interpolated there on a cubic Hermite curve with the tangents set up at load time
// (spline.cpp), rotations by a spherical quadrangle of quaternions. updateScene writes the results
// into the world records and rebuilds the mesh and camera matrices.
#include <algorithm>
#include <cmath>

#include "engine/scene.h"

namespace engine {

namespace {

constexpr double FULL_TURN = 6.2831853072;
constexpr double HALF_TURN = 3.1415926536;

// The key whose segment holds frame f. The search starts at the key found last time when f is not
// before it, so a sweep over increasing frames passes each key once. It stops on the earlier key
// when f equals a later key's frame, unless it started at that later key.
Key* findKey(Track& track, float f) {
    Key* k = track.cursorKey && f >= track.cursorKey->frame ? track.cursorKey : track.firstKey;
    while (k->next && f > k->next->frame) k = k->next;
    track.cursorKey = k;
    return k;
}

bool hasSegment(const Key* k, float f) { return k->next && f >= k->frame; }

// The eased parameter of f in the segment from k to k->next. Keys at the same frame make a segment
// of no length; its end key wins, as it does at the end of any segment.
float segmentParameter(const Key* k, float f) {
    double length = double(k->next->frame) - k->frame;
    double t = length > 0 ? (double(f) - k->frame) / length : 1.0;
    return easeParameter(float(std::clamp(t, 0.0, 1.0)), k->easeFrom, k->easeTo);
}

struct Hermite {
    float h1, h2, h3, h4;
};

Hermite hermite(float t) {
    double t2 = double(t) * t, t3 = t2 * t;
    return {float(2 * t3 - 3 * t2 + 1), float(-2 * t3 + 3 * t2), float(t3 - 2 * t2 + t), float(t3 - t2)};
}

// value[j] of the curve between k and k->next; tangent element e belongs to value j.
float hermiteValue(const Hermite& h, const Key* k, int j, int e) {
    const Key* n = k->next;
    return float(double(h.h1) * k->value[j] + double(h.h3) * k->outTangent[e] + double(h.h4) * n->inTangent[e] +
                 double(h.h2) * n->value[j]);
}

// The checks every evaluator starts with; on success f is wrapped and the key found.
ResultCode startEvaluation(Track* track, float& f, Key*& k) {
    if (f < 0) return ERR_INVALID_FRAME;
    if (!track || !track->firstKey) return ERR_NULL_POINTER;
    if (track->mode != 0) f = wrapFrame(f, track->lastFrame);
    k = findKey(*track, f);
    return ERR_OK;
}

} // namespace

float wrapFrame(float frame, float period) {
    if (!(period > 0) || !(frame > period)) return frame;
    // The same as subtracting the period while the frame is above it (a frame on a multiple of
    // the period stays at the period), without a loop that a huge frame would never finish.
    double r = std::fmod(double(frame), double(period));
    return r == 0 ? period : float(r);
}

ResultCode evalFloatTrack(float& out, Track* track, float frame) {
    Key* k;
    ResultCode result = startEvaluation(track, frame, k);
    if (result != ERR_OK) return result;
    if (!hasSegment(k, frame)) {
        out = k->value[3];
        return ERR_OK;
    }
    out = hermiteValue(hermite(segmentParameter(k, frame)), k, 3, 0);
    return ERR_OK;
}

ResultCode evalVectorTrack(Vec3& out, Track* track, float frame) {
    Key* k;
    ResultCode result = startEvaluation(track, frame, k);
    if (result != ERR_OK) return result;
    if (!hasSegment(k, frame)) {
        out = {k->value[0], k->value[1], k->value[2]};
        return ERR_OK;
    }
    Hermite h = hermite(segmentParameter(k, frame));
    out = {hermiteValue(h, k, 0, 1), hermiteValue(h, k, 1, 2), hermiteValue(h, k, 2, 3)};
    return ERR_OK;
}

ResultCode evalColorTrack(Vec3& out, Track* track, float frame) {
    Vec3 colour;
    ResultCode result = evalVectorTrack(colour, track, frame);
    if (result == ERR_OK) out = colour;
    return result;
}

ResultCode evalRotationTrack(Quat& out, Track* track, float frame) {
    Key* k;
    ResultCode result = startEvaluation(track, frame, k);
    if (result != ERR_OK) return result;
    if (!hasSegment(k, frame)) {
        out = k->orientation;
        return ERR_OK;
    }
    const Key* n = k->next;
    float t = segmentParameter(k, frame);
    // value[3] holds the running angle sum, so d is the next key's own turn. Whole turns become
    // spins of the slerp; a remainder past a half turn must go the long way round.
    double d = double(n->value[3]) - k->value[3];
    double spins = std::trunc(d / FULL_TURN);
    double rest = d - spins * FULL_TURN;
    auto slerp = std::fabs(rest) > HALF_TURN ? quatSlerpLong : quatSlerp;
    Quat a, b;
    slerp(a, k->orientation, n->orientation, float(spins), t);
    slerp(b, k->controlB, n->controlA, float(spins), t);
    slerp(out, a, b, 0, float(2.0 * t * (1.0 - t)));
    return ERR_OK;
}

ResultCode evalHideTrack(int32_t& out, Track* track, float frame) {
    Key* k;
    ResultCode result = startEvaluation(track, frame, k);
    if (result != ERR_OK) return result;
    // The reader only stores 0 and 1; anything else is read as hidden when it rounds to nonzero.
    float v = k->value[3];
    out = std::isfinite(v) ? int32_t(std::clamp(std::nearbyint(double(v)), -1e9, 1e9)) : 1;
    return ERR_OK;
}

namespace {

void updateMesh(TriMesh& mesh, Track* const* tracks, float f) {
    evalVectorTrack(mesh.position, tracks[0], f);
    evalVectorTrack(mesh.scale, tracks[1], f);
    evalRotationTrack(mesh.rotation, tracks[2], f);
    int32_t hidden = 0;
    // An empty hide slot shows the mesh; a frame before 0 changes nothing.
    if (evalHideTrack(hidden, tracks[4], f) != ERR_INVALID_FRAME) {
        if (hidden)
            mesh.flags |= MESH_HIDDEN;
        else
            mesh.flags &= ~MESH_HIDDEN;
    }
    // Rotation times per-axis scale, with the position as translation. The pivot is not needed:
    // the vertices were moved by it when they were read.
    Mat34 rotation, scaling;
    quatToMatrix(rotation, mesh.rotation);
    rotation.m[0][3] = mesh.position.x;
    rotation.m[1][3] = mesh.position.y;
    rotation.m[2][3] = mesh.position.z;
    matScaling(scaling, mesh.scale);
    matMul(mesh.matrix, rotation, scaling);
}

void updateNode(TrackNode& node, float f) {
    Track* const* tracks = node.tracks;
    switch (node.type) {
    case NODE_CAMERA: {
        auto* camera = static_cast<SceneCamera*>(node.object);
        evalVectorTrack(camera->position, tracks[0], f);
        evalFloatTrack(camera->fov, tracks[1], f);
        evalFloatTrack(camera->roll, tracks[2], f);
        break;
    }
    case NODE_CAMERA_TARGET:
        evalVectorTrack(static_cast<SceneCamera*>(node.object)->target, tracks[0], f);
        break;
    case NODE_OMNI_LIGHT:
    case NODE_SPOT_LIGHT: {
        auto* light = static_cast<SceneLight*>(node.object);
        evalVectorTrack(light->position, tracks[0], f);
        evalColorTrack(light->colour, tracks[1], f);
        if (node.type == NODE_SPOT_LIGHT) evalFloatTrack(light->roll, tracks[2], f);
        break;
    }
    case NODE_LIGHT_TARGET:
        evalVectorTrack(static_cast<SceneLight*>(node.object)->target, tracks[0], f);
        break;
    case NODE_OBJECT:
        updateMesh(*static_cast<TriMesh*>(node.object), tracks, f);
        break;
    case NODE_AMBIENT:
        evalColorTrack(static_cast<AmbientLight*>(node.object)->colour, tracks[0], f);
        break;
    default:
        break;
    }
}

} // namespace

ResultCode updateScene() {
    if (!activeScene || !activeScene->firstObject) return ERR_NO_SCENE;
    if (!activeScene->firstTrackNode) return ERR_NO_KEYFRAMER_DATA;
    float f = activeScene->currentFrame;
    for (TrackNode* node = activeScene->firstTrackNode; node; node = node->next)
        if (node->object) updateNode(*node, f);
    // Cameras last: their targets may come from later nodes.
    for (TrackNode* node = activeScene->firstTrackNode; node; node = node->next)
        if (node->type == NODE_CAMERA && node->object) updateCameraMatrix(*static_cast<SceneCamera*>(node->object));
    if (engineFlags & ENGINE_TRANSFORM) transformMeshes();
    return ERR_OK;
}

void updateCameraMatrix(SceneCamera& camera) {
    Vec3 d;
    vecSub(d, camera.target, camera.position);
    double length = vecLength(d);
    double yaw = -std::atan2(double(d.x), double(d.z));
    // Rounding can push the ratio just past 1.
    double pitch = std::asin(std::clamp(d.y / length, -1.0, 1.0));
    double roll = -double(camera.roll) * HALF_TURN / 180.0;
    double sy = std::sin(yaw), cy = std::cos(yaw);
    double sp = std::sin(pitch), cp = std::cos(pitch);
    double sr = std::sin(roll), cr = std::cos(roll);
    Mat34 m{{{float(sy * sp * sr + cy * cr), float(cp * sr), float(sy * cr - cy * sp * sr), 0},
             {float(sy * sp * cr - cy * sr), float(cp * cr), float(-cy * sp * cr - sy * sr), 0},
             {float(-sy * cp), float(sp), float(cy * cp), 0}}};
    Vec3 back;
    vecNegate(back, camera.position);
    matApplyTranslation(camera.viewMatrix, m, back);
}

void transformMeshes() {
    if (!activeScene) return;
    for (ObjectNode* node = activeScene->firstObject; node; node = node->next) {
        TriMesh* mesh = asMesh(node);
        if (!mesh) continue;
        Mat34 m = mesh->matrix;
        if (activeCamera) matMul(m, activeCamera->viewMatrix, mesh->matrix);
        Mat34 n;
        matNormalizeRows(n, m);
        for (int32_t i = 0; i < mesh->vertexCount; ++i)
            matTransformPoint(mesh->vertices[i].transformedPosition, mesh->vertices[i].position, m);
        if (!(engineFlags & ENGINE_NORMALS)) continue;
        for (int32_t i = 0; i < mesh->vertexCount; ++i)
            matRotateVector(mesh->vertices[i].transformedNormal, mesh->vertices[i].normal, n);
        for (int32_t i = 0; i < mesh->faceCount; ++i)
            matRotateVector(mesh->faces[i].transformedNormal, mesh->faces[i].normal, n);
    }
}

} // namespace engine
