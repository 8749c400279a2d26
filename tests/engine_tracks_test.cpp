// Keyframer tracks: tangents, ease, key search with its cursor, wrapping, rotation and hide
// evaluation, and updateScene's writes into the world records.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
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
        for (int j = 0; j < 4; ++j) key->value[j] = k.value[j];
        key->tension = k.tension;
        key->continuity = k.continuity;
        key->bias = k.bias;
        key->easeTo = k.easeTo;
        key->easeFrom = k.easeFrom;
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
    EXPECT_EQ(k0->inTangent[1], 0);
    EXPECT_EQ(k1->outTangent[1], 0);
    freeTrack(t);
}

TEST(Splines, EvenlySpacedLineGetsLinearTangentsEverywhere) {
    Track* t = vectorTrack({{0, {0, 0, 0, 0}}, {10, {10, 0, 0, 0}}, {20, {20, 0, 0, 0}}});
    Key* k0 = t->firstKey;
    EXPECT_FLOAT_EQ(k0->outTangent[1], 10);
    EXPECT_FLOAT_EQ(k0->next->inTangent[1], 10);
    EXPECT_FLOAT_EQ(k0->next->outTangent[1], 10);
    EXPECT_FLOAT_EQ(k0->next->next->inTangent[1], 10);
    EXPECT_FLOAT_EQ(at(t, 5).x, 5);
    EXPECT_FLOAT_EQ(at(t, 15).x, 15);
    freeTrack(t);
}

TEST(Splines, UnevenSpacingScalesTangentsUnlessContinuityIsOne) {
    // Middle key 2 frames after the first and 8 before the last: kp = 0.4, kn = 1.6.
    Track* t = vectorTrack({{0, {0, 0, 0, 0}}, {2, {2, 0, 0, 0}}, {10, {10, 0, 0, 0}}});
    Key* mid = t->firstKey->next;
    EXPECT_NEAR(mid->inTangent[1], 0.5 * 0.4 * (2 + 8), 1e-5);
    EXPECT_NEAR(mid->outTangent[1], 0.5 * 1.6 * (2 + 8), 1e-5);
    freeTrack(t);
    // Continuity 1: kp = kn = 1, and with cm = 0 the in tangent takes only the outgoing side.
    t = vectorTrack({{0, {0, 0, 0, 0}}, {2, {2, 0, 0, 0}, 0, 1}, {10, {10, 0, 0, 0}}});
    mid = t->firstKey->next;
    EXPECT_NEAR(mid->inTangent[1], 0.5 * 2 * 8, 1e-5);
    EXPECT_NEAR(mid->outTangent[1], 0.5 * 2 * 2, 1e-5);
    freeTrack(t);
}

TEST(Splines, LoopTracksSeeAcrossTheWrap) {
    // A loop of period 20 where the value goes 0, 10, 0: the first key's neighbours are the
    // middle key on both sides, so its tangents are flat.
    Track* t = vectorTrack({{0, {0, 0, 0, 0}}, {10, {10, 0, 0, 0}}, {20, {0, 0, 0, 0}}}, 2);
    EXPECT_NEAR(t->firstKey->inTangent[1], 0, 1e-6);
    EXPECT_NEAR(t->firstKey->outTangent[1], 0, 1e-6);
    freeTrack(t);
    // The same keys as an open track get a one-sided, rising first tangent.
    t = vectorTrack({{0, {0, 0, 0, 0}}, {10, {10, 0, 0, 0}}, {20, {0, 0, 0, 0}}});
    EXPECT_GT(t->firstKey->outTangent[1], 5);
    freeTrack(t);
}

TEST(Splines, KeysAtEqualFramesStayFinite) {
    Track* t = vectorTrack({{5, {0, 0, 0, 0}}, {5, {10, 0, 0, 0}}, {5, {20, 0, 0, 0}}, {9, {3, 0, 0, 0}}});
    for (Key* k = t->firstKey; k; k = k->next)
        for (int j = 0; j < 4; ++j) EXPECT_TRUE(std::isfinite(k->inTangent[j]) && std::isfinite(k->outTangent[j]));
    for (float f : {0.0f, 5.0f, 7.0f, 9.0f, 12.0f}) {
        Vec3 v = at(t, f);
        EXPECT_TRUE(std::isfinite(v.x)) << f;
    }
    freeTrack(t);
    Track* loop = vectorTrack({{0, {0, 0, 0, 0}}, {0, {1, 0, 0, 0}}, {0, {2, 0, 0, 0}}}, 2);
    for (Key* k = loop->firstKey; k; k = k->next) EXPECT_TRUE(std::isfinite(k->outTangent[1]));
    freeTrack(loop);
}

TEST(Ease, ShapesTheSegmentParameter) {
    EXPECT_FLOAT_EQ(easeParameter(0.5f, 0, 0), 0.5f);
    EXPECT_NEAR(easeParameter(0.25f, 0.5f, 0), 0.0833333f, 1e-6f);
    // Both at 1 scale to 0.5 each with k = 1: a quadratic in, a quadratic out, meeting at 0.5.
    EXPECT_FLOAT_EQ(easeParameter(0.25f, 1, 1), 0.125f);
    EXPECT_FLOAT_EQ(easeParameter(0.5f, 1, 1), 0.5f);
    EXPECT_FLOAT_EQ(easeParameter(0.75f, 1, 1), 0.875f);
    EXPECT_FLOAT_EQ(easeParameter(1, 1, 1), 1);
}

TEST(Ease, ZeroDivisorsGiveFiniteEnds) {
    // Ease from without ease to reaches t = 1, where the last branch would divide by zero.
    EXPECT_FLOAT_EQ(easeParameter(1, 0.5f, 0), 1);
    EXPECT_FLOAT_EQ(easeParameter(0, 0, 0.5f), 0);
    EXPECT_TRUE(std::isfinite(easeParameter(0.5f, -3, 1)));
    EXPECT_FLOAT_EQ(easeParameter(0.3f, INFINITY, 0), 0.3f);
}

TEST(TrackEvaluation, TwoKeyPositionTrackFollowsTheLine) {
    Track* t = vectorTrack({{0, {0, 0, 0, 0}}, {10, {10, 0, 0, 0}}});
    EXPECT_EQ(at(t, 5).x, 5);
    EXPECT_EQ(at(t, 10).x, 10);
    EXPECT_EQ(at(t, 15).x, 10);
    Vec3 untouched{7, 7, 7};
    EXPECT_EQ(evalVectorTrack(untouched, t, -1), ERR_INVALID_FRAME);
    EXPECT_EQ(untouched.x, 7);
    EXPECT_EQ(evalVectorTrack(untouched, nullptr, 1), ERR_NULL_POINTER);
    freeTrack(t);
}

TEST(TrackEvaluation, LoopTracksWrapAtTheirLastFrame) {
    Track* t = vectorTrack({{0, {0, 0, 0, 0}}, {10, {10, 0, 0, 0}}}, 2);
    EXPECT_EQ(at(t, 15).x, 5);
    EXPECT_EQ(at(t, 20).x, 10);
    EXPECT_EQ(at(t, 10).x, 10);
    EXPECT_EQ(wrapFrame(25, 10), 5);
    EXPECT_EQ(wrapFrame(10, 10), 10);
    EXPECT_EQ(wrapFrame(3, 0), 3);
    // A frame far beyond the period must not take a subtraction per period.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wrapFrame(2e9f, 1), 1);
    EXPECT_EQ(at(t, 1e9f).x, 10);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    freeTrack(t);
}

TEST(TrackEvaluation, EaseOfTheFirstKeyBendsTheSegment) {
    Track* t = vectorTrack({{0, {0, 0, 0, 0}, 0, 0, 0, 0, 0.5f}, {10, {10, 0, 0, 0}}});
    // t = 0.25 eases to 1/12; the curve is the straight line, so the value is 10/12.
    EXPECT_NEAR(at(t, 2.5f).x, 10.0f / 12, 1e-5f);
    freeTrack(t);
}

TEST(TrackEvaluation, HideTrackSwitchesAfterEachKeyAndRemembersItsCursor) {
    Track* t = makeTrack({{5, {0, 0, 0, 1}}, {15, {0, 0, 0, 0}}});
    EXPECT_EQ(hiddenAt(t, 0), 1);
    EXPECT_EQ(hiddenAt(t, 5), 1);
    EXPECT_EQ(hiddenAt(t, 10), 1);
    EXPECT_EQ(hiddenAt(t, 15), 1);
    EXPECT_EQ(hiddenAt(t, 16), 0);
    EXPECT_EQ(hiddenAt(t, 15), 0);  // the search now starts at the cached key of frame 15
    EXPECT_EQ(hiddenAt(t, 3), 1);   // a jump back rescans from the first key
    freeTrack(t);
}

TEST(TrackEvaluation, SingleKeyRotationHoldsItsOrientation) {
    Track* t = makeTrack({{0, {0, 1, 0, 1}}});
    quatFromAngleAxis(t->firstKey->orientation, 1, 0, 1, 0);
    computeRotationControls(t);
    for (float f : {0.0f, 3.0f, 100.0f}) {
        Quat q{};
        EXPECT_EQ(evalRotationTrack(q, t, f), ERR_OK);
        EXPECT_TRUE(quatEqual(q, t->firstKey->orientation));
    }
    freeTrack(t);
}

TEST(TrackEvaluation, RotationInterpolatesBetweenKeysAndHitsThemExactly) {
    // Two keys about y: 0.5 rad, then a further 1.0 rad (running sum 1.5).
    Track* t = makeTrack({{0, {0, 1, 0, 0.5f}}, {10, {0, 1, 0, 1.5f}}});
    quatFromAngleAxis(t->firstKey->orientation, 0.5f, 0, 1, 0);
    quatFromAngleAxis(t->firstKey->next->orientation, 1.5f, 0, 1, 0);
    ASSERT_EQ(computeRotationControls(t), ERR_OK);
    Quat q, expected;
    evalRotationTrack(q, t, 0);
    EXPECT_NEAR(q.y, t->firstKey->orientation.y, 1e-6f);
    evalRotationTrack(q, t, 10);
    EXPECT_NEAR(q.y, t->firstKey->next->orientation.y, 1e-5f);
    evalRotationTrack(q, t, 5);
    quatFromAngleAxis(expected, 1.0f, 0, 1, 0);
    EXPECT_NEAR(q.y, expected.y, 1e-3f);
    EXPECT_NEAR(q.w, expected.w, 1e-3f);
    EXPECT_NEAR(quatLength(q), 1, 1e-3f);
    freeTrack(t);
}

TEST(TrackEvaluation, FullTurnKeysUseTheirAxisAndStayFinite) {
    // The second key turns 2.5 turns about z; the controls come from the axis log, and the
    // evaluation spins through the whole turns.
    Track* t = makeTrack({{0, {0, 0, 1, 0}}, {10, {0, 0, 1, float(5 * M_PI)}}});
    quatIdentity(t->firstKey->orientation);
    quatFromAngleAxis(t->firstKey->next->orientation, float(5 * M_PI), 0, 0, 1);
    ASSERT_EQ(computeRotationControls(t), ERR_OK);
    for (float f = 0; f <= 10; f += 0.5f) {
        Quat q;
        evalRotationTrack(q, t, f);
        EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w)) << f;
    }
    freeTrack(t);
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

TEST_F(SceneUpdate, NeedsWorldAndKeyframer) {
    EXPECT_EQ(updateScene(), ERR_NO_KEYFRAMER_DATA);
    Scene empty{};
    setActiveScene(&empty);
    EXPECT_EQ(updateScene(), ERR_NO_SCENE);
    setActiveScene(scene);
}

TEST_F(SceneUpdate, ObjectMatrixIsRotationTimesScaleWithPositionAsTranslation) {
    addTrackNode(NODE_OBJECT, 0, -1, mesh);
    attachTrack(TRACK_POSITION, 0, vectorTrack({{0, {1, 2, 3, 0}}}));
    ASSERT_EQ(updateScene(), ERR_OK);
    // No scale track: scale stays zero and so does the linear part; no rotation track: the zero
    // rotation counts as the identity.
    EXPECT_EQ(mesh->matrix.m[0][0], 0);
    EXPECT_EQ(mesh->matrix.m[1][3], 2);
    Track* rotation = makeTrack({{0, {0, 0, 1, float(M_PI / 2)}}});
    quatFromAngleAxis(rotation->firstKey->orientation, float(M_PI / 2), 0, 0, 1);
    attachTrack(TRACK_ROTATION, 0, rotation);
    attachTrack(TRACK_SCALE, 0, vectorTrack({{0, {2, 2, 2, 0}}}));
    ASSERT_EQ(updateScene(), ERR_OK);
    Vec3 p;
    matTransformPoint(p, {1, 0, 0}, mesh->matrix);
    EXPECT_NEAR(p.x, 1, 1e-5f);
    EXPECT_NEAR(p.y, 4, 1e-5f);
    EXPECT_NEAR(p.z, 3, 1e-5f);
}

TEST_F(SceneUpdate, HideFlagFollowsTheTrackAndClearsWithoutOne) {
    addTrackNode(NODE_OBJECT, 0, -1, mesh);
    mesh->flags = MESH_HIDDEN | MESH_DUMMY;
    ASSERT_EQ(updateScene(), ERR_OK);
    EXPECT_EQ(mesh->flags, MESH_DUMMY);
    attachTrack(TRACK_HIDE, 0, makeTrack({{0, {0, 0, 0, 1}}, {10, {0, 0, 0, 0}}}));
    ASSERT_EQ(setFrame(5), ERR_OK);
    updateScene();
    EXPECT_EQ(mesh->flags, MESH_HIDDEN | MESH_DUMMY);
    setFrame(11);
    updateScene();
    EXPECT_EQ(mesh->flags, MESH_DUMMY);
}

TEST_F(SceneUpdate, CameraMatrixLooksFromPositionToTarget) {
    addTrackNode(NODE_CAMERA, 0, -1, camera);
    addTrackNode(NODE_CAMERA_TARGET, 1, -1, camera);
    attachTrack(TRACK_POSITION, 0, vectorTrack({{0, {0, 0, -10, 0}}}));
    // The target comes from a later node; the matrix must still see it.
    attachTrack(TRACK_POSITION, 1, vectorTrack({{0, {0, 0, 5, 0}}}));
    ASSERT_EQ(updateScene(), ERR_OK);
    Vec3 p;
    matTransformPoint(p, {0, 0, 5}, camera->viewMatrix);
    EXPECT_NEAR(p.x, 0, 1e-5f);
    EXPECT_NEAR(p.y, 0, 1e-5f);
    EXPECT_NEAR(p.z, 15, 1e-5f);
    // Target straight above: pitch 90 degrees, no NaN from the rounding of d.y / len.
    attachTrack(TRACK_POSITION, 1, vectorTrack({{0, {0, 7, -10, 0}}}));
    attachTrack(TRACK_POSITION, 0, vectorTrack({{0, {0, 0, -10, 0}}}));
    updateScene();
    for (auto& row : camera->viewMatrix.m)
        for (float v : row) EXPECT_TRUE(std::isfinite(v));
    // Target on the camera: d = 0, len 1, yaw and pitch 0: the identity rotation.
    attachTrack(TRACK_POSITION, 1, vectorTrack({{0, {0, 0, -10, 0}}}));
    updateScene();
    EXPECT_NEAR(camera->viewMatrix.m[0][0], 1, 1e-6f);
    EXPECT_NEAR(camera->viewMatrix.m[2][3], 10, 1e-6f);
}

TEST_F(SceneUpdate, TransformMeshesAppliesTheActiveCamera) {
    mesh->vertices = new TriVertex[1];
    mesh->vertexCount = 1;
    mesh->vertices[0].position = {1, 0, 0};
    addTrackNode(NODE_OBJECT, 0, -1, mesh);
    attachTrack(TRACK_POSITION, 0, vectorTrack({{0, {0, 0, 3, 0}}}));
    attachTrack(TRACK_SCALE, 0, vectorTrack({{0, {1, 1, 1, 0}}}));
    engineFlags = ENGINE_TRANSFORM;
    ASSERT_EQ(updateScene(), ERR_OK);
    EXPECT_NEAR(mesh->vertices[0].transformedPosition.z, 3, 1e-6f);
    camera->viewMatrix = Mat34{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, -3}}};
    setActiveCamera(camera);
    transformMeshes();
    EXPECT_NEAR(mesh->vertices[0].transformedPosition.z, 0, 1e-6f);
    EXPECT_NEAR(mesh->vertices[0].transformedPosition.x, 1, 1e-6f);
}
