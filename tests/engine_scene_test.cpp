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

TEST(EngineState, ActiveSceneRefusesNoneAndKeepsThePrevious) {
    Scene a{}, b{};
    engineInit(ENGINE_NORMALS);
    EXPECT_EQ(engineFlags, ENGINE_NORMALS);
    Scene* got = &b;
    getActiveScene(got);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(setActiveScene(&a), ERR_OK);
    EXPECT_EQ(setActiveScene(nullptr), ERR_NULL_POINTER);
    getActiveScene(got);
    EXPECT_EQ(got, &a);
    SceneCamera camera;
    setActiveCamera(&camera);
    EXPECT_EQ(setActiveCamera(nullptr), ERR_OK);
    EXPECT_EQ(activeCamera, nullptr);
    engineDone();
    EXPECT_EQ(activeScene, nullptr);
    EXPECT_EQ(engineFlags, 0);
}

TEST(EngineState, ErrorTextCoversTheTableAndNothingElse) {
    EXPECT_STREQ(errorText(0), "Ok.");
    EXPECT_STREQ(errorText(ERR_CORRUPT_FILE), "Invalid (corrupted?) file.");
    EXPECT_STREQ(errorText(ERR_SPLINE_KEYS), "Less than 2 keys in spline.");
    EXPECT_STREQ(errorText(ERR_OBJECT_EXISTS), "Object already exists.");
    EXPECT_STREQ(errorText(255), "Internal error.");
    for (ResultCode code : {16, -1, 254, 256})
        EXPECT_STREQ(errorText(code), "(undefined) internal error.") << code;
    EXPECT_STREQ(engineIdent, "brontavel3d - version 0.90 / o3.o8.2ooo");
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
    float start = -1, end = -1, frame = -1;
    EXPECT_EQ(getFrameRange(start, end), ERR_OK);
    EXPECT_EQ(getFrame(frame), ERR_OK);
    EXPECT_EQ(start + end + frame, 49.5f);
}

TEST_F(EngineScene, NameLookupFoldsOnlyAsciiLettersAndFindsEveryType) {
    ObjectNode* node = nullptr;
    EXPECT_EQ(findObjectByName(node, "x"), ERR_NO_SCENE);
    add<SceneMaterial>(OBJ_MATERIAL, "Stone", 0);
    add<TriMesh>(OBJ_TRIMESH, "Camera01", 1);
    add<SceneCamera>(OBJ_CAMERA, "Camera01", 2);
    add<SceneLight>(OBJ_LIGHT, "L\xC9mpa", 3);
    EXPECT_EQ(findObjectByName(node, "camera01"), ERR_OK);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->type, OBJ_TRIMESH);  // the first in file order wins
    findObjectByName(node, "STONE");
    EXPECT_NE(asMaterial(node), nullptr);
    findObjectByName(node, "L\xC9MPA");
    EXPECT_NE(node, nullptr);
    findObjectByName(node, "L\xE9mpa");  // differs only in a non-ASCII letter
    EXPECT_EQ(node, nullptr);
    findObjectByName(node, "Camera0");
    EXPECT_EQ(node, nullptr);

    EXPECT_EQ(findObjectById(node, 2), ERR_OK);
    EXPECT_NE(asCamera(node), nullptr);
    findFirstObject(node, OBJ_CAMERA | OBJ_LIGHT);
    EXPECT_EQ(node->type, OBJ_CAMERA);
    findNextObject(node, OBJ_CAMERA | OBJ_LIGHT);
    EXPECT_EQ(node->type, OBJ_LIGHT);
    findNextObject(node, OBJ_CAMERA | OBJ_LIGHT);
    EXPECT_EQ(node, nullptr);
}

TEST_F(EngineScene, TracksGoToTheirSlotsAndUnknownKindsAreIgnored) {
    auto* cam = add<SceneCamera>(OBJ_CAMERA, "Cam", 0);
    Track* early = newTrack();
    EXPECT_EQ(attachTrack(TRACK_POSITION, 0, early), ERR_NO_SCENE);  // no keyframer yet
    freeTrack(early);
    addTrackNode(NODE_CAMERA, 7, -1, cam);
    Track* fov = newTrack();
    EXPECT_EQ(attachTrack(TRACK_FOV, 7, fov), ERR_OK);
    EXPECT_EQ(scene->firstTrackNode->tracks[1], fov);
    Track* rotation = newTrack();
    EXPECT_EQ(attachTrack(TRACK_ROTATION, 7, rotation), ERR_OK);
    for (Track* t : scene->firstTrackNode->tracks) EXPECT_NE(t, rotation);
    freeTrack(rotation);
    Track* orphan = newTrack();
    EXPECT_EQ(attachTrack(TRACK_POSITION, 8, orphan), ERR_NODE_NOT_FOUND);
    freeTrack(orphan);
    // A second track of one kind replaces the first (freed, which the sanitizers would notice).
    Track* fov2 = newTrack();
    attachTrack(TRACK_FOV, 7, fov2);
    EXPECT_EQ(scene->firstTrackNode->tracks[1], fov2);
}

TEST_F(EngineScene, TrackNodesLinkToTheirParentAndNeverToThemselves) {
    auto* mesh = add<TriMesh>(OBJ_TRIMESH, "M", 0);
    addTrackNode(NODE_OBJECT, 0, -1, mesh);
    addTrackNode(NODE_OBJECT, 1, 0, mesh);
    addTrackNode(NODE_OBJECT, 2, 0, mesh);
    addTrackNode(NODE_OBJECT, 3, 3, mesh);
    TrackNode* root = scene->firstTrackNode;
    TrackNode* one = root->next;
    TrackNode* two = one->next;
    EXPECT_EQ(one->parent, root);
    EXPECT_EQ(root->firstChild, two);  // new children go to the front
    EXPECT_EQ(two->nextSibling, one);
    EXPECT_EQ(two->next->parent, nullptr);
    EXPECT_EQ(two->next->firstChild, nullptr);
}

TEST_F(EngineScene, VertexNormalsAverageTheFacesAroundThem) {
    auto* mesh = add<TriMesh>(OBJ_TRIMESH, "Roof", 0);
    mesh->vertexCount = 4;
    mesh->vertices = new TriVertex[4];
    mesh->vertices[0].position = {0, 0, 0};
    mesh->vertices[1].position = {1, 0, 0};
    mesh->vertices[2].position = {0, 1, 0};
    mesh->vertices[3].position = {0, 0, 1};
    mesh->faceCount = 2;
    mesh->faces = new TriFace[2];
    int idx[2][3] = {{0, 1, 2}, {0, 3, 1}};
    for (int f = 0; f < 2; ++f) {
        TriFace& face = mesh->faces[f];
        face.va = &mesh->vertices[idx[f][0]];
        face.vb = &mesh->vertices[idx[f][1]];
        face.vc = &mesh->vertices[idx[f][2]];
    }
    computeNormals();
    // (a - b) x (b - c): the first face lies in z = 0, the second in y = 0.
    EXPECT_FLOAT_EQ(mesh->faces[0].normal.z, 1);
    EXPECT_FLOAT_EQ(mesh->faces[1].normal.y, 1);
    Vec3 n = mesh->vertices[0].normal;
    EXPECT_NEAR(n.y, 0.70710677f, 1e-6f);
    EXPECT_NEAR(n.z, 0.70710677f, 1e-6f);
    EXPECT_FLOAT_EQ(mesh->vertices[2].normal.z, 1);
    EXPECT_FLOAT_EQ(mesh->vertices[3].normal.y, 1);
}

TEST_F(EngineScene, FreeingNeedsAWorldAndEmptiesBothLists) {
    EXPECT_EQ(sceneFreeWorld(scene), ERR_NULL_POINTER);
    EXPECT_EQ(sceneFreeMotion(scene), ERR_NULL_POINTER);
    EXPECT_EQ(sceneFree(nullptr), ERR_NULL_POINTER);
    auto* cam = add<SceneCamera>(OBJ_CAMERA, "C", 0);
    setActiveCamera(cam);
    addTrackNode(NODE_CAMERA, 0, -1, cam);
    attachTrack(TRACK_POSITION, 0, newTrack());
    EXPECT_EQ(sceneFree(scene), ERR_OK);
    EXPECT_EQ(scene->firstObject, nullptr);
    EXPECT_EQ(scene->firstTrackNode, nullptr);
    EXPECT_EQ(activeCamera, nullptr);  // it was freed with the world
}
