// The keyframed 3D scene engine: scenes loaded from 3D Studio .3DS files (reader_3ds.cpp), with a
// world of meshes, cameras, lights and materials and a keyframer of animated nodes whose tracks are
// evaluated at a frame (tracks.cpp, spline.cpp). Every operation returns a ResultCode
// (result_codes.h), 0 for success. Most operations work on the active scene. Single-threaded: the
// globals and the reader's state are process-wide.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/quaternion.h"
#include "engine/result_codes.h"
#include "engine/vecmath.h"

namespace engine {

// Carried by the engine, shown nowhere.
extern const char* const engineIdent;  // "brontavel3d - version 0.90 / o3.o8.2ooo"

// ---- Scene model --------------------------------------------------------------------------------
// Names are at most 64 bytes (63 when read from a file).
constexpr size_t MAX_NAME_LENGTH = 64;

enum ObjectType : int32_t {
    OBJ_CAMERA = 1,
    OBJ_LIGHT = 2,
    OBJ_TRIMESH = 4,
    OBJ_MATERIAL = 8,
    OBJ_AMBIENT = 16,
};

enum NodeType : int32_t {
    NODE_CAMERA = 1,
    NODE_CAMERA_TARGET = 2,
    NODE_OMNI_LIGHT = 4,
    NODE_SPOT_LIGHT = 8,
    NODE_LIGHT_TARGET = 16,
    NODE_OBJECT = 32,
    NODE_AMBIENT = 64,
};

enum TrackKind : int32_t {
    TRACK_POSITION = 1,
    TRACK_ROTATION = 2,
    TRACK_SCALE = 3,
    TRACK_FOV = 4,
    TRACK_ROLL = 5,
    TRACK_COLOR = 6,
    TRACK_MORPH = 7,
    TRACK_HIDE = 8,
};

constexpr int32_t ENGINE_NORMALS = 2;    // normals after loading a world, rotated by transformMeshes
constexpr int32_t ENGINE_TRANSFORM = 8;  // transformMeshes at the end of every updateScene

constexpr int32_t MESH_HIDDEN = 1;
constexpr int32_t MESH_KEYFRAMER_FLAG = 2;  // node header flag bit 0x0800
constexpr int32_t MESH_DUMMY = 4;

constexpr int32_t MATERIAL_TWO_SIDED = 4;
constexpr int32_t MATERIAL_SOFT_PHONG = 8;
constexpr int32_t MATERIAL_WIRE = 16;
constexpr int32_t MATERIAL_ADDITIVE = 32;

struct SceneMaterial;

struct TriVertex {
    Vec3 position{};             // file coordinates with y and z exchanged, minus the pivot
    Vec3 transformedPosition{};  // transformMeshes; drawLitPatches keeps its light sums in .x
    Vec3 normal{};
    Vec3 transformedNormal{};
    float u = 0, v = 0;
};

struct TriFace {
    int32_t a = 0, b = 0, c = 0;  // always valid indices into the mesh's vertices
    int32_t flags = 0;            // file flag word AND 0x18
    int32_t materialId = 0;
    TriVertex* va = nullptr;
    TriVertex* vb = nullptr;
    TriVertex* vc = nullptr;
    SceneMaterial* material = nullptr;
    Vec3 normal{};
    Vec3 transformedNormal{};
};

struct TriMesh {  // a mesh, or a keyframer dummy (MESH_DUMMY, no arrays)
    std::string name;
    int32_t id = 0;
    int32_t parentId = -1;
    int32_t flags = 0;
    int32_t vertexCount = 0;
    int32_t faceCount = 0;
    TriVertex* vertices = nullptr;  // owned
    TriFace* faces = nullptr;       // owned
    Vec3 pivot{};
    Vec3 position{};
    Vec3 scale{};
    Quat rotation{};  // all zero at creation, which is not the identity
    Mat34 matrix{};
};

struct SceneCamera {
    std::string name;
    int32_t id = 0;
    int32_t parentId = -1;
    int32_t targetParentId = -1;
    Vec3 position{};
    Vec3 target{};
    float fov = 0;   // degrees
    float roll = 0;  // degrees
    Mat34 viewMatrix{};
};

struct SceneLight {
    std::string name;
    int32_t id = 0;
    int32_t parentId = -1;
    int32_t targetParentId = -1;
    int32_t kind = 1;  // 1 omni, 2 spot
    Vec3 position{};
    Vec3 target{};
    float roll = 0;
    float hotspot = 0;
    float falloff = 0;
    Vec3 colour{};
};

struct AmbientLight {
    std::string name;  // always "$AMBIENT$"
    int32_t id = 0;    // node id + 1024
    Vec3 colour{};
};

struct TextureMap {
    std::string name;  // empty when there is no map
    int32_t tiling = 0;
    float uScale = 0, vScale = 0, uOffset = 0, vOffset = 0, rotation = 0;
};

struct SceneMaterial {
    std::string name;
    int32_t id = 0;
    int32_t shading = 0;
    int32_t flags = 0;
    Vec3 ambient{}, diffuse{}, specular{};
    float shininess = 0, shininessStrength = 0, transparency = 0, transparencyFalloff = 0,
          reflectionBlur = 0, selfIllumination = 0;
    TextureMap textureMap, bumpMap, reflectionMap;
};

struct ObjectNode {  // world list element
    int32_t type = 0;        // an ObjectType
    void* data = nullptr;    // the record that type names; use the as... helpers below
    ObjectNode* next = nullptr;
    ObjectNode* prev = nullptr;
};

struct Key {
    float frame = 0;
    float tension = 0, bias = 0, continuity = 0, easeTo = 0, easeFrom = 0;
    // Vector tracks use 0-2, single-value tracks 3; rotation keys hold the axis in 0-2 and the
    // running angle sum in 3.
    float value[4] = {};
    // Element 0 is the tangent of value[3], elements 1-3 those of value[0..2].
    float inTangent[4] = {};
    float outTangent[4] = {};
    Quat controlA{}, controlB{};  // inner control points of the rotation spline
    Quat orientation{};           // absolute orientation of a rotation key
    Key* next = nullptr;
    Key* prev = nullptr;
};

struct Track {
    int32_t mode = 0;  // 0 single, 1 repeat, 2 loop; nonzero wraps the frame
    int32_t keyCount = 0;
    float lastFrame = 0;
    Key* firstKey = nullptr;
    Key* cursorKey = nullptr;  // last key appended; during evaluation the key last found
};

constexpr int MAX_TRACK_SLOTS = 5;

struct TrackNode {  // keyframer list element
    int32_t type = 0;  // a NodeType
    int32_t id = 0;
    Track* tracks[MAX_TRACK_SLOTS] = {};  // slots by type, see trackSlot
    void* object = nullptr;             // the record the node animates
    TrackNode* parent = nullptr;
    TrackNode* firstChild = nullptr;
    TrackNode* nextSibling = nullptr;
    TrackNode* prev = nullptr;
    TrackNode* next = nullptr;
};

struct Scene {
    float startFrame = 0;
    float endFrame = 0;
    float currentFrame = 0;
    TrackNode* firstTrackNode = nullptr;
    TrackNode* lastTrackNode = nullptr;
    ObjectNode* firstObject = nullptr;
    ObjectNode* lastObject = nullptr;
};

// Typed views of a world node's record: none when the node is none or of another type.
TriMesh* asMesh(const ObjectNode* node);
SceneCamera* asCamera(const ObjectNode* node);
SceneLight* asLight(const ObjectNode* node);
SceneMaterial* asMaterial(const ObjectNode* node);
AmbientLight* asAmbient(const ObjectNode* node);

// ---- Globals ------------------------------------------------------------------------------------
extern Scene* activeScene;
extern SceneCamera* activeCamera;
extern int32_t engineFlags;

// ---- Engine state -------------------------------------------------------------------------------
ResultCode engineInit(int32_t flags);
// engineInit, then a depth-tested smooth-shaded GL state with a 30 degree perspective.
void engineInitDisplay(int32_t width, int32_t height, int32_t extra, int32_t flags);
ResultCode engineDone();
ResultCode setActiveScene(Scene* scene);  // none is refused (ERR_NULL_POINTER), nothing changes
ResultCode getActiveScene(Scene*& scene);
ResultCode setActiveCamera(SceneCamera* camera);  // none allowed
ResultCode getActiveCamera(SceneCamera*& camera);

// ---- Scene life cycle (reader_3ds.cpp for the loads) ---------------------------------------------
ResultCode sceneCreate(Scene*& scene);
ResultCode sceneLoad(Scene* scene, const char* fileName);        // world pass, then keyframer pass
ResultCode sceneLoadWorld(Scene* scene, const char* fileName);
ResultCode sceneLoadMotion(Scene* scene, const char* fileName);  // needs world objects
ResultCode sceneFreeWorld(Scene* scene);
ResultCode sceneFreeMotion(Scene* scene);
ResultCode sceneFree(Scene* scene);  // keyframer, then world; the Scene record stays its owner's

// ---- Frame control on the active scene ----------------------------------------------------------
ResultCode getFrameRange(float& start, float& end);
ResultCode getFrame(float& frame);
ResultCode setFrame(float frame);  // start inclusive, end exclusive

// ---- Lookups in the active scene's world list (finding nothing is 0 with node none) -------------
ResultCode findObjectByName(ObjectNode*& node, std::string_view name);
ResultCode findObjectById(ObjectNode*& node, int32_t id);
ResultCode findFirstObject(ObjectNode*& node, int32_t typeMask);
ResultCode findNextObject(ObjectNode*& node, int32_t typeMask);
bool namesEqual(std::string_view a, std::string_view b);  // ASCII a-z folded, nothing else
const std::string* objectName(const ObjectNode* node);     // none for unknown types
int32_t objectId(const ObjectNode* node);                  // -1 for unknown types

// ---- Building blocks of the reader --------------------------------------------------------------
ResultCode addObject(int32_t type, void* data);
ResultCode addTrackNode(int32_t type, int32_t id, int32_t parentId, void* object);
// The same with the parent already found (the last node of the parent id before this one; none
// for a root), for a caller that keeps its own index of the nodes by id.
ResultCode addTrackNodeUnder(int32_t type, int32_t id, TrackNode* parent, void* object);
// Stores the track in the slot the first node of that id has for kind. A kind without a slot is
// ignored (result 0, the track is not stored; see trackSlot). A track replacing another of the
// same kind frees the old one.
ResultCode attachTrack(int32_t kind, int32_t nodeId, Track* track);
// The same on a node already found (the first node of the id); none gives ERR_NODE_NOT_FOUND.
ResultCode attachTrackTo(TrackNode* node, int32_t kind, Track* track);
int trackSlot(int32_t nodeType, int32_t kind);  // slot index, or -1 when the type has none
Track* newTrack();
ResultCode appendKey(Track* track, Key* key, int32_t frame);
void freeTrack(Track* track);
// Frees a world node and its record (with a mesh's arrays).
void freeObject(ObjectNode* node);
// Frees every keyframer node with its tracks and empties the list, whatever the world holds.
void freeTrackNodes(Scene& scene);

// ---- Geometry -----------------------------------------------------------------------------------
void computeNormals();                  // every mesh of the active scene with faces and vertices
void computeMeshNormals(TriMesh& mesh);

// ---- Keyframer evaluation (tracks.cpp) ----------------------------------------------------------
ResultCode updateScene();
void transformMeshes();
void updateCameraMatrix(SceneCamera& camera);
float wrapFrame(float frame, float period);
ResultCode evalFloatTrack(float& out, Track* track, float frame);
ResultCode evalVectorTrack(Vec3& out, Track* track, float frame);
ResultCode evalColorTrack(Vec3& out, Track* track, float frame);
ResultCode evalRotationTrack(Quat& out, Track* track, float frame);
ResultCode evalHideTrack(int32_t& out, Track* track, float frame);

// ---- Spline set-up (spline.cpp) -----------------------------------------------------------------
ResultCode computeVectorTangents(Track* track);
ResultCode computeRotationControls(Track* track);
float easeParameter(float t, float easeFrom, float easeTo);

} // namespace engine
