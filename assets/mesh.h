// In-memory form of a .p3d mesh: materials, cameras with Bezier paths, textured triangle objects.
// Loaded once at start-up and never freed; a MeshObject may be copied whole into another mesh,
// and the copy then shares the source's arrays (the arrays are plain pointers for that reason).
#pragma once
#include <cstdint>

namespace assets {

struct Point3 { float x, y, z; };
struct TexCoord { float u, v; };
struct Triangle { int32_t a, b, c; };

#pragma pack(push, 1)
// Exactly the 26-byte record of the file.
struct MeshMaterial {
    uint8_t nameLength;   // 0..9
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

struct Mesh {
    int32_t pathPointCount = 0;
    int32_t materialCount = 0;
    MeshMaterial* materials = nullptr;
    int32_t cameraCount = 0;
    MeshCamera* cameras = nullptr;
    int32_t objectCount = 0;
    MeshObject* objects = nullptr;
    int32_t trailer = 0;
};

} // namespace assets
