// "tknot.p3D": the torus knot of the knot scene. Its object 0 is copied over object 12 of
// "scene2.p3d" at start-up, and every frame the scene rotates its vertices about KNOT_CENTRE at
// half size, turning parts farther from the origin by a lagging angle so that the knot twists.
// The scene deforms at most 32768 vertices; this knot has about a tenth of that.
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

const V3 KNOT_CENTRE{0.307, -0.045, 160.253};

namespace {

constexpr int LOOPS = 3, WINDINGS = 5;            // a (3, 5) torus knot
constexpr double RING = 92, SWING = 46, TUBE = 12;  // full size: the scene halves it
constexpr int ALONG = 240, AROUND = 9;

Rgb paintKnot(double s, double t) {
    // Flowing bands of violet and cyan light; the scene swaps in its own space texture, but
    // the mesh looks right on its own too.
    double flow = fractalNoise(s, t, 4, 4, 301);
    double band = 0.5 + 0.5 * std::sin((t * 4 + s + flow * 1.5) * 2 * PI);
    Rgb c = mix({0.25, 0.1, 0.45}, {0.3, 0.8, 0.95}, band);
    return mix(c, {1, 1, 1}, smoothstep(0.7, 0.9, fractalNoise(s, t, 16, 2, 302)) * 0.6);
}

}  // namespace

MaterialRecipe knotMaterial() { return {"s2knot", Layout::Tiled, paintKnot}; }

BuildObject makeKnotObject() {
    BuildMesh scratch;
    scratch.materials = {knotMaterial()};
    BuildObject& knot = addObject(scratch, 0);
    std::vector<V3> spine;
    for (int i = 0; i < ALONG; ++i) {
        double a = 2 * PI * i / ALONG;
        double r = RING + SWING * std::cos(WINDINGS * a);
        // Upright, in the x-z plane, so the camera first sees it face on.
        spine.push_back(KNOT_CENTRE + V3{r * std::cos(LOOPS * a), SWING * std::sin(WINDINGS * a), r * std::sin(LOOPS * a)});
    }
    addTube(scratch, knot, spine, TUBE, AROUND, true, 1, 90);
    return knot;
}

BuildMesh buildKnotMesh() {
    BuildMesh mesh;
    mesh.fileName = "tknot.p3D";
    mesh.materials = {knotMaterial()};
    mesh.objects.push_back(makeKnotObject());
    // The show never flies this mesh's camera; it circles the knot for anyone who does.
    std::vector<Key> eye, target;
    for (int t = 0; t <= 4; ++t) {
        double a = t * PI / 4;
        eye.push_back({double(t), KNOT_CENTRE + V3{320 * std::sin(a), -320 * std::cos(a), 60}});
        target.push_back({double(t), KNOT_CENTRE});
    }
    setCameraFlight(mesh, eye, target, 4);
    return mesh;
}

}  // namespace builder
