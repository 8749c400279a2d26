#include "assets/mesh_file.h"

#include <bit>
#include <cstring>
#include <new>

#include "assets/file_read.h"

// The file is a dump of little-endian records; the in-memory arrays are copied byte for byte.
static_assert(std::endian::native == std::endian::little, "the .p3d arrays are copied unconverted");
static_assert(sizeof(assets::Point3) == 12 && sizeof(assets::TexCoord) == 8 &&
              sizeof(assets::Triangle) == 12);

namespace assets {

// Every array of one loaded mesh; freed when the last Mesh record holding it goes.
struct MeshStorage {
    std::vector<std::unique_ptr<uint8_t[]>> blocks;

    template <class T> T* allocate(uint64_t count) {
        blocks.push_back(std::make_unique<uint8_t[]>(count * sizeof(T)));
        return reinterpret_cast<T*>(blocks.back().get());
    }
};

namespace {

// The smallest file bytes one camera or object block can take, so that a count can be refused
// before anything is allocated for it.
constexpr uint64_t minCameraBytes = 4;
constexpr uint64_t minObjectBytes = 4 + 4 + 1 + 1 + 1 + 4;

// Reads the layout out of a byte range. Any shortfall or bad count clears `ok`; from then on
// nothing more is read or allocated and the caller throws the partial mesh away.
struct MeshReader {
    const uint8_t* at;
    const uint8_t* end;
    MeshStorage& storage;
    bool ok = true;

    uint64_t remaining() const { return uint64_t(end - at); }

    template <class T> void value(T& v) {
        if (!ok || remaining() < sizeof(T)) { ok = false; return; }
        std::memcpy(&v, at, sizeof(T));
        at += sizeof(T);
    }
    void flag(bool& b) {
        uint8_t byte = 0;
        value(byte);
        b = byte != 0;
    }
    void count(int32_t& n) {
        value(n);
        if (n < 0) ok = false;
    }
    // n entries of `perEntry` elements each.
    template <class T> void array(T*& p, int32_t n, uint64_t perEntry = 1) {
        p = nullptr;
        if (!ok || n <= 0) return;
        uint64_t bytes = uint64_t(n) * perEntry * sizeof(T);
        if (bytes > remaining()) { ok = false; return; }
        p = storage.allocate<T>(uint64_t(n) * perEntry);
        std::memcpy(p, at, bytes);
        at += bytes;
    }
    // A count followed by that many variable blocks: the count is read and the records allocated.
    template <class T> int32_t records(int32_t& n, T*& p, uint64_t minBytesEach) {
        p = nullptr;
        count(n);
        if (!ok) return 0;
        if (uint64_t(n) * minBytesEach > remaining()) { ok = false; return 0; }
        if (n == 0) return 0;
        p = storage.allocate<T>(uint64_t(n));
        for (int32_t i = 0; i < n; ++i) new (p + i) T();
        return n;
    }
};

// Writes the layout. Negative counts are written as 0 and null arrays as zero bytes, so that
// whatever is written loads back.
struct MeshWriter {
    std::vector<uint8_t>& out;
    bool ok = true;  // never cleared; shared shape with MeshReader

    template <class T> void value(const T& v) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&v);
        out.insert(out.end(), bytes, bytes + sizeof(T));
    }
    void flag(const bool& b) { value(uint8_t(b ? 1 : 0)); }
    void count(const int32_t& n) { value(n < 0 ? int32_t(0) : n); }
    template <class T> void array(T* const& p, int32_t n, uint64_t perEntry = 1) {
        if (n <= 0) return;
        uint64_t bytes = uint64_t(n) * perEntry * sizeof(T);
        if (p) {
            const auto* from = reinterpret_cast<const uint8_t*>(p);
            out.insert(out.end(), from, from + bytes);
        } else {
            out.insert(out.end(), bytes, 0);
        }
    }
    template <class T> int32_t records(const int32_t& n, T* const& p, uint64_t) {
        int32_t written = (n > 0 && p) ? n : 0;
        value(written);
        return written;
    }
};

// The one description of the layout. `points` is the mesh's path point count P.
template <class Stream> void transferCamera(Stream& s, MeshCamera& camera, int32_t points) {
    s.value(camera.fieldOfView);
    s.array(camera.eye, points);
    s.array(camera.target, points);
    s.array(camera.perPoint, points);
}

template <class Stream> void transferObject(Stream& s, MeshObject& object, int32_t points) {
    s.count(object.vertexCount);
    s.array(object.vertices, object.vertexCount);
    s.array(object.texCoords, object.vertexCount);
    s.count(object.triangleCount);
    s.array(object.triangles, object.triangleCount);
    s.flag(object.hasPath);
    if (object.hasPath) s.array(object.path, points);
    s.flag(object.hasSecondTrack);
    // The key tracks are opaque 16- and 12-byte entries per path point.
    if (object.hasSecondTrack) s.array(object.secondTrack, points, 16);
    s.flag(object.hasThirdTrack);
    if (object.hasThirdTrack) s.array(object.thirdTrack, points, 12);
    s.value(object.materialIndex);
}

template <class Stream> void transferMesh(Stream& s, Mesh& mesh) {
    s.count(mesh.pathPointCount);
    s.count(mesh.materialCount);
    s.array(mesh.materials, mesh.materialCount);
    int32_t cameras = s.records(mesh.cameraCount, mesh.cameras, minCameraBytes);
    for (int32_t i = 0; s.ok && i < cameras; ++i)
        transferCamera(s, mesh.cameras[i], mesh.pathPointCount);
    int32_t objects = s.records(mesh.objectCount, mesh.objects, minObjectBytes);
    for (int32_t i = 0; s.ok && i < objects; ++i)
        transferObject(s, mesh.objects[i], mesh.pathPointCount);
    s.value(mesh.trailer);
}

// The references inside the file: triangle corners and material indices.
bool indicesInRange(const Mesh& mesh) {
    for (int32_t i = 0; i < mesh.objectCount; ++i) {
        const MeshObject& object = mesh.objects[i];
        if (object.materialIndex < 0 || object.materialIndex >= mesh.materialCount) return false;
        for (int32_t k = 0; k < object.triangleCount; ++k) {
            const Triangle& t = object.triangles[k];
            for (int32_t corner : {t.a, t.b, t.c})
                if (corner < 0 || corner >= object.vertexCount) return false;
        }
    }
    return true;
}

} // namespace

bool decodeMesh(Mesh& mesh, const uint8_t* data, size_t size) {
    auto storage = std::make_shared<MeshStorage>();
    Mesh loaded;
    if (!data) size = 0;
    MeshReader reader{data, data + size, *storage};
    transferMesh(reader, loaded);
    if (!reader.ok || !indicesInRange(loaded)) {
        mesh = Mesh{};
        return false;
    }
    for (int32_t i = 0; i < loaded.objectCount; ++i) {
        MeshObject& object = loaded.objects[i];
        object.pathPointCount = loaded.pathPointCount;
        object.lit = true;
        object.textureRotation = false;
        object.visible = true;
    }
    loaded.storage = std::move(storage);
    mesh = std::move(loaded);
    return true;
}

void loadMesh(Mesh& mesh, const char* name) {
    std::vector<uint8_t> bytes = readAssetFile(name);
    decodeMesh(mesh, bytes.data(), bytes.size());
}

std::vector<uint8_t> encodeMesh(const Mesh& mesh) {
    std::vector<uint8_t> out;
    MeshWriter writer{out};
    transferMesh(writer, const_cast<Mesh&>(mesh));
    return out;
}

bool copyMeshObject(Mesh& to, int32_t toIndex, const Mesh& from, int32_t fromIndex) {
    if (toIndex < 0 || toIndex >= to.objectCount || !to.objects) return false;
    if (fromIndex < 0 || fromIndex >= from.objectCount || !from.objects) return false;
    to.objects[toIndex] = from.objects[fromIndex];
    return true;
}

} // namespace assets
