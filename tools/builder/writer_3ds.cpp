// Writes the .3DS chunk tree. Counts that do not fit the file's 16-bit fields are refused with an
// error instead of being cut short.
#include "tools/builder/writer_3ds.h"

#include <cstring>
#include <set>

namespace builder {
namespace {

enum ChunkId : uint16_t {
    MAIN = 0x4D4D,
    FILE_VERSION = 0x0002,
    COLOUR_BYTES = 0x0011,
    PERCENT = 0x0030,
    MESH_DATA = 0x3D3D,
    MESH_VERSION = 0x3D3E,
    MASTER_SCALE = 0x0100,
    MATERIAL = 0xAFFF,
    MATERIAL_NAME = 0xA000,
    MATERIAL_AMBIENT = 0xA010,
    MATERIAL_DIFFUSE = 0xA020,
    MATERIAL_SPECULAR = 0xA030,
    MATERIAL_SHININESS = 0xA040,
    MATERIAL_SHADING = 0xA100,
    TEXTURE_MAP = 0xA200,
    MAP_FILE = 0xA300,
    MAP_TILING = 0xA351,
    MAP_U_SCALE = 0xA354,
    MAP_V_SCALE = 0xA356,
    NAMED_OBJECT = 0x4000,
    TRIANGLES = 0x4100,
    POINTS = 0x4110,
    FACES = 0x4120,
    FACE_MATERIAL = 0x4130,
    TEX_COORDS = 0x4140,
    SMOOTHING = 0x4150,
    LOCAL_AXES = 0x4160,
    CAMERA = 0x4700,
    KEYFRAMER = 0xB000,
    KF_HEADER = 0xB00A,
    KF_FRAMES = 0xB008,
    OBJECT_NODE = 0xB002,
    CAMERA_NODE = 0xB003,
    TARGET_NODE = 0xB004,
    NODE_ID = 0xB030,
    NODE_HEADER = 0xB010,
    PIVOT = 0xB013,
    POSITION_TRACK = 0xB020,
    ROTATION_TRACK = 0xB021,
    SCALE_TRACK = 0xB022,
    FOV_TRACK = 0xB023,
    ROLL_TRACK = 0xB024,
};

// The mesh-data version goes at byte 28 of the file, where readers look for it before walking
// the chunks; 3 is what 3D Studio R3 and later write.
constexpr uint32_t VERSION = 3;
constexpr size_t MAX_NAME = 63;

struct ChunkWriter {
    std::vector<uint8_t> bytes;
    std::vector<size_t> open;  // start offsets of the chunks not yet closed
};

void put16(ChunkWriter& w, uint32_t v) {
    w.bytes.push_back(uint8_t(v));
    w.bytes.push_back(uint8_t(v >> 8));
}

void put32(ChunkWriter& w, uint32_t v) {
    put16(w, v & 0xFFFF);
    put16(w, v >> 16);
}

void putFloat(ChunkWriter& w, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put32(w, bits);
}

void putPoint(ChunkWriter& w, Point3f p) {
    putFloat(w, p.x);
    putFloat(w, p.y);
    putFloat(w, p.z);
}

void putName(ChunkWriter& w, const std::string& name) {
    w.bytes.insert(w.bytes.end(), name.begin(), name.end());
    w.bytes.push_back(0);
}

// A chunk's length counts its 6-byte header and everything nested in it, so it is patched in
// when the chunk is closed.
void beginChunk(ChunkWriter& w, uint16_t id) {
    w.open.push_back(w.bytes.size());
    put16(w, id);
    put32(w, 0);
}

void endChunk(ChunkWriter& w) {
    size_t start = w.open.back();
    w.open.pop_back();
    uint32_t length = uint32_t(w.bytes.size() - start);
    for (int i = 0; i < 4; ++i) w.bytes[start + 2 + i] = uint8_t(length >> (8 * i));
}

void putColourChunk(ChunkWriter& w, uint16_t id, const std::array<float, 3>& c) {
    beginChunk(w, id);
    beginChunk(w, COLOUR_BYTES);
    for (float v : c) w.bytes.push_back(uint8_t(v <= 0 ? 0 : v >= 1 ? 255 : int(v * 255 + 0.5f)));
    endChunk(w);
    endChunk(w);
}

void putPercentChunk(ChunkWriter& w, uint16_t id, uint16_t percent) {
    beginChunk(w, id);
    beginChunk(w, PERCENT);
    put16(w, percent);
    endChunk(w);
    endChunk(w);
}

void putMaterial(ChunkWriter& w, const Material3ds& m) {
    beginChunk(w, MATERIAL);
    beginChunk(w, MATERIAL_NAME);
    putName(w, m.name);
    endChunk(w);
    putColourChunk(w, MATERIAL_AMBIENT, m.ambient);
    putColourChunk(w, MATERIAL_DIFFUSE, m.diffuse);
    putColourChunk(w, MATERIAL_SPECULAR, m.specular);
    putPercentChunk(w, MATERIAL_SHININESS, m.shininess);
    beginChunk(w, MATERIAL_SHADING);
    put16(w, 3);  // Phong
    endChunk(w);
    if (!m.textureFile.empty()) {
        beginChunk(w, TEXTURE_MAP);
        beginChunk(w, PERCENT);
        put16(w, 100);
        endChunk(w);
        beginChunk(w, MAP_FILE);
        putName(w, m.textureFile);
        endChunk(w);
        beginChunk(w, MAP_TILING);
        put16(w, 0);
        endChunk(w);
        beginChunk(w, MAP_U_SCALE);
        putFloat(w, 1);
        endChunk(w);
        beginChunk(w, MAP_V_SCALE);
        putFloat(w, 1);
        endChunk(w);
        endChunk(w);
    }
    endChunk(w);
}

void putMesh(ChunkWriter& w, const Mesh3ds& m) {
    beginChunk(w, NAMED_OBJECT);
    putName(w, m.name);
    beginChunk(w, TRIANGLES);

    beginChunk(w, POINTS);
    put16(w, uint32_t(m.points.size()));
    for (Point3f p : m.points) putPoint(w, p);
    endChunk(w);

    if (!m.texCoords.empty()) {
        beginChunk(w, TEX_COORDS);
        put16(w, uint32_t(m.texCoords.size()));
        for (const auto& t : m.texCoords) {
            putFloat(w, t[0]);
            putFloat(w, t[1]);
        }
        endChunk(w);
    }

    beginChunk(w, LOCAL_AXES);  // identity axes at the origin: the points are in world space
    const float axes[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (float f : axes) putFloat(w, f);
    endChunk(w);

    beginChunk(w, FACES);
    put16(w, uint32_t(m.faces.size()));
    for (const auto& f : m.faces) {
        put16(w, f[0]);
        put16(w, f[1]);
        put16(w, f[2]);
        put16(w, 7);  // all three edges visible
    }
    if (!m.material.empty()) {
        beginChunk(w, FACE_MATERIAL);
        putName(w, m.material);
        put16(w, uint32_t(m.faces.size()));
        for (size_t i = 0; i < m.faces.size(); ++i) put16(w, uint32_t(i));
        endChunk(w);
    }
    beginChunk(w, SMOOTHING);  // one smoothing group: the surfaces are smooth
    for (size_t i = 0; i < m.faces.size(); ++i) put32(w, 1);
    endChunk(w);
    endChunk(w);  // FACES

    endChunk(w);  // TRIANGLES
    endChunk(w);  // NAMED_OBJECT
}

void putCamera(ChunkWriter& w, const Camera3ds& c) {
    beginChunk(w, NAMED_OBJECT);
    putName(w, c.name);
    beginChunk(w, CAMERA);
    putPoint(w, c.position);
    putPoint(w, c.target);
    putFloat(w, c.roll);
    putFloat(w, c.lens);
    endChunk(w);
    endChunk(w);
}

// Keyframer tracks here hold one key at frame 0 without spline parameters.
void beginTrack(ChunkWriter& w, uint16_t id) {
    beginChunk(w, id);
    put16(w, 0);  // flags: no loop, no repeat
    put32(w, 0);
    put32(w, 0);
    put32(w, 1);  // key count
    put32(w, 0);  // key frame
    put16(w, 0);  // spline flags: no tension, continuity, bias or ease values follow
}

void putPointTrack(ChunkWriter& w, uint16_t id, Point3f p) {
    beginTrack(w, id);
    putPoint(w, p);
    endChunk(w);
}

void putFloatTrack(ChunkWriter& w, uint16_t id, float value) {
    beginTrack(w, id);
    putFloat(w, value);
    endChunk(w);
}

void putNodeStart(ChunkWriter& w, uint16_t tag, uint16_t nodeId, const std::string& name) {
    beginChunk(w, tag);
    beginChunk(w, NODE_ID);
    put16(w, nodeId);
    endChunk(w);
    beginChunk(w, NODE_HEADER);
    putName(w, name);
    put16(w, 0);       // flags 1
    put16(w, 0);       // flags 2
    put16(w, 0xFFFF);  // parent node: none
    endChunk(w);
}

void putKeyframer(ChunkWriter& w, const Scene3ds& scene) {
    beginChunk(w, KEYFRAMER);
    beginChunk(w, KF_HEADER);
    put16(w, 5);  // revision
    putName(w, "");
    put32(w, uint32_t(scene.frameCount));
    endChunk(w);
    beginChunk(w, KF_FRAMES);
    put32(w, 0);
    put32(w, uint32_t(scene.frameCount));
    endChunk(w);

    uint16_t nodeId = 0;
    for (const Mesh3ds& m : scene.meshes) {
        putNodeStart(w, OBJECT_NODE, nodeId++, m.name);
        beginChunk(w, PIVOT);
        putPoint(w, {0, 0, 0});
        endChunk(w);
        putPointTrack(w, POSITION_TRACK, {0, 0, 0});
        beginTrack(w, ROTATION_TRACK);  // angle 0 about z: no rotation
        putFloat(w, 0);
        putPoint(w, {0, 0, 1});
        endChunk(w);
        putPointTrack(w, SCALE_TRACK, {1, 1, 1});
        endChunk(w);
    }
    for (const Camera3ds& c : scene.cameras) {
        putNodeStart(w, CAMERA_NODE, nodeId++, c.name);
        putPointTrack(w, POSITION_TRACK, c.position);
        putFloatTrack(w, FOV_TRACK, 2400.0f / c.lens);
        putFloatTrack(w, ROLL_TRACK, c.roll);
        endChunk(w);
        putNodeStart(w, TARGET_NODE, nodeId++, c.name);
        putPointTrack(w, POSITION_TRACK, c.target);
        endChunk(w);
    }
    endChunk(w);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

// Objects are looked up by name without regard to case, so names must differ in more than case.
Write3dsStatus check(const Scene3ds& scene) {
    std::set<std::string> names;
    auto claim = [&](const std::string& name) {
        return !name.empty() && name.size() <= MAX_NAME && names.insert(upper(name)).second;
    };
    for (const Material3ds& m : scene.materials)
        if (!claim(m.name) || m.textureFile.size() > MAX_NAME) return WRITE3DS_BAD_NAME;
    for (const Mesh3ds& m : scene.meshes) {
        if (!claim(m.name)) return WRITE3DS_BAD_NAME;
        if (m.points.size() > 0xFFFF) return WRITE3DS_TOO_MANY_POINTS;
        if (m.faces.size() > 0xFFFF) return WRITE3DS_TOO_MANY_FACES;
        for (const auto& f : m.faces)
            for (uint16_t i : f)
                if (i >= m.points.size()) return WRITE3DS_BAD_FACE;
        if (!m.texCoords.empty() && m.texCoords.size() != m.points.size()) return WRITE3DS_BAD_TEXCOORDS;
        if (!m.material.empty()) {
            bool known = false;
            for (const Material3ds& mat : scene.materials) known = known || mat.name == m.material;
            if (!known) return WRITE3DS_UNKNOWN_MATERIAL;
        }
    }
    for (const Camera3ds& c : scene.cameras) {
        if (!claim(c.name)) return WRITE3DS_BAD_NAME;
        if (!(c.lens > 0)) return WRITE3DS_BAD_CAMERA;
    }
    if (scene.meshes.size() + 2 * scene.cameras.size() > 0xFFFF) return WRITE3DS_TOO_MANY_POINTS;
    return WRITE3DS_OK;
}

}  // namespace

Write3dsStatus write3ds(const Scene3ds& scene, std::vector<uint8_t>& file) {
    file.clear();
    if (Write3dsStatus s = check(scene); s != WRITE3DS_OK) return s;
    ChunkWriter w;
    beginChunk(w, MAIN);
    beginChunk(w, FILE_VERSION);
    put32(w, VERSION);
    endChunk(w);
    beginChunk(w, MESH_DATA);
    beginChunk(w, MESH_VERSION);  // its value lands on byte 28
    put32(w, VERSION);
    endChunk(w);
    beginChunk(w, MASTER_SCALE);
    putFloat(w, 1);
    endChunk(w);
    // Materials first: a mesh's face-material chunk refers to them by name.
    for (const Material3ds& m : scene.materials) putMaterial(w, m);
    for (const Mesh3ds& m : scene.meshes) putMesh(w, m);
    for (const Camera3ds& c : scene.cameras) putCamera(w, c);
    endChunk(w);  // MESH_DATA
    putKeyframer(w, scene);
    endChunk(w);  // MAIN
    file = std::move(w.bytes);
    return WRITE3DS_OK;
}

const char* write3dsStatusText(Write3dsStatus status) {
    switch (status) {
    case WRITE3DS_OK: return "ok";
    case WRITE3DS_BAD_NAME: return "object name empty, longer than 63 bytes or used twice";
    case WRITE3DS_TOO_MANY_POINTS: return "more than 65535 points or nodes";
    case WRITE3DS_TOO_MANY_FACES: return "more than 65535 faces";
    case WRITE3DS_BAD_FACE: return "face refers to a missing point";
    case WRITE3DS_BAD_TEXCOORDS: return "texture coordinates not one per point";
    case WRITE3DS_UNKNOWN_MATERIAL: return "mesh names an undefined material";
    case WRITE3DS_BAD_CAMERA: return "camera lens not above zero";
    }
    return "unknown error";
}

}  // namespace builder
