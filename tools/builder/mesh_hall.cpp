// "gyar.p3d": the opening scene's industrial hall. A red point light circles 80 units around
// (0, 8.8) at height 136.6 and reaches 100 units, over teal ambient light, so everything that
// should catch the red sweep lives up there: the roof, trusses, the crane runway and bridge,
// pipe runs, hanging lamps and the tank tops. The hall is laid out in round numbers and then
// shrunk to three quarters about the floor under the light circle, which brings its roof to
// just above the light: the red sweep then lights a wide patch of roof and trusses wherever it
// is. The camera looks up into them.
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

namespace {

// Hall extent: y stations of the roof trusses and wall columns every 60 units around y 10.
constexpr double HALL_X = 160, HALL_Y0 = -210, HALL_Y1 = 230, ROOF_Z = 190;
constexpr double TRUSS_LOW = 148, TRUSS_HIGH = 182;
constexpr double RUNWAY_X = 118, RUNWAY_Z = 112;
constexpr double CATWALK_Z = 84;
constexpr double WINDOWS_LOW = 120, WINDOWS_HIGH = 170;  // the band of windows round the walls

double stationY(int k) { return 10 + 60.0 * k; }  // k = -3 .. 3

// --- Painters ---------------------------------------------------------------------------------

// The hall is lit by a teal ambient light that keeps only a tenth of a texture's red, and by a red
// light circling near the roof. Most of what luminance the ambient light gives comes from a
// texture's green, so the paint is a warm near-white (cream, pale yellow) that the red sweep turns
// to glowing orange; black joints, gaps and rafters give the picture its depth, and orange pipes,
// rust and hazard paint its accents.

Rgb paintFloor(double s, double t) {
    // Pale concrete slabs, four to a picture, with black seams, oil stains and a painted lane line.
    double n = fractalNoise(s, t, 8, 5, 11);
    double grain = valueNoise(s * 128, t * 128, 128, 128, 12);
    Rgb c = mix({0.85, 0.82, 0.7}, {1.0, 0.97, 0.86}, n);
    c = scale(c, 0.92 + 0.08 * grain);
    double fs = std::fmod(s * 2, 1.0), ft = std::fmod(t * 2, 1.0);
    double seam = std::min(std::min(fs, 1 - fs), std::min(ft, 1 - ft));
    if (seam < 0.02) c = {0.03, 0.03, 0.02};
    double stain = smoothstep(0.62, 0.8, fractalNoise(s, t, 3, 4, 13));
    c = mix(c, {0.1, 0.08, 0.05}, stain * 0.9);
    double lane = std::fabs(s - 0.5);
    if (lane > 0.42 && lane < 0.47) c = {1.0, 0.85, 0.2};
    return c;
}

Rgb paintWall(double s, double t) {
    // Cream corrugated sheet in large panels: shallow ribs, black joints, a little rust running
    // down from the joints.
    double rib = 0.5 + 0.5 * std::sin(s * 2 * PI * 6);
    double tone = fractalNoise(s, t, 3, 4, 21);
    Rgb c = mix({1.0, 0.95, 0.72}, {1.0, 1.0, 0.86}, tone);
    c = scale(c, 0.94 + 0.06 * rib);
    double streak = valueNoise(s * 48, t * 1.5, 48, 2, 22) * smoothstep(0.95, 0.2, t);
    c = mix(c, {0.75, 0.35, 0.1}, smoothstep(0.65, 0.9, streak) * 0.6);
    if (t > 0.92 || s < 0.03 || s > 0.97) c = {0.03, 0.025, 0.02};
    return c;
}

Rgb paintRoof(double s, double t) {
    // The roof seen from below: pale boarding between black rafters, and a skylight in every
    // other bay.
    double n = fractalNoise(s, t, 4, 4, 25);
    Rgb c = mix({0.95, 0.9, 0.7}, {1.0, 0.98, 0.84}, n);
    double board = std::fmod(s * 8, 1.0);
    if (board < 0.05) c = scale(c, 0.8);
    double bay = std::fmod(t * 2, 1.0);
    if (bay > 0.2 && bay < 0.8 && std::fabs(s - 0.5) < 0.3 && t < 0.5) c = {1.0, 1.0, 1.0};
    if (bay < 0.1 || bay > 0.9) c = {0.03, 0.025, 0.02};
    return c;
}

Rgb paintWindow(double s, double t) {
    // Tall windows at night: dark panes catching a faint glint, in cream frames.
    double glint = smoothstep(0.3, 1.0, fractalNoise(s * 0.5 + t * 0.25, t, 2, 3, 27));
    Rgb c = mix({0.02, 0.025, 0.03}, {0.2, 0.22, 0.22}, glint * 0.6);
    double fs = std::fmod(s * 3, 1.0), ft = std::fmod(t * 2, 1.0);
    if (fs < 0.08 || fs > 0.92 || ft < 0.06 || ft > 0.94) c = {1.0, 0.95, 0.75};
    return c;
}

Rgb paintSteel(double s, double t) {
    // Steel painted pale yellow, weathered to orange rust in patches, with a black bolt row along
    // both edges.
    double n = fractalNoise(s, t, 4, 5, 31);
    Rgb c = mix({0.95, 0.88, 0.6}, {1.0, 0.97, 0.75}, n);
    double rust = smoothstep(0.58, 0.78, fractalNoise(s, t, 6, 5, 32));
    c = mix(c, {0.9, 0.45, 0.12}, rust * 0.9);
    for (double edge : {0.12, 0.88}) {
        double bolt = std::hypot(std::fmod(s * 4, 1.0) - 0.5, (t - edge) * 4);
        if (bolt < 0.18) c = {0.05, 0.04, 0.03};
    }
    if (t < 0.04 || t > 0.96) c = {0.05, 0.04, 0.03};
    return c;
}

Rgb paintCrane(double s, double t) {
    // Yellow crane paint under broad black hazard stripes.
    double wear = fractalNoise(s, t, 8, 4, 41);
    Rgb c = mix({1.0, 0.85, 0.2}, {1.0, 0.95, 0.4}, wear);
    double stripe = std::fmod(s * 2 + t * 2, 1.0);
    if (stripe < 0.45) c = {0.03, 0.025, 0.02};
    return c;
}

Rgb paintPipe(double s, double t) {
    // Orange pipe with a pale clamp band every picture, a black weld seam along and rust patches.
    double n = fractalNoise(s, t, 4, 4, 51);
    Rgb c = mix({1.0, 0.62, 0.22}, {1.0, 0.75, 0.35}, n);
    if (t < 0.1) c = {1.0, 0.97, 0.85};
    else if (t < 0.13) c = {0.03, 0.025, 0.02};
    if (std::fabs(s - 0.5) < 0.02) c = {0.05, 0.04, 0.03};
    c = mix(c, {0.5, 0.2, 0.06}, smoothstep(0.62, 0.8, fractalNoise(s, t, 8, 4, 52)) * 0.7);
    return c;
}

Rgb paintTank(double s, double t) {
    // Cream riveted tank plates, offset every other course, with an orange band and rust runs.
    double n = fractalNoise(s, t, 4, 5, 61);
    Rgb c = mix({0.95, 0.9, 0.7}, {1.0, 1.0, 0.85}, n);
    double row = std::floor(t * 2);
    double ps = std::fmod(s * 2 + row * 0.5, 1.0), pt = std::fmod(t * 2, 1.0);
    if (pt > 0.42 && pt < 0.58) c = {1.0, 0.6, 0.15};
    if (ps < 0.03 || pt < 0.05) c = {0.03, 0.025, 0.02};
    double rivetS = std::fmod(s * 16, 1.0) - 0.5, rivetT = (pt - 0.12) * 8;
    if (std::hypot(rivetS, rivetT) < 0.22) c = scale(c, 0.4);
    c = mix(c, {0.55, 0.25, 0.08}, smoothstep(0.65, 0.85, fractalNoise(s, t * 0.5, 4, 4, 62)) * 0.6);
    return c;
}

Rgb paintLamp(double s, double t) {
    // A lit lamp: white-hot glass over most of the picture, a black rim band.
    double n = fractalNoise(s, t, 4, 3, 71);
    Rgb c = mix({1.0, 0.97, 0.85}, {1.0, 1.0, 0.95}, n);
    if (t > 0.85) c = {0.03, 0.025, 0.02};
    return c;
}

Rgb paintGrating(double s, double t) {
    // Steel grating: bright bars over black gaps, bars every 1/8 in one direction, 1/4 across.
    double fs = std::fmod(s * 8, 1.0), ft = std::fmod(t * 4, 1.0);
    bool bar = fs < 0.3 || ft < 0.15;
    double n = fractalNoise(s, t, 8, 3, 81);
    return bar ? mix(Rgb{0.95, 0.9, 0.7}, Rgb{1.0, 1.0, 0.85}, n) : Rgb{0.0, 0.0, 0.0};
}

// --- Building ---------------------------------------------------------------------------------

enum Material { FLOOR, WALL, STEEL, CRANE, PIPE, TANK, LAMP, GRATING, ROOF, WINDOW };

// A polyline with its corners rounded by arcs of `radius` (pipe bends).
std::vector<V3> roundedPolyline(const std::vector<V3>& corners, double radius, int steps) {
    std::vector<V3> out{corners.front()};
    for (size_t i = 1; i + 1 < corners.size(); ++i) {
        V3 in = normalised(corners[i] - corners[i - 1]), on = normalised(corners[i + 1] - corners[i]);
        V3 a = corners[i] - in * radius, b = corners[i] + on * radius;
        for (int k = 0; k <= steps; ++k) {
            double f = double(k) / steps;
            out.push_back(lerp(lerp(a, corners[i], f), lerp(corners[i], b, f), f));  // quadratic arc
        }
    }
    out.push_back(corners.back());
    // Straight runs get intermediate points so the light falls off smoothly along them.
    std::vector<V3> dense{out.front()};
    for (size_t i = 1; i < out.size(); ++i) {
        int pieces = std::max(1, int(length(out[i] - out[i - 1]) / 28));
        for (int k = 1; k <= pieces; ++k) dense.push_back(lerp(out[i - 1], out[i], double(k) / pieces));
    }
    return dense;
}

void addShell(BuildMesh& mesh) {
    BuildObject& floor = addObject(mesh, FLOOR);
    addQuad(mesh, floor, {-HALL_X, HALL_Y0, 0}, {2 * HALL_X, 0, 0}, {0, HALL_Y1 - HALL_Y0, 0}, 8, 11, 80);

    // Seen from inside: each wall's normal points into the hall. A band of windows runs round
    // the hall high up, dark against the night.
    BuildObject& walls = addObject(mesh, WALL);
    BuildObject& windows = addObject(mesh, WINDOW);
    double lengthY = HALL_Y1 - HALL_Y0;
    struct Band {
        BuildObject* object;
        double low, high;
        int cells;
    };
    const Band bands[] = {{&walls, 0, WINDOWS_LOW, 5}, {&windows, WINDOWS_LOW, WINDOWS_HIGH, 2},
                          {&walls, WINDOWS_HIGH, ROOF_Z, 1}};
    for (const Band& b : bands) {
        V3 up{0, 0, b.high - b.low};
        addQuad(mesh, *b.object, {-HALL_X, HALL_Y0, b.low}, {0, lengthY, 0}, up, 18, b.cells, 40);
        addQuad(mesh, *b.object, {HALL_X, HALL_Y1, b.low}, {0, -lengthY, 0}, up, 18, b.cells, 40);
        addQuad(mesh, *b.object, {HALL_X, HALL_Y0, b.low}, {-2 * HALL_X, 0, 0}, up, 14, b.cells, 40);
        addQuad(mesh, *b.object, {-HALL_X, HALL_Y1, b.low}, {2 * HALL_X, 0, 0}, up, 14, b.cells, 40);
    }
    // The roof, seen from below: fine cells near the light circle so the red sweep shows on it.
    BuildObject& roof = addObject(mesh, ROOF);
    addQuad(mesh, roof, {-HALL_X, HALL_Y0, ROOF_Z}, {0, lengthY, 0}, {2 * HALL_X, 0, 0}, 20, 16, 40);
}

void addColumnsAndTrusses(BuildMesh& mesh) {
    BuildObject& steel = addObject(mesh, STEEL);
    V3 up{0, 0, 1};
    for (int k = -3; k <= 3; ++k) {
        double y = stationY(k);
        for (double side : {-1.0, 1.0}) {
            double x = side * (HALL_X - 8);
            addBox(mesh, steel, {x - 5, y - 5, 0}, {x + 5, y + 5, ROOF_Z}, 38, 24);
            // Bracket carrying the crane runway.
            addBeam(mesh, steel, {x, y, RUNWAY_Z - 6}, {side * RUNWAY_X, y, RUNWAY_Z - 6}, 6, 8, up, 14, 20);
            addBeam(mesh, steel, {x, y, RUNWAY_Z - 36}, {side * (RUNWAY_X + 4), y, RUNWAY_Z - 8}, 4, 4, up, 14, 20);
        }
        // Roof truss: two chords, verticals and alternating diagonals.
        double x0 = -(HALL_X - 8), x1 = HALL_X - 8;
        addBeam(mesh, steel, {x0, y, TRUSS_LOW}, {x1, y, TRUSS_LOW}, 6, 8, up, 24, 24);
        addBeam(mesh, steel, {x0, y, TRUSS_HIGH}, {x1, y, TRUSS_HIGH}, 6, 8, up, 24, 24);
        int panels = 10;
        for (int i = 0; i <= panels; ++i) {
            double x = x0 + (x1 - x0) * i / panels;
            addBeam(mesh, steel, {x, y, TRUSS_LOW}, {x, y, TRUSS_HIGH}, 4, 4, {1, 0, 0}, 40, 20);
            if (i < panels) {
                double xn = x0 + (x1 - x0) * (i + 1) / panels;
                bool rising = (i < panels / 2);
                addBeam(mesh, steel, {rising ? x : xn, y, TRUSS_LOW}, {rising ? xn : x, y, TRUSS_HIGH}, 3, 3, up, 50,
                        20);
            }
        }
    }
    // Purlins tying the trusses together, right where the light circle runs.
    for (double x : {-120.0, -80.0, -40.0, 40.0, 80.0, 120.0})
        addBeam(mesh, steel, {x, stationY(-3), TRUSS_HIGH + 5}, {x, stationY(3), TRUSS_HIGH + 5}, 4, 5, up, 16, 24);
}

void addRunwayAndCatwalks(BuildMesh& mesh) {
    BuildObject& crane = addObject(mesh, CRANE);
    V3 up{0, 0, 1};
    for (double side : {-1.0, 1.0})
        addBeam(mesh, crane, {side * RUNWAY_X, HALL_Y0 + 10, RUNWAY_Z}, {side * RUNWAY_X, HALL_Y1 - 10, RUNWAY_Z}, 8,
                10, up, 16, 24);

    BuildObject& grating = addObject(mesh, GRATING);
    BuildObject& rails = addObject(mesh, STEEL);
    for (double side : {-1.0, 1.0}) {
        double inner = side * (HALL_X - 40), outer = side * (HALL_X - 14);
        V3 a{std::min(inner, outer), HALL_Y0 + 8, CATWALK_Z - 3}, b{std::max(inner, outer), HALL_Y1 - 8, CATWALK_Z};
        addBox(mesh, grating, a, b, 30, 14);
        for (double h : {12.0, 24.0})
            addBeam(mesh, rails, {inner, HALL_Y0 + 8, CATWALK_Z + h}, {inner, HALL_Y1 - 8, CATWALK_Z + h}, 2, 2, up, 30,
                    30);
        for (double y = HALL_Y0 + 8; y <= HALL_Y1 - 8; y += 36)
            addBeam(mesh, rails, {inner, y, CATWALK_Z}, {inner, y, CATWALK_Z + 25}, 2, 2, {1, 0, 0}, 30, 30);
    }
}

// The crane bridge rides the runways along y; its trolley with the hook block also crosses the
// bridge along x. Both are stored around y 0 and moved by their paths.
void addCrane(BuildMesh& mesh, int segments) {
    V3 up{0, 0, 1};
    std::vector<Key> bridgeY = {{0, {0, -70, 0}},  {9, {0, -20, 0}},   {17, {0, 40, 0}},
                                {26, {0, 90, 0}}, {35, {0, 30, 0}},    {double(segments), {0, -40, 0}}};
    std::vector<Key> trolleyX = {{0, {-50, 0, 0}}, {10, {30, 0, 0}},   {20, {60, 0, 0}},
                                 {30, {-10, 0, 0}}, {double(segments), {-60, 0, 0}}};

    BuildObject& bridge = addObject(mesh, CRANE);
    double z = RUNWAY_Z + 5;
    for (double dy : {-9.0, 9.0})
        addBeam(mesh, bridge, {-RUNWAY_X - 6, dy, z + 8}, {RUNWAY_X + 6, dy, z + 8}, 6, 16, up, 12, 20);
    for (double side : {-1.0, 1.0})
        addBox(mesh, bridge, {side * RUNWAY_X - 10, -16, z}, {side * RUNWAY_X + 10, 16, z + 10}, 10, 20);

    BuildObject& trolley = addObject(mesh, STEEL);
    addBox(mesh, trolley, {-12, -14, z + 16}, {12, 14, z + 26}, 8, 20);
    for (double dx : {-3.0, 3.0})
        addBeam(mesh, trolley, {dx, 0, z + 16}, {dx, 0, 62}, 1.2, 1.2, {1, 0, 0}, 12, 8);
    addBox(mesh, trolley, {-7, -5, 48}, {7, 5, 62}, 6, 12);
    addLathe(mesh, trolley, {0, 0, 34}, {0, 0, 1}, {{0, 0}, {3, 2}, {5, 8}, {3, 14}}, 8, 1, 10);
    // The trolley's y must follow the bridge exactly, so both paths are sampled from the same
    // whole-unit positions of the bridge.
    std::vector<Key> bridgeExact, trolleyExact;
    for (int t = 0; t <= segments; ++t) {
        double y = evaluateKeys(bridgeY, t).y;
        bridgeExact.push_back({double(t), {0, y, 0}});
        trolleyExact.push_back({double(t), {evaluateKeys(trolleyX, t).x, y, 0}});
    }
    bridge.path = bezierChain(bridgeExact, segments);
    trolley.path = bezierChain(trolleyExact, segments);
}

void addPipes(BuildMesh& mesh) {
    BuildObject& pipes = addObject(mesh, PIPE);
    // Runs along both long walls on the column line, three heights.
    for (double side : {-1.0, 1.0}) {
        for (int i = 0; i < 3; ++i) {
            double x = side * (HALL_X - 22 - 7 * i), z = 100 + 11 * i;
            addTube(mesh, pipes, roundedPolyline({{x, HALL_Y0, z}, {x, HALL_Y1, z}}, 0, 1), 3 - 0.5 * i, 6, false, 1,
                    30);
        }
    }
    // Two mains crossing the hall under the trusses and dropping to the tanks.
    addTube(mesh, pipes,
            roundedPolyline({{-HALL_X, 40, 132}, {-95, 40, 132}, {-20, 40, 132}, {40, 40, 138}, {HALL_X, 40, 138}}, 16, 6),
            5, 10, false, 2, 30);
    addTube(mesh, pipes,
            roundedPolyline({{-95, 100, 121}, {-95, 100, 136}, {30, 100, 136}, {30, -20, 136}, {95, -20, 136},
                             {95, -110, 136}, {95, -110, 110}},
                            14, 6),
            4, 10, false, 2, 30);
    addTube(mesh, pipes,
            roundedPolyline({{-95, 160, 121}, {-95, 160, 128}, {-60, 160, 128}, {-60, -80, 128}, {-HALL_X, -80, 128}}, 14,
                            6),
            3, 8, false, 1, 30);
}

void addTanksAndMachines(BuildMesh& mesh) {
    BuildObject& tanks = addObject(mesh, TANK);
    std::vector<ProfilePoint> tall = {{0, 0},   {30, 0},  {30, 20}, {30, 45}, {30, 70}, {30, 95},
                                      {27, 106}, {20, 114}, {10, 119}, {0, 121}};
    for (V3 at : {V3{-95, 100, 0}, V3{-95, 160, 0}, V3{95, -110, 0}})
        addLathe(mesh, tanks, at, {0, 0, 1}, tall, 24, 4, 30);
    // A horizontal receiver on saddles.
    std::vector<ProfilePoint> drum = {{0, 0}, {10, 2}, {16, 6}, {18, 12}, {18, 40}, {18, 68}, {16, 74}, {10, 78}, {0, 80}};
    addLathe(mesh, tanks, {40, 150, 24}, {1, 0, 0}, drum, 16, 2, 30);
    addLathe(mesh, tanks, {40, 110, 24}, {1, 0, 0}, drum, 16, 2, 30);

    BuildObject& machines = addObject(mesh, STEEL);
    addBox(mesh, machines, {30, 90, 0}, {130, 170, 6}, 25, 25);
    for (double x : {50.0, 110.0})
        addBox(mesh, machines, {x - 6, 100, 6}, {x + 6, 160, 12}, 20, 25);
    addBox(mesh, machines, {10, -170, 0}, {70, -120, 36}, 18, 25);
    addBox(mesh, machines, {20, -160, 36}, {60, -130, 52}, 16, 25);
    addBox(mesh, machines, {-70, -60, 0}, {-30, 20, 28}, 18, 25);
    addTube(mesh, machines, {{-50, -40, 28}, {-50, -40, 70}, {-50, -40, 100}}, 4, 8, false, 1, 20);
}

void addLamps(BuildMesh& mesh) {
    BuildObject& lamps = addObject(mesh, LAMP);
    BuildObject& hangers = addObject(mesh, STEEL);
    std::vector<ProfilePoint> shade = {{2, 14}, {5, 12}, {10, 6}, {15, 0}, {14, -1}};
    for (int k = -2; k <= 2; ++k) {
        double y = stationY(k) + 30;
        for (double x : {-100.0, -50.0, 0.0, 50.0, 100.0}) {
            if ((k + int(x / 50)) % 2 != 0) continue;
            double z = 122 + 6 * ((k + 2) % 3);
            addLathe(mesh, lamps, {x, y, z}, {0, 0, 1}, shade, 10, 2, 12);
            addLathe(mesh, lamps, {x, y, z}, {0, 0, 1}, {{0, -3}, {4, -1}, {5, 3}, {0, 6}}, 6, 1, 12);
            addBeam(mesh, hangers, {x, y, z + 14}, {x, y, TRUSS_HIGH + 5}, 1, 1, {1, 0, 0}, 40, 30);
        }
    }
}

// Shrinks the finished hall about the floor point under the light circle's centre, so that its
// upper structure comes within reach of the red light, which stays where the scene puts it.
void shrinkToTheLight(BuildMesh& mesh, double factor) {
    const V3 centre{0, 8.8, 0};
    auto shrink = [&](assets::Point3& p) {
        p = {float(centre.x + (p.x - centre.x) * factor), float(centre.y + (p.y - centre.y) * factor),
             float(centre.z + (p.z - centre.z) * factor)};
    };
    for (BuildObject& o : mesh.objects) {
        for (assets::Point3& p : o.vertices) shrink(p);
        for (assets::Point3& p : o.path) p = {float(p.x * factor), float(p.y * factor), float(p.z * factor)};
    }
    for (assets::Point3& p : mesh.eye) shrink(p);
    for (assets::Point3& p : mesh.target) shrink(p);
}

}  // namespace

BuildMesh buildHallMesh() {
    BuildMesh mesh;
    mesh.fileName = "gyar.p3d";
    mesh.materials = {
        {"gyfloor", Layout::Tiled, paintFloor},    {"gywall", Layout::Tiled, paintWall},
        {"gysteel", Layout::Shaded, paintSteel},   {"gycrane", Layout::Shaded, paintCrane},
        {"gypipe", Layout::Shaded, paintPipe},     {"gytank", Layout::Shaded, paintTank},
        {"gylamp", Layout::Tiled, paintLamp},     {"gygrating", Layout::Shaded, paintGrating},
        {"gyroof", Layout::Tiled, paintRoof},      {"gywindow", Layout::Tiled, paintWindow},
    };
    // Faces are shaded as if lit from low in the middle of the hall, so the undersides the
    // camera looks up at are bright and the structure reads against the roof.
    mesh.keyLight = {0, 8.8, 40};
    mesh.shadeFloor = 0.42;
    mesh.fieldOfView = 68;

    // The opening scene's clock runs 1.47 units a second for the 26.5 s of orders 0-3 (0..39);
    // the last keys only keep the camera moving in the spare segments. Keys are in the hall's
    // units before it is shrunk. The camera stays below the crane runway (z 112) and clear of the
    // tanks and the hook's sweep, looking up into the roof where the red light runs.
    std::vector<Key> eye = {
        {0, {-80, -150, 40}},  {6, {-100, -110, 60}},  {12, {-60, -100, 80}}, {18, {10, -90, 95}},
        {24, {60, -30, 100}},   {30, {40, 40, 100}},    {35, {-20, 90, 95}},   {40, {10, 0, 80}},
        {GYAR_SEGMENTS, {30, -50, 70}},
    };
    std::vector<Key> target = {
        {0, {-20, -30, 190}},   {6, {-10, -20, 215}},   {12, {40, 20, 225}},   {18, {50, 40, 230}},
        {24, {0, 60, 230}},     {30, {-50, 60, 230}},   {35, {-60, 20, 220}},  {40, {30, -60, 215}},
        {GYAR_SEGMENTS, {60, -100, 210}},
    };
    setCameraFlight(mesh, eye, target, GYAR_SEGMENTS);

    addShell(mesh);
    addColumnsAndTrusses(mesh);
    addRunwayAndCatwalks(mesh);
    addCrane(mesh, GYAR_SEGMENTS);
    addPipes(mesh);
    addTanksAndMachines(mesh);
    addLamps(mesh);
    shrinkToTheLight(mesh, 0.75);
    return mesh;
}

}  // namespace builder
