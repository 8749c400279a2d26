// The second half's scenes: the flight path, the tunnel's rings and camera, the knot's twist, the
// sphere's waves, the cave's fade, and frames of the knot scene drawn headless.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <utility>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "assets/mesh_renderer.h"
#include "core/show_state.h"
#include "effects/effects.h"
#include "effects/barlang_scene.h"
#include "effects/flight_path.h"
#include "effects/knot_scene.h"
#include "effects/sphere_scene.h"
#include "effects/tunnel_flight.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"
#include "tests/show_frames.h"

using assets::Point3;
using engine::Vec3;

namespace {

bool same(Vec3 a, Vec3 b) { return std::memcmp(&a, &b, sizeof a) == 0; }
double distance(Point3 a, Point3 b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); }

TEST(FlightPath, PassesThroughItsControlPointsAndIsTheSameOnEveryRun) {
    effects::prepareEffects();
    std::vector<effects::FlightFrame> first(effects::flightPath, effects::flightPath + 128);
    for (int s = 0; s < 8; ++s) {
        const Vec3 p = effects::pathControlPoints[s].position;
        EXPECT_TRUE(same(first[16 * s].position, p)) << s;
        for (float c : {p.x, p.y, p.z}) EXPECT_TRUE(c == std::trunc(c) && c >= -255 && c <= 256);
    }
    for (const effects::FlightFrame& frame : first)
        EXPECT_GT(frame.up.y, 0.0f);  // (tangent x Y) x tangent never points down
    // Each frame's tangent is a sixth of the chord between its own neighbours.
    EXPECT_NEAR(first[5].tangent.x * 6, first[6].position.x - first[4].position.x, 1e-3);
    EXPECT_NEAR(first[5].tangent.z * 6, first[6].position.z - first[4].position.z, 1e-3);
    effects::prepareEffects();
    EXPECT_EQ(std::memcmp(first.data(), effects::flightPath, sizeof effects::flightPath), 0);
}

TEST(TunnelFlight, RingsWrapAcrossTheSeamAndTheCameraRidesTheSamples) {
    effects::prepareEffects();
    for (int s = 0; s <= 16; ++s)
        EXPECT_TRUE(same(effects::ringPoint(-1, s, 3), effects::ringPoint(127, s, 3)) &&
                    same(effects::ringPoint(-2, s, 2), effects::ringPoint(126, s, 2)));
    Vec3 eye, target;
    effects::flightCamera(5.0f, eye, target);
    EXPECT_TRUE(same(eye, effects::flightPath[5].position) && same(target, effects::flightPath[8].position));
    effects::flightCamera(float(128 * 3 + 126), eye, target);  // a later lap, target past the seam
    EXPECT_TRUE(same(eye, effects::flightPath[126].position) && same(target, effects::flightPath[1].position));
    // Full grey one sample ahead of the camera, black eight ahead.
    EXPECT_FLOAT_EQ(effects::ringBrightness(10.0f, 11), 1.0f);
    EXPECT_FLOAT_EQ(effects::ringBrightness(10.0f, 18), 0.0f);
}

TEST(KnotScene, DeformTurnsEachVertexByItsLaggingAngleAndPullsItHalfwayToTheCentre) {
    // Rest vertex at centre + (10, 20, 30), phase 2: a = 2 - 0.03 |p| = -3.74722; the vertex turns
    // by the three angles 0.476a, 0.247a, 0.525a about the centre and halves its distance.
    std::vector<Point3> rest{{10.307f, 19.955f, 190.253f}, {0, 0, 0}}, out(3, Point3{9, 9, 9});
    assets::MeshObject restObject{2, rest.data()}, target{3, out.data()};
    effects::deformKnot(target, restObject, 2.0f, 0.03f);
    EXPECT_NEAR(distance(out[0], {-0.43636f, -17.39594f, 153.29655f}), 0.0, 2e-4);
    EXPECT_NEAR(distance(out[1], {0.307f, -0.045f, 160.253f}), 80.1266, 1e-3);  // halfway in
    EXPECT_EQ(out[2].x, 9.0f);  // only as many vertices as both objects hold
}

TEST(SphereScene, EveryAxisBoilsWithItsOwnSumOfFourOctaves) {
    // Rest vertex (1, 2, 3) at phase 0.5: each coordinate moves by 18 x its sum of four octaves.
    std::vector<Point3> rest{{1, 2, 3}}, out(1);
    assets::MeshObject restObject{1, rest.data()}, target{1, out.data()};
    effects::deformSphere(target, restObject, 0.5f, 18.0f);
    EXPECT_NEAR(distance(out[0], {2.83279f, 6.04073f, 6.72037f}), 0.0, 2e-4);
}

TEST(BarlangScene, CaveWallsFadeToBlackTwentyFiveHundredUnitsFromTheEye) {
    // No barlang frame is drawn in this program, so the eye is still at the origin.
    EXPECT_FLOAT_EQ(effects::eyeFade(0, 1500, -2000), 0.0f);
    EXPECT_FLOAT_EQ(effects::eyeFade(600, 0, 800), 0.6f);
}

TEST(SphereScene, WaveStoresTheFloatOfItsLongDoubleFormula) {
    const float factors[4][3] = {{0.476f, 0.572f, 0.324f}, {0.247f, 0.254f, 0.723f},
                                 {0.525f, 0.760f, 0.073f}, {0.728f, 0.284f, 0.369f}};
    std::mt19937 random(5);
    std::uniform_real_distribution<float> argument(-6000, 6000);  // (octave + 1) (phase + 2.3 r)
    for (int i = 0; i < 100000; ++i) {
        const int axis = i % 3, octave = (i / 3) % 4;
        const float u = argument(random), v = i % 7 == 0 ? u : argument(random);
        const float* w = factors[octave];
        const long double expected = std::sin(0.1L * u * w[axis]) *
                                     std::sin(0.09L * u * w[(axis + 1) % 3] + std::sin(0.07L * v * w[(axis + 2) % 3]));
        ASSERT_EQ(effects::wave(axis, octave, u, v), float(expected)) << axis << " " << octave << " " << u << " " << v;
    }
}

// Headless frames of the scenes with hand-made meshes: `count` objects, object `quad` a 200 x 200
// square facing the camera around (0, 0, 160), the others empty.
struct QuadScene {
    std::vector<Point3> eye{4, Point3{0, -50, 160}}, target{4, Point3{0, 0, 160}};
    std::vector<Point3> corners{{-100, 0, 60}, {100, 0, 60}, {100, 0, 260}, {-100, 0, 260}};
    std::vector<assets::TexCoord> uvs{4, assets::TexCoord{0.5f, 0.5f}};
    std::vector<assets::Triangle> triangles{{0, 1, 2}, {0, 2, 3}};
    assets::MeshMaterial material{0, {}, 0.0f, 0, 1.0f, 1.0f};
    assets::MeshCamera camera{60.0f, eye.data(), target.data(), nullptr};
    std::vector<assets::MeshObject> objects;
    assets::Mesh mesh{4, 1, &material, 1, &camera, 0, nullptr, 0, {}};

    QuadScene(int count, int quad, uint32_t texture) : objects(count) {
        material.texture = texture;
        objects[quad] = {4, corners.data(), uvs.data(), 2, triangles.data()};
        mesh.objectCount = count;
        mesh.objects = objects.data();
    }
};

// Red and green of the pixel in the middle of the frame.
std::pair<int, int> centre() {
    uint8_t p[4];
    glReadPixels(32, 24, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1]};
}

class SceneFrames : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::createHeadlessGL(64, 48));
        platform::setClockSource(frames::fakeClock);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);  // as the show's GL preset leaves it
    }
    void TearDown() override {
        // What every scene leaves for the next one.
        GLboolean depthWrites = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
        EXPECT_TRUE(!glIsEnabled(GL_BLEND) && depthWrites && assets::clearBeforeDraw);
        platform::setClockSource(nullptr);
        core::scene2Mesh = core::scene3Mesh = core::tknotMeshA = core::sphereMeshA = {};
        platform::destroyHeadlessGL();
    }
};

TEST_F(SceneFrames, KnotSceneWallCrossFadesFromNappalToItsOwnTexture) {
    frames::showTime(90000);
    effects::drawScene2Knot();  // every mesh empty, every texture 0: draws nothing, safely
    const uint32_t wallTexture = frames::texture(1, 1, {0, 255, 0});
    QuadScene scene(13, 11, wallTexture);
    core::scene2Mesh = scene.mesh;
    core::nappalTexture = frames::texture(1, 1, {255, 0, 0});
    frames::showTime(79999);  // before the fade starts: the wall's own texture only
    effects::drawScene2Knot();
    EXPECT_EQ(centre(), std::make_pair(0, 255));
    frames::showTime(80000);  // the fade starts: the nappal layer covers the wall
    effects::drawScene2Knot();
    EXPECT_EQ(centre(), std::make_pair(255, 0));
    // The material record is packed: compare a copy, not a reference to its unaligned field.
    EXPECT_EQ(uint32_t(scene.material.texture), wallTexture);
    EXPECT_EQ(assets::meshScale.x, 0.95f);  // the sphere scene draws with it
}

TEST_F(SceneFrames, SphereIsDrawnTranslucentWithItsOwnTexture) {
    QuadScene shortScene(12, 11, 0);  // no sphere object: drawn as it is
    core::scene3Mesh = shortScene.mesh;
    effects::drawScene3Sphere();
    const uint32_t ownTexture = frames::texture(1, 1, {0, 255, 0});
    QuadScene scene(13, 12, ownTexture);
    core::scene3Mesh = scene.mesh;
    core::sphereMeshA = {0, 0, nullptr, 0, nullptr, 1, &scene.objects[12], 0, {}};
    core::sphere38Texture = frames::texture(1, 1, {255, 0, 0});
    core::sceneTime = 0;
    effects::drawScene3Sphere();
    EXPECT_NEAR(centre().first, 82, 25);  // 0.4 of a light factor of about 0.8
    EXPECT_EQ(centre().second, 0);
    EXPECT_EQ(uint32_t(scene.material.texture), ownTexture);
}

} // namespace
