// The .p3d loader: the example mesh read back, damaged and forged files loading as the empty mesh
// without allocating for their claims, the 64 MiB read limit, and spliced objects.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "archive/archive.h"
#include "assets/file_read.h"
#include "assets/mesh_file.h"
#include "assets/mesh_renderer.h"
#include "platform/headless_gl.h"
#include "tests/zip_fixture.h"

using namespace assets;

namespace {

// The smallest useful mesh: P 4, one material, one camera, one single-triangle object.
struct ExampleMesh {
    MeshMaterial material = {3, {'a', 'b', 'c'}, 0.0f, 77, 1.0f, 2.0f};
    Point3 eye[4] = {{0, -50, 0}, {1, -50, 0}, {2, -50, 0}, {3, -50, 0}}, target[4] = {};
    uint32_t perPoint[4] = {9, 8, 7, 6};
    MeshCamera camera = {60.0f, eye, target, perPoint};
    Point3 vertices[3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    TexCoord uvs[3] = {{0, 0}, {1, 0}, {0, 1}};
    Triangle triangle = {0, 1, 2};
    Point3 path[4] = {{5, 5, 5}, {6, 6, 6}, {7, 7, 7}, {8, 8, 8}};
    MeshObject object{3, vertices, uvs, 1, &triangle, 0, false, path};
    Mesh mesh{4, 1, &material, 1, &camera, 1, &object, 1234};
};

int32_t int32At(const std::vector<uint8_t>& bytes, size_t offset) {
    int32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

bool isEmpty(const Mesh& m) {
    return !m.pathPointCount && !m.materialCount && !m.cameraCount && !m.objectCount && !m.objects;
}

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST(MeshFile, ExampleMeshIs249BytesWithFieldsAtTheirOffsetsAndLoadsBack) {
    ExampleMesh example;
    example.object.lit = example.object.visible = false;  // not stored in the file
    std::vector<uint8_t> bytes = encodeMesh(example.mesh);
    ASSERT_EQ(bytes.size(), 249u);
    // K after the material, O after the camera, T after the vertices, material index, trailer.
    EXPECT_EQ((std::vector<int32_t>{int32At(bytes, 34), int32At(bytes, 154), int32At(bytes, 222), int32At(bytes, 241),
                                    int32At(bytes, 245)}),
              (std::vector<int32_t>{1, 1, 1, 0, 1234}));

    // Through a loose file, with a byte after the trailer that the loader ignores.
    const char* name = "assets_mesh_file_test.p3d";
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<char*>(bytes.data()), 249) << 'x';
    Mesh loaded, again;
    loadMesh(loaded, name);
    loadMesh(again, name);
    std::remove(name);
    ASSERT_EQ(loaded.objectCount, 1);
    EXPECT_NE(loaded.objects[0].vertices, again.objects[0].vertices) << "independent arrays";
    EXPECT_EQ(loaded.cameras[0].perPoint[2], 7u);
    EXPECT_EQ(std::memcmp(loaded.materials, &example.material, 26), 0);
    const MeshObject& object = loaded.objects[0];
    EXPECT_TRUE(object.lit && object.visible && !object.textureRotation && !object.hasPath);
    EXPECT_EQ(encodeMesh(loaded), bytes);

    // The has-path flag inserts the path right after itself.
    example.object.hasPath = true;
    bytes = encodeMesh(example.mesh);
    ASSERT_EQ(bytes.size(), 249u + 4 * 12);
    EXPECT_EQ(int32At(bytes, 245 + 48), 1234);
    ASSERT_TRUE(decodeMesh(loaded, bytes.data(), bytes.size()));
    EXPECT_EQ(loaded.objects[0].path[0].x, 5.0f);
    EXPECT_EQ(loaded.objects[0].path[3].z, 8.0f);

    // Then the key tracks, opaque: 16 and 12 bytes a path point.
    uint8_t tracks[112];
    for (int i = 0; i < 112; ++i) tracks[i] = uint8_t(i);
    example.object.hasSecondTrack = example.object.hasThirdTrack = true;
    example.object.secondTrack = tracks;
    example.object.thirdTrack = tracks + 64;
    bytes = encodeMesh(example.mesh);
    ASSERT_EQ(bytes.size(), 249u + 48 + 64 + 48);
    EXPECT_EQ(int32At(bytes, bytes.size() - 4), 1234);
    ASSERT_TRUE(decodeMesh(loaded, bytes.data(), bytes.size()));
    EXPECT_EQ(loaded.objects[0].secondTrack[63], 63);
    EXPECT_EQ(loaded.objects[0].thirdTrack[47], 111);
}

TEST(MeshFile, TruncationsBadCountsAndBadIndicesLoadAsTheEmptyMesh) {
    ExampleMesh example;
    example.object.hasPath = example.object.hasSecondTrack = example.object.hasThirdTrack = true;
    std::vector<uint8_t> full = encodeMesh(example.mesh);
    std::vector<std::vector<uint8_t>> bad;
    for (size_t size = 0; size < full.size(); ++size)
        bad.emplace_back(full.begin(), full.begin() + size);  // exact size, so ASan sees over-reads
    const std::vector<uint8_t> good = encodeMesh(ExampleMesh().mesh);
    const struct { size_t offset; int32_t value; } patches[] = {
        {0, -1}, {4, -1}, {34, -1}, {154, -1}, {158, -1}, {222, -1},  // P M K O V T negative
        {4, INT32_MAX}, {34, INT32_MAX}, {154, INT32_MAX}, {158, INT32_MAX}, {222, INT32_MAX},
        {226, 3}, {234, -1}, {241, 1}, {241, -1}};                    // vertex, material index
    for (const auto& patch : patches) {
        bad.push_back(good);
        std::memcpy(bad.back().data() + patch.offset, &patch.value, 4);
    }
    for (size_t i = 0; i < bad.size(); ++i) {
        Mesh mesh;
        EXPECT_FALSE(decodeMesh(mesh, bad[i].data(), bad[i].size())) << i;
        EXPECT_TRUE(isEmpty(mesh)) << i;
    }
}

// Counts that the file's bytes can hold, of records that take far more room in memory than in the
// file (4 bytes for a 32-byte camera, 15 for a 96-byte object), with the fault at the very end.
// Nothing is allocated for such a file before it is found bad.
TEST(MeshFile, ForgedRecordCountsAreRefusedWithoutAllocatingForThem) {
    auto put = [](std::vector<uint8_t>& bytes, size_t at, int32_t value) { std::memcpy(&bytes[at], &value, 4); };
    const int32_t cameras = 2'000'000, objects = 1'000'000;
    // P 0, no materials, two million cameras of a field of view each, and no object count.
    std::vector<uint8_t> manyCameras(12 + 4 * size_t(cameras), 0);
    put(manyCameras, 8, cameras);
    // P 0, one material, a million empty objects, the last naming a material that is not there.
    std::vector<uint8_t> manyObjects(4 + 4 + 26 + 4 + 4 + 15 * size_t(objects) + 4, 0);
    put(manyObjects, 4, 1);
    put(manyObjects, 38, objects);
    put(manyObjects, manyObjects.size() - 8, 1);

    long before = peakResidentKiB();
    for (const std::vector<uint8_t>* bytes : {&manyCameras, &manyObjects}) {
        Mesh mesh;
        EXPECT_FALSE(decodeMesh(mesh, bytes->data(), bytes->size()));
        EXPECT_TRUE(isEmpty(mesh));
    }
    EXPECT_LT(peakResidentKiB() - before, 16 * 1024) << "records were allocated for a file that is then refused";
}

// A loose file of 100 MiB (sparse: all zero, which is an empty mesh) is read no further than 64 MiB.
TEST(MeshFile, WholeFileReadsStopAt64MiBAndGiveNothingOfADamagedMember) {
    std::string name = "assets_mesh_file_test_" + std::to_string(getpid()) + ".p3d";
    std::FILE* file = std::fopen(name.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(ftruncate(fileno(file), 100 << 20), 0);
    std::fclose(file);
    EXPECT_EQ(readAssetFile(name.c_str()).size(), size_t(64) << 20);
    Mesh mesh;
    loadMesh(mesh, name.c_str());
    std::remove(name.c_str());
    EXPECT_TRUE(isEmpty(mesh));
    loadMesh(mesh, name.c_str());  // now missing
    EXPECT_TRUE(isEmpty(mesh));

    // A member whose stream ends 1000 bytes early gives no bytes at all, not zeros in their place.
    using namespace zipfixture;
    Bytes text(3000, 'm');
    writeFile(name, zipFile({{"cut.p3d", text, 8, rawDeflate(slice(text, 0, 2000))}}));
    ASSERT_NE(archive::mountArchive(name.c_str(), false), nullptr);
    EXPECT_TRUE(readAssetFile("cut.p3d").empty());
    archive::unmountAllArchives();
    std::remove(name.c_str());
}

// The start-up splices copy an object between meshes; the source may be cleared or reloaded later
// (tests do), and the copy must still be whole. Under AddressSanitizer any dangling array shows.
TEST(MeshFile, SplicedObjectOutlivesItsSourceMesh) {
    ExampleMesh example;
    MeshObject objects[2] = {example.object, example.object};
    objects[1].vertexCount = 2;  // object 1 differs: two vertices, no triangle
    objects[1].triangleCount = 0;
    example.mesh.objectCount = 2;
    example.mesh.objects = objects;
    std::vector<uint8_t> two = encodeMesh(example.mesh), one = encodeMesh(ExampleMesh().mesh);
    Mesh target, source;
    ASSERT_TRUE(decodeMesh(target, one.data(), one.size()));
    ASSERT_TRUE(decodeMesh(source, two.data(), two.size()));
    source.objects[1].vertices[1].x = 42;
    ASSERT_TRUE(copyMeshObject(target, 0, source, 1));
    source = Mesh{};
    Mesh reloaded = target;  // a copy of the whole mesh keeps both blocks as well
    target = Mesh{};
    EXPECT_EQ(reloaded.objects[0].vertexCount, 2);
    EXPECT_EQ(reloaded.objects[0].vertices[1].x, 42);
    if (platform::createHeadlessGL(16, 12)) drawMesh(reloaded, 0.5f);
}
