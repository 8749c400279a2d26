#include <gtest/gtest.h>

#include <GL/gl.h>

#include <utility>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "assets/mesh_renderer.h"
#include "core/show_state.h"
#include "core/timeline.h"
#include "effects/effects.h"
#include "effects/flight_path.h"
#include "effects/knot_scene.h"
#include "effects/sphere_scene.h"
#include "effects/tunnel_flight.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"

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
    effects::prepareEffects();
    EXPECT_EQ(std::memcmp(first.data(), effects::flightPath, sizeof effects::flightPath), 0);
}

TEST(FlightPath, VerticalTravelGetsZeroSideAndUp) {
    effects::PathControlPoint points[8];
    const float heights[8] = {0, 50, 100, 150, 200, 150, 100, 50};
    for (int i = 0; i < 8; ++i) points[i].position = {0, heights[i], 0};
    effects::setControlTangents(points);
    effects::FlightFrame frames[128];
    effects::sampleFlightPath(points, frames);
    for (const effects::FlightFrame& frame : frames)
        EXPECT_TRUE(same(frame.side, {0, 0, 0}) && same(frame.up, {0, 0, 0}));
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
}

TEST(KnotScene, DeformTurnsAboutTheCentreHalvingAndHandlesLargeVertexCounts) {
    const Point3 centre = {0.307f, -0.045f, 160.253f};
    std::vector<Point3> rest(40000, Point3{0, 0, 0}), out(40000, Point3{9, 9, 9});
    rest[1] = {centre.x + 10, centre.y, centre.z};
    assets::MeshObject restObject{40000, rest.data()}, target{40000, out.data()};
    effects::deformKnot(target, restObject, 0.0f, 0.03f);
    // At phase 0 a vertex at the origin does not turn: it is only halved towards the centre.
    EXPECT_NEAR(distance(out[0], {0.1535f, -0.0225f, 80.1265f}), 0.0, 1e-4);
    EXPECT_NEAR(distance(out[1], centre), 5.0, 1e-4);  // turned by its lagging angle, halved
    EXPECT_GT(distance(out[1], {centre.x + 5, centre.y, centre.z}), 1.0);
    EXPECT_TRUE(std::memcmp(&out[39999], &out[0], sizeof(Point3)) == 0);  // past 32767 too

    std::vector<Point3> shortOut(3, Point3{9, 9, 9});
    target = {2, shortOut.data()};  // a target smaller than the rest shape is only filled
    effects::deformKnot(target, restObject, 1.0f, 0.03f);
    EXPECT_EQ(shortOut[2].x, 9.0f);
}

TEST(SphereScene, OriginStaysAtPhaseZeroAndNothingMovesBeyondTheBound) {
    std::vector<Point3> rest, out(2000);
    for (int i = 0; i < 2000; ++i)
        rest.push_back({float(i % 37) * 11 - 200, float(i % 53) * 7 - 180, float(i % 29) * 13 - 190});
    rest[0] = {0, 0, 0};
    assets::MeshObject restObject{2000, rest.data()}, target{2000, out.data()};
    effects::deformSphere(target, restObject, 0.0f, 18.0f);
    EXPECT_TRUE(out[0].x == 0 && out[0].y == 0 && out[0].z == 0);
    float largest = 0;
    for (float phase : {0.0f, 37.5f, 96000.0f}) {
        effects::deformSphere(target, restObject, phase, 18.0f);
        for (size_t i = 0; i < rest.size(); ++i)
            for (float d : {out[i].x - rest[i].x, out[i].y - rest[i].y, out[i].z - rest[i].z})
                largest = std::max(largest, std::fabs(d));
    }
    EXPECT_LT(largest, 16.875f);
    EXPECT_GT(largest, 8.0f);  // the surface does boil
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

uint32_t solidTexture(uint8_t r, uint8_t g, uint8_t b) {
    GLuint texture;
    const uint8_t rgb[3] = {r, g, b};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return texture;
}

uint32_t fakeNow = 0;
uint32_t fakeClock() { return fakeNow; }

void showTime(uint32_t ms) {
    fakeNow = 0;
    core::resetTimer();
    fakeNow = ms;
}

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
        platform::setClockSource(fakeClock);
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
    showTime(90000);
    effects::drawScene2Knot();  // every mesh empty, every texture 0: draws nothing, safely
    const uint32_t wallTexture = solidTexture(0, 255, 0);
    QuadScene scene(13, 11, wallTexture);
    core::scene2Mesh = scene.mesh;
    core::nappalTexture = solidTexture(255, 0, 0);
    showTime(79999);  // before the fade starts: the wall's own texture only
    effects::drawScene2Knot();
    EXPECT_EQ(centre(), std::make_pair(0, 255));
    showTime(80000);  // the fade starts: the nappal layer covers the wall
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
    const uint32_t ownTexture = solidTexture(0, 255, 0);
    QuadScene scene(13, 12, ownTexture);
    core::scene3Mesh = scene.mesh;
    core::sphereMeshA = {0, 0, nullptr, 0, nullptr, 1, &scene.objects[12], 0, {}};
    core::sphere38Texture = solidTexture(255, 0, 0);
    core::sceneTime = 0;
    effects::drawScene3Sphere();
    EXPECT_NEAR(centre().first, 82, 25);  // 0.4 of a light factor of about 0.8
    EXPECT_EQ(centre().second, 0);
    EXPECT_EQ(uint32_t(scene.material.texture), ownTexture);
}

} // namespace
