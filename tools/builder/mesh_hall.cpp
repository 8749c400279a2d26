// "gyar.p3d": the opening scene's industrial hall. A red point light circles 80 units around
// (0, 8.8) at height 136.6 and reaches 100 units, over teal ambient light, so everything that
// should catch the red sweep lives up there: roof trusses, the crane runway and bridge, pipe
// runs, hanging lamps and the tank tops. The floor and the lower walls only ever see the teal.
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

namespace {

// Hall extent: y stations of the roof trusses and wall columns every 60 units around y 10.
constexpr double HALL_X = 160, HALL_Y0 = -210, HALL_Y1 = 230, ROOF_Z = 190;
constexpr double TRUSS_LOW = 148, TRUSS_HIGH = 182;
constexpr double RUNWAY_X = 118, RUNWAY_Z = 112;
constexpr double CATWALK_Z = 84;

double stationY(int k) { return 10 + 60.0 * k; }  // k = -3 .. 3

// --- Painters ---------------------------------------------------------------------------------

Rgb paintFloor(double s, double t) {
    // Concrete slabs, four to a picture, with dark seams, oil stains and a painted lane line.
    double n = fractalNoise(s, t, 8, 5, 11);
    double grain = valueNoise(s * 128, t * 128, 128, 128, 12);
    Rgb c = mix({0.52, 0.53, 0.52}, {0.74, 0.74, 0.72}, n);
    c = scale(c, 0.9 + 0.2 * grain);
    double fs = std::fmod(s * 2, 1.0), ft = std::fmod(t * 2, 1.0);
    double seam = std::min(std::min(fs, 1 - fs), std::min(ft, 1 - ft));
    if (seam < 0.012) c = scale(c, 0.45);
    double stain = smoothstep(0.62, 0.8, fractalNoise(s, t, 3, 4, 13));
    c = mix(c, {0.16, 0.15, 0.14}, stain * 0.8);
    double lane = std::fabs(s - 0.5);
    if (lane > 0.44 && lane < 0.47) c = mix(c, {0.85, 0.72, 0.2}, 0.8 * (0.7 + 0.3 * grain));
    return c;
}

Rgb paintWall(double s, double t) {
    // Corrugated sheet: vertical ribs, grime running down, a horizontal panel joint.
    double rib = 0.5 + 0.5 * std::sin(s * 2 * PI * 8);
    double grime = fractalNoise(s * 0.25 + 0.1 * std::sin(t * 2 * PI), t, 4, 4, 21);
    double streak = valueNoise(s * 64, t * 2, 64, 2, 22);
    Rgb c = mix({0.55, 0.58, 0.6}, {0.78, 0.8, 0.8}, rib);
    c = scale(c, 0.75 + 0.35 * grime);
    c = mix(c, {0.35, 0.28, 0.22}, smoothstep(0.55, 0.9, streak) * 0.6);
    if (t > 0.97 || t < 0.015) c = scale(c, 0.5);
    return c;
}

Rgb paintSteel(double s, double t) {
    // Painted steel plate with a bolt row along both edges and rust blooming through the paint.
    double n = fractalNoise(s, t, 4, 5, 31);
    Rgb c = mix({0.56, 0.6, 0.66}, {0.74, 0.76, 0.8}, n);
    double rust = smoothstep(0.58, 0.78, fractalNoise(s, t, 6, 5, 32));
    c = mix(c, {0.55, 0.28, 0.12}, rust);
    for (double edge : {0.08, 0.92}) {
        double bolt = std::hypot(std::fmod(s * 4, 1.0) - 0.5, (t - edge) * 4);
        if (bolt < 0.16) c = scale(c, 1.25 - 1.5 * bolt);
    }
    if (t < 0.02 || t > 0.98) c = scale(c, 0.55);
    return c;
}

Rgb paintCrane(double s, double t) {
    // Yellow crane paint with black hazard chevrons at the ends of every picture.
    double wear = fractalNoise(s, t, 8, 4, 41);
    Rgb c = mix({0.82, 0.62, 0.1}, {0.95, 0.78, 0.2}, wear);
    if (t < 0.22 || t > 0.78) {
        double stripe = std::fmod(s * 6 + t * 6, 1.0);
        if (stripe < 0.5) c = {0.08, 0.07, 0.06};
    }
    c = mix(c, {0.35, 0.3, 0.25}, smoothstep(0.7, 0.85, fractalNoise(s, t, 5, 4, 42)) * 0.7);
    return c;
}

Rgb paintPipe(double s, double t) {
    // Pipe skin: dull copper-green paint, a clamp band every picture, weld seams along.
    double n = fractalNoise(s, t, 4, 4, 51);
    Rgb c = mix({0.45, 0.58, 0.5}, {0.62, 0.72, 0.62}, n);
    if (t < 0.07) c = {0.78, 0.76, 0.7};
    if (std::fabs(s - 0.5) < 0.015) c = scale(c, 0.6);
    c = mix(c, {0.5, 0.3, 0.15}, smoothstep(0.6, 0.8, fractalNoise(s, t, 8, 4, 52)) * 0.7);
    return c;
}

Rgb paintTank(double s, double t) {
    // Riveted tank plates, offset every other course.
    double n = fractalNoise(s, t, 4, 5, 61);
    Rgb c = mix({0.6, 0.62, 0.56}, {0.8, 0.8, 0.72}, n);
    double row = std::floor(t * 2);
    double ps = std::fmod(s * 2 + row * 0.5, 1.0), pt = std::fmod(t * 2, 1.0);
    if (ps < 0.02 || pt < 0.03) c = scale(c, 0.5);
    double rivetS = std::fmod(s * 16, 1.0) - 0.5, rivetT = (pt - 0.08) * 8;
    if (std::hypot(rivetS, rivetT) < 0.22) c = scale(c, 1.2);
    c = mix(c, {0.3, 0.22, 0.16}, smoothstep(0.6, 0.85, fractalNoise(s, t * 0.5, 4, 4, 62)) * 0.5);
    return c;
}

Rgb paintLamp(double s, double t) {
    // Enamelled lamp shade: white outside, a dark rim band.
    double n = fractalNoise(s, t, 4, 3, 71);
    Rgb c = mix({0.8, 0.82, 0.8}, {0.96, 0.96, 0.92}, n);
    if (t > 0.85) c = {0.2, 0.2, 0.2};
    return c;
}

Rgb paintGrating(double s, double t) {
    // Steel grating: bright bars over a dark void, bars every 1/8 in one direction, 1/4 across.
    double fs = std::fmod(s * 8, 1.0), ft = std::fmod(t * 4, 1.0);
    bool bar = fs < 0.18 || ft < 0.1;
    double n = fractalNoise(s, t, 8, 3, 81);
    return bar ? mix(Rgb{0.6, 0.6, 0.58}, Rgb{0.82, 0.8, 0.76}, n) : Rgb{0.06, 0.06, 0.07};
}

// --- Building ---------------------------------------------------------------------------------

enum Material { FLOOR, WALL, STEEL, CRANE, PIPE, TANK, LAMP, GRATING };

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

    BuildObject& walls = addObject(mesh, WALL);
    double lengthY = HALL_Y1 - HALL_Y0;
    // Seen from inside: each wall's normal points into the hall.
    addQuad(mesh, walls, {-HALL_X, HALL_Y0, 0}, {0, lengthY, 0}, {0, 0, ROOF_Z}, 18, 8, 40);
    addQuad(mesh, walls, {HALL_X, HALL_Y1, 0}, {0, -lengthY, 0}, {0, 0, ROOF_Z}, 18, 8, 40);
    addQuad(mesh, walls, {HALL_X, HALL_Y0, 0}, {-2 * HALL_X, 0, 0}, {0, 0, ROOF_Z}, 14, 8, 40);
    addQuad(mesh, walls, {-HALL_X, HALL_Y1, 0}, {2 * HALL_X, 0, 0}, {0, 0, ROOF_Z}, 14, 8, 40);
    // The roof, seen from below: fine cells near the light circle so the red sweep shows on it.
    addQuad(mesh, walls, {-HALL_X, HALL_Y0, ROOF_Z}, {0, lengthY, 0}, {2 * HALL_X, 0, 0}, 20, 16, 40);
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

}  // namespace

BuildMesh buildHallMesh() {
    BuildMesh mesh;
    mesh.fileName = "gyar.p3d";
    mesh.materials = {
        {"gyfloor", Layout::Tiled, paintFloor},    {"gywall", Layout::Shaded, paintWall},
        {"gysteel", Layout::Shaded, paintSteel},   {"gycrane", Layout::Shaded, paintCrane},
        {"gypipe", Layout::Shaded, paintPipe},     {"gytank", Layout::Shaded, paintTank},
        {"gylamp", Layout::Shaded, paintLamp},     {"gygrating", Layout::Shaded, paintGrating},
    };
    // Faces are shaded as if lit from the light circle's centre: tops and the sides turned
    // inwards are brightest.
    mesh.keyLight = {0, 8.8, 160};
    mesh.shadeFloor = 0.4;
    mesh.fieldOfView = 68;

    // The opening scene's clock runs 1.47 units a second for the 26.5 s of orders 0-3 (0..39);
    // the last keys only keep the camera moving in the spare segments.
    // The camera stays below the crane runway (z 112) and clear of the tanks and the hook's
    // sweep, looking up into the trusses where the red light runs.
    std::vector<Key> eye = {
        {0, {-95, -195, 30}},  {6, {-110, -150, 50}},  {12, {-60, -120, 80}}, {18, {10, -90, 95}},
        {24, {60, -30, 100}},   {30, {40, 40, 100}},    {35, {-20, 90, 95}},   {40, {10, 0, 80}},
        {GYAR_SEGMENTS, {30, -50, 70}},
    };
    std::vector<Key> target = {
        {0, {-20, -40, 70}},    {6, {0, -20, 110}},     {12, {40, 20, 150}},   {18, {60, 40, 160}},
        {24, {0, 80, 150}},     {30, {-80, 120, 140}},  {35, {-100, -20, 130}}, {40, {-110, 60, 150}},
        {GYAR_SEGMENTS, {-80, 130, 140}},
    };
    setCameraFlight(mesh, eye, target, GYAR_SEGMENTS);

    addShell(mesh);
    addColumnsAndTrusses(mesh);
    addRunwayAndCatwalks(mesh);
    addCrane(mesh, GYAR_SEGMENTS);
    addPipes(mesh);
    addTanksAndMachines(mesh);
    addLamps(mesh);
    return mesh;
}

}  // namespace builder
