// The show's .p3d meshes made from code: the industrial hall, the temple, the cave, the two later
// scenes, the knot and the blob sphere, each with its camera flight, and the material textures
// their materials name. Fixed seeds everywhere, so every build writes the same bytes.
#pragma once

#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "assets/mesh.h"
#include "tools/builder/member.h"

namespace builder {

// Every .p3d (stored) and every material texture (name + ".raw", 196608 bytes, deflated).
std::vector<Member> buildMeshMembers();

// ---------------------------------------------------------------------------------------------
// Building blocks shared by the mesh_*.cpp files.

struct V3 {
    double x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 operator*(double s, V3 a) { return a * s; }
inline double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double length(V3 a) { return std::sqrt(dot(a, a)); }
inline V3 normalised(V3 a) {
    double l = length(a);
    return l > 0 ? a * (1.0 / l) : V3{0, 0, 1};
}
inline V3 lerp(V3 a, V3 b, double f) { return a + (b - a) * f; }

constexpr double PI = 3.14159265358979323846;

// The point `radius` from the vertical axis towards `degrees` (from +x towards +y), `height` up:
// camera keys of a flight round a scene's centre.
inline V3 aroundAxis(double degrees, double radius, double height) {
    double a = degrees * PI / 180;
    return {radius * std::cos(a), radius * std::sin(a), height};
}

// The two ways a material texture is laid out.
//  Tiled:  one seamless picture over the whole texture, repeated across a surface with continuous
//          texture coordinates (floors, sky, water, the knot and the sphere).
//  Shaded: the renderer's light depends on distance only, so faces turned away from the light
//          would look as bright as faces turned towards it. A shaded texture holds the same
//          seamless picture eight times (2 columns x 4 rows of 128 x 64 texels) at falling
//          brightness, and every face takes the copy that matches its angle to the scene's key
//          light: the shading is baked into which copy a face uses.
enum class Layout { Tiled, Shaded };

constexpr int SHADE_LEVELS = 8;
// Brightness of copy `level` (0 = facing the key light).
double shadeBrightness(int level);

// A colour in 0..1 per channel.
struct Rgb {
    double r = 0, g = 0, b = 0;
};

// A painter returns the colour of a seamless picture at (s, t) in [0, 1)^2: the picture must
// wrap in both directions, as surfaces repeat it.
using Painter = Rgb (*)(double s, double t);

struct MaterialRecipe {
    std::string name;  // at most 9 characters; the texture member is name + ".raw"
    Layout layout = Layout::Tiled;
    Painter painter = nullptr;
    float uScale = 1, vScale = 1;
};

// The 196608 bytes of a material's texture.
std::vector<uint8_t> paintMaterialTexture(const MaterialRecipe& material);

// A fixed hash of a lattice point to [0, 1): for scattering stars and the like, texel by texel.
double unitHash(int x, int y, uint32_t seed);
// Periodic noise for the painters: every function wraps with the given integer period.
double valueNoise(double x, double y, int periodX, int periodY, uint32_t seed);
// Sum of octaves 1, 1/2, 1/4 ... of valueNoise, scaled to about 0..1.
double fractalNoise(double s, double t, int basePeriod, int octaves, uint32_t seed);
// Distance to the nearest and second-nearest of `cells` x `cells` jittered points (wrapping).
void cellDistances(double s, double t, int cells, uint32_t seed, double& nearest, double& second);
double smoothstep(double edge0, double edge1, double x);
Rgb mix(Rgb a, Rgb b, double f);
Rgb scale(Rgb a, double f);

struct BuildObject {
    std::vector<assets::Point3> vertices;
    std::vector<assets::TexCoord> texCoords;
    std::vector<assets::Triangle> triangles;
    std::vector<assets::Point3> path;  // empty, or one point per camera path point
    int32_t material = 0;
};

// A mesh under construction. `keyLight` is where the baked shading of Shaded materials takes
// its light from; `shadeFloor` is the brightness fraction of a face turned fully away from it.
struct BuildMesh {
    std::string fileName;
    std::vector<MaterialRecipe> materials;
    float fieldOfView = 60;
    std::vector<assets::Point3> eye, target;  // 3 * segments + 1 Bezier control points each
    std::deque<BuildObject> objects;  // a deque: references to objects stay valid as more are added
    V3 keyLight{0, 0, 1000};
    std::function<V3(V3)> keyLightAt;  // if set: the key light for a face centre (a moving light)
    double shadeFloor = 0.25;
    double sceneVFactor = 1;  // the scene multiplies every material's v scale by this
};

// A new, empty object of `mesh` using material `material`.
BuildObject& addObject(BuildMesh& mesh, int32_t material);

// The .p3d bytes of a finished mesh.
std::vector<uint8_t> encodeBuildMesh(const BuildMesh& mesh);

// How a surface takes its texture: the picture coordinate of every grid line (in repeats of the
// picture: 2.5 = two and a half pictures from the surface's start), u across, v along.
// Shaded materials give each cell its own four corners (a face may pick another shade than its
// neighbour); the renderer lights every triangle corner anyway, so this costs no drawing time.
struct GridTexture {
    std::vector<double> u, v;  // nu + 1 and nv + 1 values
    bool flipNormal = false;   // the surface is seen from its other side (inside a tube or dome)
    double planarTile = 0;     // Tiled only: if > 0, the picture lies flat on x, y (one per this many units)
    // If not empty: a picture coordinate for every grid point (row by row, u fastest), in place
    // of u and v, for surfaces whose cells differ in size. A shaded cell spans the averages of
    // its two edges.
    std::vector<double> uAt = {}, vAt = {};
};
// n + 1 evenly spaced picture coordinates from 0 to `repeats`.
std::vector<double> evenSteps(int n, double repeats);

// A surface sampled on a grid of (nu + 1) x (nv + 1) points, row by row (u fastest). Its face
// normal is (P(u+1) - P(u)) x (P(v+1) - P(v)), flipped on request. Degenerate triangles (at a
// pole, say) are left out.
void addGrid(BuildMesh& mesh, BuildObject& object, const std::vector<V3>& points, int nu, int nv,
             const GridTexture& texture);

// A flat rectangle from `corner` spanning `edgeU` and `edgeV`, cut into nu x nv cells.
// The picture repeats every `tile` units.
void addQuad(BuildMesh& mesh, BuildObject& object, V3 corner, V3 edgeU, V3 edgeV, int nu, int nv,
             double tile);

// An axis-aligned box; faces are cut into cells of about `cell` units, the texture repeating
// every `tile` units.
void addBox(BuildMesh& mesh, BuildObject& object, V3 low, V3 high, double cell, double tile);

// A beam of square-ish section (width x height) from a to b, its height along `up` as far as
// the beam's direction allows. Cells of about `cell` units along its length.
void addBeam(BuildMesh& mesh, BuildObject& object, V3 a, V3 b, double width, double height, V3 up,
             double cell, double tile);

// A surface of revolution about the axis through `base` along `axis`: `profile` lists
// (radius, height) pairs from bottom to top; `sides` cells around. The texture repeats
// `aroundTiles` times around and once every `tile` units along the profile.
struct ProfilePoint {
    double radius, height;
};
void addLathe(BuildMesh& mesh, BuildObject& object, V3 base, V3 axis, const std::vector<ProfilePoint>& profile,
              int sides, int aroundTiles, double tile, bool inside = false);

// A tube of `radius` along a polyline (closed when `closed`), `sides` cells around.
void addTube(BuildMesh& mesh, BuildObject& object, const std::vector<V3>& spine, double radius, int sides,
             bool closed, int aroundTiles, double tile);

// Smooth flights. Keys hold a time (in units of the scene clock, one Bezier segment per unit) and
// a point; between keys the motion is a Catmull-Rom curve over the key times, so it is C1 and
// passes through every key. Before the first and after the last key the point rests.
struct Key {
    double time;
    V3 point;
};
V3 evaluateKeys(const std::vector<Key>& keys, double time);

// 3 * segments + 1 Bezier control points sampling the keys at every whole time unit. Each join
// shares its tangent with both neighbouring segments, so the chain is C1.
std::vector<assets::Point3> bezierChain(const std::vector<Key>& keys, int segments);

// Camera eye and target flights through the keys (eye and target keys may have different times).
void setCameraFlight(BuildMesh& mesh, const std::vector<Key>& eyeKeys, const std::vector<Key>& targetKeys,
                     int segments);

// Distance from p to the camera's eye path (its control points, which hug the curve), over the
// ground only or in space: the builders keep scenery out of the camera's way with these.
double groundClearance(const BuildMesh& mesh, V3 p);
double eyeClearance(const BuildMesh& mesh, V3 p);

// Deterministic random numbers for the generators (not the show's shared generator).
struct Random {
    uint32_t state;
    uint32_t next();
    double uniform();  // [0, 1)
    double range(double low, double high) { return low + (high - low) * uniform(); }
};

// The meshes, one builder each (mesh_<family>.cpp). Scene clock lengths in Bezier segments.
constexpr int GYAR_SEGMENTS = 46;
constexpr int SCENE1_SEGMENTS = 76;
constexpr int BARLANG_SEGMENTS = 14;
constexpr int SCENE2_SEGMENTS = 218;
constexpr int SCENE3_SEGMENTS = 110;

BuildMesh buildHallMesh();     // "gyar.p3d"
BuildMesh buildTempleMesh();   // "scene1.p3d"
BuildMesh buildCaveMesh();     // "barlang.p3d"
BuildMesh buildScene2Mesh();   // "scene2.p3d"
BuildMesh buildScene3Mesh();   // "scene3.p3d"
BuildMesh buildKnotMesh();     // "tknot.p3D"
BuildMesh buildSphereMesh();   // "sphere.p3D"

// Shared between a scene and the mesh spliced into it at start-up.
extern const V3 KNOT_CENTRE;    // the knot scene twists the knot about this point
extern const V3 SPHERE_CENTRE;  // where the last scene shows the blob sphere
// The knot's rest object (full size; the scene halves it) and the sphere's rest object.
BuildObject makeKnotObject();
BuildObject makeSphereObject();
MaterialRecipe knotMaterial();
MaterialRecipe sphereMaterial();

}  // namespace builder
