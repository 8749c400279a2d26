// A tiny .3DS writer for the engine tests and fuzz corpus: chunks as (id, own data, children),
// little-endian helpers, and a standard frame of main chunk, version, mesh data with its version
// at byte 28, and an optional keyframer section.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace test3ds {

using Bytes = std::vector<uint8_t>;

inline void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) append(out, p);
    return out;
}
inline Bytes u16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
inline Bytes u32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
inline Bytes floats(std::initializer_list<float> values) {
    Bytes out;
    for (float f : values) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        append(out, u32(bits));
    }
    return out;
}
inline Bytes cstr(const std::string& s) {
    Bytes out(s.begin(), s.end());
    out.push_back(0);
    return out;
}

struct Chunk {
    uint16_t id;
    Bytes data;
    std::vector<Chunk> children;
};

inline Bytes bytes(const Chunk& c) {
    Bytes body = c.data;
    for (const Chunk& child : c.children) append(body, bytes(child));
    return cat({u16(c.id), u32(uint32_t(body.size() + 6)), body});
}

// 4D4D { 0002 version, 3D3D { 3D3E mesh version, mesh... }, B000 { keyframer... } }.
inline Bytes sceneFile(std::vector<Chunk> mesh, std::vector<Chunk> keyframer = {}, uint32_t meshVersion = 3) {
    std::vector<Chunk> meshData{{0x3D3E, u32(meshVersion), {}}};
    meshData.insert(meshData.end(), mesh.begin(), mesh.end());
    std::vector<Chunk> main{{0x0002, u32(3), {}}, {0x3D3D, {}, meshData}};
    if (!keyframer.empty()) main.push_back({0xB000, {}, keyframer});
    return bytes({0x4D4D, {}, main});
}

struct Point {
    float x, y, z;
};
struct Face {
    uint16_t a, b, c, flags;
};

inline Chunk pointArray(const std::vector<Point>& points) {
    Bytes data = u16(uint16_t(points.size()));
    for (const Point& p : points) append(data, floats({p.x, p.y, p.z}));
    return {0x4110, data, {}};
}

inline Chunk faceArray(const std::vector<Face>& faces, std::vector<Chunk> children = {}) {
    Bytes data = u16(uint16_t(faces.size()));
    for (const Face& f : faces) append(data, cat({u16(f.a), u16(f.b), u16(f.c), u16(f.flags)}));
    return {0x4120, data, children};
}

// 4000 name { 4100 { points, faces, extra... } }
inline Chunk meshObject(const std::string& name, const std::vector<Point>& points, const std::vector<Face>& faces,
                        std::vector<Chunk> extra = {}, std::vector<Chunk> faceChildren = {}) {
    std::vector<Chunk> parts{pointArray(points), faceArray(faces, faceChildren)};
    parts.insert(parts.end(), extra.begin(), extra.end());
    return {0x4000, cstr(name), {{0x4100, {}, parts}}};
}

inline Chunk camera(const std::string& name, Point position, Point target, float roll, float lens) {
    return {0x4000, cstr(name),
            {{0x4700, floats({position.x, position.y, position.z, target.x, target.y, target.z, roll, lens}), {}}}};
}

inline Chunk material(const std::string& name, std::vector<Chunk> extra = {}) {
    std::vector<Chunk> parts{{0xA000, cstr(name), {}}};
    parts.insert(parts.end(), extra.begin(), extra.end());
    return {0xAFFF, {}, parts};
}

inline Chunk frameRange(int32_t start, int32_t end) { return {0xB008, cat({u32(uint32_t(start)), u32(uint32_t(end))}), {}}; }

inline Chunk nodeHeader(const std::string& name, int16_t parent, uint16_t flags1 = 0) {
    return {0xB010, cat({cstr(name), u16(flags1), u16(0), u16(uint16_t(parent))}), {}};
}

inline Chunk nodeId(uint16_t id) { return {0xB030, u16(id), {}}; }

struct KeyRecipe {
    uint32_t frame;
    Bytes data;                     // the key's own data after its header
    uint16_t splineFlags = 0;
    std::vector<float> splineValues = {};  // one per set flag bit, in bit order
};

inline Chunk track(uint16_t id, const std::vector<KeyRecipe>& keys, uint16_t flags = 0) {
    Bytes data = cat({u16(flags), Bytes(8, 0), u32(uint32_t(keys.size()))});
    for (const KeyRecipe& k : keys) {
        append(data, cat({u32(k.frame), u16(k.splineFlags)}));
        for (float v : k.splineValues) append(data, floats({v}));
        append(data, k.data);
    }
    return {id, data, {}};
}

inline void writeFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

} // namespace test3ds
