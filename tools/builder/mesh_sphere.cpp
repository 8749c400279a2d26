// "sphere.p3D": the blob sphere of the last scene. Its object 0 is copied over object 12 of
// "scene3.p3d" at start-up; every frame the scene pushes each vertex along all three axes by up
// to 17 units of drifting waves, so the sphere is fine enough for the waves to read as boiling.
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

const V3 SPHERE_CENTRE{0, 0, 160};

namespace {

constexpr double RADIUS = 70;
constexpr int AROUND = 40, ROWS = 26;

Rgb paintBlob(double s, double t) {
    // Molten glass: orange and magenta cells with bright rims.
    double nearest, second;
    cellDistances(s, t, 6, 401, nearest, second);
    double rim = 1 - smoothstep(0.0, 0.12, second - nearest);
    Rgb c = mix({0.9, 0.35, 0.1}, {0.75, 0.15, 0.55}, fractalNoise(s, t, 4, 4, 402));
    return mix(c, {1, 0.9, 0.6}, rim);
}

}  // namespace

MaterialRecipe sphereMaterial() { return {"s3blob", Layout::Tiled, paintBlob}; }

BuildObject makeSphereObject() {
    BuildMesh scratch;
    scratch.materials = {sphereMaterial()};
    BuildObject& sphere = addObject(scratch, 0);
    std::vector<ProfilePoint> profile;
    for (int j = 0; j <= ROWS; ++j) {
        double a = PI * j / ROWS;
        profile.push_back({RADIUS * std::sin(a), -RADIUS * std::cos(a)});
    }
    addLathe(scratch, sphere, SPHERE_CENTRE, {0, 0, 1}, profile, AROUND, 3, 2 * RADIUS);
    return sphere;
}

BuildMesh buildSphereMesh() {
    BuildMesh mesh;
    mesh.fileName = "sphere.p3D";
    mesh.materials = {sphereMaterial()};
    mesh.objects.push_back(makeSphereObject());
    // The show never flies this mesh's camera; it circles the sphere for anyone who does.
    std::vector<Key> eye, target;
    for (int t = 0; t <= 4; ++t) {
        double a = t * PI / 4;
        eye.push_back({double(t), SPHERE_CENTRE + V3{190 * std::cos(a), 190 * std::sin(a), 40}});
        target.push_back({double(t), SPHERE_CENTRE});
    }
    setCameraFlight(mesh, eye, target, 4);
    return mesh;
}

}  // namespace builder
