// Keyframer tracks: tangents, ease, key search with its cursor, wrapping, rotation and hide
// evaluation, and updateScene's writes into the world records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "engine/scene.h"

using namespace engine;

namespace {

struct KeyInit {
    int32_t frame;
    float value[4];
    float tension = 0, continuity = 0, bias = 0, easeTo = 0, easeFrom = 0;
};

Track* makeTrack(const std::vector<KeyInit>& keys, int32_t mode = 0) {
    Track* track = newTrack();
    track->mode = mode;
    for (const KeyInit& k : keys) {
        Key* key = new Key{};
        std::copy(k.value, k.value + 4, key->value);
        std::tie(key->tension, key->continuity, key->bias, key->easeTo, key->easeFrom) =
            std::tie(k.tension, k.continuity, k.bias, k.easeTo, k.easeFrom);
        EXPECT_EQ(appendKey(track, key, k.frame), ERR_OK);
    }
    return track;
}

Track* vectorTrack(const std::vector<KeyInit>& keys, int32_t mode = 0) {
    Track* track = makeTrack(keys, mode);
    computeVectorTangents(track);
    return track;
}

Vec3 at(Track* track, float frame) {
    Vec3 v{-99, -99, -99};
    EXPECT_EQ(evalVectorTrack(v, track, frame), ERR_OK) << "frame " << frame;
    return v;
}

int32_t hiddenAt(Track* track, float frame) {
    int32_t hidden = -1;
    EXPECT_EQ(evalHideTrack(hidden, track, frame), ERR_OK);
    return hidden;
}

} // namespace

TEST(Splines, TwoKeysGiveStraightTangentsScaledByTension) {
    Track* t = vectorTrack({{0, {0, 0, 0, 0}, 0.5f}, {10, {10, 0, 0, 4}, -1}});
    Key* k0 = t->firstKey;
    Key* k1 = k0->next;
    EXPECT_FLOAT_EQ(k0->outTangent[1], 5);   // (10 - 0) * (1 - 0.5)
    EXPECT_FLOAT_EQ(k1->inTangent[1], 20);   // (10 - 0) * (1 + 1)
    EXPECT_FLOAT_EQ(k1->inTangent[0], 8);    // value[3] maps to tangent element 0
    EXPECT_TRUE(k0->inTangent[1] == 0 && k1->outTangent[1] == 0);
    // Unequal tangents bend the segment: at t = 0.25, 0.15625 x 10 + 0.140625 x 5 - 0.046875 x 20.
    EXPECT_FLOAT_EQ(at(t, 2.5f).x, 1.328125f);
    freeTrack(t);
}

TEST(Splines, InteriorKeyTensionContinuityAndBiasShapeItsTwoTangents) {
    // Keys at frames 0, 4, 10 with x 0, 2, 8; the middle one with tension 0.5, continuity 0.25,
    // bias -0.5. Spacing 0.8 and 1.2 pulled toward 1 by the continuity: 0.85 and 1.15. Weights
    // 0.25 x (0.75 x 0.5 x 0.85, 1.25 x 1.5 x 0.85) on the steps 2 and 6 in, the same with 1.15 out.
    Track* t = vectorTrack({{0, {0, 0, 0, 0}}, {4, {2, 0, 0, 0}, 0.5f, 0.25f, -0.5f}, {10, {8, 0, 0, 0}}});
    EXPECT_FLOAT_EQ(t->firstKey->next->inTangent[1], 2.55f);
    EXPECT_FLOAT_EQ(t->firstKey->next->outTangent[1], 2.3f);
    freeTrack(t);
    // A loop's last key has its own parameters and sees the second key one period on: tension and
    // bias 0.5 give weights 0.375 and 0.125 on the steps -10 in and +10 out.
    t = vectorTrack({{0, {0, 0, 0, 0}}, {10, {10, 0, 0, 0}}, {20, {0, 0, 0, 0}, 0.5f, 0, 0.5f}}, 2);
    Key* last = t->firstKey->next->next;
    EXPECT_NEAR(t->firstKey->outTangent[1], 0, 1e-6);  // the middle key on both sides: flat
    EXPECT_FLOAT_EQ(last->inTangent[1], -2.5f);
    EXPECT_FLOAT_EQ(last->outTangent[1], -2.5f);
    freeTrack(t);
}

TEST(Splines, KeysAtEqualFramesAndEaseWithZeroDivisorsStayFinite) {
    Track* t = vectorTrack({{5, {0, 0, 0, 0}}, {5, {10, 0, 0, 0}}, {5, {20, 0, 0, 0}}, {9, {3, 0, 0, 0}}});
    for (Key* k = t->firstKey; k; k = k->next)
        for (int j = 0; j < 4; ++j) EXPECT_TRUE(std::isfinite(k->inTangent[j]) && std::isfinite(k->outTangent[j]));
    for (float f : {0.0f, 5.0f, 7.0f, 9.0f, 12.0f}) EXPECT_TRUE(std::isfinite(at(t, f).x)) << f;
    freeTrack(t);
    t = vectorTrack({{0, {0, 0, 0, 0}}, {0, {1, 0, 0, 0}}, {0, {2, 0, 0, 0}}}, 2);
    for (Key* k = t->firstKey; k; k = k->next) EXPECT_TRUE(std::isfinite(k->outTangent[1]));
    freeTrack(t);
    // Ease from without ease to reaches t = 1, where the last branch would divide by zero.
    EXPECT_FLOAT_EQ(easeParameter(1, 0.5f, 0), 1);
    EXPECT_FLOAT_EQ(easeParameter(0, 0, 0.5f), 0);
    EXPECT_TRUE(std::isfinite(easeParameter(0.5f, -3, 1)));
    EXPECT_FLOAT_EQ(easeParameter(0.3f, INFINITY, 0), 0.3f);
}

TEST(TrackEvaluation, PositionTracksFollowTheLineHoldTheEndsWrapLoopsAndEaseTheFirstKey) {
    Track* t = vectorTrack({{0, {0, 0, 0, 0}}, {10, {10, 0, 0, 0}}});
    EXPECT_EQ(at(t, 5).x, 5);
    EXPECT_EQ(at(t, 15).x, 10);
    Vec3 untouched{7, 7, 7};
    EXPECT_EQ(evalVectorTrack(untouched, t, -1), ERR_INVALID_FRAME);
    EXPECT_EQ(untouched.x, 7);
    EXPECT_EQ(evalVectorTrack(untouched, nullptr, 1), ERR_NULL_POINTER);
    t->mode = 2;  // loop
    EXPECT_EQ(at(t, 15).x, 5);
    EXPECT_EQ(at(t, 20).x, 10);  // a multiple of the period is the period's end
    // A frame far beyond the period, where subtracting the period no longer changes a float.
    EXPECT_EQ(at(t, 1e9f).x, 10);
    EXPECT_EQ(wrapFrame(3, 0), 3);  // a loop of no length does not wrap
    freeTrack(t);
    // t = 0.25 eases to 1/12; the curve is the straight line, so the value is 10/12.
    t = vectorTrack({{0, {0, 0, 0, 0}, 0, 0, 0, 0, 0.5f}, {10, {10, 0, 0, 0}}});
    EXPECT_NEAR(at(t, 2.5f).x, 10.0f / 12, 1e-5f);
    freeTrack(t);
}

TEST(TrackEvaluation, HideTrackSwitchesAfterEachKeyAndRemembersItsCursor) {
    Track* t = makeTrack({{5, {0, 0, 0, 1}}, {15, {0, 0, 0, 0}}});
    EXPECT_EQ(hiddenAt(t, 0), 1);   // before the first key: its value
    EXPECT_EQ(hiddenAt(t, 15), 1);  // on a key: still the key before
    EXPECT_EQ(hiddenAt(t, 16), 0);
    EXPECT_EQ(hiddenAt(t, 15), 0);  // the search now starts at the cached key of frame 15
    EXPECT_EQ(hiddenAt(t, 3), 1);   // a jump back rescans from the first key
    freeTrack(t);
}

// A rotation track about y from running angle sums, as the reader builds it.
Track* turnsAboutY(const std::vector<KeyInit>& keys) {
    Track* t = makeTrack(keys);
    for (Key* k = t->firstKey; k; k = k->next) quatFromAngleAxis(k->orientation, k->value[3], 0, 1, 0);
    EXPECT_EQ(computeRotationControls(t), ERR_OK);
    return t;
}

TEST(TrackEvaluation, ThreeKeyRotationBendsTowardTheBiasedMiddleKey) {
    // Half-angles 0.25, 0.75, 0.85. The middle key's bias 0.5 puts its inner controls 0.15 and
    // 0.05 past it; the first key's sit on it. Halfway through the first segment:
    // 0.5 (keys) and 0.575 (controls) blend to 0.5375.
    Track* t = turnsAboutY({{0, {0, 1, 0, 0.5f}}, {10, {0, 1, 0, 1.5f}, 0, 0, 0.5f}, {20, {0, 1, 0, 1.7f}}});
    Quat q;
    ASSERT_EQ(evalRotationTrack(q, t, 5), ERR_OK);
    EXPECT_NEAR(q.y, std::sin(0.5375), 1e-5);
    EXPECT_NEAR(q.w, std::cos(0.5375), 1e-5);
    evalRotationTrack(q, t, 20);  // keys are hit exactly
    EXPECT_NEAR(q.y, std::sin(0.85), 1e-5);
    freeTrack(t);
}

TEST(TrackEvaluation, TurnsOfMoreThanHalfACircleGoTheLongWayInEitherSense) {
    // Turns of 4 radians either way and of 7 (one spin and a short rest): at every point the
    // orientation is within 0.5 radian of the share of the turn travelled so far.
    for (float turn : {4.0f, -4.0f, 7.0f}) {
        Track* t = turnsAboutY({{0, {0, 1, 0, 0}}, {10, {0, 1, 0, turn}}});
        for (float f : {2.5f, 5.0f, 7.5f}) {
            Quat q;
            evalRotationTrack(q, t, f);
            double half = turn * f / 20, dot = std::fabs(q.y * std::sin(half) + q.w * std::cos(half));
            EXPECT_LT(2 * std::acos(std::min(dot, 1.0)), 0.5) << turn << " at " << f;
        }
        freeTrack(t);
    }
}

class SceneUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        engineInit(0);
        scene = new Scene{};
        setActiveScene(scene);
        mesh = new TriMesh{};
        mesh->name = "Box";
        addObject(OBJ_TRIMESH, mesh);
        camera = new SceneCamera{};
        camera->name = "Cam";
        addObject(OBJ_CAMERA, camera);
        scene->endFrame = 100;
    }
    void TearDown() override {
        sceneFree(scene);
        delete scene;
        engineInit(0);
    }
    Scene* scene = nullptr;
    TriMesh* mesh = nullptr;
    SceneCamera* camera = nullptr;
};

TEST_F(SceneUpdate, CameraOnItsTargetGetsTheIdentityRotation) {
    addTrackNode(NODE_CAMERA, 0, -1, camera);
    addTrackNode(NODE_CAMERA_TARGET, 1, -1, camera);
    // d = 0, of length 1 by vecLength's rule: yaw and pitch 0, not a NaN.
    attachTrack(TRACK_POSITION, 0, vectorTrack({{0, {0, 0, -10, 0}}}));
    attachTrack(TRACK_POSITION, 1, vectorTrack({{0, {0, 0, -10, 0}}}));
    updateScene();
    EXPECT_NEAR(camera->viewMatrix.m[0][0], 1, 1e-6f);
    EXPECT_NEAR(camera->viewMatrix.m[2][3], 10, 1e-6f);
}

TEST_F(SceneUpdate, ObliqueCameraWithThirtyDegreesOfRoll) {
    addTrackNode(NODE_CAMERA, 0, -1, camera);
    addTrackNode(NODE_CAMERA_TARGET, 1, -1, camera);
    attachTrack(TRACK_POSITION, 0, vectorTrack({{0, {1, 2, 3, 0}}}));
    attachTrack(TRACK_FOV, 0, vectorTrack({{0, {0, 0, 0, 40}}}));
    attachTrack(TRACK_ROLL, 0, vectorTrack({{0, {0, 0, 0, 30}}}));
    attachTrack(TRACK_POSITION, 1, vectorTrack({{0, {4, 6, 15, 0}}}));
    ASSERT_EQ(updateScene(), ERR_OK);
    EXPECT_EQ(camera->fov, 40);
    EXPECT_EQ(camera->roll, 30);
    // Looking along (3, 4, 12) / 13, the side and up rows turned by the roll; each row's
    // translation takes the camera position to the origin.
    const float rows[3][4] = {{0.877481f, -0.475743f, -0.060789f, 0.256373f},
                              {0.420443f, 0.824011f, -0.379781f, -0.929122f},
                              {3.0f / 13, 4.0f / 13, 12.0f / 13, -47.0f / 13}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(camera->viewMatrix.m[r][c], rows[r][c], 1e-5f) << r << "," << c;
}

TEST_F(SceneUpdate, ObjectMatrixIsRotationTimesScaleWithPositionAndTheCameraComesAfterIt) {
    EXPECT_EQ(updateScene(), ERR_NO_KEYFRAMER_DATA);
    mesh->vertices = new TriVertex[1]{};
    mesh->vertexCount = 1;
    mesh->vertices[0].position = mesh->vertices[0].normal = {1, 0, 0};
    mesh->faces = new TriFace[1]{};
    mesh->faceCount = 1;
    mesh->faces[0].normal = {0, 1, 0};
    addTrackNode(NODE_OBJECT, 0, -1, mesh);
    attachTrack(TRACK_POSITION, 0, vectorTrack({{0, {5, 0, 0, 0}}}));
    mesh->flags = MESH_HIDDEN | MESH_DUMMY;
    ASSERT_EQ(updateScene(), ERR_OK);
    // No scale track: the linear part stays zero; no rotation track: the zero rotation is none; no
    // hide track: shown (the reader's test sees a hide track set the flag).
    EXPECT_EQ(mesh->matrix.m[0][0], 0);
    EXPECT_EQ(mesh->matrix.m[0][3], 5);
    EXPECT_EQ(mesh->flags, MESH_DUMMY);
    // A quarter turn about z, twice the size, moved 5 along x; the camera 3 further along y.
    Track* rotation = makeTrack({{0, {0, 0, 1, float(M_PI / 2)}}});
    quatFromAngleAxis(rotation->firstKey->orientation, float(M_PI / 2), 0, 0, 1);
    attachTrack(TRACK_ROTATION, 0, rotation);
    attachTrack(TRACK_SCALE, 0, vectorTrack({{0, {2, 2, 2, 0}}}));
    camera->viewMatrix = Mat34{{{1, 0, 0, 0}, {0, 1, 0, -3}, {0, 0, 1, 0}}};
    setActiveCamera(camera);
    engineFlags = ENGINE_TRANSFORM | ENGINE_NORMALS;
    ASSERT_EQ(updateScene(), ERR_OK);
    const TriVertex& v = mesh->vertices[0];
    EXPECT_NEAR(v.transformedPosition.x, 5, 1e-5f);
    EXPECT_NEAR(v.transformedPosition.y, -1, 1e-5f);
    EXPECT_NEAR(v.transformedNormal.x, 0, 1e-6f);
    EXPECT_NEAR(v.transformedNormal.y, 1, 1e-6f);
    EXPECT_NEAR(mesh->faces[0].transformedNormal.x, -1, 1e-6f);
}
