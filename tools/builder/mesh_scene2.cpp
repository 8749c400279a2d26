// "scene2.p3d": the knot scene's plaza under a sky dome. A round plaza with a glowing crystal
// on a pedestal (the scene's white light sits inside it, 70 units up) is ringed by water,
// arches and hills; rocks float high above. The knot twists above the crystal, around
// KNOT_CENTRE at half its stored size: object 12 holds it and is replaced by the knot mesh's
// object at start-up, so material 0 is the knot's. Object 11 is the sky dome: the scene draws it
// unlit, then again at 0.95 scale with the daylight picture fading out over it, so the dome is
// centred on the origin, lies well outside all scenery and its 0.95 copy still clears the hills.
#include <algorithm>
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

namespace {

constexpr double PLAZA = 320, PLAZA_Z = 10;
constexpr double CHANNEL_IN = 350, CHANNEL_OUT = 430;
constexpr double ARCH_RING = 520;
constexpr double DOME = 2000, DOME_TOP = 1300;
constexpr double DOME_LOW = -0.35;  // the dome's foot, in radians below the horizon
// The land ends in a ring of hills within the scene light's shortest reach (1300), so it never
// turns black; beyond the crest the sky dome reaches on below the horizon.
constexpr double HILLS_FROM = 740, LAND_EDGE = 1080;

// --- Painters ---------------------------------------------------------------------------------

Rgb paintGround(double s, double t) {
    // Short dry grass over earth, patchy.
    double n = fractalNoise(s, t, 4, 6, 501);
    double blades = valueNoise(s * 128, t * 128, 128, 128, 502);
    Rgb c = mix({0.36, 0.42, 0.2}, {0.6, 0.62, 0.32}, n);
    c = mix(c, {0.5, 0.4, 0.28}, smoothstep(0.6, 0.75, fractalNoise(s, t, 3, 4, 503)) * 0.8);
    return scale(c, 0.8 + 0.35 * blades);
}

Rgb paintTiles(double s, double t) {
    // Polished stone tiles, two colours in a checker, with thin joints and a soft sheen.
    int ts = int(s * 4), tt = int(t * 4);
    double fs = s * 4 - ts, ft = t * 4 - tt;
    bool dark = (ts + tt) % 2 == 1;
    double n = fractalNoise(s, t, 8, 4, 511);
    Rgb c = dark ? mix(Rgb{0.35, 0.38, 0.45}, Rgb{0.45, 0.48, 0.55}, n) : mix(Rgb{0.78, 0.76, 0.7}, Rgb{0.9, 0.88, 0.82}, n);
    if (fs < 0.03 || ft < 0.03) c = scale(c, 0.5);
    return c;
}

Rgb paintStone(double s, double t) {
    // Pale limestone blocks, large, with weathered faces.
    double course = std::floor(t * 2);
    double bs = std::fmod(s + course * 0.5, 1.0), bt = std::fmod(t * 2, 1.0);
    double n = fractalNoise(s, t, 8, 5, 521);
    Rgb c = mix({0.62, 0.6, 0.56}, {0.88, 0.86, 0.8}, n);
    c = mix(c, {0.45, 0.47, 0.4}, smoothstep(0.62, 0.82, fractalNoise(s, t, 4, 4, 522)) * 0.6);
    if (bs < 0.015 || bs > 0.985 || bt < 0.03) c = scale(c, 0.55);
    return c;
}

Rgb paintMetal(double s, double t) {
    // Brushed bronze-gold with engraved bands.
    double brush = valueNoise(s * 4, t * 96, 4, 96, 531);
    Rgb c = mix({0.55, 0.42, 0.2}, {0.9, 0.75, 0.42}, 0.6 * brush + 0.4 * fractalNoise(s, t, 4, 3, 532));
    double band = std::fmod(t * 4, 1.0);
    if (band < 0.06) c = scale(c, 0.5);
    return c;
}

Rgb paintCrystal(double s, double t) {
    // Ice-blue crystal with bright facet streaks.
    double streak = std::pow(std::fabs(std::sin((s * 3 + t * 2 + fractalNoise(s, t, 4, 3, 541)) * PI)), 8);
    return mix({0.45, 0.7, 0.9}, {0.95, 1.0, 1.0}, 0.3 + 0.7 * streak);
}

Rgb paintWater(double s, double t) {
    double n = fractalNoise(s, t, 4, 5, 551);
    double glint = smoothstep(0.68, 0.8, fractalNoise(s, t, 12, 3, 552));
    return mix(mix(Rgb{0.1, 0.25, 0.35}, Rgb{0.2, 0.45, 0.55}, n), Rgb{0.85, 0.95, 1}, glint);
}

Rgb paintRock(double s, double t) {
    double n = fractalNoise(s, t, 6, 6, 561);
    Rgb c = mix({0.35, 0.3, 0.3}, {0.68, 0.6, 0.55}, n);
    double nearest, second;
    cellDistances(s, t, 4, 562, nearest, second);
    if (second - nearest < 0.04) c = scale(c, 0.55);
    return mix(c, {0.35, 0.5, 0.25}, smoothstep(0.7, 0.85, fractalNoise(s, t, 8, 3, 563)) * 0.7);
}

// The sky dome's picture: t runs from the dome's foot, below the horizon (0), to the top (1),
// evenly in elevation; the horizon lies at NIGHT_HORIZON. Distant land below the horizon, a
// bright rose afterglow along it with a range of far mountains against it, deepening to a night
// blue that is never black, and stars of a single texel, of varied brightness, a few of them
// tinted. The scene shows this sky for its first half second under the flash-in and then
// switches to the daylight picture at once: the afterglow reaches up over the part of the sky
// the camera sees then and is bright enough that the switch hides under the flash.
constexpr double NIGHT_HORIZON = -DOME_LOW / (PI / 2 - DOME_LOW);

Rgb paintNightSky(double s, double t) {
    double above = (t - NIGHT_HORIZON) / (1 - NIGHT_HORIZON);  // 0 at the horizon, 1 at the top
    if (above < 0) {
        double haze = 1 + above / NIGHT_HORIZON;  // 1 at the horizon, 0 at the foot
        return mix({0.08, 0.1, 0.1}, {0.2, 0.18, 0.25}, haze * (0.8 + 0.2 * fractalNoise(s, t, 8, 3, 570)));
    }
    Rgb c = mix({0.75, 0.5, 0.62}, {0.3, 0.3, 0.55}, smoothstep(0.0, 0.45, above));
    c = mix(c, {0.06, 0.08, 0.2}, smoothstep(0.45, 0.9, above));
    double nebula = fractalNoise(s, t, 4, 6, 571) * smoothstep(0.2, 0.0, std::fabs(above - 0.5 - 0.1 * std::sin(s * 2 * PI)));
    c = mix(c, {0.3, 0.2, 0.45}, nebula * 0.5);
    double ridge = 0.02 + 0.07 * fractalNoise(s, 0.5, 5, 4, 573);
    if (above < ridge) return mix({0.13, 0.11, 0.17}, {0.18, 0.14, 0.22}, above / ridge);
    int x = int(s * 256), y = int(t * 256);
    if (above > 0.08 && unitHash(x, y, 572) < 0.0025 + 0.004 * smoothstep(0.1, 0.7, above)) {
        double b = 0.25 + 0.75 * std::pow(unitHash(x, y, 574), 3.0);
        double hue = unitHash(x, y, 575);
        Rgb tint = hue < 0.06 ? Rgb{1.0, 0.7, 0.5} : hue < 0.12 ? Rgb{0.65, 0.8, 1.0} : Rgb{1.0, 1.0, 0.97};
        c = mix(c, tint, b);
    }
    return c;
}

// --- Building ---------------------------------------------------------------------------------

enum Material { KNOT, GROUND, TILES, STONE, METAL, CRYSTAL, WATER, ROCK, NIGHT };

// A flat or raised ring of the ground, seen from above: radii from inner to outer, `around`
// cells, height from `height(r, angle)`.
std::vector<V3> polarPoints(const std::vector<double>& radii, int around, double (*height)(double, double)) {
    std::vector<V3> points;
    for (double r : radii)
        for (int i = 0; i <= around; ++i) {
            double a = 2 * PI * i / around;
            points.push_back({r * std::cos(a), r * std::sin(a), height(r, a)});
        }
    return points;
}

double landHeight(double r, double a) {
    double s = a / (2 * PI);
    double rise = std::clamp((r - HILLS_FROM) / (LAND_EDGE - HILLS_FROM), 0.0, 1.0);
    double hills = 90 + 190 * fractalNoise(s, 0.3, 8, 4, 581);
    return rise * rise * hills + 12 * rise * (fractalNoise(s, r / 3000, 24, 3, 582) - 0.5);
}

void addGround(BuildMesh& mesh) {
    BuildObject& land = addObject(mesh, GROUND);
    std::vector<double> radii = {CHANNEL_OUT, 480, 560, 650, HILLS_FROM, 800, 860, 920, 980, 1030, LAND_EDGE};
    GridTexture flat{evenSteps(64, 1), evenSteps(int(radii.size()) - 1, 1)};
    flat.planarTile = 90;
    addGrid(mesh, land, polarPoints(radii, 64, landHeight), 64, int(radii.size()) - 1, flat);

    BuildObject& plaza = addObject(mesh, TILES);
    std::vector<double> inner = {0, 70, 140, 210, 270, PLAZA};
    GridTexture tiles{evenSteps(48, 1), evenSteps(int(inner.size()) - 1, 1)};
    tiles.planarTile = 80;
    addGrid(mesh, plaza, polarPoints(inner, 48, [](double, double) { return PLAZA_Z; }), 48, int(inner.size()) - 1,
            tiles);

    BuildObject& rim = addObject(mesh, STONE);
    addLathe(mesh, rim, {0, 0, 0}, {0, 0, 1},
             {{CHANNEL_IN, -4}, {CHANNEL_IN, 4}, {335, 4}, {335, PLAZA_Z}, {PLAZA, PLAZA_Z}}, 48, 12, 30);

    BuildObject& water = addObject(mesh, WATER);
    GridTexture waves{evenSteps(48, 1), evenSteps(2, 1)};
    waves.planarTile = 120;
    addGrid(mesh, water, polarPoints({CHANNEL_IN, (CHANNEL_IN + CHANNEL_OUT) / 2, CHANNEL_OUT}, 48,
                                     [](double, double) { return 1.5; }),
            48, 2, waves);
}

void addArches(BuildMesh& mesh) {
    BuildObject& stone = addObject(mesh, STONE);
    for (int k = 0; k < 8; ++k) {
        double a = 2 * PI * k / 8;
        V3 radial{std::cos(a), std::sin(a), 0}, along{-std::sin(a), std::cos(a), 0};
        V3 centre = radial * ARCH_RING;
        for (double side : {-1.0, 1.0}) {
            V3 foot = centre + along * (side * 52);
            addBeam(mesh, stone, foot + V3{0, 0, 0}, foot + V3{0, 0, 190}, 24, 24, radial, 40, 40);
            addBeam(mesh, stone, foot + V3{0, 0, 0}, foot + V3{0, 0, 16}, 34, 34, radial, 40, 40);
        }
        addBeam(mesh, stone, centre + along * -72 + V3{0, 0, 202}, centre + along * 72 + V3{0, 0, 202}, 30, 24, {0, 0, 1},
                36, 40);
    }
}

void addCentre(BuildMesh& mesh) {
    BuildObject& metal = addObject(mesh, METAL);
    addLathe(mesh, metal, {0, 0, PLAZA_Z}, {0, 0, 1},
             {{44, 0}, {44, 8}, {34, 12}, {22, 22}, {18, 30}, {26, 36}, {30, 40}, {0, 40}}, 16, 4, 24);

    BuildObject& crystal = addObject(mesh, CRYSTAL);
    addLathe(mesh, crystal, {0, 0, PLAZA_Z + 38}, {0, 0, 1}, {{0, 0}, {10, 8}, {16, 24}, {7, 40}, {0, 48}}, 6, 2, 24);
    for (int k = 0; k < 5; ++k) {
        double a = 2 * PI * k / 5 + 0.4;
        V3 foot{22 * std::cos(a), 22 * std::sin(a), PLAZA_Z + 38};
        V3 axis = normalised(V3{std::cos(a) * 0.6, std::sin(a) * 0.6, 1});
        addLathe(mesh, crystal, foot, axis, {{0, 0}, {5, 4}, {5, 16}, {0, 24}}, 5, 1, 24);
    }
}

void addSpires(BuildMesh& mesh) {
    BuildObject& stone = addObject(mesh, STONE);
    Random random{0x5eed2u};
    for (int k = 0; k < 9; ++k) {
        double a = 2 * PI * (k + random.range(0.2, 0.8)) / 9, r = random.range(800, 1000);
        V3 at{r * std::cos(a), r * std::sin(a), landHeight(r, std::fmod(a + 2 * PI, 2 * PI)) - 10};
        if (groundClearance(mesh, at) < 200) continue;
        double h = random.range(160, 300);
        addLathe(mesh, stone, at, {0, 0, 1}, {{34, 0}, {26, h * 0.3}, {18, h * 0.8}, {28, h * 0.85}, {0, h}}, 6, 2, 40);
    }
}

// Three groups of floating rocks, each bobbing on its own path, clear of the camera.
void addFloatingRocks(BuildMesh& mesh, int segments) {
    Random random{0xf10a7u};
    for (int group = 0; group < 3; ++group) {
        BuildObject& rocks = addObject(mesh, ROCK);
        int placed = 0;
        for (int attempt = 0; attempt < 60 && placed < 3; ++attempt) {
            double a = random.range(0, 2 * PI), r = random.range(650, 1150), z = random.range(320, 520);
            V3 at{r * std::cos(a), r * std::sin(a), z};
            double size = random.range(35, 70);
            if (eyeClearance(mesh, at) < size * 2 + 90) continue;
            // A rock hanging point down: flat top, jagged underside.
            std::vector<ProfilePoint> profile = {{0, size * 0.5},        {size, size * 0.4},  {size * 1.1, size * 0.1},
                                                 {size * 0.8, -size * 0.5}, {size * 0.4, -size * 1.2}, {0, -size * 1.6}};
            std::reverse(profile.begin(), profile.end());
            addLathe(mesh, rocks, at, {0, 0, 1}, profile, 7, 2, 40);
            ++placed;
        }
        std::vector<Key> bob;
        for (int t = 0; t <= segments; t += 2)
            bob.push_back({double(t), {0, 0, 18 * std::sin(t * 0.045 + group * 2.1)}});
        if (bob.back().time < segments) bob.push_back({double(segments), bob.back().point});
        rocks.path = bezierChain(bob, segments);
    }
}

void addSkyDome(BuildMesh& mesh) {
    BuildObject& sky = addObject(mesh, NIGHT);
    const int rows = 16, around = 48;
    std::vector<V3> points;
    for (int j = 0; j <= rows; ++j) {
        double a = DOME_LOW + (PI / 2 - DOME_LOW) * j / rows;
        for (int i = 0; i <= around; ++i) {
            double b = 2 * PI * i / around;
            points.push_back({DOME * std::cos(a) * std::cos(b), DOME * std::cos(a) * std::sin(b), DOME_TOP * std::sin(a)});
        }
    }
    // One picture from the foot to the top, evenly in elevation, three times around.
    addGrid(mesh, sky, points, around, rows, GridTexture{evenSteps(around, 3), evenSteps(rows, 1), true});
}

void addLamps(BuildMesh& mesh) {
    BuildObject& posts = addObject(mesh, METAL);
    for (int k = 0; k < 12; ++k) {
        double a = 2 * PI * (k + 0.5) / 12;
        V3 at{290 * std::cos(a), 290 * std::sin(a), PLAZA_Z};
        if (groundClearance(mesh, at) < 40) continue;
        addLathe(mesh, posts, at, {0, 0, 1}, {{6, 0}, {4, 6}, {2.5, 70}, {7, 74}, {7, 84}, {2, 90}, {0, 92}}, 6, 1, 30);
    }
}

}  // namespace

BuildMesh buildScene2Mesh() {
    BuildMesh mesh;
    mesh.fileName = "scene2.p3d";
    mesh.materials = {
        knotMaterial(),
        {"s2ground", Layout::Tiled, paintGround},
        {"s2tiles", Layout::Tiled, paintTiles},
        {"s2stone", Layout::Shaded, paintStone},
        {"s2metal", Layout::Shaded, paintMetal},
        {"s2crystal", Layout::Shaded, paintCrystal},
        {"s2water", Layout::Tiled, paintWater},
        {"s2rock", Layout::Shaded, paintRock},
        {"s2night", Layout::Tiled, paintNightSky},
    };
    mesh.keyLight = {0, 0.49, 69.6};  // the scene's light, in the crystal
    mesh.shadeFloor = 0.3;
    mesh.fieldOfView = 62;

    // The knot scene's clock runs 4.7 units a second; orders 12-17 show 7..196. The camera
    // keeps the knot in the middle of the picture all along: in from the east, straight through
    // the middle of the arch (its pillars frame the knot), over the plaza, then round the knot at
    // a steady pace, rising over the southern meadow among the floating rocks, high round the
    // west, and down again from the south. It stays within the ring of arches (a far camera would
    // see the knot too small, and looking at the knot from inside the hills it never sees past
    // their crest to the land's edge), and never so near that turning to follow the knot would
    // whip the picture round.
    std::vector<Key> eye = {
        {0, aroundAxis(0, 680, 150)},    {20, aroundAxis(0, 600, 130)},    {38, aroundAxis(0, 520, 112)},
        {50, aroundAxis(10, 450, 110)},  {62, aroundAxis(26, 390, 120)},   {76, aroundAxis(50, 370, 150)},
        {92, aroundAxis(82, 380, 190)},  {108, aroundAxis(114, 400, 240)}, {122, aroundAxis(144, 430, 300)},
        {136, aroundAxis(174, 450, 360)}, {150, aroundAxis(206, 470, 390)}, {164, aroundAxis(238, 480, 370)},
        {180, aroundAxis(270, 480, 320)}, {196, aroundAxis(302, 480, 260)},
        {double(SCENE2_SEGMENTS), aroundAxis(330, 480, 220)},
    };
    const V3 knot = KNOT_CENTRE * 0.95;  // the scene draws the knot at 0.95 scale
    std::vector<Key> target = {{0, knot}, {double(SCENE2_SEGMENTS), knot}};
    setCameraFlight(mesh, eye, target, SCENE2_SEGMENTS);

    addGround(mesh);                            // objects 0-3
    addArches(mesh);                            // 4
    addCentre(mesh);                            // 5, 6
    addSpires(mesh);                            // 7
    addFloatingRocks(mesh, SCENE2_SEGMENTS);    // 8-10
    addSkyDome(mesh);                           // 11
    mesh.objects.push_back(makeKnotObject());   // 12, material 0
    addLamps(mesh);                             // 13
    return mesh;
}

}  // namespace builder
