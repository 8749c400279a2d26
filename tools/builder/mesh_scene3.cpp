// "scene3.p3d": the last scene's domed sanctum. The blob sphere floats at SPHERE_CENTRE over a
// cradle on a stepped dais, inside a ring of leaning pylons under a dome; the scene's white
// light (reach 700) sits in the sphere. Object 12 is the sphere, replaced at start-up by the
// sphere mesh's object, so material 0 is the sphere's. Objects 13 and 14 are never shown by the
// scene (small markers at the light); object 15 is drawn unlit, so it holds what glows: the
// rings around the sphere and the light strips on the pylons. The scene draws everything at
// 0.95 scale about the origin, and the camera keeps its distance from the scenery accordingly.
#include <algorithm>
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

namespace {

constexpr double FLOOR_RADIUS = 560, WALL_HEIGHT = 260, DOME_TOP = 520;
constexpr double PYLON_RING = 345, PYLON_HEIGHT = 330, PYLON_LEAN = 55;
constexpr int PYLONS = 8;

// --- Painters ---------------------------------------------------------------------------------

Rgb paintFloor(double s, double t) {
    // Dark polished basalt slabs with a thin copper inlay along every second joint.
    double n = fractalNoise(s, t, 8, 5, 601);
    Rgb c = mix({0.22, 0.22, 0.26}, {0.42, 0.42, 0.48}, n);
    double fs = std::fmod(s * 2, 1.0), ft = std::fmod(t * 2, 1.0);
    if (fs < 0.02 || ft < 0.02) c = {0.1, 0.1, 0.12};
    if (s < 0.012 || t < 0.012) c = {0.85, 0.55, 0.3};
    double fleck = valueNoise(s * 200, t * 200, 200, 200, 602);
    if (fleck > 0.93) c = scale(c, 1.6);
    return c;
}

Rgb paintBasalt(double s, double t) {
    // Carved dark stone: a meander band across the middle of every picture.
    double n = fractalNoise(s, t, 6, 5, 611);
    Rgb c = mix({0.3, 0.3, 0.34}, {0.55, 0.54, 0.58}, n);
    if (t > 0.4 && t < 0.6) {
        double key = std::fmod(s * 8, 1.0), row = (t - 0.4) / 0.2;
        bool groove = (key < 0.12) || (row < 0.15) || (row > 0.85) || (key > 0.5 && key < 0.62 && row > 0.3);
        if (groove) c = scale(c, 0.45);
    }
    return c;
}

Rgb paintCopper(double s, double t) {
    // Dark copper with verdigris and rivet lines.
    double n = fractalNoise(s, t, 4, 5, 621);
    Rgb c = mix({0.45, 0.25, 0.14}, {0.78, 0.48, 0.28}, n);
    c = mix(c, {0.25, 0.55, 0.48}, smoothstep(0.58, 0.78, fractalNoise(s, t, 6, 4, 622)) * 0.8);
    if (std::fmod(t * 4, 1.0) < 0.05) c = scale(c, 0.5);
    return c;
}

Rgb paintPanels(double s, double t) {
    // Wall and dome panels: rectangular, with slightly varied tone and deep seams.
    int ps = int(s * 2), pt = int(t * 3);
    double tone = valueNoise(ps, pt, 2, 3, 631);
    double n = fractalNoise(s, t, 8, 4, 632);
    Rgb c = mix({0.42, 0.4, 0.44}, {0.66, 0.62, 0.66}, 0.5 * tone + 0.5 * n);
    double fs = s * 2 - ps, ft = t * 3 - pt;
    if (fs < 0.025 || ft < 0.04) c = scale(c, 0.35);
    return c;
}

Rgb paintGlow(double s, double t) {
    // Energy: bright cyan-white bands flowing along, never dark (this is drawn unlit).
    double flow = fractalNoise(s, t, 4, 4, 641);
    double band = 0.5 + 0.5 * std::sin((s * 6 + flow * 2) * 2 * PI);
    return mix({0.2, 0.6, 0.9}, {0.95, 1.0, 1.0}, band);
}

// --- Building ---------------------------------------------------------------------------------

enum Material { BLOB, FLOOR, BASALT, COPPER, PANELS, GLOW };

void addFloorAndDais(BuildMesh& mesh) {
    BuildObject& floor = addObject(mesh, FLOOR);  // 0
    std::vector<V3> points;
    std::vector<double> radii = {0, 90, 180, 260, 340, 420, 500, FLOOR_RADIUS};
    for (double r : radii)
        for (int i = 0; i <= 48; ++i) {
            double a = 2 * PI * i / 48;
            points.push_back({r * std::cos(a), r * std::sin(a), 0});
        }
    GridTexture slabs{evenSteps(48, 1), evenSteps(int(radii.size()) - 1, 1)};
    slabs.planarTile = 90;
    addGrid(mesh, floor, points, 48, int(radii.size()) - 1, slabs);

    BuildObject& dais = addObject(mesh, BASALT);  // 1
    addLathe(mesh, dais, {0, 0, 0}, {0, 0, 1},
             {{180, 0}, {180, 8}, {160, 8}, {160, 16}, {140, 16}, {140, 24}, {60, 24}, {0, 24}}, 32, 8, 30);

    BuildObject& cradle = addObject(mesh, COPPER);  // 2
    addLathe(mesh, cradle, {0, 0, 24}, {0, 0, 1},
             {{40, 0}, {40, 6}, {22, 12}, {14, 40}, {16, 56}, {34, 62}, {44, 68}, {40, 70}, {0, 62}}, 16, 4, 24);
}

void addPylons(BuildMesh& mesh) {
    BuildObject& pylons = addObject(mesh, BASALT);  // 3
    BuildObject& ring = addObject(mesh, COPPER);    // 4
    for (int k = 0; k < PYLONS; ++k) {
        double a = 2 * PI * (k + 0.5) / PYLONS;
        V3 radial{std::cos(a), std::sin(a), 0};
        V3 foot = radial * PYLON_RING, head = radial * (PYLON_RING - PYLON_LEAN) + V3{0, 0, PYLON_HEIGHT};
        addBeam(mesh, pylons, foot, head, 34, 22, radial * -1.0, 40, 40);
        addBox(mesh, pylons, foot - V3{26, 26, 0} + V3{0, 0, 0}, foot + V3{26, 26, 20}, 30, 30);
    }
    double r = PYLON_RING - PYLON_LEAN;
    addLathe(mesh, ring, {0, 0, 0}, {0, 0, 1},
             {{r + 14, PYLON_HEIGHT - 10}, {r + 14, PYLON_HEIGHT + 10}, {r - 14, PYLON_HEIGHT + 10},
              {r - 14, PYLON_HEIGHT - 10}, {r + 14, PYLON_HEIGHT - 10}},
             48, 12, 30);
}

void addHall(BuildMesh& mesh) {
    BuildObject& wall = addObject(mesh, PANELS);  // 5
    addLathe(mesh, wall, {0, 0, 0}, {0, 0, 1}, {{FLOOR_RADIUS, -2}, {FLOOR_RADIUS, WALL_HEIGHT}}, 40, 20, 65, true);
    BuildObject& dome = addObject(mesh, PANELS);  // 6
    std::vector<ProfilePoint> profile;
    for (int j = 0; j <= 8; ++j) {
        double a = (PI / 2) * j / 8;
        profile.push_back({FLOOR_RADIUS * std::cos(a), WALL_HEIGHT + (DOME_TOP - WALL_HEIGHT) * std::sin(a)});
    }
    profile.back().radius = 60;  // an open eye at the top
    addLathe(mesh, dome, {0, 0, 0}, {0, 0, 1}, profile, 40, 20, 70, true);

    BuildObject& ribs = addObject(mesh, COPPER);  // 7
    for (int k = 0; k < 16; ++k) {
        double a = 2 * PI * k / 16;
        V3 radial{std::cos(a), std::sin(a), 0};
        for (size_t j = 0; j + 1 < profile.size(); ++j) {
            V3 p0 = radial * (profile[j].radius - 6) + V3{0, 0, profile[j].height};
            V3 p1 = radial * (profile[j + 1].radius - 6) + V3{0, 0, profile[j + 1].height};
            addBeam(mesh, ribs, p0, p1, 10, 10, radial * -1.0, 80, 40);
        }
        addBeam(mesh, ribs, radial * (FLOOR_RADIUS - 6), radial * (FLOOR_RADIUS - 6) + V3{0, 0, WALL_HEIGHT}, 12, 10,
                radial * -1.0, 60, 40);
    }
}

void addGuardians(BuildMesh& mesh) {
    BuildObject& guardians = addObject(mesh, BASALT);  // 8
    for (int k = 0; k < PYLONS; ++k) {
        double a = 2 * PI * k / PYLONS;
        V3 at{470 * std::cos(a), 470 * std::sin(a), 0};
        addLathe(mesh, guardians, at, {0, 0, 1},
                 {{30, 0}, {30, 14}, {20, 18}, {16, 80}, {24, 96}, {18, 120}, {10, 130}, {0, 134}}, 6, 2, 40);
    }
    BuildObject& bowls = addObject(mesh, COPPER);  // 9
    for (int k = 0; k < PYLONS; ++k) {
        double a = 2 * PI * k / PYLONS;
        addLathe(mesh, bowls, {470 * std::cos(a), 470 * std::sin(a), 134}, {0, 0, 1},
                 {{0, -4}, {14, 0}, {24, 10}, {22, 12}, {0, 6}}, 10, 2, 20);
    }
}

// Conduits from the pylon feet to the cradle, lying on the floor and the dais steps.
void addConduits(BuildMesh& mesh) {
    BuildObject& conduits = addObject(mesh, COPPER);  // 10
    for (int k = 0; k < PYLONS; ++k) {
        double a = 2 * PI * (k + 0.5) / PYLONS;
        V3 radial{std::cos(a), std::sin(a), 0};
        std::vector<V3> spine = {radial * (PYLON_RING - 30) + V3{0, 0, 5}, radial * 260 + V3{0, 0, 5},
                                 radial * 190 + V3{0, 0, 5},           radial * 178 + V3{0, 0, 12},
                                 radial * 150 + V3{0, 0, 28},          radial * 60 + V3{0, 0, 28}};
        addTube(mesh, conduits, spine, 5, 6, false, 1, 40);
    }
    BuildObject& rim = addObject(mesh, COPPER);  // 11
    addLathe(mesh, rim, {0, 0, 0}, {0, 0, 1}, {{FLOOR_RADIUS - 4, 0}, {FLOOR_RADIUS - 4, 14}, {FLOOR_RADIUS - 22, 14},
                                                {FLOOR_RADIUS - 22, 0}},
             48, 12, 30, true);
}

// Objects 13 and 14: the scene never shows them; small markers at the light.
void addMarkers(BuildMesh& mesh) {
    for (int k = 0; k < 2; ++k) {
        BuildObject& marker = addObject(mesh, COPPER);
        addLathe(mesh, marker, {-0.64, 0, 150 + 10.0 * k}, {0, 0, 1}, {{0, 0}, {3, 3}, {0, 6}}, 4, 1, 10);
    }
}

void addGlow(BuildMesh& mesh) {
    BuildObject& glow = addObject(mesh, GLOW);  // 15
    // Three tilted rings around the sphere.
    const double tilts[3] = {0.35, -0.6, 1.1};
    const double radii[3] = {108, 126, 146};
    for (int k = 0; k < 3; ++k) {
        std::vector<V3> spine;
        double tilt = tilts[k], turn = k * 2.1;
        for (int i = 0; i < 64; ++i) {
            double a = 2 * PI * i / 64;
            V3 p{radii[k] * std::cos(a), radii[k] * std::sin(a), 0};
            // Tilt about the x axis, then turn about z.
            V3 q{p.x, p.y * std::cos(tilt), p.y * std::sin(tilt)};
            spine.push_back(SPHERE_CENTRE + V3{q.x * std::cos(turn) - q.y * std::sin(turn),
                                               q.x * std::sin(turn) + q.y * std::cos(turn), q.z});
        }
        addTube(mesh, glow, spine, 2.5, 5, true, 1, 60);
    }
    // Light strips up the inner face of each pylon.
    for (int k = 0; k < PYLONS; ++k) {
        double a = 2 * PI * (k + 0.5) / PYLONS;
        V3 radial{std::cos(a), std::sin(a), 0};
        V3 foot = radial * (PYLON_RING - 12) + V3{0, 0, 24}, head = radial * (PYLON_RING - PYLON_LEAN - 12) + V3{0, 0, PYLON_HEIGHT - 24};
        addBeam(mesh, glow, foot, head, 5, 1, radial * -1.0, 60, 60);
    }
}

}  // namespace

BuildMesh buildScene3Mesh() {
    BuildMesh mesh;
    mesh.fileName = "scene3.p3d";
    mesh.materials = {
        sphereMaterial(),
        {"s3floor", Layout::Tiled, paintFloor},
        {"s3basalt", Layout::Shaded, paintBasalt},
        {"s3copper", Layout::Shaded, paintCopper},
        {"s3panels", Layout::Shaded, paintPanels},
        {"s3glow", Layout::Tiled, paintGlow},
    };
    mesh.keyLight = {-0.64, 0, 159.3};  // the scene's light, in the sphere
    mesh.shadeFloor = 0.3;
    mesh.fieldOfView = 64;

    // The last scene's clock runs 2.4 units a second; orders 22-27 show 2..98. The camera keeps
    // the sphere in the middle of the picture all along: in from just before a guardian, through
    // the ring of pylons halfway between two of them (so none stands in front of the
    // sphere), then round the sphere inside the ring, up under the dome and down the far side,
    // and low round to the start again. (Positions are where the camera is; the scene shows the
    // sanctum, and the sphere, at 0.95 scale.)
    std::vector<Key> eye = {
        {0, aroundAxis(0, 400, 120)},    {12, aroundAxis(0, 340, 140)},   {24, aroundAxis(15, 260, 165)},
        {36, aroundAxis(60, 235, 215)},  {48, aroundAxis(110, 225, 280)}, {60, aroundAxis(165, 210, 320)},
        {72, aroundAxis(220, 225, 270)}, {84, aroundAxis(275, 250, 200)}, {96, aroundAxis(325, 260, 150)},
        {double(SCENE3_SEGMENTS), aroundAxis(375, 260, 140)},
    };
    const V3 sphere = SPHERE_CENTRE * 0.95;
    std::vector<Key> target = {{0, sphere}, {double(SCENE3_SEGMENTS), sphere}};
    setCameraFlight(mesh, eye, target, SCENE3_SEGMENTS);

    addFloorAndDais(mesh);                      // 0-2
    addPylons(mesh);                            // 3, 4
    addHall(mesh);                              // 5-7
    addGuardians(mesh);                         // 8, 9
    addConduits(mesh);                          // 10, 11
    mesh.objects.push_back(makeSphereObject()); // 12, material 0
    addMarkers(mesh);                           // 13, 14
    addGlow(mesh);                              // 15
    return mesh;
}

}  // namespace builder
