// Cross-check of the world pass against lib3ds, an independent .3DS reader: vertex and face
// counts, vertex positions (ours have y and z exchanged), face indices, texture coordinates and
// face materials, on hand-made files. The reader's own test checks the camera chunks by hand.
#include <gtest/gtest.h>

#include <lib3ds/file.h>
#include <lib3ds/mesh.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/scene.h"
#include "engine_3ds_writer.h"

using namespace engine;

namespace {

struct Loaded {
    Scene* scene = nullptr;
    Lib3dsFile* reference = nullptr;
    ~Loaded() {
        if (scene) {
            sceneFree(scene);
            sceneFreeWorld(scene);
            delete scene;
        }
        if (reference) lib3ds_file_free(reference);
        engineInit(0);
    }
};

// Loads the file with the engine and with lib3ds.
void loadBoth(Loaded& both, const std::string& path) {
    engineInit(0);
    ASSERT_EQ(sceneCreate(both.scene), ERR_OK);
    ASSERT_EQ(sceneLoad(both.scene, path.c_str()), ERR_OK);
    both.reference = lib3ds_file_load(path.c_str());
    ASSERT_NE(both.reference, nullptr);
}

void compareWorlds(const Loaded& both) {
    int meshes = 0;
    for (ObjectNode* node = both.scene->firstObject; node; node = node->next) {
        TriMesh* mesh = asMesh(node);
        if (!mesh || (mesh->flags & MESH_DUMMY)) continue;
        ++meshes;
        Lib3dsMesh* ref = both.reference->meshes;
        while (ref && mesh->name != ref->name) ref = ref->next;
        ASSERT_NE(ref, nullptr) << mesh->name;
        ASSERT_EQ(uint32_t(mesh->vertexCount), ref->points) << mesh->name;
        ASSERT_EQ(uint32_t(mesh->faceCount), ref->faces) << mesh->name;
        for (int32_t i = 0; i < mesh->vertexCount; ++i) {
            const TriVertex& v = mesh->vertices[i];
            const float* p = ref->pointL[i].pos;
            const float dx = v.position.x + mesh->pivot.x - p[0], dy = v.position.y + mesh->pivot.y - p[2],
                        dz = v.position.z + mesh->pivot.z - p[1];  // y and z exchanged
            ASSERT_LT(std::fabs(dx) + std::fabs(dy) + std::fabs(dz), 3e-4f) << mesh->name << " vertex " << i;
            ASSERT_TRUE(ref->texels != ref->points || (v.u == ref->texelL[i][0] && v.v == ref->texelL[i][1]));
        }
        for (int32_t i = 0; i < mesh->faceCount; ++i) {
            const TriFace& f = mesh->faces[i];
            const Lib3dsWord* corners = ref->faceL[i].points;
            ASSERT_TRUE(f.a == corners[0] && f.b == corners[1] && f.c == corners[2]) << mesh->name << " face " << i;
            EXPECT_EQ(f.material ? f.material->name : std::string(), std::string(ref->faceL[i].material));
        }
    }
    int referenceMeshes = 0;
    for (Lib3dsMesh* m = both.reference->meshes; m; m = m->next) ++referenceMeshes;
    EXPECT_EQ(meshes, referenceMeshes);
}

} // namespace

TEST(Lib3dsCrossCheck, HandMadeFilesReadTheSame) {
    using namespace test3ds;
    std::vector<Point> pts;
    std::vector<Face> faces;
    for (int i = 0; i < 40; ++i) pts.push_back({float(std::cos(i * 0.3) * 10), float(i), float(std::sin(i * 0.7) * 3)});
    for (uint16_t i = 0; i + 2 < 40; ++i) faces.push_back({i, uint16_t(i + 1), uint16_t(i + 2), 0});
    Bytes uv = u16(40);
    for (int i = 0; i < 40; ++i) append(uv, floats({i / 40.0f, 1 - i / 80.0f}));
    Chunk group{0x4130, cat({cstr("Brass"), u16(2), u16(3), u16(7)}), {}};
    const std::vector<Bytes> files{
        sceneFile({material("Brass"), meshObject("Ribbon", pts, faces, {{0x4140, uv, {}}}, {group})}),
        sceneFile({meshObject("A", {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 1, 2, 0}}),
                   meshObject("B", {{5, 5, 5}, {6, 5, 5}, {5, 6, 5}, {5, 5, 6}}, {{0, 1, 2, 0}, {0, 2, 3, 0}})},
                  {frameRange(0, 30), {0xB002, {}, {nodeHeader("B", -1), {0xB013, floats({5, 5, 5}), {}}}}}),
    };
    for (size_t i = 0; i < files.size(); ++i) {
        std::string path = "engine_lib3ds_" + std::to_string(i) + ".3ds";
        writeFile(path, files[i]);
        Loaded both;
        loadBoth(both, path);
        compareWorlds(both);
    }
}
