#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "assets/mesh_file.h"

using namespace assets;

namespace {

// The smallest useful mesh: P 4, one material, one camera, one single-triangle object.
struct ExampleMesh {
    MeshMaterial material = {3, {'a', 'b', 'c'}, 0.0f, 77, 1.0f, 2.0f};
    Point3 eye[4] = {{0, -50, 0}, {1, -50, 0}, {2, -50, 0}, {3, -50, 0}};
    Point3 target[4] = {};
    uint32_t perPoint[4] = {9, 8, 7, 6};
    MeshCamera camera = {60.0f, eye, target, perPoint};
    Point3 vertices[3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    TexCoord uvs[3] = {{0, 0}, {1, 0}, {0, 1}};
    Triangle triangle = {0, 1, 2};
    Point3 path[4] = {{5, 5, 5}, {6, 6, 6}, {7, 7, 7}, {8, 8, 8}};
    MeshObject object;
    Mesh mesh;

    ExampleMesh() {
        object.vertexCount = 3;
        object.vertices = vertices;
        object.texCoords = uvs;
        object.triangleCount = 1;
        object.triangles = &triangle;
        object.path = path;
        mesh.pathPointCount = 4;
        mesh.materialCount = 1;
        mesh.materials = &material;
        mesh.cameraCount = 1;
        mesh.cameras = &camera;
        mesh.objectCount = 1;
        mesh.objects = &object;
        mesh.trailer = 1234;
    }
};

int32_t int32At(const std::vector<uint8_t>& bytes, size_t offset) {
    int32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

bool isEmpty(const Mesh& mesh) {
    return mesh.pathPointCount == 0 && mesh.materialCount == 0 && mesh.cameraCount == 0 &&
           mesh.objectCount == 0 && !mesh.materials && !mesh.cameras && !mesh.objects;
}

void writeFile(const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

} // namespace

TEST(MeshFile, ExampleMeshIs249BytesWithFieldsAtTheirOffsetsAndLoadsBack) {
    ExampleMesh example;
    example.object.lit = false;  // not stored: a loaded object is always lit, visible, unrotated
    example.object.visible = false;
    std::vector<uint8_t> bytes = encodeMesh(example.mesh);
    ASSERT_EQ(bytes.size(), 249u);
    EXPECT_EQ(int32At(bytes, 0), 4);          // P
    EXPECT_EQ(int32At(bytes, 4), 1);          // M
    EXPECT_EQ(bytes[8], 3);                   // material name length
    EXPECT_EQ(int32At(bytes, 34), 1);         // K
    EXPECT_EQ(int32At(bytes, 154), 1);        // O
    EXPECT_EQ(int32At(bytes, 158), 3);        // V
    EXPECT_EQ(int32At(bytes, 222), 1);        // T
    EXPECT_EQ(bytes[238], 0);                 // has-path
    EXPECT_EQ(int32At(bytes, 241), 0);        // material index
    EXPECT_EQ(int32At(bytes, 245), 1234);     // trailer

    Mesh loaded;
    ASSERT_TRUE(decodeMesh(loaded, bytes.data(), bytes.size()));
    ASSERT_EQ(loaded.cameraCount, 1);
    ASSERT_EQ(loaded.objectCount, 1);
    EXPECT_EQ(loaded.cameras[0].fieldOfView, 60.0f);
    EXPECT_EQ(loaded.cameras[0].eye[3].x, 3.0f);
    EXPECT_EQ(loaded.cameras[0].perPoint[2], 7u);
    EXPECT_EQ(std::memcmp(loaded.materials, &example.material, 26), 0);
    const MeshObject& object = loaded.objects[0];
    EXPECT_EQ(object.vertices[1].x, 1.0f);
    EXPECT_EQ(object.texCoords[2].v, 1.0f);
    EXPECT_EQ(object.triangles[0].c, 2);
    EXPECT_FALSE(object.hasPath);
    EXPECT_TRUE(object.lit && object.visible && !object.textureRotation);
    EXPECT_EQ(object.pathPointCount, 4);
    EXPECT_EQ(encodeMesh(loaded), bytes);
}

TEST(MeshFile, PathAndTrackFlagsGrowTheObjectBlockAfterTheirFlagByte) {
    ExampleMesh example;
    example.object.hasPath = true;
    std::vector<uint8_t> withPath = encodeMesh(example.mesh);
    ASSERT_EQ(withPath.size(), 249u + 4 * 12);
    float firstPathX;
    std::memcpy(&firstPathX, withPath.data() + 239, 4);
    EXPECT_EQ(firstPathX, 5.0f);
    EXPECT_EQ(int32At(withPath, 245 + 48), 1234);

    example.object.hasSecondTrack = true;  // written as zeros: no array given
    example.object.hasThirdTrack = true;
    std::vector<uint8_t> withTracks = encodeMesh(example.mesh);
    ASSERT_EQ(withTracks.size(), 249u + 4 * (12 + 16 + 12));
    Mesh loaded;
    ASSERT_TRUE(decodeMesh(loaded, withTracks.data(), withTracks.size()));
    EXPECT_EQ(loaded.objects[0].path[3].z, 8.0f);
    EXPECT_EQ(loaded.objects[0].secondTrack[63], 0);
    EXPECT_EQ(loaded.trailer, 1234);
}

TEST(MeshFile, SameBytesLoadTwiceIntoIndependentMeshes) {
    std::vector<uint8_t> bytes = encodeMesh(ExampleMesh().mesh);
    Mesh first, second;
    ASSERT_TRUE(decodeMesh(first, bytes.data(), bytes.size()));
    ASSERT_TRUE(decodeMesh(second, bytes.data(), bytes.size()));
    first.objects[0].vertices[0].x = 99;
    EXPECT_EQ(second.objects[0].vertices[0].x, 0.0f);
}

TEST(MeshFile, EveryTruncationLoadsAsTheEmptyMesh) {
    ExampleMesh example;
    example.object.hasPath = example.object.hasSecondTrack = example.object.hasThirdTrack = true;
    std::vector<uint8_t> bytes = encodeMesh(example.mesh);
    for (size_t size = 0; size < bytes.size(); ++size) {
        Mesh mesh;
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);  // exact-size allocation
        EXPECT_FALSE(decodeMesh(mesh, cut.data(), cut.size())) << size;
        EXPECT_TRUE(isEmpty(mesh)) << size;
    }
}

TEST(MeshFile, BadCountsAndIndicesRejectTheWholeMesh) {
    const std::vector<uint8_t> good = encodeMesh(ExampleMesh().mesh);
    struct Patch { size_t offset; int32_t value; const char* what; };
    const Patch patches[] = {
        {0, -1, "P"}, {4, -1, "M"}, {34, -1, "K"}, {154, -1, "O"}, {158, -1, "V"},
        {222, -1, "T"}, {0, INT32_MAX, "P"}, {4, INT32_MAX, "M"}, {34, INT32_MAX, "K"},
        {154, INT32_MAX, "O"}, {158, INT32_MAX, "V"}, {222, INT32_MAX, "T"},
        {226, 3, "triangle index past the vertices"}, {234, -1, "negative triangle index"},
        {241, 1, "material index past the materials"}, {241, -1, "negative material index"}};
    for (const Patch& patch : patches) {
        std::vector<uint8_t> bytes = good;
        std::memcpy(bytes.data() + patch.offset, &patch.value, 4);
        Mesh mesh;
        EXPECT_FALSE(decodeMesh(mesh, bytes.data(), bytes.size())) << patch.what;
        EXPECT_TRUE(isEmpty(mesh)) << patch.what;
    }
    std::vector<uint8_t> longer = good;
    longer.push_back(0xEE);
    Mesh mesh;
    EXPECT_TRUE(decodeMesh(mesh, longer.data(), longer.size())) << "bytes after the trailer";
}

TEST(MeshFile, LoadMeshReadsALooseFileAndGivesEmptyForAMissingOne) {
    const char* name = "assets_mesh_file_test.p3d";
    writeFile(name, encodeMesh(ExampleMesh().mesh));
    Mesh mesh;
    loadMesh(mesh, name);
    std::remove(name);
    EXPECT_EQ(mesh.objectCount, 1);
    EXPECT_EQ(mesh.trailer, 1234);
    loadMesh(mesh, "assets_mesh_file_test_missing.p3d");
    EXPECT_TRUE(isEmpty(mesh));
}

TEST(MeshFile, ObjectCopyRefusesIndicesOutsideEitherMesh) {
    std::vector<uint8_t> bytes = encodeMesh(ExampleMesh().mesh);
    Mesh from, to, empty;
    decodeMesh(from, bytes.data(), bytes.size());
    decodeMesh(to, bytes.data(), bytes.size());
    EXPECT_FALSE(copyMeshObject(empty, 12, from, 0));
    EXPECT_FALSE(copyMeshObject(to, 0, from, 1));
    EXPECT_FALSE(copyMeshObject(to, -1, from, 0));
    EXPECT_TRUE(copyMeshObject(to, 0, from, 0));
    EXPECT_EQ(to.objects[0].vertices, from.objects[0].vertices);
}
