// The .3DS reader on small files written by the tests: what each chunk fills in, the keyframer's
// node numbering and tracks, the active scene around a load, and the rejection of files that
// would make the reader read or write outside its records.
#include <gtest/gtest.h>

#include <cstdio>

#include <cmath>
#include <string>

#include "engine/scene.h"
#include "engine_3ds_writer.h"

using namespace engine;
using namespace test3ds;

namespace {

// A unit right triangle in the file's z-up frame, lying in the x-y plane at height 5.
std::vector<Point> trianglePoints() { return {{0, 0, 5}, {1, 0, 5}, {0, 1, 5}}; }
std::vector<Face> oneFace() { return {{0, 1, 2, 0xFFFF}}; }
Chunk triangle() { return meshObject("Tri", trianglePoints(), oneFace()); }

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        engineInit(0);
        sceneCreate(scene);
    }
    void TearDown() override {
        sceneFree(scene);
        sceneFreeWorld(scene);
        delete scene;
        engineInit(0);
    }
    ResultCode load(const Bytes& file, bool motion = true) {
        std::string path = std::string("engine_reader_") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".3ds";
        writeFile(path, file);
        ResultCode result = motion ? sceneLoad(scene, path.c_str()) : sceneLoadWorld(scene, path.c_str());
        std::remove(path.c_str());
        return result;
    }
    ObjectNode* find(const char* name) {
        Scene* previous = activeScene;
        activeScene = scene;
        ObjectNode* node = nullptr;
        findObjectByName(node, name);
        activeScene = previous;
        return node;
    }
    int worldCount() {
        int n = 0;
        for (ObjectNode* o = scene->firstObject; o; o = o->next) ++n;
        return n;
    }
    Scene* scene = nullptr;
};

Chunk boxNode(const std::string& name, std::vector<Chunk> extra = {}, int16_t parent = -1) {
    std::vector<Chunk> parts{nodeHeader(name, parent)};
    parts.insert(parts.end(), extra.begin(), extra.end());
    return {0xB002, {}, parts};
}

} // namespace

TEST_F(Reader, VersionsBelowTwoMissingFilesAndEmptyWorldsLoadNothingAndLeaveTheActiveSceneAlone) {
    EXPECT_EQ(load(sceneFile({triangle()}, {}, 1)), ERR_UNSUPPORTED_VERSION);
    EXPECT_EQ(scene->firstObject, nullptr);
    EXPECT_EQ(load(sceneFile({triangle()}, {}, 2), false), ERR_OK);
    EXPECT_EQ(load(Bytes(20, 0)), ERR_CORRUPT_FILE);  // no byte 28 at all
    Bytes empty = bytes({0x4D4D, {}, {{0x0002, u32(3), {}}, {0x1234, Bytes(40, 7), {}}, {0x3D3D, {}, {{0x3D3E, u32(3), {}}}}}});
    EXPECT_EQ(load(empty, false), ERR_OK);  // the unknown chunk is skipped
    EXPECT_EQ(load(empty), ERR_NO_SCENE);
    // A loaded scene becomes active only when none was before.
    Bytes file = sceneFile({triangle()});
    setActiveScene(nullptr);
    ASSERT_EQ(load(file), ERR_OK);
    EXPECT_EQ(activeScene, scene);
    Scene other{};
    setActiveScene(&other);
    ASSERT_EQ(load(file), ERR_OK);
    EXPECT_EQ(sceneLoad(scene, "engine_reader_no_such_file.3ds"), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(activeScene, &other);
}

TEST_F(Reader, WorldPassFillsMeshesWithExchangedAxesAndNormalsWhenTheEngineAsksForThem) {
    engineInit(ENGINE_NORMALS);
    Chunk texcoords{0x4140, cat({u16(3), floats({0, 0, 1, 0.5f, 0.25f, 1})}), {}};
    Chunk group{0x4130, cat({cstr("Stone"), u16(1), u16(0)}), {}};
    std::string longName(70, 'N');
    ASSERT_EQ(load(sceneFile({material("Stone"), meshObject("Tri", trianglePoints(), oneFace(), {texcoords}, {group}),
                              meshObject(longName, trianglePoints(), oneFace())}),
                   false),
              ERR_OK);
    EXPECT_NE(find(std::string(63, 'N').c_str()), nullptr) << "names keep their first 63 bytes";
    TriMesh* mesh = asMesh(find("tri"));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->id, 1);  // the material took id 0: one counter for every kind
    // Positions, texture coordinates and face corners are cross-checked with lib3ds.
    EXPECT_EQ(mesh->vertices[1].position.y, 5);  // file z
    ASSERT_EQ(mesh->faceCount, 1);
    EXPECT_EQ(mesh->faces[0].flags, 0x18);
    EXPECT_EQ(mesh->faces[0].vc, &mesh->vertices[2]);
    EXPECT_EQ(mesh->faces[0].materialId, 0);
    EXPECT_EQ(mesh->faces[0].material, asMaterial(find("Stone")));
    EXPECT_EQ(mesh->rotation.w, 0);  // not the identity until a keyframer says so
    EXPECT_EQ(mesh->parentId, -1);
    // The file's triangle lies in its z = 5 plane, which is y = 5 here: (a - b) x (b - c) = -y.
    const Vec3 n = mesh->vertices[0].normal;
    EXPECT_TRUE(n.x == 0 && n.y == -1 && n.z == 0);
}

TEST_F(Reader, CamerasLightsAndMaterialsTakeTheirChunks) {
    Chunk light{0x4000, cstr("Spot"),
                {{0x4600, floats({1, 2, 3}),
                  {{0x4610, floats({4, 5, 6, 20, 40}), {}}, {0x0011, {255, 0, 51}, {}}}}}};
    Chunk mat = material("Gold", {{0xA020, {}, {{0x0010, floats({0.5f, 0.25f, 1}), {}}}},
                                  {0xA040, {}, {{0x0030, u16(35), {}}}},
                                  {0xA200, {}, {{0x0030, u16(80), {}}, {0xA300, cstr("gold.png"), {}},
                                               {0xA354, floats({2}), {}}, {0xA351, u16(0x10), {}}}},
                                  {0xA081, {}, {}},
                                  {0xA100, u16(3), {}}});
    Chunk background{0x1200, {}, {{0x0010, floats({1, 1, 1}), {}}}};
    ASSERT_EQ(load(sceneFile({background, mat, camera("Cam", {1, 2, 3}, {4, 5, 6}, 10, 30), light,
                              camera("Lens0", {}, {1, 1, 1}, 0, 0), camera("Lens-1", {}, {1, 1, 1}, 0, -1)}),
                   false),
              ERR_OK);

    SceneCamera* cam = asCamera(find("CAM"));
    ASSERT_NE(cam, nullptr);
    EXPECT_TRUE(cam->position.y == 3 && cam->target.z == 5 && cam->roll == 10);
    EXPECT_FLOAT_EQ(cam->fov, 80);  // 15 / 30 * 160
    // A lens of 0 or below is clamped to the widest finite view.
    EXPECT_EQ(asCamera(find("Lens0"))->fov + asCamera(find("Lens-1"))->fov, 360);

    SceneLight* spot = asLight(find("Spot"));
    ASSERT_NE(spot, nullptr);
    EXPECT_TRUE(spot->position.y == 3 && spot->colour.x == 1);
    EXPECT_FLOAT_EQ(spot->colour.z, 0.2f);

    SceneMaterial* gold = asMaterial(find("Gold"));
    ASSERT_NE(gold, nullptr);
    EXPECT_EQ(gold->diffuse.y, 0.25f);
    EXPECT_EQ(gold->ambient.x, 0);  // the background colour went nowhere
    EXPECT_FLOAT_EQ(gold->shininess, 0.35f);
    EXPECT_EQ(gold->textureMap.name, "gold.png");
    EXPECT_TRUE(gold->textureMap.uScale == 2 && gold->textureMap.tiling == 0x10);
    EXPECT_TRUE(gold->flags == MATERIAL_TWO_SIDED && gold->shading == 3);
}

TEST_F(Reader, KeyframerNumbersNodesAndBuildsDummiesAndAmbient) {
    std::vector<Chunk> kf{
        frameRange(0, 100),
        {0xB001, {}, {nodeHeader("$AMBIENT$", -1),
                      track(0xB025, {{0, floats({0.2f, 0.4f, 0.6f})}})}},  // id 0
        {0xB002, {}, {nodeId(7), nodeHeader("$$$DUMMY", -1), {0xB011, cstr("Handle"), {}}}},
        boxNode("tri", {{0xB013, floats({1, 2, 3}), {}},
                        track(0xB020, {{65540, floats({1, 2, 3})}})}, 7),  // id 8
    };
    ASSERT_EQ(load(sceneFile({triangle()}, kf)), ERR_OK);
    AmbientLight* ambient = asAmbient(find("$AMBIENT$"));
    ASSERT_NE(ambient, nullptr);
    EXPECT_EQ(ambient->id, 1024);
    EXPECT_FLOAT_EQ(ambient->colour.y, 0.4f);  // colour keys are not exchanged
    TriMesh* dummy = asMesh(find("Handle"));
    ASSERT_NE(dummy, nullptr);
    EXPECT_TRUE(dummy->id == 1031 && (dummy->flags & MESH_DUMMY));

    TriMesh* tri = asMesh(find("Tri"));
    ASSERT_NE(tri, nullptr);
    EXPECT_EQ(tri->parentId, 1031);
    EXPECT_EQ(tri->pivot.y, 3);
    EXPECT_EQ(tri->vertices[0].position.y, 2);  // 5 - pivot
    EXPECT_EQ(tri->position.y, 3);              // evaluated at frame 0 after loading
    TrackNode* node = scene->lastTrackNode;
    EXPECT_EQ(node->id, 8);
    EXPECT_EQ(node->parent, node->prev);
    EXPECT_EQ(node->tracks[0]->firstKey->frame, 4);  // 65540 keeps its low 16 bits
    EXPECT_EQ(scene->firstTrackNode->id, 0);
    EXPECT_EQ(scene->endFrame, 100);
}

TEST_F(Reader, RotationKeysAccumulateAboutTheExchangedAxis) {
    float quarter = float(M_PI / 2);
    std::vector<Chunk> kf{frameRange(0, 20),
                          boxNode("Tri", {track(0xB021, {{0, floats({quarter, 0, 0, 1})},
                                                         {10, floats({quarter, 1, 0, 0})}})})};
    ASSERT_EQ(load(sceneFile({triangle()}, kf)), ERR_OK);
    Key* k = scene->firstTrackNode->tracks[2]->firstKey;
    EXPECT_NEAR(k->orientation.y, std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(k->orientation.w, std::sqrt(0.5), 1e-6);
    // The second quarter turn, about x, comes after the first: (x, 0, 0, w)(0, y, 0, w) by hand.
    for (float c : {k->next->orientation.x, k->next->orientation.y, k->next->orientation.z, k->next->orientation.w})
        EXPECT_NEAR(c, 0.5, 1e-6);
    EXPECT_EQ(k->value[1], 1);  // axis stored as (x, z, y)
    EXPECT_FLOAT_EQ(k->next->value[3], float(M_PI));
}

TEST_F(Reader, NodeIdsCountOnFromTheLastExplicitIdAndParentsAreTheLastNodeOfTheirId) {
    std::vector<Chunk> kf{frameRange(0, 10), boxNode("Tri"), {0xB002, {}, {nodeId(7), nodeHeader("Tri", -1)}},
                          boxNode("Tri"), {0xB002, {}, {nodeId(7), nodeHeader("Tri", -1)}}, boxNode("Tri", {}, 7)};
    ASSERT_EQ(load(sceneFile({triangle()}, kf)), ERR_OK);
    std::vector<int32_t> ids;
    for (TrackNode* n = scene->firstTrackNode; n; n = n->next) ids.push_back(n->id);
    EXPECT_EQ(ids, (std::vector<int32_t>{0, 7, 8, 7, 8}));
    EXPECT_EQ(scene->lastTrackNode->parent, scene->lastTrackNode->prev);  // the second node 7
}

struct BadFile {
    const char* what;
    Bytes file;
    ResultCode expected;
};

TEST_F(Reader, RejectsWorldDataThatPointsOutsideItsArrays) {
    Bytes badLength = sceneFile({{0x4000, cstr("X"), {}}});
    badLength[32 + 2] = 4;  // the 4000 chunk's length, right after the 3D3E chunk
    badLength[32 + 3] = badLength[32 + 4] = badLength[32 + 5] = 0;
    Bytes overrun = sceneFile({triangle()});
    overrun[32 + 2] += 1;  // the named object claims a byte more than its parent holds
    Chunk tooManyPoints{0x4000, cstr("P"), {{0x4100, {}, {{0x4110, cat({u16(500), floats({1, 2, 3})}), {}}}}}};
    Chunk deep{0x4F00, {}, {}};
    for (int i = 0; i < 40; ++i) deep = Chunk{0x4F00, {}, {deep}};
    const BadFile cases[] = {
        {"face index past the vertices", sceneFile({meshObject("T", trianglePoints(), {{0, 1, 3, 0}})}), ERR_CORRUPT_FILE},
        {"material group index past the faces",
         sceneFile({material("M"), meshObject("T", trianglePoints(), oneFace(), {}, {{0x4130, cat({cstr("M"), u16(1), u16(1)}), {}}})}),
         ERR_CORRUPT_FILE},
        {"material group naming nothing",
         sceneFile({meshObject("T", trianglePoints(), oneFace(), {}, {{0x4130, cat({cstr("Nope"), u16(0)}), {}}})}),
         ERR_INVALID_OBJECT_ID},
        {"more texture coordinates than vertices",
         sceneFile({meshObject("T", trianglePoints(), oneFace(), {{0x4140, cat({u16(4), floats({0, 0, 0, 0, 0, 0, 0, 0})}), {}}})}),
         ERR_CORRUPT_FILE},
        {"faces before points", sceneFile({{0x4000, cstr("T"), {{0x4100, {}, {faceArray(oneFace()), pointArray(trianglePoints())}}}}}),
         ERR_CORRUPT_FILE},
        {"a second point array",
         sceneFile({meshObject("T", trianglePoints(), oneFace(), {pointArray(trianglePoints())})}), ERR_CORRUPT_FILE},
        {"chunk length below 6", badLength, ERR_CORRUPT_FILE},
        {"chunk running past its parent", overrun, ERR_CORRUPT_FILE},
        {"point count beyond the chunk", sceneFile({tooManyPoints}), ERR_CORRUPT_FILE},
        {"spotlight without a light", sceneFile({{0x4610, floats({1, 2, 3, 4, 5}), {}}}), ERR_CORRUPT_FILE},
        {"material colour without a material", sceneFile({{0xA010, {}, {{0x0010, floats({1, 1, 1}), {}}}}}), ERR_CORRUPT_FILE},
        {"material name without a material", sceneFile({{0xA000, cstr("M"), {}}}), ERR_CORRUPT_FILE},
        {"map value without a material", sceneFile({{0xA200, {}, {{0xA354, floats({1}), {}}}}}), ERR_CORRUPT_FILE},
        {"name running to the end of its chunk", sceneFile({{0x4000, {'A', 'B'}, {}}}), ERR_CORRUPT_FILE},
        {"short camera", sceneFile({{0x4000, cstr("C"), {{0x4700, floats({1, 2, 3}), {}}}}}), ERR_CORRUPT_FILE},
        {"nesting deeper than any real file", sceneFile({deep}), ERR_CORRUPT_FILE},
    };
    for (const BadFile& c : cases) {
        EXPECT_EQ(load(c.file, false), c.expected) << c.what;
        EXPECT_EQ(scene->firstObject, nullptr) << c.what << ": a failed world pass frees what it built";
    }
}

TEST_F(Reader, RejectsKeyframerDataForTheWrongRecordAndKeepsTheWorld) {
    std::vector<Chunk> world{material("Stone"), triangle()};
    Chunk hugeTrack = track(0xB020, {{0, floats({1, 2, 3})}});
    hugeTrack.data[10] = 0xFF;  // key count 255 with one key's bytes
    const BadFile cases[] = {
        {"pivot before any object node", sceneFile(world, {frameRange(0, 10), {0xB013, floats({1, 2, 3}), {}}}),
         ERR_CORRUPT_FILE},
        {"ambient name under an object tag", sceneFile(world, {frameRange(0, 10), boxNode("$AMBIENT$")}), ERR_CORRUPT_FILE},
        {"dummy name under the ambient tag",
         sceneFile(world, {frameRange(0, 10), {0xB001, {}, {nodeHeader("$$$DUMMY", -1)}}}), ERR_CORRUPT_FILE},
        {"object tag naming a material", sceneFile(world, {frameRange(0, 10), boxNode("Stone")}), ERR_CORRUPT_FILE},
        {"camera tag naming a mesh", sceneFile(world, {frameRange(0, 10), {0xB003, {}, {nodeHeader("Tri", -1)}}}),
         ERR_CORRUPT_FILE},
        {"node naming nothing", sceneFile(world, {frameRange(0, 10), boxNode("Nobody")}), ERR_INVALID_OBJECT_ID},
        {"reserved name in the wrong case", sceneFile(world, {frameRange(0, 10), {0xB001, {}, {nodeHeader("$ambient$", -1)}}}),
         ERR_INVALID_OBJECT_ID},
        {"node naming a mesh by the name it had before an instance name",
         sceneFile(world, {frameRange(0, 10), boxNode("Tri", {{0xB011, cstr("Renamed"), {}}}), boxNode("Tri")}),
         ERR_INVALID_OBJECT_ID},
        {"key count beyond the chunk", sceneFile(world, {frameRange(0, 10), boxNode("Tri", {hugeTrack})}),
         ERR_CORRUPT_FILE},
        {"dummy added before the failure",
         sceneFile(world, {frameRange(0, 10), {0xB002, {}, {nodeHeader("$$$DUMMY", -1)}}, boxNode("Nobody")}),
         ERR_INVALID_OBJECT_ID},
        {"mesh renamed and pivoted before the failure",
         sceneFile(world, {frameRange(0, 10), boxNode("Tri", {{0xB011, cstr("Renamed"), {}}, {0xB013, floats({1, 2, 3}), {}}}),
                           boxNode("Nobody")}),
         ERR_INVALID_OBJECT_ID},
    };
    for (const BadFile& c : cases) {
        EXPECT_EQ(load(c.file), c.expected) << c.what;
        EXPECT_EQ(worldCount(), 2) << c.what << ": the world is as the world pass left it";
        EXPECT_EQ(scene->firstTrackNode, nullptr) << c.what;
        TriMesh* tri = asMesh(find("Tri"));
        ASSERT_NE(tri, nullptr) << c.what;
        EXPECT_TRUE(tri->vertexCount == 3 && tri->vertices[0].position.y == 5 && tri->pivot.y == 0) << c.what;
    }
}

// More node headers than any scene has (each a dummy with a name, a parent and a track) make the
// file corrupt; fewer load, every node in its place.
TEST_F(Reader, KeyframerNodesAreCappedAt65536) {
    auto dummies = [](int count) {
        std::vector<Chunk> kf{frameRange(0, 10)};
        for (int i = 0; i < count; ++i) {
            std::string name(1, 'D');
            name += std::to_string(i);
            kf.push_back({0xB002, {}, {nodeHeader("$$$DUMMY", int16_t(i > 0 && i < 30000 ? i - 1 : -1)),
                                       {0xB011, cstr(name), {}},
                                       track(0xB020, {{0, floats({float(i), 0, 0})}})}});
        }
        return sceneFile({triangle()}, kf);
    };
    EXPECT_EQ(load(dummies(65537)), ERR_CORRUPT_FILE);
    EXPECT_EQ(worldCount(), 1);
    ASSERT_EQ(load(dummies(3000)), ERR_OK);
    EXPECT_EQ(scene->lastTrackNode->id, 2999);
    EXPECT_EQ(asMesh(find("D2999"))->parentId, 1024 + 2998);
    EXPECT_EQ(asMesh(find("D2999"))->position.x, 2999);
}

TEST_F(Reader, TracksForMissingNodesOrSlotsAreDropped) {
    std::vector<Chunk> kf{frameRange(0, 10), boxNode("Tri", {track(0xB023, {{0, floats({45})}})}),
                          {0xB020, track(0xB020, {{0, floats({1, 2, 3})}}).data, {}}};
    kf.push_back({0xB030, u16(99), {}});
    kf.push_back(track(0xB020, {{0, floats({1, 2, 3})}}));
    ASSERT_EQ(load(sceneFile({triangle()}, kf)), ERR_OK);
    // The field-of-view track has no slot on an object node; the loose position track belongs to
    // the current node 0; the one after node id 99 has no node.
    Track* const* tracks = scene->firstTrackNode->tracks;
    EXPECT_NE(tracks[0], nullptr);
    for (int slot = 1; slot < MAX_TRACK_SLOTS; ++slot) EXPECT_EQ(tracks[slot], nullptr);
    EXPECT_EQ(asMesh(find("Tri"))->position.y, 3);
}

// ---- Keyframer nodes of every kind, key headers and track flags ---------------------------------

TEST_F(Reader, CameraTargetOmniAndSpotNodesAnimateTheirRecords) {
    Chunk omni{0x4000, cstr("Omni"), {{0x4600, floats({7, 8, 9}), {}}}};
    Chunk spot{0x4000, cstr("Spot"), {{0x4600, floats({1, 2, 3}), {{0x4610, floats({4, 5, 6, 20, 40}), {}}}}}};
    std::vector<Chunk> kf{
        frameRange(0, 100),
        boxNode("Tri"),  // node 0
        {0xB003, {}, {nodeHeader("Cam", -1), track(0xB020, {{0, floats({10, 20, 30})}}),
                      track(0xB023, {{0, floats({45})}}), track(0xB024, {{0, floats({15})}})}},
        {0xB004, {}, {nodeHeader("Cam", 0), track(0xB020, {{0, floats({40, 50, 60})}})}},
        {0xB005, {}, {nodeHeader("Omni", -1), track(0xB025, {{0, floats({0.25f, 0.5f, 0.75f})}})}},
        {0xB007, {}, {nodeHeader("Spot", -1), track(0xB024, {{0, floats({33})}})}},
        {0xB006, {}, {nodeHeader("Spot", -1), track(0xB020, {{0, floats({7, 8, 9})}})}},
    };
    ASSERT_EQ(load(sceneFile({triangle(), camera("Cam", {1, 2, 3}, {4, 5, 6}, 10, 30), omni, spot}, kf)), ERR_OK);
    SceneCamera* cam = asCamera(find("Cam"));
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ((std::vector<float>{cam->position.y, cam->fov, cam->roll, cam->target.z}), (std::vector<float>{30, 45, 15, 50}));
    EXPECT_EQ(cam->parentId, -1);
    EXPECT_EQ(cam->targetParentId, asMesh(find("Tri"))->id);
    SceneLight* omniLight = asLight(find("Omni"));
    EXPECT_TRUE(omniLight->colour.y == 0.5f && omniLight->kind == 1);
    SceneLight* s = asLight(find("Spot"));
    EXPECT_EQ((std::vector<float>{s->roll, s->hotspot, s->falloff, s->target.y}), (std::vector<float>{33, 20, 40, 9}));
}

TEST_F(Reader, KeyHeadersTrackFlagsNodeFlagsMorphTargetsAndHideKeysAreRead) {
    // Spline flag bits 0-5: tension, continuity, bias, ease to, ease from, and one more float that
    // is skipped; then the key's own data.
    KeyRecipe flagged{0, floats({1, 2, 3}), 0x3F, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 9}};
    std::vector<Chunk> kf{
        frameRange(0, 100),
        {0xB002, {}, {nodeHeader("Tri", -1, 0x0800), track(0xB020, {flagged, {10, floats({4, 5, 6})}}, 3),
                      track(0xB022, {{0, floats({1, 1, 1})}, {10, floats({2, 2, 2})}}, 2),
                      track(0xB026, {{0, cstr("Tri2")}}), track(0xB029, {{0, u32(0)}, {10, u32(0)}, {20, u32(0)}})}},
        {0xB002, {}, {nodeHeader("Tri2", -1, 0x0400)}},
    };
    ASSERT_EQ(load(sceneFile({triangle(), meshObject("Tri2", trianglePoints(), oneFace())}, kf)), ERR_OK);
    TrackNode* node = scene->firstTrackNode;
    const Key* key = node->tracks[0]->firstKey;
    EXPECT_EQ((std::vector<float>{key->tension, key->continuity, key->bias, key->easeTo, key->easeFrom}),
              (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f, 0.5f}));
    EXPECT_TRUE(key->value[0] == 1 && key->value[1] == 3 && key->next->value[2] == 5);
    EXPECT_EQ(node->tracks[0]->mode, 2);  // flags 3: loop
    EXPECT_EQ(node->tracks[1]->mode, 1);  // flags 2: repeat
    EXPECT_EQ(node->tracks[3]->firstKey->value[3], float(asMesh(find("Tri2"))->id));
    const Key* hide = node->tracks[4]->firstKey;  // hide keys alternate, starting hidden
    EXPECT_TRUE(hide->value[3] == 1 && hide->next->value[3] == 0 && hide->next->next->value[3] == 1);
    EXPECT_EQ(asMesh(find("Tri"))->flags & MESH_HIDDEN, MESH_HIDDEN);
    EXPECT_EQ(asMesh(find("Tri"))->flags & MESH_KEYFRAMER_FLAG, MESH_KEYFRAMER_FLAG);
    EXPECT_EQ(asMesh(find("Tri2"))->flags & MESH_KEYFRAMER_FLAG, 0);
}
