// The .p3d loader and writer, both driven by one description of the layout (transferMesh). The
// loader checks every count and index against the bytes and arrays that are really there before
// it allocates anything; a file that fails any check loads as the empty mesh.
#include "assets/mesh_file.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include "assets/file_read.h"

// The file is a dump of little-endian records; the in-memory arrays are copied byte for byte.
static_assert(std::endian::native == std::endian::little, "the .p3d arrays are copied unconverted");
static_assert(sizeof(assets::Point3) == 12 && sizeof(assets::TexCoord) == 8 &&
              sizeof(assets::Triangle) == 12);
// Records live in a raw block that is freed without running destructors.
static_assert(std::is_trivially_destructible_v<assets::MeshCamera> &&
              std::is_trivially_destructible_v<assets::MeshObject>);

namespace assets {

// Every array of one loaded mesh, in one block sized by a first pass over the file; freed when the
// last Mesh record holding it goes. Records and arrays are trivially destructible.
struct MeshStorage {
    std::unique_ptr<std::byte[]> bytes;
    uint64_t size = 0;
    uint64_t used = 0;
};

namespace {

// The smallest file bytes one camera or object block can take, so that a count can be refused
// before anything is measured for it.
constexpr uint64_t MIN_CAMERA_BYTES = 4;
constexpr uint64_t MIN_OBJECT_BYTES = 4 + 4 + 1 + 1 + 1 + 4;

// Where `count` elements of T go in a block after `used` bytes (every element kind is laid out
// at its own alignment, the records first).
template <class T> uint64_t placeAfter(uint64_t used, uint64_t count, uint64_t& start) {
    start = (used + alignof(T) - 1) / alignof(T) * alignof(T);
    return start + count * sizeof(T);
}

// Reading a mesh takes two walks over the same layout. The first (MeshMeasure) checks the whole
// file without allocating anything: sizes, counts against the bytes that follow, triangle corners
// and material indices; it adds up the block the arrays and records need. Only a file that passes
// gets that block, and the second walk (MeshReader) copies into it. A forged file therefore costs
// nothing but the time to read it, and a good one exactly what it holds.
struct MeshMeasure {
    const uint8_t* at;
    const uint8_t* end;
    bool ok = true;
    uint64_t blockSize = 0;
    // The record being walked: counts land here, array pointers stay null.
    MeshCamera camera{};
    MeshObject object{};
    const uint8_t* triangleBytes = nullptr;  // the current object's triangles in the file

    uint64_t remaining() const { return uint64_t(end - at); }

    template <class T> void reserve(uint64_t count) {
        uint64_t start;
        blockSize = placeAfter<T>(blockSize, count, start);
    }
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
    template <class T> void array(T*& p, int32_t n, uint64_t perEntry = 1) {
        p = nullptr;
        if (!ok || n <= 0) return;
        uint64_t bytes = uint64_t(n) * perEntry * sizeof(T);
        if (bytes > remaining()) { ok = false; return; }
        if constexpr (std::is_same_v<T, Triangle>) triangleBytes = at;
        reserve<T>(uint64_t(n) * perEntry);
        at += bytes;
    }
    template <class T> int32_t records(int32_t& n, T*& p, uint64_t minBytesEach) {
        p = nullptr;
        count(n);
        if (!ok) return 0;
        if (uint64_t(n) * minBytesEach > remaining()) { ok = false; return 0; }
        reserve<T>(uint64_t(n));
        return n;
    }
    MeshCamera& record(MeshCamera*, int32_t) { return camera = MeshCamera{}; }
    MeshObject& record(MeshObject*, int32_t) {
        triangleBytes = nullptr;
        return object = MeshObject{};
    }
    // The references inside an object: triangle corners and its material index.
    void endObject(const MeshObject& o, const Mesh& mesh) {
        if (!ok) return;
        if (o.materialIndex < 0 || o.materialIndex >= mesh.materialCount) { ok = false; return; }
        for (int32_t k = 0; triangleBytes && k < o.triangleCount; ++k) {
            Triangle t;
            std::memcpy(&t, triangleBytes + uint64_t(k) * sizeof t, sizeof t);
            for (int32_t corner : {t.a, t.b, t.c})
                if (corner < 0 || corner >= o.vertexCount) { ok = false; return; }
        }
    }
};

// Copies a file MeshMeasure has passed into the block it sized.
struct MeshReader {
    const uint8_t* at;
    const uint8_t* end;
    MeshStorage& storage;
    bool ok = true;  // stays true: the file was checked; shared shape with MeshMeasure

    template <class T> T* allocate(uint64_t count) {
        uint64_t start;
        uint64_t after = placeAfter<T>(storage.used, count, start);
        if (after > storage.size) throw std::bad_alloc();  // cannot happen after the measure
        storage.used = after;
        return reinterpret_cast<T*>(storage.bytes.get() + start);
    }
    template <class T> void value(T& v) {
        std::memcpy(&v, at, sizeof(T));
        at += sizeof(T);
    }
    void flag(bool& b) {
        uint8_t byte = 0;
        value(byte);
        b = byte != 0;
    }
    void count(int32_t& n) { value(n); }
    template <class T> void array(T*& p, int32_t n, uint64_t perEntry = 1) {
        p = nullptr;
        if (n <= 0) return;
        uint64_t bytes = uint64_t(n) * perEntry * sizeof(T);
        p = allocate<T>(uint64_t(n) * perEntry);
        std::memcpy(p, at, bytes);
        at += bytes;
    }
    template <class T> int32_t records(int32_t& n, T*& p, uint64_t) {
        count(n);
        p = nullptr;
        if (n == 0) return 0;
        p = allocate<T>(uint64_t(n));
        for (int32_t i = 0; i < n; ++i) new (p + i) T();
        return n;
    }
    template <class T> T& record(T* p, int32_t i) { return p[i]; }
    void endObject(const MeshObject&, const Mesh&) {}
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
    template <class T> T& record(T* p, int32_t i) { return p[i]; }
    void endObject(const MeshObject&, const Mesh&) {}
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
    int32_t cameras = s.records(mesh.cameraCount, mesh.cameras, MIN_CAMERA_BYTES);
    for (int32_t i = 0; s.ok && i < cameras; ++i)
        transferCamera(s, s.record(mesh.cameras, i), mesh.pathPointCount);
    int32_t objects = s.records(mesh.objectCount, mesh.objects, MIN_OBJECT_BYTES);
    for (int32_t i = 0; s.ok && i < objects; ++i) {
        MeshObject& object = s.record(mesh.objects, i);
        transferObject(s, object, mesh.pathPointCount);
        s.endObject(object, mesh);
    }
    s.value(mesh.trailer);
}

} // namespace

bool decodeMesh(Mesh& mesh, const uint8_t* data, size_t size) {
    mesh = Mesh{};
    if (!data) size = 0;
    Mesh measured;
    MeshMeasure measure{data, data + size};
    transferMesh(measure, measured);
    if (!measure.ok) return false;
    try {
        auto storage = std::make_shared<MeshStorage>();
        storage->bytes = std::make_unique_for_overwrite<std::byte[]>(measure.blockSize);
        storage->size = measure.blockSize;
        Mesh loaded;
        MeshReader reader{data, data + size, *storage};
        transferMesh(reader, loaded);
        for (int32_t i = 0; i < loaded.objectCount; ++i) {
            MeshObject& object = loaded.objects[i];
            object.pathPointCount = loaded.pathPointCount;
            object.lit = true;
            object.textureRotation = false;
            object.visible = true;
        }
        loaded.storage.push_back(std::move(storage));
        mesh = std::move(loaded);
        return true;
    } catch (const std::bad_alloc&) {
        return false;  // a mesh too big for the memory there is loads as the empty mesh
    }
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
    // The copy points into the source's blocks: the target keeps them alive from now on.
    for (const std::shared_ptr<MeshStorage>& block : from.storage)
        if (std::find(to.storage.begin(), to.storage.end(), block) == to.storage.end()) to.storage.push_back(block);
    to.objects[toIndex] = from.objects[fromIndex];
    return true;
}

} // namespace assets
