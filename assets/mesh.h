// In-memory form of a .p3d mesh: materials, cameras with Bezier paths, textured triangle objects.
// Loaded once at start-up (assets/mesh_file.h) and drawn by assets/mesh_renderer.h.
//
// Ownership: every array of a loaded mesh lives in a storage block that the mesh holds in its
// `storage` list, and stays valid as long as some Mesh record holds that block. copyMeshObject
// copies an object whole into another mesh; the copy shares the source's arrays (plain pointers)
// and the target mesh takes a share of the source's blocks, so clearing or reloading the source
// leaves the copy intact.
//
// What a consumer may rely on for a mesh returned by loadMesh: every count is >= 0 and every array
// holds exactly its count of elements (pathPointCount points for each camera path); every triangle
// index lies in 0..vertexCount-1 of its object; every material index lies in 0..materialCount-1.
// A file that breaks any of this loads as the empty mesh (all counts 0). Records changed or copied
// by hand after loading carry no such promise: the renderer checks material and vertex indices and
// path lengths itself, and code that indexes objects[i] must check objectCount first.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace assets {

struct Point3 { float x, y, z; };
struct TexCoord { float u, v; };
struct Triangle { int32_t a, b, c; };

#pragma pack(push, 1)
// Exactly the 26-byte record of the file.
struct MeshMaterial {
    uint8_t nameLength;   // 0..9 in a good file; users take at most 9 characters
    char name[9];         // texture base name; the file is name + ".raw"
    float skip;           // non-zero: objects with this material are never drawn
    uint32_t texture;     // GL texture name, filled by loadMeshTextures
    float uScale;
    float vScale;
};
#pragma pack(pop)
static_assert(sizeof(MeshMaterial) == 26);

struct MeshCamera {
    float fieldOfView = 0;      // vertical, degrees
    Point3* eye = nullptr;      // pathPointCount points
    Point3* target = nullptr;   // pathPointCount points
    uint32_t* perPoint = nullptr;
};

struct MeshObject {
    int32_t vertexCount = 0;
    Point3* vertices = nullptr;
    TexCoord* texCoords = nullptr;
    int32_t triangleCount = 0;
    Triangle* triangles = nullptr;
    // Points in `path` and entries in the two key tracks. The loader sets it to the mesh's path
    // point count; it travels with the record, so an object copied into a mesh with a different
    // path length is still evaluated within its own arrays.
    int32_t pathPointCount = 0;
    bool hasPath = false;
    Point3* path = nullptr;            // pathPointCount points when hasPath
    bool hasSecondTrack = false;
    uint8_t* secondTrack = nullptr;    // pathPointCount * 16 bytes
    bool hasThirdTrack = false;
    uint8_t* thirdTrack = nullptr;     // pathPointCount * 12 bytes
    int32_t materialIndex = 0;
    bool lit = true;
    bool textureRotation = false;
    bool visible = true;
};

struct MeshStorage;  // the arrays of one loaded mesh, in one block (defined in mesh_file.cpp)

struct Mesh {
    int32_t pathPointCount = 0;
    int32_t materialCount = 0;
    MeshMaterial* materials = nullptr;
    int32_t cameraCount = 0;
    MeshCamera* cameras = nullptr;
    int32_t objectCount = 0;
    MeshObject* objects = nullptr;
    int32_t trailer = 0;
    // The mesh's own block first, then the blocks of objects copied in from other meshes.
    std::vector<std::shared_ptr<MeshStorage>> storage{};
};

// Object `index` of `mesh`, or nullptr when the mesh has no such object (a short or empty mesh).
inline MeshObject* meshObjectAt(Mesh& mesh, int32_t index) {
    if (!mesh.objects || index < 0 || index >= mesh.objectCount) return nullptr;
    return &mesh.objects[index];
}

// The material object `index` of `mesh` is drawn with, or nullptr when the object or its material
// index names none.
inline MeshMaterial* meshMaterialOf(Mesh& mesh, int32_t index) {
    const MeshObject* object = meshObjectAt(mesh, index);
    if (!object || !mesh.materials || object->materialIndex < 0 || object->materialIndex >= mesh.materialCount)
        return nullptr;
    return &mesh.materials[object->materialIndex];
}

} // namespace assets
