// The lit-patch shell renderer: per-vertex light sums, per-face clipping at the sum 1.0, and the
// outer surface, inner surface and side walls of every piece, collected and drawn in one go.
#include "engine/lit_patches.h"

#include <GL/gl.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "platform/present.h"

namespace engine {

namespace {

// Angular rates of the three angles that steer each light.
const float LIGHT_RATES[4][3] = {
    {0.476f, 0.572f, 0.324f},
    {0.247f, 0.254f, 0.723f},
    {0.525f, 0.760f, 0.073f},
    {0.728f, 0.284f, 0.369f},
};

constexpr float LIGHT_THRESHOLD = 1.0f;
constexpr float INNER_SCALE = 0.6f;

Vec3 lightDirs[4];

float sumOf(const TriVertex* v) { return v->transformedPosition.x; }

// What one call draws, in drawing order, sent to GL in one go when the faces are done.
PatchBatch batch;

void begin(uint32_t mode) { batch.groups.push_back({mode, uint32_t(batch.vertices.size()), 0}); }
void end() { batch.groups.back().count = uint32_t(batch.vertices.size()) - batch.groups.back().first; }

void emit(Vec3 point, Vec3 normal) {
    float grey = float(0.5 - 0.4 * double(normal.z));
    batch.vertices.push_back({point.x, point.y, point.z, grey, grey, grey, normal.x, normal.y});
}

void emitInner(Vec3 point, Vec3 normal) {
    Vec3 inner;
    vecScale(inner, point, INNER_SCALE);
    emit(inner, normal);
}

// A point where an edge from `alone` (the vertex on its own side of the threshold) crosses it.
struct ClipPoint {
    Vec3 position{};
    Vec3 normal{};
};

ClipPoint clipEdge(const TriVertex* alone, const TriVertex* other) {
    ClipPoint p;
    thresholdPoint(p.position, alone->position, other->position, sumOf(alone), sumOf(other));
    thresholdPoint(p.normal, alone->normal, other->normal, sumOf(alone), sumOf(other));
    return p;
}

// The wall between the two clip points, from the outer surface to the inner one and back.
void emitWall(const ClipPoint& p1, const ClipPoint& p2) {
    emit(p1.position, p1.normal);
    emitInner(p1.position, p1.normal);
    emitInner(p2.position, p2.normal);
    emit(p2.position, p2.normal);
}

// One vertex inside: a triangle cap from it to the two cut points, outside and inside, and a wall.
void drawCorner(const TriVertex* inside, const TriVertex* first, const TriVertex* second) {
    ClipPoint p1 = clipEdge(inside, first);
    ClipPoint p2 = clipEdge(inside, second);
    begin(GL_TRIANGLES);
    emit(inside->position, inside->normal);
    emit(p1.position, p1.normal);
    emit(p2.position, p2.normal);
    emitInner(inside->position, inside->normal);
    emitInner(p1.position, p1.normal);
    emitInner(p2.position, p2.normal);
    end();
    begin(GL_QUADS);
    emitWall(p1, p2);
    end();
}

// Two vertices inside: a quad from the first through the two cut points to the second, outside
// and inside, and a wall.
void drawBand(const TriVertex* outside, const TriVertex* first, const TriVertex* second) {
    ClipPoint p1 = clipEdge(outside, first);
    ClipPoint p2 = clipEdge(outside, second);
    begin(GL_QUADS);
    emit(first->position, first->normal);
    emit(p1.position, p1.normal);
    emit(p2.position, p2.normal);
    emit(second->position, second->normal);
    emitInner(first->position, first->normal);
    emitInner(p1.position, p1.normal);
    emitInner(p2.position, p2.normal);
    emitInner(second->position, second->normal);
    emitWall(p1, p2);
    end();
}

void drawWhole(const TriVertex* a, const TriVertex* b, const TriVertex* c) {
    begin(GL_TRIANGLES);
    emit(a->position, a->normal);
    emit(b->position, b->normal);
    emit(c->position, c->normal);
    emitInner(a->position, a->normal);
    emitInner(b->position, b->normal);
    emitInner(c->position, c->normal);
    end();
}

// The batch as vertex arrays in one indexed draw. Quads are split the way GL splits those that
// need no clipping, into (0, 1, 2) and (0, 2, 3), so every triangle is rasterised from the same
// corners in the same roles. (A quad cut by the view volume GL splits the other way, into
// (0, 1, 3) and (1, 2, 3); the sphere never is.)
std::vector<uint32_t> patchIndices;

void drawBatchArrays(const PatchBatch& patches) {
    patchIndices.clear();
    for (const PatchGroup& group : patches.groups) {
        if (group.mode == GL_TRIANGLES) {
            for (uint32_t i = 0; i < group.count; ++i) patchIndices.push_back(group.first + i);
            continue;
        }
        for (uint32_t q = group.first; q + 4 <= group.first + group.count; q += 4)
            patchIndices.insert(patchIndices.end(), {q, q + 1, q + 2, q, q + 2, q + 3});
    }
    if (patchIndices.empty()) return;
    const PatchVertex* v = patches.vertices.data();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(PatchVertex), &v->x);
    glColorPointer(3, GL_FLOAT, sizeof(PatchVertex), &v->r);
    glTexCoordPointer(2, GL_FLOAT, sizeof(PatchVertex), &v->s);
    glDrawRangeElements(GL_TRIANGLES, 0, GLuint(patches.vertices.size() - 1), GLsizei(patchIndices.size()),
                        GL_UNSIGNED_INT, patchIndices.data());
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

PatchSubmission submitPatches = drawBatchArrays;

} // namespace

void thresholdPoint(Vec3& out, Vec3 a, Vec3 b, float sA, float sB) {
    if (sA == sB) return;
    double k = (double(sA) - LIGHT_THRESHOLD) / (double(sA) - sB);
    out = {float(a.x + (double(b.x) - a.x) * k), float(a.y + (double(b.y) - a.y) * k),
           float(a.z + (double(b.z) - a.z) * k)};
}

namespace {

// The light sum of every vertex, left in its transformedPosition.x.
void computeLightSums(TriMesh& mesh, float time, float intensity, float amp) {
    for (int j = 0; j < 4; ++j) {
        double s1 = std::sin(LIGHT_RATES[j][0] * double(time)), c1 = std::cos(LIGHT_RATES[j][0] * double(time));
        double s2 = std::sin(LIGHT_RATES[j][1] * double(time)), c2 = std::cos(LIGHT_RATES[j][1] * double(time));
        double s3 = std::sin(LIGHT_RATES[j][2] * double(time)), c3 = std::cos(LIGHT_RATES[j][2] * double(time));
        lightDirs[j] = {float(s1 * s2 * s3 + c1 * c3), float(amp * c2 * s3), float(s1 * c3 - c1 * s2 * s3)};
    }
    // vecCosAngle(n, light) with each length taken once: the lights' for the call, n's per vertex.
    float lightLengths[4];
    for (int j = 0; j < 4; ++j) lightLengths[j] = vecLength(lightDirs[j]);
    // The mesh is taken as a sphere around the origin: a vertex's direction is its light normal.
    for (int32_t i = 0; i < mesh.vertexCount && mesh.vertices; ++i) {
        TriVertex& v = mesh.vertices[i];
        Vec3 n;
        vecNormalize(n, v.position);
        const double length = vecLength(n);
        double sum = 0;
        for (int j = 0; j < 4; ++j) {
            const float cosine = float(double(vecDot(n, lightDirs[j])) / (length * lightLengths[j]));
            double d = double(cosine) * intensity;
            if (d > 0) sum += d;
        }
        v.transformedPosition.x = float(sum);
    }
}

// GL's current colour as drawing the batch vertex by vertex would leave it: the last face's grey
// when that face drew nothing.
float lastGrey = 0;
bool lastFaceEmpty = false;

// The faces cut at the sum 1.0, into the batch.
void collectPatches(const TriMesh& mesh) {
    batch.vertices.clear();
    batch.groups.clear();
    lastGrey = 0;
    lastFaceEmpty = false;
    for (int32_t i = 0; i < mesh.faceCount && mesh.faces; ++i) {
        const TriFace& face = mesh.faces[i];
        const TriVertex* a = face.va;
        const TriVertex* b = face.vb;
        const TriVertex* c = face.vc;
        if (!a || !b || !c) continue;
        int mask = (sumOf(a) > LIGHT_THRESHOLD ? 1 : 0) | (sumOf(b) > LIGHT_THRESHOLD ? 2 : 0) |
                   (sumOf(c) > LIGHT_THRESHOLD ? 4 : 0);
        // Every face sets its grey before its vertices set their own: only the last one can still
        // be GL's current colour afterwards.
        lastGrey = float(0.5 - 0.4 * double(face.normal.z));
        const size_t before = batch.vertices.size();
        switch (mask) {
        case 7: drawWhole(a, b, c); break;
        case 1: drawCorner(a, b, c); break;
        case 2: drawCorner(b, a, c); break;
        case 4: drawCorner(c, a, b); break;
        case 3: drawBand(c, a, b); break;
        case 5: drawBand(b, a, c); break;
        case 6: drawBand(a, b, c); break;
        default: break;
        }
        lastFaceEmpty = batch.vertices.size() == before;
    }
}

// What the last call was given, kept to recognise the call that draws its mirror image: the same
// mesh negated in y, under the same lights negated in y. In every light sum the two signs cancel,
// so every sum, every cut and every grey is the same and every point the same with y negated: the
// batch is the last one with y negated, and the faces need not be cut again. (The barlang cave
// draws its sphere so, once mirrored and once upright, every frame.) The whole input is compared,
// so anything else, a clock that moved on in between included, is computed afresh.
struct FaceCorners {
    const TriVertex *a, *b, *c;
    float normalZ;
    bool operator==(const FaceCorners&) const = default;
};
struct CallInputs {
    bool valid = false;
    float time = 0, intensity = 0, amp = 0;
    std::vector<Vec3> positions, normals;  // as the call left them
    std::vector<float> sums;
    std::vector<FaceCorners> faces;
};
CallInputs lastCall;

bool bitsEqual(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

bool mirrorsLastCall(const TriMesh& mesh, float time, float intensity, float amp) {
    const CallInputs& last = lastCall;
    if (!last.valid || !mesh.vertices || !bitsEqual(last.time, time) || !bitsEqual(last.intensity, intensity) ||
        !bitsEqual(last.amp, -amp) || last.positions.size() != size_t(std::max(mesh.vertexCount, 0)) ||
        last.faces.size() != size_t(mesh.faces ? std::max(mesh.faceCount, 0) : 0))
        return false;
    for (size_t i = 0; i < last.positions.size(); ++i) {
        const TriVertex& v = mesh.vertices[i];
        if (!bitsEqual(v.position.x, last.positions[i].x) || !bitsEqual(v.position.y, -last.positions[i].y) ||
            !bitsEqual(v.position.z, last.positions[i].z) || !bitsEqual(v.normal.x, last.normals[i].x) ||
            !bitsEqual(v.normal.y, last.normals[i].y) || !bitsEqual(v.normal.z, last.normals[i].z))
            return false;
    }
    for (size_t i = 0; i < last.faces.size(); ++i) {
        const TriFace& f = mesh.faces[i];
        if (!(FaceCorners{f.va, f.vb, f.vc, f.normal.z} == last.faces[i])) return false;
    }
    return true;
}

void rememberCall(const TriMesh& mesh, float time, float intensity, float amp) {
    CallInputs& last = lastCall;
    last.valid = mesh.vertices != nullptr;
    last.time = time, last.intensity = intensity, last.amp = amp;
    const size_t count = mesh.vertices ? size_t(std::max(mesh.vertexCount, 0)) : 0;
    last.positions.resize(count), last.normals.resize(count), last.sums.resize(count);
    for (size_t i = 0; i < count; ++i) {
        last.positions[i] = mesh.vertices[i].position;
        last.normals[i] = mesh.vertices[i].normal;
        last.sums[i] = mesh.vertices[i].transformedPosition.x;
    }
    last.faces.clear();
    for (int32_t i = 0; i < mesh.faceCount && mesh.faces; ++i) {
        const TriFace& f = mesh.faces[i];
        last.faces.push_back({f.va, f.vb, f.vc, f.normal.z});
    }
}

// The mirror of the last call: its sums back in the vertices, its batch negated in y.
void mirrorLastCall(TriMesh& mesh, float amp) {
    for (int32_t i = 0; i < mesh.vertexCount; ++i) mesh.vertices[i].transformedPosition.x = lastCall.sums[size_t(i)];
    for (PatchVertex& v : batch.vertices) v.y = -v.y;
    for (Vec3& p : lastCall.positions) p.y = -p.y;
    lastCall.amp = amp;
}

} // namespace

void drawLitPatches(TriMesh& mesh, float time, float intensity, float amp) {
    if (mesh.vertices)
        for (int32_t i = 0; i < mesh.vertexCount; ++i) mesh.vertices[i].position.y = -mesh.vertices[i].position.y;
    if (mirrorsLastCall(mesh, time, intensity, amp)) {
        mirrorLastCall(mesh, amp);
    } else {
        computeLightSums(mesh, time, intensity, amp);
        collectPatches(mesh);
        rememberCall(mesh, time, intensity, amp);
    }
    if (platform::frameSeen()) submitPatches(batch);
    // GL's current colour and texture coordinate as drawing the batch vertex by vertex leaves them:
    // the last face's grey when that face drew nothing, the last vertex's otherwise.
    if (lastFaceEmpty) glColor3f(lastGrey, lastGrey, lastGrey);
    else if (!batch.vertices.empty()) glColor3f(batch.vertices.back().r, batch.vertices.back().g, batch.vertices.back().b);
    if (!batch.vertices.empty()) glTexCoord2f(batch.vertices.back().s, batch.vertices.back().t);
}

void setPatchSubmission(PatchSubmission submission) { submitPatches = submission ? submission : drawBatchArrays; }

} // namespace engine
