// Engine state, the scene's two lists and their records, lookups, and vertex normals.
#include "engine/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <new>

namespace engine {

Scene* activeScene = nullptr;
SceneCamera* activeCamera = nullptr;
int32_t engineFlags = 0;

const char* const engineIdent = "brontavel3d - version 0.90 / o3.o8.2ooo";

namespace {

template <typename Record>
Record* recordOf(const ObjectNode* node, int32_t type) {
    return node && node->type == type ? static_cast<Record*>(node->data) : nullptr;
}

} // namespace

TriMesh* asMesh(const ObjectNode* node) { return recordOf<TriMesh>(node, OBJ_TRIMESH); }
SceneCamera* asCamera(const ObjectNode* node) { return recordOf<SceneCamera>(node, OBJ_CAMERA); }
SceneLight* asLight(const ObjectNode* node) { return recordOf<SceneLight>(node, OBJ_LIGHT); }
SceneMaterial* asMaterial(const ObjectNode* node) { return recordOf<SceneMaterial>(node, OBJ_MATERIAL); }
AmbientLight* asAmbient(const ObjectNode* node) { return recordOf<AmbientLight>(node, OBJ_AMBIENT); }

// ---- Engine state -------------------------------------------------------------------------------

ResultCode engineInit(int32_t flags) {
    activeScene = nullptr;
    activeCamera = nullptr;
    engineFlags = flags;
    return ERR_OK;
}

void engineInitDisplay(int32_t width, int32_t height, int32_t /*extra*/, int32_t flags) {
    engineInit(flags);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(30.0, height != 0 ? double(width) / height : 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

ResultCode engineDone() {
    activeScene = nullptr;
    engineFlags = 0;
    return ERR_OK;
}

ResultCode setActiveScene(Scene* scene) {
    if (!scene) return ERR_NULL_POINTER;
    activeScene = scene;
    return ERR_OK;
}

ResultCode getActiveScene(Scene*& scene) {
    scene = activeScene;
    return ERR_OK;
}

ResultCode setActiveCamera(SceneCamera* camera) {
    activeCamera = camera;
    return ERR_OK;
}

ResultCode getActiveCamera(SceneCamera*& camera) {
    camera = activeCamera;
    return ERR_OK;
}

// ---- Scene life cycle ---------------------------------------------------------------------------

ResultCode sceneCreate(Scene*& scene) {
    scene = new (std::nothrow) Scene{};
    return scene ? ERR_OK : ERR_OUT_OF_MEMORY;
}

void freeObject(ObjectNode* node) {
    if (!node) return;
    switch (node->type) {
    case OBJ_CAMERA: delete asCamera(node); break;
    case OBJ_LIGHT: delete asLight(node); break;
    case OBJ_MATERIAL: delete asMaterial(node); break;
    case OBJ_AMBIENT: delete asAmbient(node); break;
    case OBJ_TRIMESH: {
        TriMesh* mesh = asMesh(node);
        if (mesh) {
            delete[] mesh->vertices;
            delete[] mesh->faces;
            delete mesh;
        }
        break;
    }
    default: break;  // a record of a type the engine does not know is not the engine's to free
    }
    delete node;
}

ResultCode sceneFreeWorld(Scene* scene) {
    if (!scene || !scene->firstObject) return ERR_NULL_POINTER;
    for (ObjectNode* node = scene->firstObject; node;) {
        ObjectNode* next = node->next;
        if (activeCamera && node->type == OBJ_CAMERA && node->data == activeCamera) activeCamera = nullptr;
        freeObject(node);
        node = next;
    }
    scene->firstObject = scene->lastObject = nullptr;
    return ERR_OK;
}

ResultCode sceneFreeMotion(Scene* scene) {
    // The test is on the world list: a scene with a world but an empty keyframer frees nothing
    // and succeeds.
    if (!scene || !scene->firstObject) return ERR_NULL_POINTER;
    freeTrackNodes(*scene);
    return ERR_OK;
}

void freeTrackNodes(Scene& scene) {
    for (TrackNode* node = scene.firstTrackNode; node;) {
        TrackNode* next = node->next;
        for (Track* track : node->tracks) freeTrack(track);
        delete node;
        node = next;
    }
    scene.firstTrackNode = scene.lastTrackNode = nullptr;
}

ResultCode sceneFree(Scene* scene) {
    ResultCode result = sceneFreeMotion(scene);
    if (result != ERR_OK) return result;
    return sceneFreeWorld(scene);
}

// ---- Frame control ------------------------------------------------------------------------------

namespace {

ResultCode checkFrameRange() {
    if (!activeScene || !activeScene->firstTrackNode) return ERR_NO_SCENE;
    if (activeScene->endFrame - activeScene->startFrame <= 0) return ERR_NO_KEYFRAMER_DATA;
    return ERR_OK;
}

} // namespace

ResultCode getFrameRange(float& start, float& end) {
    ResultCode result = checkFrameRange();
    if (result != ERR_OK) return result;
    start = activeScene->startFrame;
    end = activeScene->endFrame;
    return ERR_OK;
}

ResultCode getFrame(float& frame) {
    ResultCode result = checkFrameRange();
    if (result != ERR_OK) return result;
    frame = activeScene->currentFrame;
    return ERR_OK;
}

ResultCode setFrame(float frame) {
    ResultCode result = checkFrameRange();
    if (result != ERR_OK) return result;
    // Written so that a NaN frame fails the test too.
    if (!(frame >= activeScene->startFrame && frame < activeScene->endFrame)) return ERR_INVALID_FRAME;
    activeScene->currentFrame = frame;
    return ERR_OK;
}

// ---- Lookups ------------------------------------------------------------------------------------

bool namesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto upper = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

const std::string* objectName(const ObjectNode* node) {
    if (!node || !node->data) return nullptr;
    switch (node->type) {
    case OBJ_CAMERA: return &asCamera(node)->name;
    case OBJ_LIGHT: return &asLight(node)->name;
    case OBJ_TRIMESH: return &asMesh(node)->name;
    case OBJ_MATERIAL: return &asMaterial(node)->name;
    case OBJ_AMBIENT: return &asAmbient(node)->name;
    default: return nullptr;
    }
}

int32_t objectId(const ObjectNode* node) {
    if (!node || !node->data) return -1;
    switch (node->type) {
    case OBJ_CAMERA: return asCamera(node)->id;
    case OBJ_LIGHT: return asLight(node)->id;
    case OBJ_TRIMESH: return asMesh(node)->id;
    case OBJ_MATERIAL: return asMaterial(node)->id;
    case OBJ_AMBIENT: return asAmbient(node)->id;
    default: return -1;
    }
}

ResultCode findObjectByName(ObjectNode*& node, std::string_view name) {
    node = nullptr;
    if (!activeScene || !activeScene->firstObject) return ERR_NO_SCENE;
    for (ObjectNode* n = activeScene->firstObject; n; n = n->next) {
        const std::string* candidate = objectName(n);
        if (candidate && namesEqual(*candidate, name)) {
            node = n;
            break;
        }
    }
    return ERR_OK;
}

ResultCode findObjectById(ObjectNode*& node, int32_t id) {
    node = nullptr;
    if (!activeScene || !activeScene->firstObject) return ERR_NO_SCENE;
    for (ObjectNode* n = activeScene->firstObject; n; n = n->next) {
        if (objectName(n) && objectId(n) == id) {
            node = n;
            break;
        }
    }
    return ERR_OK;
}

namespace {

ObjectNode* firstOfType(ObjectNode* from, int32_t typeMask) {
    while (from && !(from->type & typeMask)) from = from->next;
    return from;
}

} // namespace

ResultCode findFirstObject(ObjectNode*& node, int32_t typeMask) {
    node = nullptr;
    if (!activeScene || !activeScene->firstObject) return ERR_NO_SCENE;
    node = firstOfType(activeScene->firstObject, typeMask);
    return ERR_OK;
}

ResultCode findNextObject(ObjectNode*& node, int32_t typeMask) {
    if (!activeScene || !activeScene->firstObject) {
        node = nullptr;
        return ERR_NO_SCENE;
    }
    node = node ? firstOfType(node->next, typeMask) : nullptr;
    return ERR_OK;
}

// ---- Building blocks ----------------------------------------------------------------------------

ResultCode addObject(int32_t type, void* data) {
    if (!activeScene) return ERR_NO_SCENE;
    ObjectNode* node = new (std::nothrow) ObjectNode{};
    if (!node) return ERR_OUT_OF_MEMORY;
    node->type = type;
    node->data = data;
    node->prev = activeScene->lastObject;
    if (activeScene->lastObject)
        activeScene->lastObject->next = node;
    else
        activeScene->firstObject = node;
    activeScene->lastObject = node;
    return ERR_OK;
}

ResultCode addTrackNode(int32_t type, int32_t id, int32_t parentId, void* object) {
    if (!activeScene) return ERR_NO_SCENE;
    // Ids in a good file are unique. With duplicates only the last namesake becomes the parent,
    // and a node never becomes its own parent: parents then always precede their children in the
    // list, so the hierarchy cannot hold a cycle.
    TrackNode* parent = nullptr;
    if (parentId != -1)
        for (TrackNode* p = activeScene->firstTrackNode; p; p = p->next)
            if (p->id == parentId) parent = p;
    return addTrackNodeUnder(type, id, parent, object);
}

ResultCode addTrackNodeUnder(int32_t type, int32_t id, TrackNode* parent, void* object) {
    if (!activeScene) return ERR_NO_SCENE;
    TrackNode* node = new (std::nothrow) TrackNode{};
    if (!node) return ERR_OUT_OF_MEMORY;
    node->type = type;
    node->id = id;
    node->object = object;
    node->prev = activeScene->lastTrackNode;
    if (activeScene->lastTrackNode)
        activeScene->lastTrackNode->next = node;
    else
        activeScene->firstTrackNode = node;
    activeScene->lastTrackNode = node;
    if (parent) {
        node->parent = parent;
        node->nextSibling = parent->firstChild;
        parent->firstChild = node;
    }
    return ERR_OK;
}

int trackSlot(int32_t nodeType, int32_t kind) {
    switch (nodeType) {
    case NODE_CAMERA:
        return kind == TRACK_POSITION ? 0 : kind == TRACK_FOV ? 1 : kind == TRACK_ROLL ? 2 : -1;
    case NODE_CAMERA_TARGET:
    case NODE_LIGHT_TARGET:
        return kind == TRACK_POSITION ? 0 : -1;
    case NODE_OMNI_LIGHT:
        return kind == TRACK_POSITION ? 0 : kind == TRACK_COLOR ? 1 : -1;
    case NODE_SPOT_LIGHT:
        return kind == TRACK_POSITION ? 0 : kind == TRACK_COLOR ? 1 : kind == TRACK_ROLL ? 2 : -1;
    case NODE_OBJECT:
        switch (kind) {
        case TRACK_POSITION: return 0;
        case TRACK_SCALE: return 1;
        case TRACK_ROTATION: return 2;
        case TRACK_MORPH: return 3;
        case TRACK_HIDE: return 4;
        default: return -1;
        }
    case NODE_AMBIENT:
        return kind == TRACK_COLOR ? 0 : -1;
    default:
        return -1;
    }
}

ResultCode attachTrack(int32_t kind, int32_t nodeId, Track* track) {
    if (!activeScene || !activeScene->firstTrackNode) return ERR_NO_SCENE;
    TrackNode* node = activeScene->firstTrackNode;
    while (node && node->id != nodeId) node = node->next;
    return attachTrackTo(node, kind, track);
}

ResultCode attachTrackTo(TrackNode* node, int32_t kind, Track* track) {
    if (!node) return ERR_NODE_NOT_FOUND;
    int slot = trackSlot(node->type, kind);
    if (slot < 0) return ERR_OK;
    // A second track of one kind replaces the first; the first would otherwise be lost.
    if (node->tracks[slot] != track) freeTrack(node->tracks[slot]);
    node->tracks[slot] = track;
    return ERR_OK;
}

Track* newTrack() { return new (std::nothrow) Track{}; }

ResultCode appendKey(Track* track, Key* key, int32_t frame) {
    if (!track || !key) return ERR_NULL_POINTER;
    key->frame = float(frame);
    key->next = nullptr;
    // The cursor is the last key appended while loading, so this is one step per key there.
    Key* last = track->cursorKey ? track->cursorKey : track->firstKey;
    while (last && last->next) last = last->next;
    key->prev = last;
    if (last)
        last->next = key;
    else
        track->firstKey = key;
    track->lastFrame = key->frame;
    track->cursorKey = key;
    ++track->keyCount;
    return ERR_OK;
}

void freeTrack(Track* track) {
    if (!track) return;
    for (Key* key = track->firstKey; key;) {
        Key* next = key->next;
        delete key;
        key = next;
    }
    delete track;
}

// ---- Geometry -----------------------------------------------------------------------------------

void computeNormals() {
    if (!activeScene) return;
    for (ObjectNode* node = activeScene->firstObject; node; node = node->next) {
        TriMesh* mesh = asMesh(node);
        if (mesh && mesh->faceCount > 0 && mesh->vertexCount > 0) computeMeshNormals(*mesh);
    }
}

void computeMeshNormals(TriMesh& mesh) {
    if (!mesh.faces || !mesh.vertices) return;
    for (int32_t i = 0; i < mesh.faceCount; ++i) {
        TriFace& face = mesh.faces[i];
        Vec3 ab, bc, cross;
        vecSub(ab, face.va->position, face.vb->position);
        vecSub(bc, face.vb->position, face.vc->position);
        vecCross(cross, ab, bc);
        vecNormalize(face.normal, cross);
    }
    // Each vertex sums the normals of the faces that use it, in face order, each face once even
    // when it names the vertex twice. One pass over the faces gives the same sums as a scan of
    // every face for every vertex.
    for (int32_t i = 0; i < mesh.vertexCount; ++i) mesh.vertices[i].normal = {0, 0, 0};
    for (int32_t i = 0; i < mesh.faceCount; ++i) {
        const TriFace& face = mesh.faces[i];
        TriVertex* corners[3] = {face.va, face.vb, face.vc};
        for (int k = 0; k < 3; ++k) {
            if ((k >= 1 && corners[k] == corners[0]) || (k == 2 && corners[2] == corners[1])) continue;
            vecAdd(corners[k]->normal, corners[k]->normal, face.normal);
        }
    }
    for (int32_t i = 0; i < mesh.vertexCount; ++i) vecNormalize(mesh.vertices[i].normal, mesh.vertices[i].normal);
}

} // namespace engine
