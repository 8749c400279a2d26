// Builds the keyframed scene "Gomb.3DS": the subdivided geosphere and the camera that frames it,
// handed to the .3DS writer.
#include "tools/builder/scene_3ds.h"

#include <cmath>
#include <map>
#include <utility>

namespace builder {
namespace {

constexpr double PI = 3.14159265358979323846;

struct Geosphere {
    std::vector<Point3f> points;  // unit length
    std::vector<std::array<uint16_t, 3>> faces;
    std::map<std::pair<int, int>, uint16_t> midpoints;
};

Point3f normalised(double x, double y, double z) {
    double len = std::sqrt(x * x + y * y + z * z);
    return {float(x / len), float(y / len), float(z / len)};
}

// Neighbouring faces share their edge's midpoint, so the sphere stays one closed surface.
uint16_t midpoint(Geosphere& g, uint16_t a, uint16_t b) {
    std::pair<int, int> key{std::min(a, b), std::max(a, b)};
    auto found = g.midpoints.find(key);
    if (found != g.midpoints.end()) return found->second;
    Point3f p = g.points[a], q = g.points[b];
    g.points.push_back(normalised(double(p.x) + q.x, double(p.y) + q.y, double(p.z) + q.z));
    uint16_t index = uint16_t(g.points.size() - 1);
    g.midpoints[key] = index;
    return index;
}

}  // namespace

Mesh3ds makeGeosphere(const std::string& name, float radius, int subdivisions) {
    Geosphere g;
    const double t = (1 + std::sqrt(5.0)) / 2;
    const double corners[12][3] = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                   {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                   {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    for (const auto& c : corners) g.points.push_back(normalised(c[0], c[1], c[2]));
    // Counter-clockwise seen from outside.
    g.faces = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
               {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
               {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    for (int level = 0; level < subdivisions; ++level) {
        std::vector<std::array<uint16_t, 3>> finer;
        g.midpoints.clear();
        for (const auto& f : g.faces) {
            uint16_t ab = midpoint(g, f[0], f[1]), bc = midpoint(g, f[1], f[2]), ca = midpoint(g, f[2], f[0]);
            finer.push_back({f[0], ab, ca});
            finer.push_back({f[1], bc, ab});
            finer.push_back({f[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        g.faces = std::move(finer);
    }

    Mesh3ds mesh;
    mesh.name = name;
    mesh.faces = g.faces;
    for (Point3f p : g.points) {
        mesh.points.push_back({p.x * radius, p.y * radius, p.z * radius});
        // Longitude and latitude. The points along the date line are shared by faces on both
        // sides, so the map wraps there; the show maps the sphere by its normals instead.
        float u = float(0.5 + std::atan2(p.y, p.x) / (2 * PI));
        float v = float(0.5 - std::asin(std::fmax(-1.0f, std::fmin(1.0f, p.z))) / PI);
        mesh.texCoords.push_back({u, v});
    }
    return mesh;
}

Scene3ds makeEngineSphereScene() {
    Scene3ds scene;
    Material3ds chrome;
    chrome.name = "Rondany";
    chrome.ambient = {0.2f, 0.2f, 0.2f};
    chrome.diffuse = {0.9f, 0.9f, 0.9f};
    chrome.specular = {1.0f, 1.0f, 1.0f};
    chrome.shininess = 60;
    chrome.textureFile = "rondany.raw";
    scene.materials.push_back(chrome);

    Mesh3ds sphere = makeGeosphere("GeoSphere0", ENGINE_SPHERE_RADIUS, ENGINE_SPHERE_SUBDIVISIONS);
    sphere.material = chrome.name;
    scene.meshes.push_back(std::move(sphere));

    // A 50 mm lens is the 48 degree view the sphere routines use. The camera looks at the point
    // half way between the sphere and its mirror image, from a little above and to the side, so
    // both images stay in the frame as the distance breathes.
    Camera3ds camera;
    camera.name = "Camera01";
    camera.position = {60.0f, 255.0f, 18.0f};
    camera.target = {0.0f, 0.0f, -ENGINE_MIRROR_DROP / 2};
    camera.roll = 0;
    camera.lens = 50;
    scene.cameras.push_back(camera);
    return scene;
}

bool buildSceneMember(std::vector<Member>& members) {
    std::vector<uint8_t> file;
    if (write3ds(makeEngineSphereScene(), file) != WRITE3DS_OK) return false;
    members.push_back({"Gomb.3DS", std::move(file), false});
    return true;
}

}  // namespace builder
