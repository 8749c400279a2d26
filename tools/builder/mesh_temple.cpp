// "scene1.p3d": the flare scene's temple at dusk. A white light hangs 432 units above the
// centre (reach 1100), so the open round temple, its ruins and the avenue glow in a pool of
// light that fades into a dark ring of cliffs, standing against a dusk sky with distant hills
// and the first stars. The flare stands above the temple's open ring at height 390; the camera
// keeps looking up at it while it circles the temple and pulls back.
#include <algorithm>
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

namespace {

constexpr double BASE_TOP = 30;        // top of the stepped base
constexpr double COLUMN_RING = 110;    // radius of the colonnade
constexpr int COLUMNS = 16;
constexpr double COLUMN_HEIGHT = 152;
constexpr double RING_LOW = BASE_TOP + COLUMN_HEIGHT, RING_HIGH = RING_LOW + 20;

// --- Painters ---------------------------------------------------------------------------------

Rgb paintGround(double s, double t) {
    // Worn flagstones of uneven shape with dark sand in the joints.
    double nearest, second;
    cellDistances(s, t, 5, 101, nearest, second);
    double n = fractalNoise(s, t, 8, 5, 102);
    Rgb stone = mix({0.5, 0.46, 0.4}, {0.72, 0.67, 0.58}, n);
    stone = scale(stone, 0.85 + 0.3 * valueNoise(s * 5, t * 5, 5, 5, uint32_t(nearest * 0) + 103));
    double joint = smoothstep(0.03, 0.08, second - nearest);
    return mix({0.18, 0.15, 0.12}, stone, joint);
}

Rgb paintMarble(double s, double t) {
    // White marble with grey veins, fluted: four flutes across the picture.
    double warp = fractalNoise(s, t, 4, 5, 111);
    double vein = std::fabs(std::sin((s * 3 + t * 5 + warp * 4) * PI));
    vein = std::pow(vein, 0.15);
    Rgb c = mix({0.55, 0.55, 0.58}, {0.93, 0.91, 0.87}, vein);
    double flute = 0.5 - 0.5 * std::cos(s * 2 * PI * 4);
    c = scale(c, 0.72 + 0.28 * flute);
    c = scale(c, 0.92 + 0.12 * fractalNoise(s, t, 16, 3, 112));
    return c;
}

Rgb paintStone(double s, double t) {
    // Sandstone ashlar: two courses per picture, blocks offset by half in every other course.
    double course = std::floor(t * 2);
    double bs = std::fmod(s * 2 + course * 0.5, 1.0), bt = std::fmod(t * 2, 1.0);
    double n = fractalNoise(s, t, 8, 5, 121);
    double block = valueNoise(std::floor(s * 2 + course * 0.5), course, 4, 2, 122);
    Rgb c = mix({0.62, 0.5, 0.36}, {0.85, 0.74, 0.56}, 0.5 * n + 0.5 * block);
    double edge = std::min(std::min(bs, 1 - bs) * 2, std::min(bt, 1 - bt));
    if (edge < 0.03) c = scale(c, 0.45);
    else if (edge < 0.06) c = scale(c, 0.8);
    return c;
}

Rgb paintRock(double s, double t) {
    // Cliff rock: tilted strata broken by cracks.
    double warp = fractalNoise(s, t, 4, 4, 131);
    double strata = 0.5 + 0.5 * std::sin((t * 6 + warp * 2 + s) * 2 * PI);
    double n = fractalNoise(s, t, 8, 6, 132);
    Rgb c = mix({0.32, 0.28, 0.26}, {0.6, 0.53, 0.46}, 0.6 * strata + 0.4 * n);
    double nearest, second;
    cellDistances(s, t, 4, 133, nearest, second);
    if (second - nearest < 0.03) c = scale(c, 0.5);
    return c;
}

Rgb paintBronze(double s, double t) {
    // Old bronze with green patina in the hollows.
    double n = fractalNoise(s, t, 4, 5, 141);
    Rgb c = mix({0.55, 0.38, 0.16}, {0.9, 0.68, 0.34}, n);
    double patina = smoothstep(0.55, 0.75, fractalNoise(s, t, 8, 4, 142));
    return mix(c, {0.3, 0.55, 0.45}, patina * 0.8);
}

// The dusk sky over the cliffs. t runs from the dome's foot (0), hidden behind the cliffs, to its
// crown (1); the horizon lies near t 0.15. An orange glow low down turns through rose and violet
// to a deep blue with sparse stars, and a range of distant hills stands against the glow.
Rgb paintSky(double s, double t) {
    const Rgb glow{1.0, 0.62, 0.32}, rose{0.85, 0.42, 0.45}, violet{0.42, 0.27, 0.55}, night{0.12, 0.16, 0.42};
    Rgb c = t < 0.25 ? mix(glow, rose, smoothstep(0.12, 0.25, t))
                     : t < 0.45 ? mix(rose, violet, smoothstep(0.25, 0.45, t))
                                : mix(violet, night, smoothstep(0.45, 0.75, t));
    // Thin cloud banks in the glow.
    double cloud = smoothstep(0.55, 0.8, fractalNoise(s * 4, t * 6, 2, 4, 161)) * smoothstep(0.4, 0.2, t);
    c = mix(c, {0.55, 0.3, 0.32}, cloud * 0.5);
    // Distant hills, dark blue-violet against the glow, rising above the nearer cliffs here and
    // there. Never black: the glow behind them still lights their haze.
    double ridge = 0.16 + 0.1 * fractalNoise(s, 0.5, 6, 4, 162);
    if (t < ridge) c = mix({0.2, 0.13, 0.22}, {0.3, 0.19, 0.3}, t / ridge);
    // Stars: one texel each, sparse, more of them higher up, of varied brightness, a few tinted.
    int x = int(s * 256), y = int(t * 256);
    double chance = unitHash(x, y, 163);
    // None right at the top, where the crown's picture narrows to the pole and would smear them.
    if (t > 0.4 && t < 0.9 && chance < 0.004 + 0.008 * smoothstep(0.45, 0.8, t)) {
        double b = 0.3 + 0.7 * std::pow(unitHash(x, y, 164), 2.0);
        Rgb tint = unitHash(x, y, 165) < 0.15 ? Rgb{1.0, 0.75, 0.55} : Rgb{0.92, 0.95, 1.0};
        c = mix(c, tint, b);
    }
    return c;
}

// --- Building ---------------------------------------------------------------------------------

enum Material { GROUND, MARBLE, STONE, ROCK, BRONZE, SKY };

void addGround(BuildMesh& mesh) {
    BuildObject& ground = addObject(mesh, GROUND);
    addQuad(mesh, ground, {-1100, -1100, 0}, {2200, 0, 0}, {0, 2200, 0}, 22, 22, 60);
}

void addTemple(BuildMesh& mesh) {
    BuildObject& stone = addObject(mesh, STONE);
    addLathe(mesh, stone, {0, 0, 0}, {0, 0, 1},
             {{150, 0}, {150, 10}, {138, 10}, {138, 20}, {126, 20}, {126, BASE_TOP}, {60, BASE_TOP}, {0, BASE_TOP}}, 40,
             10, 40);
    // The ring beam on the columns, open in the middle so the flare shows from inside.
    addLathe(mesh, stone, {0, 0, 0}, {0, 0, 1},
             {{122, RING_LOW}, {122, RING_HIGH - 4}, {127, RING_HIGH - 2}, {127, RING_HIGH}, {96, RING_HIGH},
              {96, RING_LOW}, {122, RING_LOW}},
             48, 12, 20);

    BuildObject& marble = addObject(mesh, MARBLE);
    std::vector<ProfilePoint> column = {{13, 0},   {13, 4},    {10, 7},     {9, 12},     {8.6, 60}, {8.2, 110},
                                        {7.9, 138}, {9, 142},  {13, 147},   {14, 149},   {14, COLUMN_HEIGHT}};
    for (int i = 0; i < COLUMNS; ++i) {
        double a = 2 * PI * i / COLUMNS;
        addLathe(mesh, marble, {COLUMN_RING * std::cos(a), COLUMN_RING * std::sin(a), BASE_TOP}, {0, 0, 1}, column, 12,
                 3, 36);
    }

    BuildObject& bronze = addObject(mesh, BRONZE);
    addLathe(mesh, bronze, {0, 0, BASE_TOP}, {0, 0, 1},
             {{26, 0}, {26, 6}, {16, 9}, {12, 22}, {14, 26}, {30, 32}, {32, 35}, {24, 34}, {0, 30}}, 16, 4, 20);
}

// Ruins around the temple: broken columns and fallen drums, kept clear of the camera's flight.
void addRuins(BuildMesh& mesh) {
    BuildObject& marble = addObject(mesh, MARBLE);
    Random random{0x7e3a1u};
    int placed = 0;
    for (int attempt = 0; attempt < 200 && placed < 14; ++attempt) {
        double a = random.range(0, 2 * PI), r = random.range(230, 330);
        V3 at{r * std::cos(a), r * std::sin(a), 0};
        if (groundClearance(mesh, at) < 70) continue;
        double h = random.range(30, 120);
        addLathe(mesh, marble, at, {0, 0, 1}, {{15, 0}, {15, 6}, {10, 10}, {9, h * 0.5}, {8.7, h}, {0, h}}, 10, 3, 36);
        if (placed % 3 == 0) {
            // A fallen drum beside it.
            V3 dir{std::cos(a * 3), std::sin(a * 3), 0};
            addLathe(mesh, marble, at + V3{dir.y * 30, -dir.x * 30, 9}, dir, {{0, 0}, {9, 0}, {9, 30}, {0, 30}}, 10, 3, 36);
        }
        ++placed;
    }

    // Obelisks on a wider ring, and an avenue of pedestals with bronze globes leading in.
    BuildObject& stone = addObject(mesh, STONE);
    BuildObject& bronze = addObject(mesh, BRONZE);
    for (int i = 0; i < 8; ++i) {
        double a = 2 * PI * (i + 0.5) / 8;
        V3 at{430 * std::cos(a), 430 * std::sin(a), 0};
        if (groundClearance(mesh, at) < 110) continue;
        addLathe(mesh, stone, at, {0, 0, 1}, {{22, 0}, {22, 16}, {13, 16}, {12, 40}, {8, 190}, {0, 212}}, 4, 1, 40);
    }
    for (double x = 480; x <= 720; x += 48) {
        for (double y : {-55.0, 55.0}) {
            addBox(mesh, stone, {x - 10, y - 10, 0}, {x + 10, y + 10, 34}, 20, 20);
            addLathe(mesh, bronze, {x, y, 34}, {0, 0, 1},
                     {{0, 0}, {5, 1}, {8, 4}, {9, 9}, {8, 14}, {5, 17}, {0, 18}}, 10, 2, 20);
        }
    }
}

// A ring of cliffs at the edge of the light, seen from inside, jagged along the top.
void addCliffs(BuildMesh& mesh) {
    BuildObject& rock = addObject(mesh, ROCK);
    const int around = 72, rows = 6;
    std::vector<V3> points;
    for (int j = 0; j <= rows; ++j) {
        double f = double(j) / rows;
        for (int i = 0; i <= around; ++i) {
            double a = 2 * PI * (i % around) / around;
            double s = double(i % around) / around;
            double peak = 110 + 300 * fractalNoise(s, 0.5, 6, 4, 151);
            double jag = 40 * (valueNoise(s * 36, f * 6, 36, 6, 152) - 0.5);
            // Slope profile: steep face rising inwards, then falling away behind the crest.
            double radius = 1020 - 140 * std::sin(f * PI * 0.8) + jag;
            double height = peak * std::sin(std::min(f * 1.15, 1.0) * PI * 0.5) + (j == 0 ? -5 : jag * 0.5);
            points.push_back({radius * std::cos(a), radius * std::sin(a), height});
        }
    }
    GridTexture texture{evenSteps(around, 40), evenSteps(rows, 4), true};
    addGrid(mesh, rock, points, around, rows, texture);
}

// The sky: a dome over everything. The scene's only light hangs 432 units up with a reach of
// 1100, so a dome drawn where it stands would be black near the horizon, more than 1100 units
// from the light. The light is worked out on an object's vertices as stored, before its path
// moves it; so the dome is cut into sectors around the axis, each stored pulled in towards the
// light by a pull and pushed back out by a constant path. The horizon then lies near the light
// and glows, the light falling off towards the crown. From the crown row up (the rows within
// about 460 units of the axis) the crown is stored where it is drawn. The pull is twice the
// crown row's radius, so a sector's top edge is stored as far from the axis as the crown's foot,
// on the other side: both are lit alike and the light runs on smoothly across the join, with no
// edge round the crown.
constexpr double SKY_RADIUS = 1200, SKY_FOOT = -20, SKY_CROWN = 1000;
constexpr int SKY_SECTORS = 32, SKY_ROWS = 16, SKY_AROUND_TILES = 4, SKY_CROWN_ROW = 12;

void addSky(BuildMesh& mesh) {
    const int columns = 2;  // cells per sector
    const int around = SKY_SECTORS * columns;
    auto at = [](double angle, int row) {
        double a = (PI / 2) * row / SKY_ROWS;
        double r = SKY_RADIUS * std::cos(a);
        return V3{r * std::cos(angle), r * std::sin(angle), SKY_FOOT + (SKY_CROWN - SKY_FOOT) * std::sin(a)};
    };
    const int crownRow = SKY_CROWN_ROW;
    const double pull = 2 * SKY_RADIUS * std::cos((PI / 2) * crownRow / SKY_ROWS);
    std::vector<double> v;
    for (int j = 0; j <= SKY_ROWS; ++j) v.push_back(double(j) / SKY_ROWS);
    auto place = [&](BuildObject& piece, V3 offset) {
        for (assets::Point3& p : piece.vertices) p = {float(p.x - offset.x), float(p.y - offset.y), float(p.z - offset.z)};
        piece.path.assign(mesh.eye.size(), {float(offset.x), float(offset.y), float(offset.z)});
    };
    for (int k = 0; k < SKY_SECTORS; ++k) {
        BuildObject& sector = addObject(mesh, SKY);
        std::vector<V3> points;
        for (int j = 0; j <= crownRow; ++j)
            for (int i = 0; i <= columns; ++i) points.push_back(at(2 * PI * (k * columns + i) / around, j));
        std::vector<double> u;
        for (int i = 0; i <= columns; ++i) u.push_back(double(SKY_AROUND_TILES) * (k * columns + i) / around);
        addGrid(mesh, sector, points, columns, crownRow,
                GridTexture{u, std::vector<double>(v.begin(), v.begin() + crownRow + 1)});
        double middle = 2 * PI * (k + 0.5) / SKY_SECTORS;
        place(sector, {pull * std::cos(middle), pull * std::sin(middle), 0});
    }
    BuildObject& crown = addObject(mesh, SKY);
    std::vector<V3> points;
    for (int j = crownRow; j <= SKY_ROWS; ++j)
        for (int i = 0; i <= around; ++i) points.push_back(at(2 * PI * i / around, j));
    addGrid(mesh, crown, points, around, SKY_ROWS - crownRow,
            GridTexture{evenSteps(around, SKY_AROUND_TILES), std::vector<double>(v.begin() + crownRow, v.end())});
}

}  // namespace

BuildMesh buildTempleMesh() {
    BuildMesh mesh;
    mesh.fileName = "scene1.p3d";
    mesh.materials = {
        {"t1ground", Layout::Tiled, paintGround}, {"t1marble", Layout::Shaded, paintMarble},
        {"t1stone", Layout::Shaded, paintStone},  {"t1rock", Layout::Shaded, paintRock},
        {"t1bronze", Layout::Shaded, paintBronze}, {"t1sky", Layout::Tiled, paintSky},
    };
    mesh.keyLight = {-0.25, 0.05, 431.8};  // the scene's light
    mesh.shadeFloor = 0.3;
    mesh.fieldOfView = 64;

    // The flare scene's clock runs 2.5 units a second over orders 4-7 (0..66): the approach along
    // the avenue, a close pass around the colonnade, then a slow pull back as the flare grows.
    std::vector<Key> eye = {
        {0, {720, 0, 40}},      {8, {540, -10, 55}},    {16, {400, -190, 70}},  {23, {280, -280, 80}},
        {30, {175, -100, 60}},
        {38, {120, 140, 55}},   {46, {-150, 190, 90}},  {54, {-330, 80, 140}},  {62, {-520, -150, 120}},
        {70, {-640, -300, 90}}, {SCENE1_SEGMENTS, {-660, -330, 80}},
    };
    std::vector<Key> target = {
        {0, {0, 0, 150}},        {8, {0, 0, 175}},       {16, {0, 0, 195}},     {23, {0, 0, 212}},
        {30, {-40, 60, 230}},
        {38, {-60, -30, 240}},   {46, {0, 0, 250}},      {54, {0, 0, 260}},     {62, {0, 0, 280}},
        {70, {0, 0, 300}},       {SCENE1_SEGMENTS, {0, 0, 300}},
    };
    setCameraFlight(mesh, eye, target, SCENE1_SEGMENTS);

    addGround(mesh);
    addTemple(mesh);
    addRuins(mesh);
    addCliffs(mesh);
    addSky(mesh);
    return mesh;
}

}  // namespace builder
