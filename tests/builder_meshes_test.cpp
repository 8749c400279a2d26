// The built meshes as the show meets them: every member loads with the project's loader, each
// camera path is long enough for its scene clock and clear of the scenery, the objects the scenes
// single out are where they must be, and faces take the texture copy their shading asks for.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "assets/mesh_file.h"
#include "assets/mesh_renderer.h"
#include "tools/builder/meshes.h"

using namespace builder;

namespace {

// The scene clocks reach these path times while their scenes run (plus a tenth to spare).
const std::map<std::string, int> minimumSegments = {
    {"gyar.p3d", 44}, {"scene1.p3d", 74}, {"barlang.p3d", 13}, {"scene2.p3d", 215},
    {"scene3.p3d", 107}, {"sphere.p3D", 1}, {"tknot.p3D", 1},
};

V3 toV3(assets::Point3 p) { return {p.x, p.y, p.z}; }

V3 pathAt(const assets::Point3* points, double t) {
    int k = int(t);
    double f = t - k;
    const assets::Point3* p = points + 3 * k;
    auto at = [&](float a, float b, float c, float d) { return assets::bezierPoint(f, a, b - a, d - c, d); };
    return {at(p[0].x, p[1].x, p[2].x, p[3].x), at(p[0].y, p[1].y, p[2].y, p[3].y), at(p[0].z, p[1].z, p[2].z, p[3].z)};
}

// Closest distance from p to the triangle abc (Ericson, Real-Time Collision Detection 5.1.5).
double distanceToTriangle(V3 p, V3 a, V3 b, V3 c) {
    V3 ab = b - a, ac = c - a, ap = p - a;
    double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return length(ap);
    V3 bp = p - b;
    double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return length(bp);
    double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return length(p - (a + ab * (d1 / (d1 - d3))));
    V3 cp = p - c;
    double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return length(cp);
    double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return length(p - (a + ac * (d2 / (d2 - d6))));
    double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
        return length(p - (b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)))));
    double denominator = 1 / (va + vb + vc);
    return length(p - (a + ab * (vb * denominator) + ac * (vc * denominator)));
}


// The members, built once for the suite; meshes load from their bytes as the show's loader reads them.
class BuiltMeshes : public testing::Test {
protected:
    static void SetUpTestSuite() { members = new std::vector<Member>(buildMeshMembers()); }
    static void TearDownTestSuite() { delete members; }
    static assets::Mesh load(const std::string& name) {
        assets::Mesh mesh;
        for (const Member& m : *members)
            if (m.name == name) assets::decodeMesh(mesh, m.data.data(), m.data.size());
        return mesh;
    }
    static std::vector<Member>* members;
};

std::vector<Member>* BuiltMeshes::members;

TEST_F(BuiltMeshes, EveryMeshLoadsWithItsTexturesAndACameraPathLongEnoughForItsScene) {
    std::set<std::string> names;
    for (const Member& m : *members) {
        EXPECT_TRUE(names.insert(m.name).second) << "duplicate member " << m.name;
        bool isTexture = m.name.size() > 4 && m.name.substr(m.name.size() - 4) == ".raw";
        EXPECT_EQ(m.deflate, isTexture) << m.name;
        EXPECT_TRUE(!isTexture || (m.data.size() == 196608u && m.name.size() <= 13)) << m.name;
    }
    for (const auto& [name, segments] : minimumSegments) {
        assets::Mesh mesh = load(name);
        ASSERT_GT(mesh.objectCount, 0) << name << " did not load";
        // Every material a mesh names has its texture among the members, and none is hidden.
        for (int i = 0; i < mesh.materialCount; ++i) {
            std::string texture(mesh.materials[i].name, mesh.materials[i].nameLength);
            EXPECT_EQ(names.count(texture + ".raw"), 1u) << name << " names " << texture;
            float skip = mesh.materials[i].skip;  // a copy: the record is packed
            EXPECT_EQ(skip, 0.0f) << name << " hides material " << texture;
        }
        ASSERT_EQ(mesh.cameraCount, 1) << name;
        EXPECT_EQ((mesh.pathPointCount - 1) % 3, 0) << name << " path is not whole Bezier segments";
        EXPECT_GE((mesh.pathPointCount - 1) / 3, segments) << name;
        EXPECT_GT(mesh.cameras[0].fieldOfView, 20.0f);
        EXPECT_LT(mesh.cameras[0].fieldOfView, 120.0f);
        int triangles = 0;
        for (int i = 0; i < mesh.objectCount; ++i) triangles += mesh.objects[i].triangleCount;
        EXPECT_LE(triangles, 20000) << name;
    }
}

// Every path is a Bezier chain through its keys (smooth, as the chain test below shows). gluLookAt
// with up (0, 0, 1) needs the view to keep a horizontal part.
TEST_F(BuiltMeshes, TheCameraNeverLooksStraightUpOrDown) {
    for (const auto& entry : minimumSegments) {
        assets::Mesh mesh = load(entry.first);
        for (double t = 0; t < (mesh.pathPointCount - 1) / 3; t += 0.25) {
            V3 view = pathAt(mesh.cameras[0].target, t) - pathAt(mesh.cameras[0].eye, t);
            ASSERT_GT(std::hypot(view.x, view.y), 0.2 * length(view)) << entry.first << " at " << t;
        }
    }
}

TEST_F(BuiltMeshes, SplicedObjectsKeepTheirMeaningInTheSceneTheyJoinAndAreClosed) {
    // The knot and the sphere replace object 12 of their scenes, taking their material index
    // along: it must name the same material there.
    struct Splice {
        const char* scene;
        const char* donor;
        int minimumObjects;
    };
    for (Splice s : {Splice{"scene2.p3d", "tknot.p3D", 13}, Splice{"scene3.p3d", "sphere.p3D", 16}}) {
        assets::Mesh scene = load(s.scene), donor = load(s.donor);
        ASSERT_GE(scene.objectCount, s.minimumObjects) << s.scene;
        int index = donor.objects[0].materialIndex;
        ASSERT_LT(index, scene.materialCount) << s.scene;
        EXPECT_EQ(std::string(scene.materials[index].name, scene.materials[index].nameLength),
                  std::string(donor.materials[index].name, donor.materials[index].nameLength));
    }

    // The knot scene deforms at most 32768 vertices, about the centre it twists around; the
    // sphere is centred where the last scene shows it. Both are closed surfaces: every edge, by
    // position, borders exactly two triangles, so no seam opens when the scenes deform them.
    assets::Mesh knot = load("tknot.p3D"), sphere = load("sphere.p3D");
    EXPECT_LT(knot.objects[0].vertexCount, 32768);
    for (const auto& [mesh, centre] : {std::pair{&knot, KNOT_CENTRE}, std::pair{&sphere, SPHERE_CENTRE}}) {
        const assets::MeshObject& o = mesh->objects[0];
        V3 sum{};
        for (int i = 0; i < o.vertexCount; ++i) sum = sum + toV3(o.vertices[i]);
        EXPECT_NEAR(length(sum * (1.0 / o.vertexCount) - centre), 0, 3.5);
        auto key = [&](int v) {
            const assets::Point3& p = o.vertices[v];
            return std::tuple{std::lround(p.x * 1000), std::lround(p.y * 1000), std::lround(p.z * 1000)};
        };
        std::map<std::pair<std::tuple<long, long, long>, std::tuple<long, long, long>>, int> edges;
        for (int k = 0; k < o.triangleCount; ++k) {
            const int v[3] = {o.triangles[k].a, o.triangles[k].b, o.triangles[k].c};
            for (int e = 0; e < 3; ++e) ++edges[std::minmax(key(v[e]), key(v[(e + 1) % 3]))];
        }
        int open = 0;
        for (const auto& [edge, count] : edges) open += count != 2;
        EXPECT_EQ(open, 0) << "open edges";
    }
}

// The camera must never fly into scenery: closer than the near plane (2 units), the inside of
// whatever it touches fills the picture. Objects on paths are checked where they are at that
// moment; the last scene draws everything at 0.95 scale. The knot and the sphere are spliced in
// and deformed by their scenes, so the camera is checked against the room they take up instead.
TEST_F(BuiltMeshes, TheCameraNeverTouchesTheScenery) {
    struct Room {
        V3 centre;
        double radius;
    };
    const std::map<std::string, Room> spliced = {
        {"scene2.p3d", {KNOT_CENTRE, 80}},  // half the knot's size, as the scene shows it
        {"scene3.p3d", {SPHERE_CENTRE * 0.95, (70 + 17) * 0.95}},
    };
    for (const char* name : {"gyar.p3d", "scene1.p3d", "barlang.p3d", "scene2.p3d", "scene3.p3d"}) {
        assets::Mesh mesh = load(name);
        double scale = std::string(name) == "scene3.p3d" ? 0.95 : 1.0;
        int segments = (mesh.pathPointCount - 1) / 3;
        // Every triangle once, with a bounding sphere to skip the far ones quickly.
        struct Face {
            int object;
            V3 a, b, c, centre;
            double radius;
        };
        std::vector<Face> faces;
        for (int i = 0; i < mesh.objectCount; ++i) {
            if (spliced.count(name) && i == 12) continue;
            const assets::MeshObject& o = mesh.objects[i];
            for (int k = 0; k < o.triangleCount; ++k) {
                V3 a = toV3(o.vertices[o.triangles[k].a]) * scale, b = toV3(o.vertices[o.triangles[k].b]) * scale;
                V3 c = toV3(o.vertices[o.triangles[k].c]) * scale, centre = (a + b + c) * (1.0 / 3);
                faces.push_back({i, a, b, c, centre, std::max({length(a - centre), length(b - centre), length(c - centre)})});
            }
        }
        for (double t = 0; t < segments; t += 0.05) {
            V3 eye = pathAt(mesh.cameras[0].eye, t);
            if (spliced.count(name)) {
                const Room& room = spliced.at(name);
                ASSERT_GT(length(eye - room.centre), room.radius + 3) << name << " flies into object 12 at " << t;
            }
            for (const Face& f : faces) {
                // An object on a path is drawn moved by its path point of the moment.
                V3 move = mesh.objects[f.object].hasPath ? pathAt(mesh.objects[f.object].path, t) : V3{};
                V3 local = eye - move;
                if (length(local - f.centre) > f.radius + 3) continue;
                ASSERT_GT(distanceToTriangle(local, f.a, f.b, f.c), 3.0)
                    << name << " eye touches object " << f.object << " at path time " << t;
            }
        }
    }
}

// The face shading baked into shaded textures: a box with the key light high in front of it
// takes the brightest copy of its texture on top, a darker one in front, and the darkest at
// the back and underneath, which the light cannot see.
TEST(MeshBuilding, FacesTakeTheTextureCopyMatchingTheirAngleToTheKeyLight) {
    BuildMesh mesh;
    mesh.materials = {{"test", Layout::Shaded, [](double, double) { return Rgb{1, 1, 1}; }}};
    mesh.keyLight = {0, -5000, 10000};
    mesh.shadeFloor = 0.2;
    BuildObject& box = addObject(mesh, 0);
    addBox(mesh, box, {-1, -1, -1}, {1, 1, 1}, 10, 10);
    ASSERT_EQ(box.triangles.size(), 12u);

    std::vector<uint8_t> texture = paintMaterialTexture(mesh.materials[0]);
    // The brightness a triangle samples: the texel under its first corner's texture coordinate
    // as the renderer maps it (1 - u, 1 - v).
    auto brightness = [&](const assets::Triangle& t) {
        assets::TexCoord c = box.texCoords[t.a];
        int x = int((1 - c.u) * 256), y = int((1 - c.v) * 256);
        return int(texture[(size_t(y) * 256 + x) * 3]);
    };
    std::map<std::string, std::set<int>> faces;
    for (const assets::Triangle& t : box.triangles) {
        const assets::Point3 &a = box.vertices[t.a], &b = box.vertices[t.b], &c = box.vertices[t.c];
        std::string face = a.z + b.z + c.z == 3    ? "top"
                           : a.z + b.z + c.z == -3 ? "bottom"
                           : a.y + b.y + c.y == -3 ? "front"
                           : a.y + b.y + c.y == 3  ? "back"
                                                   : "end";
        faces[face].insert(brightness(t));
    }
    for (const auto& [face, levels] : faces) EXPECT_EQ(levels.size(), 1u) << face << " mixes shades";
    // Lambert 0.894 on top and 0.447 in front, lifted by the floor: 0.2 + 0.8 x lambert is 0.915
    // and 0.558, nearest the copies 1 (0.889) and 4 (0.554); the back and the bottom get the floor.
    auto copy = [](int level) { return int(std::lround(shadeBrightness(level) * 255)); };
    EXPECT_EQ(*faces["top"].begin(), copy(1));
    EXPECT_EQ(*faces["front"].begin(), copy(4));
    EXPECT_EQ(*faces["back"].begin(), copy(SHADE_LEVELS - 1));
    EXPECT_EQ(*faces["bottom"].begin(), copy(SHADE_LEVELS - 1));
}

// The camera passes through its keys at whole times, and between them the renderer's Bezier
// evaluation follows the key curve.
TEST(MeshBuilding, BezierChainsFollowTheKeyCurve) {
    std::vector<Key> keys = {{0, {0, 0, 0}}, {3, {30, 10, 5}}, {5, {10, 40, 20}}, {8, {-20, 0, 0}}};
    std::vector<assets::Point3> chain = bezierChain(keys, 8);
    ASSERT_EQ(chain.size(), 25u);
    for (double t = 0; t < 8; t += 0.25) {
        EXPECT_NEAR(length(pathAt(chain.data(), t) - evaluateKeys(keys, t)), 0, 2e-3) << t;
    }
    // Before the first and after the last key the point rests.
    EXPECT_NEAR(length(evaluateKeys(keys, 8) - evaluateKeys(keys, 9)), 0, 1e-12);
}

}  // namespace
