// Engine state, frame control, lookups, the keyframer's building blocks, normals and messages.
#include <gtest/gtest.h>

#include "engine/scene.h"

using namespace engine;

namespace {

class EngineScene : public ::testing::Test {
protected:
    void SetUp() override {
        engineInit(0);
        ASSERT_EQ(sceneCreate(scene), ERR_OK);
        setActiveScene(scene);
    }
    void TearDown() override {
        sceneFree(scene);
        delete scene;
        engineInit(0);
    }
    template <typename Record>
    Record* add(int32_t type, const char* name, int32_t id) {
        Record* r = new Record{};
        r->name = name;
        r->id = id;
        EXPECT_EQ(addObject(type, r), ERR_OK);
        return r;
    }
    Scene* scene = nullptr;
};

} // namespace

TEST(EngineState, ActiveSceneRefusesNoneAndKeepsThePreviousAndErrorTextsCoverTheTable) {
    Scene a{};
    engineInit(ENGINE_NORMALS);
    EXPECT_EQ(setActiveScene(&a), ERR_OK);
    EXPECT_EQ(setActiveScene(nullptr), ERR_NULL_POINTER);
    Scene* got = nullptr;
    getActiveScene(got);
    EXPECT_EQ(got, &a);
    engineDone();
    EXPECT_TRUE(activeScene == nullptr && engineFlags == 0);
    EXPECT_STREQ(errorText(255), "Internal error.");
    for (ResultCode code : {16, -1, 254, 256}) EXPECT_STREQ(errorText(code), "(undefined) internal error.") << code;
}

TEST_F(EngineScene, FramesNeedKeyframerAndRangeAndEndBeforeTheEndFrame) {
    add<TriMesh>(OBJ_TRIMESH, "Box", 0);
    EXPECT_EQ(setFrame(0), ERR_NO_SCENE);  // no keyframer nodes yet
    addTrackNode(NODE_OBJECT, 0, -1, scene->firstObject->data);
    EXPECT_EQ(setFrame(0), ERR_NO_KEYFRAMER_DATA);  // end <= start
    scene->startFrame = 10;
    scene->endFrame = 20;
    EXPECT_EQ(setFrame(10), ERR_OK);
    EXPECT_EQ(setFrame(20), ERR_INVALID_FRAME);
    EXPECT_EQ(setFrame(9.9f), ERR_INVALID_FRAME);
    EXPECT_EQ(setFrame(19.5f), ERR_OK);
    float start = -1, end = -1, frame = -1;  // not used by the show
    EXPECT_EQ(getFrameRange(start, end), ERR_OK);
    EXPECT_EQ(getFrame(frame), ERR_OK);
    EXPECT_EQ(start + end + frame, 49.5f);
}

TEST_F(EngineScene, NameLookupFoldsOnlyAsciiLettersAndTheFirstInFileOrderWins) {
    ObjectNode* node = nullptr;
    EXPECT_EQ(findObjectByName(node, "x"), ERR_NO_SCENE);
    add<SceneMaterial>(OBJ_MATERIAL, "Stone", 0);
    add<TriMesh>(OBJ_TRIMESH, "Camera01", 1);
    add<SceneCamera>(OBJ_CAMERA, "Camera01", 2);
    add<SceneLight>(OBJ_LIGHT, "L\xC9mpa", 3);
    EXPECT_EQ(findObjectByName(node, "camera01"), ERR_OK);
    EXPECT_EQ(node->type, OBJ_TRIMESH);
    findObjectByName(node, "STONE");
    EXPECT_NE(asMaterial(node), nullptr);
    findObjectByName(node, "L\xC9MPA");
    EXPECT_NE(node, nullptr);
    for (const char* other : {"L\xE9mpa", "Camera0"}) {  // a non-ASCII letter differs; a prefix is not the name
        findObjectByName(node, other);
        EXPECT_EQ(node, nullptr) << other;
    }
    findFirstObject(node, OBJ_CAMERA | OBJ_LIGHT);  // not used by the show
    findNextObject(node, OBJ_CAMERA | OBJ_LIGHT);
    EXPECT_EQ(node->type, OBJ_LIGHT);
}

TEST_F(EngineScene, TrackNodesLinkToTheirParentAndTracksGoToTheirSlots) {
    auto* cam = add<SceneCamera>(OBJ_CAMERA, "Cam", 0);
    addTrackNode(NODE_CAMERA, 0, -1, cam);
    addTrackNode(NODE_CAMERA, 1, 0, cam);
    TrackNode* root = scene->firstTrackNode;
    EXPECT_EQ(root->next->parent, root);

    Track* fov = newTrack();
    EXPECT_EQ(attachTrack(TRACK_FOV, 0, fov), ERR_OK);
    EXPECT_EQ(root->tracks[1], fov);
    Track* rotation = newTrack();  // a camera has no rotation slot
    EXPECT_EQ(attachTrack(TRACK_ROTATION, 0, rotation), ERR_OK);
    for (Track* t : root->tracks) EXPECT_NE(t, rotation);
    freeTrack(rotation);
    // A second track of one kind replaces the first (freed, which the sanitizers would notice).
    Track* fov2 = newTrack();
    attachTrack(TRACK_FOV, 0, fov2);
    EXPECT_EQ(root->tracks[1], fov2);
}

TEST_F(EngineScene, VertexNormalsAverageTheFacesAroundThem) {
    auto* mesh = add<TriMesh>(OBJ_TRIMESH, "Roof", 0);
    mesh->vertexCount = 4;
    mesh->vertices = new TriVertex[4]{};
    const Vec3 corners[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 4; ++i) mesh->vertices[i].position = corners[i];
    mesh->faceCount = 2;
    TriVertex* v = mesh->vertices;
    mesh->faces = new TriFace[2]{{0, 1, 2, 0, 0, &v[0], &v[1], &v[2]}, {0, 3, 1, 0, 0, &v[0], &v[3], &v[1]}};
    computeNormals();
    // (a - b) x (b - c): the first face lies in z = 0, the second in y = 0.
    EXPECT_TRUE(mesh->faces[0].normal.z == 1 && mesh->faces[1].normal.y == 1);
    Vec3 n = mesh->vertices[0].normal;
    EXPECT_NEAR(n.y, 0.70710677f, 1e-6f);
    EXPECT_NEAR(n.z, 0.70710677f, 1e-6f);
    EXPECT_TRUE(mesh->vertices[2].normal.z == 1 && mesh->vertices[3].normal.y == 1);
}

TEST_F(EngineScene, FreeingNeedsAWorldAndEmptiesBothLists) {
    EXPECT_TRUE(sceneFreeWorld(scene) == ERR_NULL_POINTER && sceneFreeMotion(scene) == ERR_NULL_POINTER);
    EXPECT_EQ(sceneFree(nullptr), ERR_NULL_POINTER);
    auto* cam = add<SceneCamera>(OBJ_CAMERA, "C", 0);
    setActiveCamera(cam);
    addTrackNode(NODE_CAMERA, 0, -1, cam);
    attachTrack(TRACK_POSITION, 0, newTrack());
    EXPECT_EQ(sceneFree(scene), ERR_OK);
    EXPECT_TRUE(scene->firstObject == nullptr && scene->firstTrackNode == nullptr);
    EXPECT_EQ(activeCamera, nullptr);  // it was freed with the world
}
