// The lit-patch renderer drawn into a headless context with an orthographic view of the unit
// square: which parts of a triangle are drawn for a given light sum, mirrored in y (the barlang
// scene's test sees every call flip the data back and forth).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/lit_patches.h"
#include "platform/headless_gl.h"

using namespace engine;

namespace {

constexpr int size = 64;

class LitPatches : public ::testing::Test {
protected:
    // One context for the whole suite: the driver keeps a little memory per context it makes.
    static void SetUpTestSuite() { haveContext = platform::createHeadlessGL(size, size, &contextError); }
    void SetUp() override {
        ASSERT_TRUE(haveContext) << contextError;
        glViewport(0, 0, size, size);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -5, 5);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        clear();
    }
    void TearDown() override {
        delete[] mesh.vertices;
        delete[] mesh.faces;
    }
    void clear() {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // One triangle, its vertex normals pointing at the viewer, in place of the mesh before.
    void makeTriangle(Vec3 a, Vec3 b, Vec3 c) {
        TearDown();
        mesh.vertexCount = 3;
        mesh.vertices = new TriVertex[3];
        const Vec3 corners[3] = {a, b, c};
        for (int i = 0; i < 3; ++i) mesh.vertices[i].position = corners[i], mesh.vertices[i].normal = {0, 0, 1};
        mesh.faceCount = 1;
        mesh.faces = new TriFace[1]{{0, 1, 2, 0, 0, &mesh.vertices[0], &mesh.vertices[1], &mesh.vertices[2]}};
    }
    // A lumpy ball of 126 vertices and 252 faces whose normals lean off their directions.
    void makeBall() {
        TearDown();
        const int rings = 10, sectors = 14;
        mesh.vertexCount = rings * sectors;
        mesh.vertices = new TriVertex[size_t(mesh.vertexCount)];
        for (int r = 0; r < rings; ++r)
            for (int s = 0; s < sectors; ++s) {
                const float a = 3.1416f * (r + 0.5f) / rings, b = 6.2832f * s / sectors, k = 0.7f + 0.1f * float((r * 7 + s * 3) % 5);
                TriVertex& v = mesh.vertices[r * sectors + s];
                v.position = {k * std::sin(a) * std::cos(b), k * std::cos(a), k * std::sin(a) * std::sin(b)};
                v.normal = {std::sin(a) * std::cos(b + 0.3f), std::cos(a), std::sin(a) * std::sin(b + 0.3f)};
            }
        mesh.faceCount = 2 * (rings - 1) * sectors;
        mesh.faces = new TriFace[size_t(mesh.faceCount)];
        for (int r = 0, f = 0; r + 1 < rings; ++r)
            for (int s = 0; s < sectors; ++s, f += 2) {
                TriVertex* v = mesh.vertices;
                const int n = (s + 1) % sectors;
                TriFace& up = mesh.faces[f];
                TriFace& down = mesh.faces[f + 1];
                up.va = &v[r * sectors + s], up.vb = &v[(r + 1) * sectors + s], up.vc = &v[r * sectors + n];
                down.va = &v[r * sectors + n], down.vb = &v[(r + 1) * sectors + s], down.vc = &v[(r + 1) * sectors + n];
                up.normal = {0, 0, 0.5f}, down.normal = {0, 0, -0.3f};
            }
    }
    // Red channel at a point of the view.
    int at(float x, float y) {
        int px = int((x + 1) / 2 * size), py = int((y + 1) / 2 * size);
        unsigned char rgb[3] = {};
        glReadPixels(px, py, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return rgb[0];
    }
    TriMesh mesh;
    static inline bool haveContext = false;
    static inline std::string contextError;
};

} // namespace

TEST_F(LitPatches, OnlyThePartAboveTheThresholdIsDrawnWithItsShell) {
    // At time 0 the four lights shine along +x: A's sum is 4 x 0.5 x cos 41.6 degrees = 1.49, B and
    // C, facing away, get 0. So only A is lit, and the edges to B and C are cut a third of the way.
    makeTriangle({0.9f, -0.8f, 0}, {-0.9f, -0.8f, 0}, {-0.9f, 0.8f, 0});
    drawLitPatches(mesh, 0, 0.5f, 1);
    glFinish();
    // Drawn mirrored in y: the cap A', P1', P2' spans x 0.3..0.9 near y 0.8.
    // Grey 0.5 - 0.4 * normal z, from normals facing the viewer: 0.1.
    EXPECT_NEAR(at(0.6f, 0.72f), 26, 1);
    EXPECT_NEAR(at(0.35f, 0.45f), 26, 1);  // the inner copy, scaled to 0.6
    EXPECT_NEAR(at(0.25f, 0.6f), 26, 1);  // the wall from the cut down to the inner copy
    EXPECT_EQ(at(-0.3f, 0.3f), 0);     // inside the triangle, below the threshold
    EXPECT_EQ(at(0.6f, -0.7f), 0);     // where the unmirrored triangle would be
}

TEST_F(LitPatches, EachMaskDrawsTheSideOfTheCutThatHoldsItsLitVertices) {
    // Vertices at x = 0.9 are lit (sum 1.9), those at x = -0.9 are not; drawn mirrored in y.
    struct Case {
        Vec3 a, b, c;
        std::vector<std::pair<float, float>> drawn, empty;  // points of the mirrored picture
    };
    const Case cases[] = {
        {{-0.9f, -0.7f, 0}, {0.9f, 0.3f, 0}, {-0.9f, 0.7f, 0}, {{0.8f, -0.3f}}, {{-0.8f, 0.6f}, {-0.8f, -0.6f}}},
        {{0.9f, -0.3f, 0}, {0.9f, 0.3f, 0}, {-0.9f, 0, 0}, {{0.85f, 0.2f}, {0.85f, -0.2f}}, {{-0.8f, 0}}},
        {{0.9f, -0.3f, 0}, {-0.9f, 0, 0}, {0.9f, 0.3f, 0}, {{0.85f, 0.2f}, {0.85f, -0.2f}}, {{-0.8f, 0}}},
        {{-0.9f, 0, 0}, {0.9f, -0.3f, 0}, {0.9f, 0.3f, 0}, {{0.85f, 0.2f}, {0.85f, -0.2f}}, {{-0.8f, 0}}},
    };
    for (const Case& c : cases) {
        makeTriangle(c.a, c.b, c.c);
        clear();
        drawLitPatches(mesh, 0, 0.5f, 1);
        glFinish();
        for (auto [x, y] : c.drawn) EXPECT_GT(at(x, y), 0) << &c - cases << ": " << x << ", " << y;
        for (auto [x, y] : c.empty) EXPECT_EQ(at(x, y), 0) << &c - cases << ": " << x << ", " << y;
    }
}

TEST_F(LitPatches, MirrorImageWithNegativeAmpIsLitLikeTheOriginal) {
    // With amp -1 the lights are mirrored in y along with the mesh, so a vertex and its mirror
    // image get the same light sum; the sum of the unmirrored lights differs.
    float sums[3];
    const Vec3 vertices[3] = {{0.3f, 0.8f, 0.5f}, {0.3f, -0.8f, 0.5f}, {0.3f, -0.8f, 0.5f}};
    const float amps[3] = {1, -1, 1};
    for (int i = 0; i < 3; ++i) {
        makeTriangle(vertices[i], {-0.9f, 0, 0}, {-0.9f, 0.1f, 0});
        drawLitPatches(mesh, 1.3f, 1, amps[i]);
        sums[i] = mesh.vertices[0].transformedPosition.x;
    }
    EXPECT_NEAR(sums[0], sums[1], 1e-5f);
    EXPECT_GT(std::fabs(sums[0] - sums[2]), 0.05f);
}

namespace {
void vertexByVertex(const PatchBatch& batch) {
    for (const PatchGroup& group : batch.groups) {
        glBegin(group.mode);
        for (uint32_t i = group.first; i < group.first + group.count; ++i) {
            const PatchVertex& v = batch.vertices[i];
            glColor3f(v.r, v.g, v.b);
            glTexCoord2f(v.s, v.t);
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    }
}
} // namespace

TEST_F(LitPatches, ArraysDrawExactlyThePictureOfTheVertexByVertexDrawing) {
    // The ball's patches, caps, bands and walls on a grainy texture, wholly inside a perspective
    // view as the show's sphere is: the quads must be split into triangles the way GL splits them.
    makeBall();
    std::vector<unsigned char> grain(32 * 32 * 3);
    for (size_t i = 0; i < grain.size(); ++i) grain[i] = (unsigned char)(i * 7919 % 251);
    GLuint texture;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 32, 32, 0, GL_RGB, GL_UNSIGNED_BYTE, grain.data());
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.3, 0.3, -0.3, 0.3, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, 0, -5.5f);
    glRotatef(25, 1, 0.4f, 0);

    std::vector<unsigned char> drawn[2];
    for (int path = 0; path < 2; ++path) {
        setPatchSubmission(path == 0 ? nullptr : vertexByVertex);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawLitPatches(mesh, 1.3f, 0.8f, 1);
        drawLitPatches(mesh, 1.3f, 0.8f, 1);  // and back again, so both paths see the same data
        drawn[path].resize(size * size * 4);
        glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, drawn[path].data());
    }
    setPatchSubmission(nullptr);
    glDeleteTextures(1, &texture);
    EXPECT_TRUE(drawn[0] == drawn[1]);
    int lit = 0;
    for (size_t i = 0; i < drawn[0].size(); i += 4) lit += drawn[0][i] != 0;
    EXPECT_GT(lit, size * size / 10);
}


namespace {
std::vector<PatchVertex> lastBatch;
void keepBatch(const PatchBatch& batch) { lastBatch = batch.vertices; }
bool sameBits(const std::vector<PatchVertex>& a, const std::vector<PatchVertex>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(PatchVertex)) == 0;
}
} // namespace

TEST_F(LitPatches, ACallRightAfterItsMirrorImageDrawsWhatItWouldDrawAfreshBitForBit) {
    // The barlang cave draws the sphere mirrored with amp -1, then upright with amp 1, at one
    // time: the second call may reuse the first's work. Every call flips the data, so the ball is
    // upright after calls 2, 4, 6 and mirrored after 1, 3, 5.
    makeBall();
    setPatchSubmission(keepBatch);
    struct Call {
        float time, amp;
    };
    const Call calls[] = {{1.3f, -1}, {1.3f, 1}, {2.0f, 1}, {1.3f, 1}, {1.3f, 1}, {2.0f, 1}, {1.3f, 1}};
    std::vector<PatchVertex> batches[7];
    std::vector<float> sums[7];
    for (int i = 0; i < 7; ++i) {
        drawLitPatches(mesh, calls[i].time, 0.8f, calls[i].amp);
        batches[i] = lastBatch;
        for (int32_t k = 0; k < mesh.vertexCount; ++k) sums[i].push_back(mesh.vertices[k].transformedPosition.x);
    }
    setPatchSubmission(nullptr);
    // Call 2 follows its mirror image; call 4 sees the same data and asks the same, after a call at
    // another time.
    EXPECT_TRUE(sameBits(batches[1], batches[3]));
    EXPECT_EQ(sums[1], sums[3]);
    EXPECT_FALSE(sameBits(batches[0], batches[1]));
    // Call 5 repeats call 4's question on the mirrored data, which is no mirror image of it: it
    // must draw what call 7 draws on the same data.
    EXPECT_TRUE(sameBits(batches[4], batches[6]));
    EXPECT_FALSE(sameBits(batches[3], batches[4]));
    EXPECT_GT(batches[1].size(), 100u);
}
