// The mesh renderer, drawn headless and read back: the camera path, the lighting, hidden records,
// the projection, texture coordinates, blending and the vertex-array picture.
#include <gtest/gtest.h>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "assets/gl_state.h"
#include "assets/mesh_renderer.h"
#include "platform/headless_gl.h"
#include "tests/show_frames.h"

using namespace assets;

namespace {

// The camera looks along +y from (0, -50, 0) at an unlit 200 x 200 quad in the plane y = quadY,
// which fills the view.
struct SceneMesh {
    std::vector<Point3> eye, target;
    MeshMaterial material;
    Point3 vertices[4];
    std::vector<TexCoord> uvs = std::vector<TexCoord>(4, TexCoord{0.5f, 0.5f});
    Triangle triangles[2] = {{0, 1, 2}, {0, 2, 3}};
    MeshCamera camera;
    MeshObject quad;
    Mesh mesh;

    explicit SceneMesh(uint32_t texture, float quadY = 0, int points = 4)
        : eye(points, Point3{0, -50, 0}), target(points, Point3{0, 0, 0}),
          material{0, {}, 0.0f, texture, 1.0f, 1.0f},
          vertices{{-100, quadY, -100}, {100, quadY, -100}, {100, quadY, 100}, {-100, quadY, 100}},
          camera{60.0f, eye.data(), target.data(), nullptr},
          quad{4, vertices, uvs.data(), 2, triangles},
          mesh{points, 1, &material, 1, &camera, 1, &quad, 0} {
        quad.lit = false;
    }
};

uint32_t makeTexture(int size, const std::vector<uint8_t>& rgb) { return frames::texture(size, size, rgb); }

void expectCentre(std::array<int, 3> expected, const char* what) {
    uint8_t p[4];
    glReadPixels(32, 24, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], expected[i], 2) << what << " channel " << i;
}

const std::array<int, 3> black = {0, 0, 0}, white = {255, 255, 255};

class MeshRenderer : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(platform::createHeadlessGL(64, 48, &error)) << error;
        whiteTexture = makeTexture(1, {255, 255, 255});
        clearBeforeDraw = true;
        lightingEnabled = false;
    }
    void TearDown() override { platform::destroyHeadlessGL(); }
    uint32_t whiteTexture = 0;
};

} // namespace

TEST_F(MeshRenderer, CameraFollowsTheBezierPathAndHoldsAtItsEnds) {
    SceneMesh scene(whiteTexture, 0, 11);  // 3 complete segments; point 10 is a stray
    for (int i = 0; i < 11; ++i) {
        scene.eye[i] = {float(i), float(10 * i), float(i * i)};
        scene.target[i] = {float(-i), 0, 0};
    }
    drawMesh(scene.mesh, 2.0f);
    EXPECT_EQ(cameraEye.y, 60.0f);
    EXPECT_EQ(cameraTarget.x, -6.0f);
    drawMesh(scene.mesh, 1.5f);
    EXPECT_FLOAT_EQ(cameraEye.z, (9 + 3 * 16 + 3 * 25 + 36) / 8.0f);
    const std::pair<float, float> heldAtTheEnds[] = {{-3, 0}, {NAN, 0}, {3, 90}, {1e30f, 90}};  // t, eye y
    for (auto [t, y] : heldAtTheEnds) {
        drawMesh(scene.mesh, t);
        EXPECT_EQ(cameraEye.y, y) << t;
    }
}

TEST_F(MeshRenderer, LitVertexIsAmbientPlusLightScaledByTheDistanceFactor) {
    setLightPosition(10, 0, 0);
    setLightColour(1, 1, 1, 100);
    lightingEnabled = true;
    EXPECT_FLOAT_EQ(lightFactor(10, 30, 40), 0.5f);
    EXPECT_EQ(lightFactor(10, 150, 0), 0.0f);

    SceneMesh scene(whiteTexture);
    scene.quad.lit = true;
    setAmbientColour(0.1f, 0.2f, 0.3f);
    setLightColour(0.5f, 0.25f, 0.125f, 200);
    lightingEnabled = false;
    drawMesh(scene.mesh, 0);
    expectCentre({153, 115, 108}, "lighting off: factor 1");
    lightingEnabled = true;
    setLightPosition(0, 0, 1000);
    drawMesh(scene.mesh, 0);
    expectCentre({26, 51, 77}, "light out of range: ambient only");
}

TEST_F(MeshRenderer, SkipValueHidesFromBothEntryPointsAndVisibleFlagOnlyFromDrawMesh) {
    SceneMesh scene(whiteTexture);
    scene.material.skip = 0.5f;
    drawMesh(scene.mesh, 0);
    expectCentre(black, "skipped, drawMesh");
    drawMeshObject(scene.mesh, 0, 0, 1);
    expectCentre(black, "skipped, drawMeshObject");
    scene.material.skip = 0;
    scene.quad.visible = false;
    drawMesh(scene.mesh, 0);
    expectCentre(black, "invisible, drawMesh");
    drawMeshObject(scene.mesh, 0, 0, 1);
    expectCentre(white, "invisible, drawMeshObject");
}

TEST_F(MeshRenderer, NearPlaneLiesTwoMeshUnitsInFrontOfTheEye) {
    SceneMesh tooNear(whiteTexture, -48.5f), farEnough(whiteTexture, -47.0f);
    drawMesh(tooNear.mesh, 0);
    expectCentre(black, "1.5 units");
    drawMesh(farEnough.mesh, 0);
    expectCentre(white, "3 units");
}

TEST_F(MeshRenderer, TextureCoordinateIsOneMinusScaledUvWhateverTheTextureMatrixHeld) {
    // Texel (0, 0) red, the other three blue; 1 - 0.25 x 3 = 0.25 lands on the red one. A scene
    // before may have left the texture matrix moved by half a texture.
    SceneMesh scene(makeTexture(2, {255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255}));
    scene.uvs.assign(4, TexCoord{0.25f, 0.25f});
    scene.material.uScale = scene.material.vScale = 3.0f;
    glMatrixMode(GL_TEXTURE);
    glTranslatef(0.5f, 0.5f, 0);
    drawMesh(scene.mesh, 0);
    expectCentre({255, 0, 0}, "");
}

TEST_F(MeshRenderer, AlphaBlendsScaleShrinksAndAClearThatIsOffKeepsThePreviousDraw) {
    SceneMesh scene(whiteTexture);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    drawMeshObject(scene.mesh, 0, 0, 0.25f);
    expectCentre({64, 64, 64}, "white at alpha 0.25 over black");
    glDisable(GL_BLEND);

    // A tenth of the size: the 20 x 20 quad 50 units away covers the middle of the view only.
    meshScale = {0.1f, 0.1f, 0.1f};
    drawMesh(scene.mesh, 0);
    meshScale = {1, 1, 1};
    uint8_t corner[4];
    glReadPixels(4, 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
    EXPECT_EQ(corner[0], 0);
    expectCentre(white, "scaled quad");

    clearBeforeDraw = false;
    scene.quad.visible = false;
    drawMesh(scene.mesh, 0);
    expectCentre(white, "nothing drawn, nothing cleared");
}

TEST_F(MeshRenderer, ObjectsGoNearestFirstOnlyWhereTheDepthTestAloneDecides) {
    // A blue quad 100 units away listed before a red one 20 units away, both filling the view.
    SceneMesh far(makeTexture(1, {0, 0, 255}), 50), near(makeTexture(1, {255, 0, 0}), -30);
    MeshMaterial materials[2] = {far.material, near.material};
    MeshObject objects[2] = {far.quad, near.quad};
    objects[1].materialIndex = 1;
    Mesh both = far.mesh;
    both.materialCount = 2, both.materials = materials;
    both.objectCount = 2, both.objects = objects;
    GLuint query = 0;
    glGenQueries(1, &query);
    auto draw = [&](const char* what, std::array<int, 3> expected, GLuint expectedSamples) {
        glBeginQuery(GL_SAMPLES_PASSED, query);
        drawMesh(both, 0);
        glEndQuery(GL_SAMPLES_PASSED);
        GLuint samples = 0;
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &samples);
        expectCentre(expected, what);
        if (expectedSamples) {
            EXPECT_EQ(samples, expectedSamples) << what;
        }
    };
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    // The near quad first: the far one's fragments all fail the depth test, none is shaded twice.
    draw("depth test, no blending", {255, 0, 0}, 64 * 48);
    glDepthFunc(GL_LESS);
    draw("depth test LESS", {255, 0, 0}, 64 * 48);
    // Where the order shows, it is the mesh's: painted over without the test, added up with it.
    glDisable(GL_DEPTH_TEST);
    draw("no depth test", {255, 0, 0}, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    draw("additive blending", {255, 0, 255}, 0);
    glDisable(GL_BLEND);
    glDepthMask(GL_FALSE);
    draw("depth not written", {255, 0, 0}, 0);
    glDepthMask(GL_TRUE);
    glDeleteQueries(1, &query);
}

// The submission GL's immediate mode was fed with before: one polygon per triangle.
void perTriangle(const MeshObject& object, const MeshMaterial& material, bool withAlpha, float alpha) {
    for (int32_t i = 0; i < object.triangleCount; ++i) {
        glBegin(GL_POLYGON);
        for (int32_t corner : {object.triangles[i].a, object.triangles[i].b, object.triangles[i].c}) {
            const Point3& v = object.vertices[corner];
            const float k = object.lit ? lightFactor(v.x, v.y, v.z) : 1.0f;
            const Colour c = object.lit ? Colour{ambientColour.r + k * lightColour.r, ambientColour.g + k * lightColour.g,
                                                 ambientColour.b + k * lightColour.b}
                                        : Colour{1, 1, 1};
            glColor4f(c.r, c.g, c.b, withAlpha ? alpha : 1.0f);
            glTexCoord2f(1 - object.texCoords[corner].u * material.uScale, 1 - object.texCoords[corner].v * material.vScale);
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    }
}

TEST_F(MeshRenderer, VertexArraysDrawExactlyThePictureOfOnePolygonPerTriangle) {
    // Overlapping lit triangles with shared corners, many of them cut by the near plane, on a
    // grainy texture, before the quad behind them, once opaque and once blended on top: every
    // edge, colour and texture coordinate must come out bit for bit (clipping is where the corner
    // order shows), the opaque draw also when the default goes backwards (the triangles stand
    // nearer than the quad listed before them), through all the ties at shared corners.
    std::vector<uint8_t> grain(16 * 16 * 3);
    uint32_t seed = 3;
    for (uint8_t& texel : grain) texel = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
    SceneMesh scene(makeTexture(16, grain));
    glBindTexture(GL_TEXTURE_2D, scene.material.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    std::vector<Point3> corners;
    std::vector<TexCoord> uvs;
    std::vector<Triangle> triangles;
    for (int i = 0; i < 120; ++i) {
        auto next = [&seed](float low, float high) {
            seed = seed * 1103515245u + 12345u;
            return low + (high - low) * float(seed >> 8) / float(1 << 24);
        };
        corners.push_back({next(-90, 90), next(-60, 40), next(-70, 70)});
        uvs.push_back({next(-1, 2), next(-1, 2)});
        if (i >= 2) triangles.push_back({i - 2, i % 3 == 0 ? 0 : i - 1, i});
    }
    // Exact ties: the first 40 triangles again on copies of their corners with other texture
    // coordinates. Drawn in the mesh's order with GL_LEQUAL, the copies win.
    for (int i = 0; i < 42; ++i) {
        corners.push_back(corners[size_t(i)]);
        uvs.push_back({uvs[size_t(i)].v, 1 - uvs[size_t(i)].u});
    }
    for (int i = 0; i < 40; ++i) {
        const Triangle& t = triangles[size_t(i)];
        triangles.push_back({t.a + 120, t.b + 120, t.c + 120});
    }
    MeshObject objects[2] = {scene.quad, {int32_t(corners.size()), corners.data(), uvs.data(),
                                          int32_t(triangles.size()), triangles.data()}};
    objects[0].lit = false;
    scene.mesh.objectCount = 2, scene.mesh.objects = objects;
    setAmbientColour(0.1f, 0.2f, 0.3f);
    setLightColour(0.9f, 0.7f, 0.5f, 90);
    setLightPosition(20, -10, 15);
    lightingEnabled = true;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    std::vector<uint8_t> drawn[2];
    std::vector<float> left[2];
    // What the next immediate-mode draw starts from: the last corner's colour and texture
    // coordinate, after each draw.
    auto keepCurrent = [&left](int path) {
        GLfloat after[8];
        glGetFloatv(GL_CURRENT_COLOR, after);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, after + 4);
        left[path].insert(left[path].end(), after, after + 8);
    };
    for (int path = 0; path < 2; ++path) {
        setObjectSubmission(path == 0 ? nullptr : perTriangle);
        drawMesh(scene.mesh, 0);
        keepCurrent(path);
        clearBeforeDraw = false;
        glEnable(GL_BLEND);
        drawMeshObject(scene.mesh, 0, 1, 0.45f);
        glDisable(GL_BLEND);
        clearBeforeDraw = true;
        drawn[path].resize(64 * 48 * 4);
        glReadPixels(0, 0, 64, 48, GL_RGBA, GL_UNSIGNED_BYTE, drawn[path].data());
        keepCurrent(path);
    }
    setObjectSubmission(nullptr);
    EXPECT_TRUE(drawn[0] == drawn[1]);
    EXPECT_EQ(left[0], left[1]);
}

TEST_F(MeshRenderer, BrokenRecordsDrawNothingOfTheBrokenPart) {
    SceneMesh scene(whiteTexture);
    Mesh noCamera = scene.mesh;
    noCamera.cameraCount = 0;
    cameraEye = {7, 7, 7};
    drawMesh(noCamera, 0);
    expectCentre(black, "no camera");
    EXPECT_EQ(cameraEye.x, 7.0f);

    scene.quad.materialIndex = 5;  // as after a copy from a mesh with more materials
    drawMesh(scene.mesh, 0);
    drawMeshObject(scene.mesh, 0, 0, 1);
    expectCentre(black, "material index out of range");
    scene.quad.materialIndex = 0;
    scene.triangles[0].c = 7;
    scene.triangles[1].b = -3;
    drawMesh(scene.mesh, 0);
    expectCentre(black, "vertex index out of range");

    // A copied-in object with a shorter path than the camera's is held at its own last point.
    SceneMesh longer(whiteTexture, 0, 10);
    Point3 path[4] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1000, 0, 0}};
    longer.quad = {4, longer.vertices, longer.uvs.data(), 2, longer.triangles, 4, true, path};
    longer.quad.lit = false;
    drawMesh(longer.mesh, 2.5f);
    expectCentre(black, "object moved off screen to its path's end");
}
