#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <vector>

#include "assets/gl_state.h"
#include "assets/mesh_renderer.h"
#include "platform/headless_gl.h"

using namespace assets;

namespace {

constexpr int width = 64, height = 48;

// A mesh built in the test: the camera looks along +y from (0, -50, 0) at a 200 x 200 quad in the
// y = quadY plane that fills the view. The arrays live in the vectors.
struct SceneMesh {
    std::vector<Point3> eye, target;
    std::vector<MeshMaterial> materials;
    std::vector<Point3> vertices;
    std::vector<TexCoord> uvs;
    std::vector<Triangle> triangles = {{0, 1, 2}, {0, 2, 3}};
    MeshCamera camera;
    std::vector<MeshObject> objects;
    Mesh mesh;

    explicit SceneMesh(uint32_t texture, float quadY = 0, int points = 4)
        : eye(points, Point3{0, -50, 0}), target(points, Point3{0, 0, 0}) {
        materials.push_back({0, {}, 0.0f, texture, 1.0f, 1.0f});
        vertices = {{-100, quadY, -100}, {100, quadY, -100}, {100, quadY, 100}, {-100, quadY, 100}};
        uvs.assign(4, TexCoord{0.5f, 0.5f});
        camera = {60.0f, eye.data(), target.data(), nullptr};
        MeshObject quad;
        quad.vertexCount = 4;
        quad.vertices = vertices.data();
        quad.texCoords = uvs.data();
        quad.triangleCount = 2;
        quad.triangles = triangles.data();
        objects.push_back(quad);
        relink();
        mesh.pathPointCount = points;
    }
    void relink() {
        mesh.materialCount = int32_t(materials.size());
        mesh.materials = materials.data();
        mesh.cameraCount = 1;
        mesh.cameras = &camera;
        mesh.objectCount = int32_t(objects.size());
        mesh.objects = objects.data();
    }
};

uint32_t makeTexture(int size, const std::vector<uint8_t>& rgb) {
    GLuint texture;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return texture;
}

std::array<int, 3> centrePixel() {
    uint8_t p[4];
    glReadPixels(width / 2, height / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

void expectCentre(std::array<int, 3> expected, const char* what) {
    std::array<int, 3> got = centrePixel();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], expected[i], 2) << what << " channel " << i;
}

class MeshRenderer : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(platform::createHeadlessGL(width, height, &error)) << error;
        white = makeTexture(1, {255, 255, 255});
        clearBeforeDraw = true;
        lightingEnabled = false;
        setAmbientColour(0, 0, 0);
        setLightColour(1, 1, 1, 100);
        setLightPosition(0, 0, 0);
        meshScale = {1, 1, 1};
    }
    void TearDown() override { platform::destroyHeadlessGL(); }
    uint32_t white = 0;
};

} // namespace

TEST_F(MeshRenderer, CameraFollowsTheBezierPathAndHoldsAtItsEnds) {
    SceneMesh scene(white, 0, 11);  // 3 complete segments; point 10 is a stray
    for (int i = 0; i < 11; ++i) {
        scene.eye[i] = {float(i), float(10 * i), float(i * i)};
        scene.target[i] = {float(-i), 0, 0};
    }
    drawMesh(scene.mesh, 2.0f);
    EXPECT_EQ(cameraEye.y, 60.0f);
    EXPECT_EQ(cameraTarget.x, -6.0f);

    drawMesh(scene.mesh, 1.5f);
    EXPECT_FLOAT_EQ(cameraEye.z, (9 + 3 * 16 + 3 * 25 + 36) / 8.0f);

    for (float early : {-3.0f, NAN}) {
        drawMesh(scene.mesh, early);
        EXPECT_EQ(cameraEye.y, 0.0f);
    }
    for (float late : {3.0f, 100.0f, 1e30f}) {
        drawMesh(scene.mesh, late);
        EXPECT_EQ(cameraEye.y, 90.0f) << late;
    }
}

TEST_F(MeshRenderer, BezierAndLightFactorMaths) {
    EXPECT_DOUBLE_EQ(bezierPoint(0.5, 0, 1, 1, 2), 1.0);  // points 0, 1, 1, 2
    EXPECT_DOUBLE_EQ(bezierPoint(1.0, 7, 1, 1, -3), -3.0);
    lightingEnabled = true;
    setLightColour(1, 1, 1, 100);
    setLightPosition(10, 0, 0);
    EXPECT_FLOAT_EQ(lightFactor(10, 30, 40), 0.5f);
    EXPECT_EQ(lightFactor(10, 150, 0), 0.0f);
    EXPECT_EQ(lightFactor(10, 0, 0), 1.0f);
    setLightColour(1, 1, 1, 0);
    EXPECT_EQ(lightFactor(10, 0, 0), 0.0f) << "a zero range on the light itself";
    lightingEnabled = false;
    EXPECT_EQ(lightFactor(1e6f, 0, 0), 1.0f);
}

TEST_F(MeshRenderer, VertexColourIsAmbientPlusLightScaledByTheFactor) {
    SceneMesh scene(white);
    setAmbientColour(0.1f, 0.2f, 0.3f);
    setLightColour(0.5f, 0.25f, 0.125f, 100);
    drawMesh(scene.mesh, 0);
    expectCentre({153, 115, 108}, "lighting off: factor 1");

    lightingEnabled = true;
    setLightPosition(0, 0, 1000);
    drawMesh(scene.mesh, 0);
    expectCentre({26, 51, 77}, "light out of range: ambient only");

    scene.objects[0].lit = false;
    drawMesh(scene.mesh, 0);
    expectCentre({255, 255, 255}, "unlit object");
}

TEST_F(MeshRenderer, SkipValueHidesFromBothEntryPointsAndVisibleFlagOnlyFromDrawMesh) {
    SceneMesh scene(white);
    scene.objects[0].lit = false;
    scene.materials[0].skip = 0.5f;
    drawMesh(scene.mesh, 0);
    expectCentre({0, 0, 0}, "skipped, drawMesh");
    drawMeshObject(scene.mesh, 0, 0, 1);
    expectCentre({0, 0, 0}, "skipped, drawMeshObject");
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION) << "no object drawn";

    scene.materials[0].skip = 0;
    scene.objects[0].visible = false;
    drawMesh(scene.mesh, 0);
    expectCentre({0, 0, 0}, "invisible, drawMesh");
    drawMeshObject(scene.mesh, 0, 0, 1);
    expectCentre({255, 255, 255}, "invisible, drawMeshObject");
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(MeshRenderer, ObjectAlphaMattersOnlyWhenTheCallerBlends) {
    SceneMesh scene(white);
    scene.objects[0].lit = false;
    drawMeshObject(scene.mesh, 0, 0, 0.25f);
    expectCentre({255, 255, 255}, "blending off");
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawMeshObject(scene.mesh, 0, 0, 0.25f);
    glDisable(GL_BLEND);
    expectCentre({64, 64, 64}, "blending on");
}

TEST_F(MeshRenderer, KeepsThePictureWhenClearingIsOff) {
    SceneMesh scene(white);
    scene.materials[0].skip = 1;
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    clearBeforeDraw = false;
    drawMesh(scene.mesh, 0);
    expectCentre({255, 0, 0}, "clearing off");
    clearBeforeDraw = true;
    drawMesh(scene.mesh, 0);
    expectCentre({0, 0, 0}, "clearing on");
}

TEST_F(MeshRenderer, NearPlaneLiesTwoMeshUnitsInFrontOfTheEye) {
    for (float distance : {1.5f, 3.0f}) {
        SceneMesh scene(white, -50 + distance);
        scene.objects[0].lit = false;
        drawMesh(scene.mesh, 0);
        int expected = distance > 2 ? 255 : 0;
        expectCentre({expected, expected, expected}, distance > 2 ? "3 units" : "1.5 units");
    }
}

TEST_F(MeshRenderer, TextureCoordinatesAreMirroredAndScaled) {
    // Texel (0, 0) red, the other three blue.
    uint32_t texture = makeTexture(2, {255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255});
    SceneMesh scene(texture);
    scene.objects[0].lit = false;
    scene.uvs.assign(4, TexCoord{0.75f, 0.75f});
    drawMesh(scene.mesh, 0);
    expectCentre({255, 0, 0}, "uv 0.75 -> 0.25");
    scene.uvs.assign(4, TexCoord{0.25f, 0.25f});
    drawMesh(scene.mesh, 0);
    expectCentre({0, 0, 255}, "uv 0.25 -> 0.75");
    scene.materials[0].uScale = scene.materials[0].vScale = 3.0f;
    drawMesh(scene.mesh, 0);
    expectCentre({255, 0, 0}, "uv 0.25 x 3 -> 0.25");
}

TEST_F(MeshRenderer, RecordsThatBreakTheLoaderRulesDrawNothingOfTheBrokenPart) {
    SceneMesh scene(white);
    scene.objects[0].lit = false;
    Mesh noCamera = scene.mesh;
    noCamera.cameraCount = 0;
    cameraEye = {7, 7, 7};
    drawMesh(noCamera, 0);
    expectCentre({0, 0, 0}, "no camera");
    EXPECT_EQ(cameraEye.x, 7.0f);
    Mesh shortPath = scene.mesh;
    shortPath.pathPointCount = 3;
    drawMesh(shortPath, 0);
    expectCentre({0, 0, 0}, "no complete segment");

    scene.objects[0].materialIndex = 5;  // as after a copy from a mesh with more materials
    drawMesh(scene.mesh, 0);
    drawMeshObject(scene.mesh, 0, 0, 1);
    expectCentre({0, 0, 0}, "material index out of range");
    scene.objects[0].materialIndex = 0;
    scene.triangles = {{0, 1, 7}, {0, 2, -3}};
    scene.objects[0].triangles = scene.triangles.data();
    drawMesh(scene.mesh, 0);
    expectCentre({0, 0, 0}, "vertex index out of range");

    // An object whose own path is shorter than the camera's: held at its own last point.
    SceneMesh longer(white, 0, 10);
    longer.objects[0].lit = false;
    std::vector<Point3> path = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1000, 0, 0}};
    longer.objects[0].hasPath = true;
    longer.objects[0].path = path.data();
    longer.objects[0].pathPointCount = 4;
    drawMesh(longer.mesh, 0);
    expectCentre({255, 255, 255}, "object path start");
    drawMesh(longer.mesh, 2.5f);
    expectCentre({0, 0, 0}, "object path end");
}

TEST(GLState, PresetClearsAndTurnsOnLessOrEqualDepthTesting) {
    ASSERT_TRUE(platform::createHeadlessGL(8, 8));
    glClearColor(0, 0, 0, 0);
    glClearDepth(0.25);
    glDepthFunc(GL_ALWAYS);
    initGLState();
    GLfloat depth = 0, clearDepth = 0;
    glReadPixels(4, 4, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    GLint func = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    EXPECT_FLOAT_EQ(depth, 0.25f) << "cleared before the clear value is set";
    EXPECT_EQ(clearDepth, 1.0f);
    EXPECT_EQ(func, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    platform::destroyHeadlessGL();
}
