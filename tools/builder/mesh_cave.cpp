// "barlang.p3d": the cave the third scene flies through. A winding tunnel over still water:
// object 0 is the water surface (the scene blends it multiplicatively over what lies below it
// and scrolls its texture), the other objects are the rock walls, stalactites and boulders, each
// with a mirrored copy under the water line that shows through the water as its reflection.
// The scene fades walls to black 2500 units from the eye and multiplies every material's v
// scale by 10, so the materials store a tenth of the v scale they are drawn with.
#include <algorithm>
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

namespace {

constexpr double SPEED = 300;          // units of tunnel per segment of the scene clock
constexpr double START = 150;          // where the eye starts along the tunnel
constexpr double LOOK_AHEAD = 280;     // how far ahead of the eye the target runs
constexpr double LENGTH = START + SPEED * BARLANG_SEGMENTS + LOOK_AHEAD + 120;
constexpr double SPINE_STEP = 10, RING_STEP = 40;
constexpr int AROUND = 20;             // wall cells from one water edge over the roof to the other
// Every surface takes its picture at about the same density, 1.4 texels a unit: a tiled picture
// is 256 texels both ways, a shaded copy 128 around a dripstone and 64 along it.
constexpr double TILE = 180, DRIP_TILE = 45;

// --- Painters ---------------------------------------------------------------------------------

Rgb paintWater(double s, double t) {
    // Dark still water: slow swell with sharp ripple highlights. Its mean stays a little under
    // half, so the multiplicative blend darkens what it covers only slightly.
    double swell = fractalNoise(s, t, 3, 4, 201);
    double ripple = fractalNoise(s + swell * 0.3, t, 10, 3, 202);
    double glint = smoothstep(0.62, 0.78, ripple);
    Rgb c = mix({0.28, 0.34, 0.38}, {0.4, 0.46, 0.5}, swell);
    return mix(c, {0.62, 0.66, 0.7}, glint * 0.8);
}

Rgb paintCaveRock(double s, double t) {
    // Layered limestone: four broad strata across the picture (s runs up the wall, t along the
    // way through), rising and falling gently and bent by the rock's folds. Each stratum is a
    // ledge, lit along its upper edge and shadowed under its lip, and the bedding planes between
    // them open into dark crevices. Joints cross the beds here and there; wet streaks run down
    // over them. Everything wraps with the picture, which repeats both ways.
    double warp = fractalNoise(s, t, 2, 4, 211);
    double layer = s * 4 + 0.5 * std::sin(2 * PI * t) + (warp - 0.5) * 1.4;
    double bed = layer - std::floor(layer);
    int band = ((int(std::floor(layer)) % 4) + 4) % 4;
    const Rgb tones[4] = {{0.78, 0.72, 0.62}, {0.62, 0.46, 0.28}, {0.52, 0.5, 0.47}, {0.7, 0.6, 0.46}};
    double n = fractalNoise(s, t, 16, 5, 212);
    Rgb c = scale(tones[band], 0.7 + 0.45 * n);
    c = scale(c, 0.55 + 0.55 * smoothstep(0.0, 0.8, bed));  // the ledge: dark under the lip, lit on top
    double open = 0.04 + 0.06 * fractalNoise(s, t, 4, 3, 215);
    if (bed < open) c = scale(c, 0.15 + 0.5 * bed / open);
    double joint = std::fabs(valueNoise(t * 12 + warp * 3, layer, 12, 4, 216) - 0.5);
    if (joint < 0.012) c = scale(c, 0.3);
    double streak = valueNoise(s * 2 + warp, t * 32, 2, 32, 213);
    c = mix(c, {0.25, 0.22, 0.2}, smoothstep(0.68, 0.9, streak) * 0.55);
    return c;
}

Rgb paintDripstone(double s, double t) {
    // Calcite: creamy with fine growth rings and a glassy sheen.
    double rings = 0.5 + 0.5 * std::sin((t * 12 + fractalNoise(s, t, 4, 3, 221) * 2) * 2 * PI);
    double n = fractalNoise(s, t, 8, 4, 222);
    return mix({0.5, 0.45, 0.36}, {0.86, 0.8, 0.68}, 0.4 * rings + 0.6 * n);
}

// --- The tunnel ---------------------------------------------------------------------------------

enum Material { WATER, ROCK, DRIP };

struct SpinePoint {
    V3 centre;  // on the water
    V3 left;    // horizontal, perpendicular to the way through
};

// Smooth bumps in the tunnel's width and height make two chambers along the way.
double chamber(double s, double at, double reach) { return std::exp(-std::pow((s - at) / reach, 2)); }
double halfWidth(double s) {
    return 115 + 35 * std::sin(s / 520 + 1) + 95 * chamber(s, 1500, 320) + 120 * chamber(s, 3300, 360);
}
double roofHeight(double s) {
    return 135 + 40 * std::sin(s / 610) + 70 * chamber(s, 1500, 320) + 110 * chamber(s, 3300, 360);
}

std::vector<SpinePoint> makeSpine() {
    std::vector<SpinePoint> spine;
    V3 at{0, 0, 0};
    for (double s = 0; s <= LENGTH + SPINE_STEP; s += SPINE_STEP) {
        double heading = 0.9 * std::sin(s / 700) + 0.45 * std::sin(s / 330 + 1);
        V3 forward{std::cos(heading), std::sin(heading), 0};
        spine.push_back({at, {-forward.y, forward.x, 0}});
        at = at + forward * SPINE_STEP;
    }
    return spine;
}

SpinePoint spineAt(const std::vector<SpinePoint>& spine, double s) {
    double f = std::clamp(s / SPINE_STEP, 0.0, double(spine.size() - 1));
    size_t i = std::min(size_t(f), spine.size() - 2);
    double frac = f - double(i);
    return {lerp(spine[i].centre, spine[i + 1].centre, frac), normalised(lerp(spine[i].left, spine[i + 1].left, frac))};
}

// A point of the wall: `phi` runs from the right water edge (0) over the roof to the left (pi),
// a little beyond both so the rock meets the water below its surface. Noise pushes it in and out.
V3 wallPoint(const std::vector<SpinePoint>& spine, double s, double phi) {
    SpinePoint p = spineAt(spine, s);
    double bump = fractalNoise(s / LENGTH, phi / (2 * PI), 40, 2, 231) - 0.5;
    double fine = valueNoise(s / 90, phi * 3, 4096, 19, 232) - 0.5;
    double scaleOut = 1 + 0.4 * bump + 0.1 * fine;
    V3 right = p.left * -1.0;
    return p.centre + right * (halfWidth(s) * std::cos(phi) * scaleOut) +
           V3{0, 0, roofHeight(s) * std::sin(phi) * scaleOut};
}

double phiAt(int j) { return -0.12 + (PI + 0.24) * j / AROUND; }

// The reflection: the same faces below the water line.
BuildObject mirrored(const BuildObject& object) {
    BuildObject copy = object;
    for (assets::Point3& p : copy.vertices) p.z = -p.z;
    return copy;
}

void addWallsAndWater(BuildMesh& mesh, const std::vector<SpinePoint>& spine) {
    int rings = int(LENGTH / RING_STEP);
    BuildObject& water = addObject(mesh, WATER);
    const int across = 3;
    std::vector<V3> waterPoints;
    GridTexture waterTexture;
    for (int k = 0; k <= rings; ++k) {
        double s = k * RING_STEP;
        SpinePoint p = spineAt(spine, s);
        double w = halfWidth(s) * 1.5;  // reaches under the walls' bulges
        for (int i = 0; i <= across; ++i) {
            double offset = w * (2.0 * i / across - 1);
            waterPoints.push_back(p.centre + p.left * offset);
            // The water lies flat: its picture follows the way through and the offset across.
            waterTexture.uAt.push_back(offset / TILE);
            waterTexture.vAt.push_back(s / TILE);
        }
    }
    addGrid(mesh, water, waterPoints, across, rings, waterTexture);

    // The walls take their picture across by the length of wall walked over from the right water
    // edge, ring by ring, so wide chambers and narrow passages alike show it at one density.
    BuildObject& walls = addObject(mesh, ROCK);
    std::vector<V3> wallPoints;
    GridTexture wallTexture;
    for (int k = 0; k <= rings; ++k) {
        double across = 0;
        for (int j = 0; j <= AROUND; ++j) {
            V3 p = wallPoint(spine, k * RING_STEP, phiAt(j));
            if (j > 0) across += length(p - wallPoints.back());
            wallPoints.push_back(p);
            wallTexture.uAt.push_back(across / TILE);
            wallTexture.vAt.push_back(k * RING_STEP / TILE);
        }
    }
    addGrid(mesh, walls, wallPoints, AROUND, rings, wallTexture);
    mesh.objects.push_back(mirrored(walls));
}

void addDripstones(BuildMesh& mesh, const std::vector<SpinePoint>& spine) {
    BuildObject& drip = addObject(mesh, DRIP);
    Random random{0xca5e11u};
    for (double s = 60; s < LENGTH - 60; s += random.range(25, 70)) {
        // Stalactites from the roof, never low enough to reach the flight (which stays below 70).
        double phi = PI / 2 + random.range(-0.9, 0.9);
        V3 root = wallPoint(spine, s, phi) + V3{0, 0, 8};
        double reach = std::min(random.range(25, 75), root.z - 8 - 85);
        if (reach < 12) continue;
        double r = random.range(7, 13);
        addLathe(mesh, drip, root, {0, 0, -1}, {{r, 0}, {r * 0.75, reach * 0.3}, {r * 0.4, reach * 0.7}, {0, reach}}, 6, 1,
                 DRIP_TILE);
    }
    // Boulders and stalagmites standing in the water along the walls, away from the flight.
    for (double s = 90; s < LENGTH - 90; s += random.range(110, 220)) {
        SpinePoint p = spineAt(spine, s);
        double side = random.uniform() < 0.5 ? -1 : 1;
        V3 at = p.centre + p.left * (side * halfWidth(s) * random.range(0.68, 0.85));
        double r = random.range(12, 24), h = random.range(20, 55);
        addLathe(mesh, drip, at + V3{0, 0, -12}, {0, 0, 1},
                 {{r, 0}, {r * 0.95, 14}, {r * 0.7, 12 + h * 0.45}, {r * 0.3, 12 + h * 0.85}, {0, 12 + h}}, 7, 1,
                 DRIP_TILE);
    }
    mesh.objects.push_back(mirrored(drip));
}

}  // namespace

BuildMesh buildCaveMesh() {
    BuildMesh mesh;
    mesh.fileName = "barlang.p3d";
    mesh.materials = {
        {"bwater", Layout::Tiled, paintWater, 1, 0.1f},
        {"brock", Layout::Tiled, paintCaveRock, 1, 0.1f},
        {"bdrip", Layout::Shaded, paintDripstone, 1, 0.1f},
    };
    mesh.sceneVFactor = 10;
    mesh.shadeFloor = 0.3;
    mesh.fieldOfView = 70;

    std::vector<SpinePoint> spine = makeSpine();
    // The scene lights the cave from the eye, so faces turned towards the oncoming camera (and
    // up to its height) are the bright ones.
    mesh.keyLightAt = [spine](V3 centre) {
        size_t best = 0;
        double bestDistance = 1e18;
        for (size_t i = 0; i < spine.size(); i += 2) {
            V3 d = spine[i].centre - centre;
            double d2 = d.x * d.x + d.y * d.y;
            if (d2 < bestDistance) { bestDistance = d2; best = i; }
        }
        size_t back = best >= 15 ? best - 15 : 0;
        return spine[back].centre + V3{0, 0, 50};
    };

    // The eye glides along the tunnel, swaying from side to side and rising and falling a little.
    std::vector<Key> eye, target;
    for (double t = 0; t <= BARLANG_SEGMENTS; t += 0.5) {
        double s = START + SPEED * t;
        SpinePoint p = spineAt(spine, s), q = spineAt(spine, s + LOOK_AHEAD);
        double sway = 0.25 * halfWidth(s) * std::sin(t * 0.7);
        eye.push_back({t, p.centre + p.left * sway + V3{0, 0, 42 + 12 * std::sin(t * 0.9)}});
        target.push_back({t, q.centre + q.left * (sway * 0.5) + V3{0, 0, 50 + 10 * std::sin(t * 0.6 + 1)}});
    }
    setCameraFlight(mesh, eye, target, BARLANG_SEGMENTS);

    addWallsAndWater(mesh, spine);
    addDripstones(mesh, spine);
    return mesh;
}

}  // namespace builder
