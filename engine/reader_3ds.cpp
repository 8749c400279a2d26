// The .3DS reader. A file is a tree of chunks (u16 id, u32 length including the 6-byte header);
// two passes walk it with one table each: the world pass reads materials, meshes, lights and
// cameras, the motion pass the keyframer's frame range, nodes and tracks. Unknown chunks are
// skipped by their length, so each pass sees only its own part of the file.
//
// Nothing in the file is trusted: every read stays inside the chunk being read, every count is
// checked against the bytes left in its chunk before anything is allocated, every index against
// the array it indexes, and every chunk that fills in a record checks that the record it would
// write to is of the right kind. A chunk length below 6 or past its parent, and nesting deeper
// than any real file uses, make the file corrupt.
//
// Loading takes time linear in the file: the lookups that a pass makes for every node, track or
// material group (objects by name, keyframer nodes by id) go through hash maps built for the pass.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "archive/archive.h"
#include "engine/scene.h"

namespace engine {

namespace {

using archive::ArchiveFile;

// Real files nest six or seven levels deep; the limit only keeps a hostile file from using up
// the stack with a tower of tiny chunks.
constexpr int MAX_CHUNK_DEPTH = 32;
constexpr size_t MAX_FILE_NAME_LENGTH = 63;
constexpr uint32_t VERSION_OFFSET = 28;
// Node ids are 16-bit in the file; real scenes have a few hundred nodes. More node headers than
// this make the file corrupt rather than let it fill the memory.
constexpr int32_t MAX_KEYFRAMER_NODES = 65536;
// A camera's field of view never leaves (0, 180] degrees, whatever its lens says.
constexpr double WIDEST_FIELD_OF_VIEW = 180.0;

// Chunk ids, for the tables below and for the readers that ask which chunk holds the one they read.
enum ChunkId : uint16_t {
    // Files and containers
    CHUNK_MAIN = 0x4D4D,
    CHUNK_PROJECT = 0xC23D,
    CHUNK_MATERIAL_LIBRARY = 0x3DAA,
    CHUNK_MESH_DATA = 0x3D3D,
    CHUNK_KEYFRAMER = 0xB000,

    // Values that go where their parent chunk says
    CHUNK_COLOUR_FLOATS = 0x0010,
    CHUNK_COLOUR_BYTES = 0x0011,
    CHUNK_PERCENTAGE = 0x0030,

    // The world
    CHUNK_BACKGROUND_COLOUR = 0x1200,
    CHUNK_AMBIENT_LIGHT = 0x2100,
    CHUNK_NAMED_OBJECT = 0x4000,
    CHUNK_TRIANGLE_OBJECT = 0x4100,
    CHUNK_POINTS = 0x4110,
    CHUNK_POINT_FLAGS = 0x4111,
    CHUNK_FACES = 0x4120,
    CHUNK_FACE_MATERIAL = 0x4130,
    CHUNK_TEXTURE_COORDINATES = 0x4140,
    CHUNK_SMOOTHING_GROUPS = 0x4150,
    CHUNK_LOCAL_AXES = 0x4160,
    CHUNK_MESH_COLOUR = 0x4165,
    CHUNK_MESH_TEXTURE_INFO = 0x4170,
    CHUNK_LIGHT = 0x4600,
    CHUNK_SPOTLIGHT = 0x4610,
    CHUNK_CAMERA = 0x4700,
    CHUNK_UNKNOWN_CONTAINER = 0x4F00,   // found under the mesh data; what it stands for is not known
    CHUNK_VIEWPORT_LAYOUT = 0x7001,

    // Materials
    CHUNK_MATERIAL = 0xAFFF,
    CHUNK_MATERIAL_NAME = 0xA000,
    CHUNK_AMBIENT_COLOUR = 0xA010,
    CHUNK_DIFFUSE_COLOUR = 0xA020,
    CHUNK_SPECULAR_COLOUR = 0xA030,
    CHUNK_SHININESS = 0xA040,
    CHUNK_SHININESS_STRENGTH = 0xA041,
    CHUNK_TRANSPARENCY = 0xA050,
    CHUNK_TRANSPARENCY_FALLOFF = 0xA052,
    CHUNK_REFLECTION_BLUR = 0xA053,
    CHUNK_TWO_SIDED = 0xA081,
    CHUNK_ADDITIVE = 0xA083,
    CHUNK_SELF_ILLUMINATION = 0xA084,
    CHUNK_WIRE = 0xA085,
    CHUNK_SOFT_PHONG = 0xA08C,
    CHUNK_SHADING = 0xA100,
    CHUNK_TEXTURE_MAP = 0xA200,
    CHUNK_REFLECTION_MAP = 0xA220,
    CHUNK_BUMP_MAP = 0xA230,
    CHUNK_MAP_FILE_NAME = 0xA300,
    CHUNK_MAP_TILING = 0xA351,
    CHUNK_MAP_U_SCALE = 0xA354,
    CHUNK_MAP_V_SCALE = 0xA356,
    CHUNK_MAP_U_OFFSET = 0xA358,
    CHUNK_MAP_V_OFFSET = 0xA35A,
    CHUNK_MAP_ROTATION = 0xA35C,

    // The keyframer
    CHUNK_AMBIENT_NODE = 0xB001,        // the node tags B001-B007 say what the node animates
    CHUNK_OBJECT_NODE = 0xB002,
    CHUNK_CAMERA_NODE = 0xB003,
    CHUNK_CAMERA_TARGET_NODE = 0xB004,
    CHUNK_OMNI_LIGHT_NODE = 0xB005,
    CHUNK_LIGHT_TARGET_NODE = 0xB006,
    CHUNK_SPOTLIGHT_NODE = 0xB007,
    CHUNK_FRAME_RANGE = 0xB008,
    CHUNK_NODE_HEADER = 0xB010,
    CHUNK_INSTANCE_NAME = 0xB011,
    CHUNK_PIVOT = 0xB013,
    CHUNK_POSITION_TRACK = 0xB020,
    CHUNK_ROTATION_TRACK = 0xB021,
    CHUNK_SCALE_TRACK = 0xB022,
    CHUNK_FOV_TRACK = 0xB023,
    CHUNK_ROLL_TRACK = 0xB024,
    CHUNK_COLOUR_TRACK = 0xB025,
    CHUNK_MORPH_TRACK = 0xB026,
    CHUNK_HIDE_TRACK = 0xB029,
    CHUNK_NODE_ID = 0xB030,
};

// A pass reads the file through a window of this size (see ReaderState::window).
constexpr uint32_t WINDOW_BYTES = 1u << 20;

struct Rename {
    TriMesh* mesh;
    std::string previous;
};
struct Pivot {
    TriMesh* mesh;
    Vec3 pivot;
};

// ---- Reader state: one load at a time, reset whole when a pass starts and when the file closes --

struct ReaderState {
    int32_t parentChunkId = 0;   // id of the chunk whose sub-chunks are being walked
    int32_t lastChunkId = 0;     // last listed chunk finished
    int32_t objectCounter = 0;   // world pass: next object id; motion pass: current node id
    std::string nameBuffer;      // last name read by readChunkName
    ObjectNode* currentNode = nullptr;  // the world node of the record that sub-chunks refer to
    uint32_t position = 0;       // read position in the file
    uint32_t chunkEnd = 0;       // reads must not pass this: the end of the chunk being read
    uint32_t fileBytes = 0;      // size of the open file

    // A pass makes many small reads. They are served from a window of the file read in one
    // piece, so that each costs neither a system call nor, in a deflated archive member, a new
    // inflate from the member's start.
    std::vector<uint8_t> window;
    uint32_t windowStart = 0, windowLength = 0;

    // Lookups of the pass, each in constant time. The world's objects by name, as
    // findObjectByName finds them: the first in list order whose current name matches (ASCII
    // letters folded), of any type or of one type. Objects join the index when they are added and
    // again when they are renamed; an entry whose object has been renamed since is dropped when a
    // lookup meets it.
    std::unordered_map<std::string, std::set<std::pair<uint64_t, ObjectNode*>>> objectsByName;
    std::unordered_map<const ObjectNode*, uint64_t> listPlace;  // order in the world list
    uint64_t nextListPlace = 0;
    // Keyframer nodes by id: the first (tracks attach to it) and the last (children hang from it).
    std::unordered_map<int32_t, TrackNode*> firstNodeWithId, lastNodeWithId;
    int32_t nodeHeadersRead = 0;

    // What a keyframer pass changes in meshes the world pass made. Renames are made at once (a
    // later node may look a mesh up by its new name) and taken back if the pass fails; pivots are
    // applied only once the pass has succeeded.
    std::vector<Rename> renames;
    std::vector<Pivot> pivots;
};
ReaderState reader;

std::string nameKey(int32_t type, std::string_view name) {
    std::string key(1, char(type));
    for (char c : name) key += c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    return key;
}

void indexName(ObjectNode* node) {
    const std::string* name = objectName(node);
    if (!name) return;
    auto [place, added] = reader.listPlace.try_emplace(node, reader.nextListPlace);
    if (added) ++reader.nextListPlace;
    for (int32_t type : {0, node->type}) reader.objectsByName[nameKey(type, *name)].emplace(place->second, node);
}

// The first object of that name, of any type (type 0) or of the given one; none when there is none.
ObjectNode* findIndexed(std::string_view name, int32_t type = 0) {
    auto bucket = reader.objectsByName.find(nameKey(type, name));
    if (bucket == reader.objectsByName.end()) return nullptr;
    std::set<std::pair<uint64_t, ObjectNode*>>& entries = bucket->second;
    while (!entries.empty()) {
        ObjectNode* node = entries.begin()->second;
        const std::string* current = objectName(node);
        if (current && namesEqual(*current, name)) return node;
        entries.erase(entries.begin());
    }
    return nullptr;
}

void setCurrent(ObjectNode* node) { reader.currentNode = node; }

template <typename Record>
Record* current(int32_t type) {
    ObjectNode* node = reader.currentNode;
    return node && node->type == type ? static_cast<Record*>(node->data) : nullptr;
}

// ---- Bounded reading ----------------------------------------------------------------------------

uint32_t bytesLeft() { return reader.chunkEnd > reader.position ? reader.chunkEnd - reader.position : 0; }

// Reads the window starting at `from`; false (and no window) when the archive cannot deliver it.
bool fillWindow(ArchiveFile& file, uint32_t from) {
    reader.windowLength = 0;
    uint32_t length = std::min(WINDOW_BYTES, reader.fileBytes - from);
    if (reader.window.size() < length) reader.window.resize(length);
    archive::seekFile(file, from);
    uint32_t got = 0;
    if (archive::takeFileError() == 0) archive::readBlock(file, reader.window.data(), length, &got);
    if (archive::takeFileError() != 0 || got != length) return false;
    reader.windowStart = from;
    reader.windowLength = length;
    return true;
}

// Exactly `count` bytes at the read position, within the current chunk.
bool readExact(ArchiveFile& file, void* dest, uint32_t count) {
    if (count > bytesLeft()) return false;
    if (count == 0) return true;
    const uint32_t at = reader.position;
    const uint64_t windowEnd = uint64_t(reader.windowStart) + reader.windowLength;
    bool inWindow = at >= reader.windowStart && uint64_t(at) + count <= windowEnd;
    // A window that cannot be read whole (damaged data somewhere in it) leaves the plain read,
    // which gets as far as the data allows. The first read of a pass, the version byte just past
    // the start, gets the window from byte 0.
    if (!inWindow && (at >= reader.fileBytes || !fillWindow(file, at < 64 ? 0 : at))) {
        uint32_t got = 0;
        archive::seekFile(file, at);
        if (archive::takeFileError() == 0) archive::readBlock(file, dest, count, &got);
        int error = archive::takeFileError();
        reader.position += got;
        return error == 0 && got == count;
    }
    uint32_t available = std::min(count, reader.windowStart + reader.windowLength - at);  // less at the end
    std::memcpy(dest, reader.window.data() + (at - reader.windowStart), available);
    reader.position += available;
    return available == count;
}

bool seekTo(ArchiveFile&, uint32_t target) {
    if (target > reader.fileBytes) return false;
    reader.position = target;
    return true;
}

uint16_t u16At(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32At(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
float f32At(const uint8_t* p) {
    uint32_t bits = u32At(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool readU16(ArchiveFile& file, uint16_t& value) {
    uint8_t b[2];
    if (!readExact(file, b, 2)) return false;
    value = u16At(b);
    return true;
}

bool readFloats(ArchiveFile& file, float* values, uint32_t count) {
    uint8_t b[64];
    if (count > 16 || !readExact(file, b, count * 4)) return false;
    for (uint32_t i = 0; i < count; ++i) values[i] = f32At(b + 4 * i);
    return true;
}

// A point from the file, z-up, stored with y and z exchanged.
Vec3 exchanged(const float* p) { return {p[0], p[2], p[1]}; }

ResultCode readChunkHeader(ArchiveFile& file, uint16_t& id, uint32_t& length) {
    uint8_t b[6];
    if (!readExact(file, b, 6)) return ERR_CORRUPT_FILE;
    id = u16At(b);
    length = u32At(b + 2);
    return ERR_OK;
}

// A zero-terminated name; the first 63 bytes are kept. The chunk ending inside it is corrupt.
// Read in small blocks rather than byte by byte, then the position is set just past the zero.
ResultCode readChunkName(ArchiveFile& file) {
    reader.nameBuffer.clear();
    for (;;) {
        uint32_t count = std::min<uint32_t>(bytesLeft(), 64);
        if (count == 0) return ERR_CORRUPT_FILE;
        uint8_t b[64];
        uint32_t start = reader.position;
        if (!readExact(file, b, count)) return ERR_CORRUPT_FILE;
        const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(b, 0, count));
        uint32_t used = zero ? uint32_t(zero - b) : count;
        size_t room = MAX_FILE_NAME_LENGTH - reader.nameBuffer.size();
        reader.nameBuffer.append(reinterpret_cast<const char*>(b), std::min<size_t>(used, room));
        if (zero) return seekTo(file, start + used + 1) ? ERR_OK : ERR_CORRUPT_FILE;
    }
}

// ---- Chunk tables and the walk ------------------------------------------------------------------

using ChunkReader = ResultCode (*)(ArchiveFile&);

struct ChunkEntry {
    uint16_t id;
    int32_t hasChildren;
    ChunkReader reader;
};

ResultCode noOp(ArchiveFile&) { return ERR_OK; }

const ChunkEntry* findEntry(const ChunkEntry* table, size_t size, uint16_t id) {
    const ChunkEntry* found = nullptr;
    for (size_t i = 0; i < size; ++i)
        if (table[i].id == id) found = &table[i];
    return found;
}

ResultCode walkChunks(ArchiveFile& file, const ChunkEntry* table, size_t tableSize, uint32_t endPosition,
                      int32_t parentId, int depth) {
    if (depth > MAX_CHUNK_DEPTH) return ERR_CORRUPT_FILE;
    reader.parentChunkId = parentId;
    uint32_t pos = reader.position;
    while (pos < endPosition) {
        reader.chunkEnd = endPosition;
        uint16_t id;
        uint32_t length;
        if (readChunkHeader(file, id, length) != ERR_OK) return ERR_CORRUPT_FILE;
        // Below 6 the walk would not advance; past the parent the chunk claims bytes that belong
        // to someone else (or do not exist).
        if (length < 6 || length > endPosition - pos) return ERR_CORRUPT_FILE;
        pos += length;
        const ChunkEntry* entry = findEntry(table, tableSize, id);
        if (entry) {
            reader.chunkEnd = pos;
            ResultCode result = entry->reader(file);
            if (result != ERR_OK) return result;
            if (entry->hasChildren) {
                result = walkChunks(file, table, tableSize, pos, id, depth + 1);
                // Restored so that a later sibling is not taken for a child of the nested chunk.
                reader.parentChunkId = parentId;
                if (result != ERR_OK) return result;
            }
        }
        if (!seekTo(file, pos)) return ERR_CORRUPT_FILE;
        if (entry) reader.lastChunkId = id;
    }
    return ERR_OK;
}

ResultCode startPass(ArchiveFile& file, const ChunkEntry* table, size_t tableSize, int32_t firstCounter) {
    reader = ReaderState{};
    reader.objectCounter = firstCounter;
    for (ObjectNode* node = activeScene->firstObject; node; node = node->next) indexName(node);
    uint32_t size = archive::fileSize(file);
    reader.fileBytes = size;
    reader.chunkEnd = size;
    // The low byte of the mesh-data version sits here when the file starts with the main chunk,
    // a version chunk, the mesh-data chunk and its version chunk.
    uint8_t version;
    if (!seekTo(file, VERSION_OFFSET) || !readExact(file, &version, 1)) return ERR_CORRUPT_FILE;
    if (version < 2) return ERR_UNSUPPORTED_VERSION;
    if (!seekTo(file, 0)) return ERR_CORRUPT_FILE;
    return walkChunks(file, table, tableSize, size, 0, 0);
}

// ---- World pass readers -------------------------------------------------------------------------

// Adds a record to the world list and to the pass's name index.
ResultCode addIndexed(void* record, int32_t type) {
    ResultCode result = addObject(type, record);
    if (result == ERR_OK) indexName(activeScene->lastObject);
    return result;
}

ResultCode addCurrent(void* record, int32_t type) {
    ResultCode result = addIndexed(record, type);
    if (result == ERR_OK) setCurrent(activeScene->lastObject);
    return result;
}

// Colour and percentage values go where their parent chunk says, into the record being read.
// A value too short for its form is dropped, like one under a parent that takes none.
ResultCode storeColour(Vec3 colour) {
    switch (reader.parentChunkId) {
    case CHUNK_LIGHT: {
        SceneLight* light = current<SceneLight>(OBJ_LIGHT);
        if (!light) return ERR_CORRUPT_FILE;
        light->colour = colour;
        return ERR_OK;
    }
    case CHUNK_AMBIENT_COLOUR:
    case CHUNK_DIFFUSE_COLOUR:
    case CHUNK_SPECULAR_COLOUR: {
        SceneMaterial* material = current<SceneMaterial>(OBJ_MATERIAL);
        if (!material) return ERR_CORRUPT_FILE;
        Vec3& slot = reader.parentChunkId == CHUNK_AMBIENT_COLOUR ? material->ambient
                     : reader.parentChunkId == CHUNK_DIFFUSE_COLOUR ? material->diffuse : material->specular;
        slot = colour;
        return ERR_OK;
    }
    default:
        return ERR_OK;  // background, ambient light, maps: read and dropped
    }
}

ResultCode readColourFloat(ArchiveFile& file) {
    float c[3];
    if (!readFloats(file, c, 3)) return ERR_OK;
    return storeColour({c[0], c[1], c[2]});
}

ResultCode readColourByte(ArchiveFile& file) {
    uint8_t c[3];
    if (!readExact(file, c, 3)) return ERR_OK;
    return storeColour({float(c[0] / 255.0), float(c[1] / 255.0), float(c[2] / 255.0)});
}

ResultCode readPercentage(ArchiveFile& file) {
    uint16_t raw;
    if (!readU16(file, raw)) return ERR_OK;
    float value = float(raw / 100.0);
    float SceneMaterial::*field = nullptr;
    switch (reader.parentChunkId) {
    case CHUNK_SHININESS: field = &SceneMaterial::shininess; break;
    case CHUNK_SHININESS_STRENGTH: field = &SceneMaterial::shininessStrength; break;
    case CHUNK_TRANSPARENCY: field = &SceneMaterial::transparency; break;
    case CHUNK_TRANSPARENCY_FALLOFF: field = &SceneMaterial::transparencyFalloff; break;
    case CHUNK_REFLECTION_BLUR: field = &SceneMaterial::reflectionBlur; break;
    case CHUNK_SELF_ILLUMINATION: field = &SceneMaterial::selfIllumination; break;
    default: return ERR_OK;
    }
    SceneMaterial* material = current<SceneMaterial>(OBJ_MATERIAL);
    if (!material) return ERR_CORRUPT_FILE;
    material->*field = value;
    return ERR_OK;
}

ResultCode readObjectName(ArchiveFile& file) { return readChunkName(file); }

ResultCode readTriangleObject(ArchiveFile&) {
    TriMesh* mesh = new (std::nothrow) TriMesh{};
    if (!mesh) return ERR_OUT_OF_MEMORY;
    mesh->name = reader.nameBuffer;
    mesh->id = reader.objectCounter++;
    ResultCode result = addCurrent(mesh, OBJ_TRIMESH);
    if (result != ERR_OK) delete mesh;
    return result;
}

ResultCode readPoints(ArchiveFile& file) {
    TriMesh* mesh = current<TriMesh>(OBJ_TRIMESH);
    // A second point array would leave the faces pointing into the first one.
    if (!mesh || mesh->vertices) return ERR_CORRUPT_FILE;
    uint16_t count;
    if (!readU16(file, count) || uint32_t(count) * 12 > bytesLeft()) return ERR_CORRUPT_FILE;
    std::string raw(size_t(count) * 12, '\0');
    if (!readExact(file, raw.data(), uint32_t(raw.size()))) return ERR_CORRUPT_FILE;
    mesh->vertices = new (std::nothrow) TriVertex[count ? count : 1];
    if (!mesh->vertices) return ERR_OUT_OF_MEMORY;
    mesh->vertexCount = count;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(raw.data());
    for (uint32_t i = 0; i < count; ++i) {
        float xyz[3] = {f32At(p + 12 * i), f32At(p + 12 * i + 4), f32At(p + 12 * i + 8)};
        mesh->vertices[i].position = exchanged(xyz);
    }
    return ERR_OK;
}

ResultCode readFaces(ArchiveFile& file) {
    TriMesh* mesh = current<TriMesh>(OBJ_TRIMESH);
    if (!mesh || mesh->faces) return ERR_CORRUPT_FILE;
    uint16_t count;
    if (!readU16(file, count) || uint32_t(count) * 8 > bytesLeft()) return ERR_CORRUPT_FILE;
    std::string raw(size_t(count) * 8, '\0');
    if (!readExact(file, raw.data(), uint32_t(raw.size()))) return ERR_CORRUPT_FILE;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(raw.data());
    for (uint32_t i = 0; i < count; ++i)
        for (int k = 0; k < 3; ++k)
            if (u16At(p + 8 * i + 2 * k) >= mesh->vertexCount) return ERR_CORRUPT_FILE;
    mesh->faces = new (std::nothrow) TriFace[count ? count : 1];
    if (!mesh->faces) return ERR_OUT_OF_MEMORY;
    mesh->faceCount = count;
    for (uint32_t i = 0; i < count; ++i) {
        TriFace& face = mesh->faces[i];
        face.a = u16At(p + 8 * i);
        face.b = u16At(p + 8 * i + 2);
        face.c = u16At(p + 8 * i + 4);
        face.flags = u16At(p + 8 * i + 6) & 0x18;
        face.va = &mesh->vertices[face.a];
        face.vb = &mesh->vertices[face.b];
        face.vc = &mesh->vertices[face.c];
    }
    return ERR_OK;
}

ResultCode readMaterialGroup(ArchiveFile& file) {
    TriMesh* mesh = current<TriMesh>(OBJ_TRIMESH);
    if (!mesh) return ERR_CORRUPT_FILE;
    if (readChunkName(file) != ERR_OK) return ERR_CORRUPT_FILE;
    uint16_t count;
    if (!readU16(file, count) || uint32_t(count) * 2 > bytesLeft()) return ERR_CORRUPT_FILE;
    ObjectNode* found = findIndexed(reader.nameBuffer);
    if (!found) return ERR_INVALID_OBJECT_ID;
    std::string raw(size_t(count) * 2, '\0');
    if (!readExact(file, raw.data(), uint32_t(raw.size()))) return ERR_CORRUPT_FILE;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(raw.data());
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t index = u16At(p + 2 * i);
        if (index >= mesh->faceCount) return ERR_CORRUPT_FILE;
        // The name may find a non-material of the same name first: its id is taken as the file
        // says, but only a material is ever referenced as one.
        mesh->faces[index].materialId = objectId(found);
        mesh->faces[index].material = asMaterial(found);
    }
    return ERR_OK;
}

ResultCode readTextureCoordinates(ArchiveFile& file) {
    TriMesh* mesh = current<TriMesh>(OBJ_TRIMESH);
    if (!mesh) return ERR_CORRUPT_FILE;
    uint16_t count;
    if (!readU16(file, count) || count > mesh->vertexCount || uint32_t(count) * 8 > bytesLeft())
        return ERR_CORRUPT_FILE;
    std::string raw(size_t(count) * 8, '\0');
    if (!readExact(file, raw.data(), uint32_t(raw.size()))) return ERR_CORRUPT_FILE;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(raw.data());
    for (uint32_t i = 0; i < count; ++i) {
        mesh->vertices[i].u = f32At(p + 8 * i);
        mesh->vertices[i].v = f32At(p + 8 * i + 4);
    }
    return ERR_OK;
}

ResultCode readLocalAxes(ArchiveFile& file) {
    float axes[12];
    return readFloats(file, axes, 12) ? ERR_OK : ERR_CORRUPT_FILE;
}

ResultCode readLight(ArchiveFile& file) {
    float p[3];
    if (!readFloats(file, p, 3)) return ERR_CORRUPT_FILE;
    SceneLight* light = new (std::nothrow) SceneLight{};
    if (!light) return ERR_OUT_OF_MEMORY;
    light->name = reader.nameBuffer;
    light->id = reader.objectCounter++;
    light->kind = 1;
    light->position = exchanged(p);
    ResultCode result = addCurrent(light, OBJ_LIGHT);
    if (result != ERR_OK) delete light;
    return result;
}

ResultCode readSpotlight(ArchiveFile& file) {
    SceneLight* light = current<SceneLight>(OBJ_LIGHT);
    if (!light) return ERR_CORRUPT_FILE;
    float v[5];
    if (!readFloats(file, v, 5)) return ERR_CORRUPT_FILE;
    light->target = exchanged(v);
    light->hotspot = v[3];
    light->falloff = v[4];
    light->kind = 2;
    light->roll = 0;
    return ERR_OK;
}

ResultCode readCamera(ArchiveFile& file) {
    float v[8];
    if (!readFloats(file, v, 8)) return ERR_CORRUPT_FILE;
    SceneCamera* camera = new (std::nothrow) SceneCamera{};
    if (!camera) return ERR_OUT_OF_MEMORY;
    camera->name = reader.nameBuffer;
    camera->id = reader.objectCounter++;
    camera->position = exchanged(v);
    camera->target = exchanged(v + 3);
    camera->roll = v[6];
    // A lens of 0 (or below, or not a number) would make the field of view infinite or meaningless.
    double fov = 15.0 / v[7] * 160.0;
    camera->fov = float(fov > 0 && fov <= WIDEST_FIELD_OF_VIEW ? fov : WIDEST_FIELD_OF_VIEW);
    ResultCode result = addCurrent(camera, OBJ_CAMERA);
    if (result != ERR_OK) delete camera;
    return result;
}

ResultCode readMaterialEntry(ArchiveFile&) {
    SceneMaterial* material = new (std::nothrow) SceneMaterial{};
    if (!material) return ERR_OUT_OF_MEMORY;
    material->id = reader.objectCounter++;
    ResultCode result = addCurrent(material, OBJ_MATERIAL);
    if (result != ERR_OK) delete material;
    return result;
}

ResultCode readMaterialName(ArchiveFile& file) {
    SceneMaterial* material = current<SceneMaterial>(OBJ_MATERIAL);
    if (!material) return ERR_CORRUPT_FILE;
    ResultCode result = readChunkName(file);
    if (result == ERR_OK) {
        material->name = reader.nameBuffer;
        indexName(reader.currentNode);
    }
    return result;
}

ResultCode setMaterialFlag(int32_t flag) {
    SceneMaterial* material = current<SceneMaterial>(OBJ_MATERIAL);
    if (!material) return ERR_CORRUPT_FILE;
    material->flags |= flag;
    return ERR_OK;
}

ResultCode readTwoSided(ArchiveFile&) { return setMaterialFlag(MATERIAL_TWO_SIDED); }
ResultCode readAdditive(ArchiveFile&) { return setMaterialFlag(MATERIAL_ADDITIVE); }
ResultCode readWire(ArchiveFile&) { return setMaterialFlag(MATERIAL_WIRE); }
ResultCode readSoftPhong(ArchiveFile&) { return setMaterialFlag(MATERIAL_SOFT_PHONG); }

ResultCode readShading(ArchiveFile& file) {
    SceneMaterial* material = current<SceneMaterial>(OBJ_MATERIAL);
    if (!material) return ERR_CORRUPT_FILE;
    uint16_t shading;
    if (!readU16(file, shading)) return ERR_CORRUPT_FILE;
    material->shading = shading;
    return ERR_OK;
}

// The map that the enclosing map chunk names; none for any other parent (the value is then read
// and dropped). *corrupt is set when a map chunk has no material to belong to.
TextureMap* currentMap(bool* corrupt) {
    *corrupt = false;
    const int32_t parent = reader.parentChunkId;
    if (parent != CHUNK_TEXTURE_MAP && parent != CHUNK_BUMP_MAP && parent != CHUNK_REFLECTION_MAP) return nullptr;
    SceneMaterial* material = current<SceneMaterial>(OBJ_MATERIAL);
    if (!material) {
        *corrupt = true;
        return nullptr;
    }
    return parent == CHUNK_TEXTURE_MAP ? &material->textureMap
           : parent == CHUNK_BUMP_MAP  ? &material->bumpMap
                                       : &material->reflectionMap;
}

ResultCode readMapName(ArchiveFile& file) {
    bool corrupt;
    TextureMap* map = currentMap(&corrupt);
    if (corrupt) return ERR_CORRUPT_FILE;
    ResultCode result = readChunkName(file);
    if (result == ERR_OK && map) map->name = reader.nameBuffer;
    return result;
}

ResultCode readMapTiling(ArchiveFile& file) {
    bool corrupt;
    TextureMap* map = currentMap(&corrupt);
    uint16_t tiling;
    if (corrupt || !readU16(file, tiling)) return ERR_CORRUPT_FILE;
    if (map) map->tiling = tiling;
    return ERR_OK;
}

ResultCode readMapFloat(ArchiveFile& file, float TextureMap::*field) {
    bool corrupt;
    TextureMap* map = currentMap(&corrupt);
    float value;
    if (corrupt || !readFloats(file, &value, 1)) return ERR_CORRUPT_FILE;
    if (map) map->*field = value;
    return ERR_OK;
}

ResultCode readMapUScale(ArchiveFile& file) { return readMapFloat(file, &TextureMap::uScale); }
ResultCode readMapVScale(ArchiveFile& file) { return readMapFloat(file, &TextureMap::vScale); }
ResultCode readMapUOffset(ArchiveFile& file) { return readMapFloat(file, &TextureMap::uOffset); }
ResultCode readMapVOffset(ArchiveFile& file) { return readMapFloat(file, &TextureMap::vOffset); }
ResultCode readMapRotation(ArchiveFile& file) { return readMapFloat(file, &TextureMap::rotation); }

const ChunkEntry WORLD_CHUNKS[] = {
    {CHUNK_COLOUR_FLOATS, 0, readColourFloat},
    {CHUNK_COLOUR_BYTES, 0, readColourByte},
    {CHUNK_PERCENTAGE, 0, readPercentage},
    {CHUNK_PROJECT, 1, noOp},  // accepted at the top level like the main chunk
    {CHUNK_MATERIAL_LIBRARY, 1, noOp},  // the same
    {CHUNK_MAIN, 1, noOp},
    {CHUNK_MESH_DATA, 1, noOp},
    {CHUNK_BACKGROUND_COLOUR, 1, noOp},  // its colour is read and dropped
    {CHUNK_AMBIENT_LIGHT, 1, noOp},  // the same
    {CHUNK_NAMED_OBJECT, 1, readObjectName},
    {CHUNK_TRIANGLE_OBJECT, 1, readTriangleObject},
    {CHUNK_POINTS, 0, readPoints},
    {CHUNK_POINT_FLAGS, 0, noOp},
    {CHUNK_FACES, 1, readFaces},
    {CHUNK_MESH_COLOUR, 0, noOp},
    {CHUNK_FACE_MATERIAL, 0, readMaterialGroup},
    {CHUNK_TEXTURE_COORDINATES, 0, readTextureCoordinates},
    {CHUNK_MESH_TEXTURE_INFO, 0, noOp},
    {CHUNK_SMOOTHING_GROUPS, 0, noOp},
    {CHUNK_LOCAL_AXES, 0, readLocalAxes},
    {CHUNK_LIGHT, 1, readLight},
    {CHUNK_SPOTLIGHT, 0, readSpotlight},
    {CHUNK_CAMERA, 0, readCamera},
    {CHUNK_UNKNOWN_CONTAINER, 1, noOp},  // walked: what it holds is read as if it stood here
    {CHUNK_VIEWPORT_LAYOUT, 0, noOp},
    {CHUNK_MATERIAL, 1, readMaterialEntry},
    {CHUNK_MATERIAL_NAME, 0, readMaterialName},
    {CHUNK_AMBIENT_COLOUR, 1, noOp},  // each holds a colour chunk
    {CHUNK_DIFFUSE_COLOUR, 1, noOp},
    {CHUNK_SPECULAR_COLOUR, 1, noOp},
    {CHUNK_TEXTURE_MAP, 1, noOp},  // each holds a file name and the map chunks below
    {CHUNK_BUMP_MAP, 1, noOp},
    {CHUNK_REFLECTION_MAP, 1, noOp},
    {CHUNK_MAP_FILE_NAME, 0, readMapName},
    {CHUNK_MAP_TILING, 0, readMapTiling},
    {CHUNK_MAP_U_SCALE, 0, readMapUScale},
    {CHUNK_MAP_V_SCALE, 0, readMapVScale},
    {CHUNK_MAP_U_OFFSET, 0, readMapUOffset},
    {CHUNK_MAP_V_OFFSET, 0, readMapVOffset},
    {CHUNK_MAP_ROTATION, 0, readMapRotation},
    {CHUNK_SHININESS, 1, noOp},  // each holds a percentage chunk
    {CHUNK_SHININESS_STRENGTH, 1, noOp},
    {CHUNK_TRANSPARENCY, 1, noOp},
    {CHUNK_TRANSPARENCY_FALLOFF, 1, noOp},
    {CHUNK_REFLECTION_BLUR, 1, noOp},
    {CHUNK_SELF_ILLUMINATION, 1, noOp},
    {CHUNK_TWO_SIDED, 0, readTwoSided},
    {CHUNK_ADDITIVE, 0, readAdditive},
    {CHUNK_WIRE, 0, readWire},
    {CHUNK_SOFT_PHONG, 0, readSoftPhong},
    {CHUNK_SHADING, 0, readShading},
};

// ---- Motion pass readers ------------------------------------------------------------------------

ResultCode readFrameRange(ArchiveFile& file) {
    uint8_t b[8];
    if (!readExact(file, b, 8)) return ERR_CORRUPT_FILE;
    activeScene->startFrame = float(int32_t(u32At(b)));
    activeScene->endFrame = float(int32_t(u32At(b + 4)));
    return ERR_OK;
}

ResultCode readNodeId(ArchiveFile& file) {
    uint16_t id;
    if (!readU16(file, id)) return ERR_CORRUPT_FILE;
    reader.objectCounter = id;
    return ERR_OK;
}

struct NodeTag {
    int32_t tag;
    int32_t nodeType;
    int32_t objectType;
};

const NodeTag NODE_TAGS[] = {
    {CHUNK_AMBIENT_NODE, NODE_AMBIENT, OBJ_AMBIENT},
    {CHUNK_OBJECT_NODE, NODE_OBJECT, OBJ_TRIMESH},
    {CHUNK_CAMERA_NODE, NODE_CAMERA, OBJ_CAMERA},
    {CHUNK_CAMERA_TARGET_NODE, NODE_CAMERA_TARGET, OBJ_CAMERA},
    {CHUNK_OMNI_LIGHT_NODE, NODE_OMNI_LIGHT, OBJ_LIGHT},
    {CHUNK_LIGHT_TARGET_NODE, NODE_LIGHT_TARGET, OBJ_LIGHT},
    {CHUNK_SPOTLIGHT_NODE, NODE_SPOT_LIGHT, OBJ_LIGHT},
};

const NodeTag* tagOf(int32_t chunkId) {
    for (const NodeTag& t : NODE_TAGS)
        if (t.tag == chunkId) return &t;
    return nullptr;
}

int32_t objectTypeOfNode(int32_t nodeType) {
    for (const NodeTag& t : NODE_TAGS)
        if (t.nodeType == nodeType) return t.objectType;
    return 0;
}

// The object a node header names. Reserved names make the ambient light and dummies; they only
// belong under their own tags. Any other name must find an object the tag can animate: the first
// of that name in file order, passing over others of the same name (a material named like a mesh).
ResultCode nodeObject(const NodeTag* tag, int32_t nodeId, ObjectNode*& object) {
    object = nullptr;
    if (reader.nameBuffer == "$AMBIENT$") {
        if (!tag || tag->tag != CHUNK_AMBIENT_NODE) return ERR_CORRUPT_FILE;
        AmbientLight* ambient = new (std::nothrow) AmbientLight{};
        if (!ambient) return ERR_OUT_OF_MEMORY;
        ambient->name = reader.nameBuffer;
        ambient->id = nodeId + 1024;
        if (addIndexed(ambient, OBJ_AMBIENT) != ERR_OK) {
            delete ambient;
            return ERR_OUT_OF_MEMORY;
        }
        object = activeScene->lastObject;
        return ERR_OK;
    }
    if (reader.nameBuffer == "$$$DUMMY") {
        if (!tag || tag->tag != CHUNK_OBJECT_NODE) return ERR_CORRUPT_FILE;
        TriMesh* dummy = new (std::nothrow) TriMesh{};
        if (!dummy) return ERR_OUT_OF_MEMORY;
        dummy->id = nodeId + 1024;
        dummy->flags = MESH_DUMMY;
        if (addIndexed(dummy, OBJ_TRIMESH) != ERR_OK) {
            delete dummy;
            return ERR_OUT_OF_MEMORY;
        }
        object = activeScene->lastObject;
        return ERR_OK;
    }
    ObjectNode* found = findIndexed(reader.nameBuffer);
    if (!found) return ERR_INVALID_OBJECT_ID;
    object = tag ? findIndexed(reader.nameBuffer, tag->objectType) : found;
    return object ? ERR_OK : ERR_CORRUPT_FILE;
}

int32_t nodeObjectId(const TrackNode& node) {
    ObjectNode view{objectTypeOfNode(node.type), node.object, nullptr, nullptr};
    return objectId(&view);
}

ResultCode readNodeHeader(ArchiveFile& file) {
    if (++reader.nodeHeadersRead > MAX_KEYFRAMER_NODES) return ERR_CORRUPT_FILE;
    if (reader.lastChunkId != CHUNK_NODE_ID) ++reader.objectCounter;
    int32_t nodeId = reader.objectCounter;
    if (readChunkName(file) != ERR_OK) return ERR_CORRUPT_FILE;
    const NodeTag* tag = tagOf(reader.parentChunkId);
    ObjectNode* object;
    ResultCode result = nodeObject(tag, nodeId, object);
    if (result != ERR_OK) return result;
    uint8_t b[6];
    if (!readExact(file, b, 6)) return ERR_CORRUPT_FILE;
    uint16_t flags1 = u16At(b);
    int32_t parentNode = int16_t(u16At(b + 4));
    // The parent is the last node of its id so far (never this one: it is not added yet).
    TrackNode* parent = nullptr;
    if (parentNode != -1) {
        auto last = reader.lastNodeWithId.find(parentNode);
        if (last != reader.lastNodeWithId.end()) parent = last->second;
    }
    int32_t parentObject = parent ? nodeObjectId(*parent) : -1;
    if (!tag) return ERR_OK;  // a header outside the node tags creates nothing
    switch (tag->tag) {
    case CHUNK_OBJECT_NODE: {
        TriMesh* mesh = asMesh(object);
        mesh->parentId = parentObject;
        if (flags1 & 0x0800) mesh->flags |= MESH_KEYFRAMER_FLAG;
        setCurrent(object);
        break;
    }
    case CHUNK_CAMERA_NODE: asCamera(object)->parentId = parentObject; break;
    case CHUNK_CAMERA_TARGET_NODE: asCamera(object)->targetParentId = parentObject; break;
    case CHUNK_OMNI_LIGHT_NODE:
    case CHUNK_SPOTLIGHT_NODE: asLight(object)->parentId = parentObject; break;
    case CHUNK_LIGHT_TARGET_NODE: asLight(object)->targetParentId = parentObject; break;
    default: break;  // the ambient light keeps no parent
    }
    ResultCode added = addTrackNodeUnder(tag->nodeType, nodeId, parent, object->data);
    if (added != ERR_OK) return added;
    reader.firstNodeWithId.try_emplace(nodeId, activeScene->lastTrackNode);
    reader.lastNodeWithId[nodeId] = activeScene->lastTrackNode;
    return ERR_OK;
}

ResultCode readInstanceName(ArchiveFile& file) {
    TriMesh* mesh = current<TriMesh>(OBJ_TRIMESH);
    if (!mesh) return ERR_CORRUPT_FILE;
    ResultCode result = readChunkName(file);
    if (result != ERR_OK) return result;
    reader.renames.push_back({mesh, mesh->name});
    mesh->name = reader.nameBuffer;
    indexName(reader.currentNode);
    return ERR_OK;
}

ResultCode readPivot(ArchiveFile& file) {
    TriMesh* mesh = current<TriMesh>(OBJ_TRIMESH);
    if (!mesh) return ERR_CORRUPT_FILE;
    float p[3];
    if (!readFloats(file, p, 3)) return ERR_CORRUPT_FILE;
    reader.pivots.push_back({mesh, exchanged(p)});
    return ERR_OK;
}

// After a keyframer pass that succeeded: each pivot, in file order, becomes the mesh's pivot and
// moves its vertices.
void applyPivots() {
    for (const Pivot& p : reader.pivots) {
        p.mesh->pivot = p.pivot;
        for (int32_t i = 0; i < p.mesh->vertexCount; ++i)
            vecSub(p.mesh->vertices[i].position, p.mesh->vertices[i].position, p.pivot);
    }
}

// After one that failed: the meshes get their names back, latest rename first.
void undoRenames() {
    for (auto r = reader.renames.rbegin(); r != reader.renames.rend(); ++r) r->mesh->name = r->previous;
}

// Bytes of a key's data after its header, at least (a morph key's name is one byte or more).
uint32_t keyDataSize(int32_t kind) {
    switch (kind) {
    case TRACK_POSITION:
    case TRACK_SCALE:
    case TRACK_COLOR: return 12;
    case TRACK_ROTATION: return 16;
    case TRACK_MORPH: return 1;
    default: return 4;  // fov, roll, hide
    }
}

// One key: its header (frame, spline flags and one float per flag bit), then its data.
ResultCode readKey(ArchiveFile& file, int32_t kind, Key& key, int32_t& frame, float& angle, float axis[3]) {
    uint8_t b[6];
    if (!readExact(file, b, 6)) return ERR_CORRUPT_FILE;
    frame = int32_t(u32At(b) & 0xFFFF);
    uint16_t splineFlags = u16At(b + 4);
    float* fields[5] = {&key.tension, &key.continuity, &key.bias, &key.easeTo, &key.easeFrom};
    for (int bit = 0; bit < 16; ++bit) {
        if (!(splineFlags & (1 << bit))) continue;
        float value;
        if (!readFloats(file, &value, 1)) return ERR_CORRUPT_FILE;
        if (bit < 5) *fields[bit] = value;
    }
    float v[4];
    switch (kind) {
    case TRACK_POSITION:
    case TRACK_SCALE:
        if (!readFloats(file, v, 3)) return ERR_CORRUPT_FILE;
        key.value[0] = v[0];
        key.value[1] = v[2];
        key.value[2] = v[1];
        return ERR_OK;
    case TRACK_COLOR:
        if (!readFloats(file, key.value, 3)) return ERR_CORRUPT_FILE;
        return ERR_OK;
    case TRACK_ROTATION:
        if (!readFloats(file, v, 4)) return ERR_CORRUPT_FILE;
        angle = v[0];
        axis[0] = v[1];
        axis[1] = v[2];
        axis[2] = v[3];
        return ERR_OK;
    case TRACK_MORPH: {
        if (readChunkName(file) != ERR_OK) return ERR_CORRUPT_FILE;
        ObjectNode* found = findIndexed(reader.nameBuffer);
        if (!found) return ERR_INVALID_OBJECT_ID;
        key.value[3] = float(objectId(found));
        return ERR_OK;
    }
    case TRACK_HIDE:
        if (!readExact(file, b, 4)) return ERR_CORRUPT_FILE;
        return ERR_OK;  // the state alternates; set by the caller
    default:  // fov, roll
        if (!readFloats(file, &key.value[3], 1)) return ERR_CORRUPT_FILE;
        return ERR_OK;
    }
}

ResultCode readTrackKeys(ArchiveFile& file, int32_t kind, Track& track) {
    uint8_t header[14];
    if (!readExact(file, header, 14)) return ERR_CORRUPT_FILE;
    uint16_t flags = u16At(header);
    track.mode = (flags & 3) == 3 ? 2 : (flags & 2) ? 1 : 0;
    uint32_t count = u32At(header + 10) & 0xFFFF;
    if (count * (6 + keyDataSize(kind)) > bytesLeft()) return ERR_CORRUPT_FILE;
    Quat accumulated;
    quatIdentity(accumulated);
    float angleSum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Key* key = new (std::nothrow) Key{};
        if (!key) return ERR_OUT_OF_MEMORY;
        int32_t frame = 0;
        float angle = 0, axis[3] = {};
        ResultCode result = readKey(file, kind, *key, frame, angle, axis);
        if (result != ERR_OK) {
            delete key;
            return result;
        }
        if (kind == TRACK_HIDE) key->value[3] = i % 2 == 0 ? 1.0f : 0.0f;
        if (kind == TRACK_ROTATION) {
            // Each key turns on from the previous orientation; value[3] keeps the running angle.
            Quat q;
            quatFromAngleAxis(q, angle, axis[0], axis[1], axis[2]);
            std::swap(q.y, q.z);
            angleSum = i == 0 ? angle : float(double(angleSum) + angle);
            key->value[0] = axis[0];
            key->value[1] = axis[2];
            key->value[2] = axis[1];
            key->value[3] = angleSum;
            quatMul(accumulated, q, accumulated);
            key->orientation = accumulated;
        }
        appendKey(&track, key, frame);
    }
    return ERR_OK;
}

ResultCode readTrack(ArchiveFile& file, int32_t kind) {
    Track* track = newTrack();
    if (!track) return ERR_OUT_OF_MEMORY;
    ResultCode result = readTrackKeys(file, kind, *track);
    if (result != ERR_OK) {
        freeTrack(track);
        return result;
    }
    if (kind == TRACK_ROTATION)
        computeRotationControls(track);
    else if (kind != TRACK_MORPH && kind != TRACK_HIDE)
        computeVectorTangents(track);
    // A track for a node that does not exist, or of a kind its node has no slot for, is dropped.
    auto first = reader.firstNodeWithId.find(reader.objectCounter);
    TrackNode* node = first != reader.firstNodeWithId.end() ? first->second : nullptr;
    attachTrackTo(node, kind, track);
    if (!node || trackSlot(node->type, kind) < 0) freeTrack(track);
    return ERR_OK;
}

ResultCode readPositionTrack(ArchiveFile& file) { return readTrack(file, TRACK_POSITION); }
ResultCode readRotationTrack(ArchiveFile& file) { return readTrack(file, TRACK_ROTATION); }
ResultCode readScaleTrack(ArchiveFile& file) { return readTrack(file, TRACK_SCALE); }
ResultCode readFovTrack(ArchiveFile& file) { return readTrack(file, TRACK_FOV); }
ResultCode readRollTrack(ArchiveFile& file) { return readTrack(file, TRACK_ROLL); }
ResultCode readColourTrack(ArchiveFile& file) { return readTrack(file, TRACK_COLOR); }
ResultCode readMorphTrack(ArchiveFile& file) { return readTrack(file, TRACK_MORPH); }
ResultCode readHideTrack(ArchiveFile& file) { return readTrack(file, TRACK_HIDE); }

const ChunkEntry MOTION_CHUNKS[] = {
    {CHUNK_MAIN, 1, noOp},
    {CHUNK_KEYFRAMER, 1, noOp},
    {CHUNK_AMBIENT_NODE, 1, noOp},  // node tags: each holds a node's id, header and tracks
    {CHUNK_OBJECT_NODE, 1, noOp},
    {CHUNK_FRAME_RANGE, 0, readFrameRange},
    {CHUNK_NODE_HEADER, 0, readNodeHeader},
    {CHUNK_INSTANCE_NAME, 0, readInstanceName},
    {CHUNK_PIVOT, 0, readPivot},
    {CHUNK_POSITION_TRACK, 0, readPositionTrack},
    {CHUNK_COLOUR_TRACK, 0, readColourTrack},
    {CHUNK_ROTATION_TRACK, 0, readRotationTrack},
    {CHUNK_SCALE_TRACK, 0, readScaleTrack},
    {CHUNK_MORPH_TRACK, 0, readMorphTrack},
    {CHUNK_HIDE_TRACK, 0, readHideTrack},
    {CHUNK_NODE_ID, 0, readNodeId},
    {CHUNK_CAMERA_NODE, 1, noOp},
    {CHUNK_CAMERA_TARGET_NODE, 1, noOp},
    {CHUNK_OMNI_LIGHT_NODE, 1, noOp},
    {CHUNK_LIGHT_TARGET_NODE, 1, noOp},
    {CHUNK_SPOTLIGHT_NODE, 1, noOp},
    {CHUNK_FOV_TRACK, 0, readFovTrack},
    {CHUNK_ROLL_TRACK, 0, readRollTrack},
};

ResultCode readWorldPass(ArchiveFile& file) {
    return startPass(file, WORLD_CHUNKS, std::size(WORLD_CHUNKS), 0);
}

ResultCode readMotionPass(ArchiveFile& file) {
    return startPass(file, MOTION_CHUNKS, std::size(MOTION_CHUNKS), -1);
}

bool openScene(ArchiveFile& file, const char* fileName) {
    archive::assignFile(file, fileName);
    archive::openFile(file, 1);
    return archive::takeFileError() == 0;
}

void closeScene(ArchiveFile& file) {
    archive::closeFile(file);
    archive::takeFileError();
    // Nothing of this load may be reached through the reader state afterwards, and its window
    // and lookups give their memory back.
    reader = ReaderState{};
}

} // namespace

ResultCode sceneLoadWorld(Scene* scene, const char* fileName) {
    if (!scene || !fileName) return ERR_NULL_POINTER;
    Scene* remembered = activeScene;
    // A scene loaded before is released rather than forgotten: its keyframer nodes point into its
    // world, and neither may outlive the other.
    freeTrackNodes(*scene);
    sceneFreeWorld(scene);
    *scene = Scene{};
    ArchiveFile file{};
    if (!openScene(file, fileName)) return ERR_FILE_NOT_FOUND;
    setActiveScene(scene);
    ResultCode result = readWorldPass(file);
    closeScene(file);
    if (result != ERR_OK) {
        setActiveScene(remembered);
        sceneFreeWorld(scene);
        return result;
    }
    if (engineFlags & ENGINE_NORMALS) computeNormals();
    setActiveScene(remembered);
    return ERR_OK;
}

ResultCode sceneLoadMotion(Scene* scene, const char* fileName) {
    if (!scene || !fileName) return ERR_NULL_POINTER;
    if (!scene->firstObject) return ERR_NO_SCENE;
    Scene* remembered = activeScene;
    ArchiveFile file{};
    if (!openScene(file, fileName)) return ERR_FILE_NOT_FOUND;
    setActiveScene(scene);
    // The pass adds the ambient light and dummies to the world; a failed pass takes them back.
    ObjectNode* worldTail = scene->lastObject;
    ResultCode result = readMotionPass(file);
    if (result == ERR_OK) applyPivots();
    else undoRenames();
    closeScene(file);
    if (result != ERR_OK) {
        setActiveScene(remembered);
        sceneFreeMotion(scene);
        while (scene->lastObject != worldTail) {
            ObjectNode* added = scene->lastObject;
            scene->lastObject = added->prev;
            scene->lastObject->next = nullptr;
            freeObject(added);
        }
        return result;
    }
    setFrame(0);
    updateScene();
    setActiveScene(remembered);
    return ERR_OK;
}

ResultCode sceneLoad(Scene* scene, const char* fileName) {
    ResultCode result = sceneLoadWorld(scene, fileName);
    if (result != ERR_OK) return result;
    return sceneLoadMotion(scene, fileName);
}

} // namespace engine
