// Gomb.3DS as an independent reader (lib3ds) sees it, the geosphere's shape, and the writer's
// refusal of scenes the engine could not read.
#include <gtest/gtest.h>
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>

#include "tools/builder/scene_3ds.h"
#include "tools/builder/writer_3ds.h"

using namespace builder;

namespace {

struct Loaded3ds {
    Lib3dsFile* file = nullptr;
    ~Loaded3ds() {
        if (file) lib3ds_file_free(file);
    }
};

// lib3ds reads from a path only.
void loadWithLib3ds(const std::vector<uint8_t>& bytes, Loaded3ds& loaded) {
    std::string path = "/tmp/builder_3ds_test_" + std::to_string(getpid()) + ".3ds";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    loaded.file = lib3ds_file_load(path.c_str());
    std::remove(path.c_str());
    ASSERT_NE(loaded.file, nullptr);
}

double length(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

}  // namespace

TEST(Gomb3ds, Lib3dsReadsTheSameSphereAndCamera) {
    Scene3ds scene = makeEngineSphereScene();
    std::vector<uint8_t> bytes;
    ASSERT_EQ(write3ds(scene, bytes), WRITE3DS_OK);
    // The engine checks the mesh version at byte 28 before walking the chunks.
    ASSERT_GT(bytes.size(), 28u);
    EXPECT_GE(bytes[28], 2);

    Loaded3ds loaded;
    loadWithLib3ds(bytes, loaded);
    Lib3dsFile* file = loaded.file;
    EXPECT_EQ(file->mesh_version, 3u);

    const Mesh3ds& sphere = scene.meshes.at(0);
    Lib3dsMesh* mesh = file->meshes;
    ASSERT_NE(mesh, nullptr);
    EXPECT_TRUE(mesh->next == nullptr && std::string(mesh->name) == "GeoSphere0");
    EXPECT_TRUE(mesh->points == sphere.points.size() && mesh->texels == mesh->points);
    EXPECT_EQ(mesh->faces, sphere.faces.size());
    for (size_t i = 0; i < sphere.points.size(); i += 97) {
        const Point3f& p = sphere.points[i];
        EXPECT_EQ((std::vector<float>(mesh->pointL[i].pos, mesh->pointL[i].pos + 3)), (std::vector<float>{p.x, p.y, p.z}));
        EXPECT_TRUE(mesh->texelL[i][0] == sphere.texCoords[i][0] && mesh->texelL[i][1] == sphere.texCoords[i][1]);
    }
    EXPECT_EQ(mesh->faceL[1234].points[1], sphere.faces[1234][1]);
    EXPECT_STREQ(mesh->faceL[0].material, "Rondany");
    ASSERT_NE(file->materials, nullptr);
    EXPECT_STREQ(file->materials->texture1_map.name, "rondany.raw");

    const Camera3ds& camera = scene.cameras.at(0);
    Lib3dsCamera* cam = file->cameras;
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ((std::vector<float>(cam->position, cam->position + 3)),
              (std::vector<float>{camera.position.x, camera.position.y, camera.position.z}));
    EXPECT_EQ((std::vector<float>(cam->target, cam->target + 3)),
              (std::vector<float>{camera.target.x, camera.target.y, camera.target.z}));
    EXPECT_NEAR(cam->fov, 48.0f, 1e-4);

    // The keyframer holds the camera where the mesh data puts it, so evaluating frame 0 moves
    // nothing.
    lib3ds_file_eval(file, 0);
    Lib3dsNode* camNode = lib3ds_file_node_by_name(file, "Camera01", LIB3DS_CAMERA_NODE);
    Lib3dsNode* targetNode = lib3ds_file_node_by_name(file, "Camera01", LIB3DS_TARGET_NODE);
    Lib3dsNode* sphereNode = lib3ds_file_node_by_name(file, "GeoSphere0", LIB3DS_OBJECT_NODE);
    ASSERT_TRUE(camNode && targetNode && sphereNode);
    EXPECT_TRUE(camNode->data.camera.pos[1] == camera.position.y && targetNode->data.target.pos[2] == camera.target.z);
    EXPECT_NEAR(camNode->data.camera.fov, 48.0f, 1e-4);
    EXPECT_EQ(sphereNode->data.object.scl[0], 1.0f);
}

TEST(Geosphere, IsAClosedOutwardFacingSphereOfTheGivenRadius) {
    Mesh3ds mesh = makeGeosphere("g", ENGINE_SPHERE_RADIUS, ENGINE_SPHERE_SUBDIVISIONS);
    EXPECT_EQ(mesh.faces.size(), 5120u);
    EXPECT_EQ(mesh.points.size(), 2562u);
    for (const Point3f& p : mesh.points) ASSERT_NEAR(length(p.x, p.y, p.z), ENGINE_SPHERE_RADIUS, 1e-3);

    std::map<std::pair<int, int>, int> directedEdges;
    for (const auto& f : mesh.faces) {
        Point3f a = mesh.points[f[0]], b = mesh.points[f[1]], c = mesh.points[f[2]];
        double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
        double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        ASSERT_GT(nx * (a.x + b.x + c.x) + ny * (a.y + b.y + c.y) + nz * (a.z + b.z + c.z), 0);
        for (int i = 0; i < 3; ++i) ++directedEdges[{f[i], f[(i + 1) % 3]}];
    }
    // Closed and consistently wound: every edge is walked once each way.
    for (const auto& [edge, count] : directedEdges) {
        ASSERT_EQ(count, 1);
        ASSERT_EQ(directedEdges.count({edge.second, edge.first}), 1u);
    }
}

TEST(Writer3ds, RefusesScenesTheEngineCouldNotResolve) {
    using Change = void (*)(Scene3ds&);
    const std::pair<Change, Write3dsStatus> cases[] = {
        {[](Scene3ds&) {}, WRITE3DS_OK},
        {[](Scene3ds& s) { s.meshes[0].faces[5][2] = uint16_t(s.meshes[0].points.size()); }, WRITE3DS_BAD_FACE},
        {[](Scene3ds& s) { s.meshes[0].material = "Missing"; }, WRITE3DS_UNKNOWN_MATERIAL},
        // Names are looked up without regard to case.
        {[](Scene3ds& s) { s.cameras[0].name = "GEOSPHERE0"; }, WRITE3DS_BAD_NAME},
        {[](Scene3ds& s) { s.meshes[0].name = std::string(64, 'x'); }, WRITE3DS_BAD_NAME},
        {[](Scene3ds& s) { s.meshes[0].texCoords.pop_back(); }, WRITE3DS_BAD_TEXCOORDS},
        {[](Scene3ds& s) { s.meshes[0].points.resize(70000), s.meshes[0].texCoords.clear(); }, WRITE3DS_TOO_MANY_POINTS},
        {[](Scene3ds& s) { s.cameras[0].lens = 0; }, WRITE3DS_BAD_CAMERA},
    };
    for (const auto& [change, status] : cases) {
        Scene3ds s = makeEngineSphereScene();
        s.meshes[0] = makeGeosphere("GeoSphere0", 10, 1);
        s.meshes[0].material = "Rondany";
        change(s);
        std::vector<uint8_t> out{1};
        EXPECT_EQ(write3ds(s, out), status);
        EXPECT_EQ(out.empty(), status != WRITE3DS_OK) << status;
    }
}
