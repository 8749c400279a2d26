// Geometry helpers of the mesh builders: textured grids, boxes, beams, lathes and tubes, the
// Bezier camera chains, and the encoding of a finished mesh through the project's .p3d writer.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "assets/mesh_file.h"
#include "tools/builder/meshes.h"

namespace builder {

namespace {

assets::Point3 toPoint(V3 v) { return {float(v.x), float(v.y), float(v.z)}; }

// Shaded textures: 2 columns x 4 rows of copies; a cell samples its copy half a texel in from
// the edges, so linear filtering does not pull in the neighbouring (darker or brighter) copy.
constexpr double TILE_W = 0.5, TILE_H = 0.25;
constexpr double INSET_S = 0.5 / 128, INSET_T = 0.5 / 64;

int shadeLevelFor(const BuildMesh& mesh, V3 normal, V3 centre) {
    V3 light = mesh.keyLightAt ? mesh.keyLightAt(centre) : mesh.keyLight;
    double lambert = std::max(0.0, dot(normalised(normal), normalised(light - centre)));
    double brightness = mesh.shadeFloor + (1 - mesh.shadeFloor) * lambert;
    int best = 0;
    for (int level = 1; level < SHADE_LEVELS; ++level)
        if (std::fabs(shadeBrightness(level) - brightness) < std::fabs(shadeBrightness(best) - brightness))
            best = level;
    return best;
}

// The picture span [a, b] of one cell folded into [0, 1]: a cell never straddles two copies of
// the picture in a shaded texture, so a span crossing a picture edge is shifted back inside.
void foldSpan(double a, double b, double& from, double& to) {
    double span = b - a;
    if (span >= 1) { from = 0; to = 1; return; }
    from = a - std::floor(a + 1e-9);
    to = from + span;
    if (to > 1 + 1e-9) { from = 1 - span; to = 1; }
}

bool degenerate(V3 a, V3 b, V3 c) { return length(cross(b - a, c - a)) < 1e-9; }

// Appends one vertex with the final texture coordinate (s, t): the renderer draws
// (1 - u * uScale, 1 - v * vScale), the scene possibly scaling v further.
int32_t addVertex(const BuildMesh& mesh, BuildObject& object, V3 p, double s, double t) {
    const MaterialRecipe& material = mesh.materials[object.material];
    object.vertices.push_back(toPoint(p));
    object.texCoords.push_back({float((1 - s) / material.uScale),
                                float((1 - t) / (material.vScale * mesh.sceneVFactor))});
    return int32_t(object.vertices.size() - 1);
}

void addTriangle(BuildObject& object, int32_t a, int32_t b, int32_t c) {
    const assets::Point3& pa = object.vertices[a];
    const assets::Point3& pb = object.vertices[b];
    const assets::Point3& pc = object.vertices[c];
    if (degenerate({pa.x, pa.y, pa.z}, {pb.x, pb.y, pb.z}, {pc.x, pc.y, pc.z})) return;
    object.triangles.push_back({a, b, c});
}

void addShadedGrid(BuildMesh& mesh, BuildObject& object, const std::vector<V3>& points, int nu, int nv,
                   const GridTexture& texture) {
    auto at = [&](int i, int j) { return points[size_t(j) * (nu + 1) + i]; };
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            V3 p00 = at(i, j), p10 = at(i + 1, j), p01 = at(i, j + 1), p11 = at(i + 1, j + 1);
            // The cell's normal from its diagonals, so a cell with one collapsed edge still has one.
            V3 normal = cross(p11 - p00, p01 - p10);
            if (texture.flipNormal) normal = normal * -1.0;
            int level = shadeLevelFor(mesh, normal, (p00 + p10 + p01 + p11) * 0.25);
            double s0, s1, t0, t1;
            if (texture.uAt.empty()) {
                foldSpan(texture.u[i], texture.u[i + 1], s0, s1);
                foldSpan(texture.v[j], texture.v[j + 1], t0, t1);
            } else {
                auto u = [&](int a, int b) { return texture.uAt[size_t(b) * (nu + 1) + a]; };
                auto v = [&](int a, int b) { return texture.vAt[size_t(b) * (nu + 1) + a]; };
                foldSpan((u(i, j) + u(i, j + 1)) / 2, (u(i + 1, j) + u(i + 1, j + 1)) / 2, s0, s1);
                foldSpan((v(i, j) + v(i + 1, j)) / 2, (v(i, j + 1) + v(i + 1, j + 1)) / 2, t0, t1);
            }
            double tileS = (level % 2) * TILE_W, tileT = (level / 2) * TILE_H;
            auto s = [&](double f) { return tileS + TILE_W * (INSET_S * 2 + f * (1 - INSET_S * 4)); };
            auto t = [&](double f) { return tileT + TILE_H * (INSET_T * 2 + f * (1 - INSET_T * 4)); };
            int32_t a = addVertex(mesh, object, p00, s(s0), t(t0));
            int32_t b = addVertex(mesh, object, p10, s(s1), t(t0));
            int32_t c = addVertex(mesh, object, p11, s(s1), t(t1));
            int32_t d = addVertex(mesh, object, p01, s(s0), t(t1));
            addTriangle(object, a, b, c);
            addTriangle(object, a, c, d);
        }
    }
}

void addTiledGrid(BuildMesh& mesh, BuildObject& object, const std::vector<V3>& points, int nu, int nv,
                  const GridTexture& texture) {
    int32_t first = int32_t(object.vertices.size());
    for (int j = 0; j <= nv; ++j) {
        for (int i = 0; i <= nu; ++i) {
            V3 p = points[size_t(j) * (nu + 1) + i];
            if (texture.planarTile > 0)
                addVertex(mesh, object, p, p.x / texture.planarTile, p.y / texture.planarTile);
            else if (!texture.uAt.empty())
                addVertex(mesh, object, p, texture.uAt[size_t(j) * (nu + 1) + i], texture.vAt[size_t(j) * (nu + 1) + i]);
            else
                addVertex(mesh, object, p, texture.u[i], texture.v[j]);
        }
    }
    auto index = [&](int i, int j) { return first + int32_t(j * (nu + 1) + i); };
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            addTriangle(object, index(i, j), index(i + 1, j), index(i + 1, j + 1));
            addTriangle(object, index(i, j), index(i + 1, j + 1), index(i, j + 1));
        }
    }
}

int cellsFor(double length, double cell) { return std::max(1, int(std::lround(length / cell))); }

// A box spanned from `origin` by three edges forming a right-handed frame, so that every face
// normal points outwards.
void addFrameBox(BuildMesh& mesh, BuildObject& object, V3 origin, V3 ex, V3 ey, V3 ez, double cell,
                 double tile) {
    int nx = cellsFor(length(ex), cell), ny = cellsFor(length(ey), cell), nz = cellsFor(length(ez), cell);
    addQuad(mesh, object, origin + ez, ex, ey, nx, ny, tile);                // top
    addQuad(mesh, object, origin + ey, ex, ey * -1.0, nx, ny, tile);         // bottom
    addQuad(mesh, object, origin, ex, ez, nx, nz, tile);                     // side at ey = 0
    addQuad(mesh, object, origin + ex + ey, ex * -1.0, ez, nx, nz, tile);    // side at ey = 1
    addQuad(mesh, object, origin + ey, ey * -1.0, ez, ny, nz, tile);         // end at ex = 0
    addQuad(mesh, object, origin + ex, ey, ez, ny, nz, tile);                // end at ex = 1
}

// Two unit vectors completing `axis` to a right-handed frame (e1 x e2 = axis).
void perpendiculars(V3 axis, V3& e1, V3& e2) {
    V3 helper = std::fabs(axis.z) < 0.9 ? V3{0, 0, 1} : V3{1, 0, 0};
    e1 = normalised(cross(helper, axis));
    e2 = cross(axis, e1);
}

}  // namespace

double shadeBrightness(int level) { return 1.0 - level * (0.78 / (SHADE_LEVELS - 1)); }

uint32_t Random::next() {
    // xorshift32: small, fast and the same everywhere.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

double Random::uniform() { return next() / 4294967296.0; }

BuildObject& addObject(BuildMesh& mesh, int32_t material) {
    mesh.objects.emplace_back();
    mesh.objects.back().material = material;
    return mesh.objects.back();
}

std::vector<double> evenSteps(int n, double repeats) {
    std::vector<double> steps(size_t(n) + 1);
    for (int i = 0; i <= n; ++i) steps[i] = repeats * i / n;
    return steps;
}

void addGrid(BuildMesh& mesh, BuildObject& object, const std::vector<V3>& points, int nu, int nv,
             const GridTexture& texture) {
    if (mesh.materials[object.material].layout == Layout::Shaded)
        addShadedGrid(mesh, object, points, nu, nv, texture);
    else
        addTiledGrid(mesh, object, points, nu, nv, texture);
}

void addQuad(BuildMesh& mesh, BuildObject& object, V3 corner, V3 edgeU, V3 edgeV, int nu, int nv, double tile) {
    std::vector<V3> points;
    points.reserve(size_t(nu + 1) * (nv + 1));
    for (int j = 0; j <= nv; ++j)
        for (int i = 0; i <= nu; ++i) points.push_back(corner + edgeU * (double(i) / nu) + edgeV * (double(j) / nv));
    GridTexture texture{evenSteps(nu, length(edgeU) / tile), evenSteps(nv, length(edgeV) / tile)};
    addGrid(mesh, object, points, nu, nv, texture);
}

void addBox(BuildMesh& mesh, BuildObject& object, V3 low, V3 high, double cell, double tile) {
    addFrameBox(mesh, object, low, {high.x - low.x, 0, 0}, {0, high.y - low.y, 0}, {0, 0, high.z - low.z}, cell,
                tile);
}

void addBeam(BuildMesh& mesh, BuildObject& object, V3 a, V3 b, double width, double height, V3 up, double cell,
             double tile) {
    V3 along = normalised(b - a);
    V3 side = cross(up, along);
    if (length(side) < 1e-6) side = cross(V3{1, 0, 0}, along);
    side = normalised(side);
    V3 upright = cross(along, side);  // along x side = upright: a right-handed frame
    V3 origin = a - side * (width / 2) - upright * (height / 2);
    addFrameBox(mesh, object, origin, b - a, side * width, upright * height, cell, tile);
}

void addLathe(BuildMesh& mesh, BuildObject& object, V3 base, V3 axis, const std::vector<ProfilePoint>& profile,
              int sides, int aroundTiles, double tile, bool inside) {
    V3 a = normalised(axis), e1, e2;
    perpendiculars(a, e1, e2);
    // A shaded cell shows at most one picture, so long profile steps are cut to the picture size.
    std::vector<ProfilePoint> refined{profile.front()};
    bool shaded = mesh.materials[object.material].layout == Layout::Shaded;
    for (size_t j = 1; j < profile.size(); ++j) {
        ProfilePoint p0 = profile[j - 1], p1 = profile[j];
        double step = std::hypot(p1.radius - p0.radius, p1.height - p0.height);
        int pieces = shaded ? std::max(1, int(std::ceil(step / tile - 1e-9))) : 1;
        for (int k = 1; k <= pieces; ++k) {
            double f = double(k) / pieces;
            refined.push_back({p0.radius + (p1.radius - p0.radius) * f, p0.height + (p1.height - p0.height) * f});
        }
    }
    int nv = int(refined.size()) - 1;
    std::vector<V3> points;
    for (int j = 0; j <= nv; ++j) {
        for (int i = 0; i <= sides; ++i) {
            double angle = 2 * PI * i / sides;
            V3 radial = e1 * std::cos(angle) + e2 * std::sin(angle);
            points.push_back(base + a * refined[j].height + radial * refined[j].radius);
        }
    }
    // Along the profile the picture follows the surface's length.
    std::vector<double> v(size_t(nv) + 1, 0.0);
    for (int j = 1; j <= nv; ++j) {
        double dr = refined[j].radius - refined[j - 1].radius, dh = refined[j].height - refined[j - 1].height;
        v[j] = v[j - 1] + std::sqrt(dr * dr + dh * dh) / tile;
    }
    addGrid(mesh, object, points, sides, nv, GridTexture{evenSteps(sides, aroundTiles), v, inside});
}

void addTube(BuildMesh& mesh, BuildObject& object, const std::vector<V3>& spine, double radius, int sides,
             bool closed, int aroundTiles, double tile) {
    size_t n = spine.size();
    if (n < 2) return;
    auto tangentAt = [&](size_t k) {
        if (closed) return normalised(spine[(k + 1) % n] - spine[(k + n - 1) % n]);
        if (k == 0) return normalised(spine[1] - spine[0]);
        if (k == n - 1) return normalised(spine[n - 1] - spine[n - 2]);
        return normalised(spine[k + 1] - spine[k - 1]);
    };
    // Rotation-minimising frames: each normal is the previous one with its along-part removed.
    std::vector<V3> normals(n), binormals(n);
    V3 unused;
    perpendiculars(tangentAt(0), normals[0], unused);
    for (size_t k = 1; k < n; ++k) {
        V3 t = tangentAt(k);
        normals[k] = normalised(normals[k - 1] - t * dot(normals[k - 1], t));
    }
    size_t rings = closed ? n + 1 : n;
    // A closed tube comes back with its frame turned; spread that turn along the tube so the
    // last ring meets the first.
    double twist = 0;
    if (closed) {
        V3 t0 = tangentAt(0);
        V3 back = normalised(normals[n - 1] - t0 * dot(normals[n - 1], t0));
        twist = std::atan2(dot(cross(back, normals[0]), t0), dot(back, normals[0]));
    }
    std::vector<V3> points;
    std::vector<double> v(rings, 0.0);
    for (size_t k = 0; k < rings; ++k) {
        size_t at = k % n;
        V3 t = tangentAt(at);
        double turn = closed ? twist * double(k) / double(n) : 0;
        V3 nk = normals[at], bk = cross(t, nk);
        if (k == n) turn = 0;  // the first ring again, exactly
        if (k > 0) v[k] = v[k - 1] + length(spine[at] - spine[(k - 1) % n]) / tile;
        for (int i = 0; i <= sides; ++i) {
            double angle = 2 * PI * i / sides + turn;
            points.push_back(spine[at] + (nk * std::cos(angle) + bk * std::sin(angle)) * radius);
        }
    }
    addGrid(mesh, object, points, sides, int(rings) - 1, GridTexture{evenSteps(sides, aroundTiles), v, false});
}

V3 evaluateKeys(const std::vector<Key>& keys, double time) {
    if (keys.empty()) return {};
    if (time <= keys.front().time) return keys.front().point;
    if (time >= keys.back().time) return keys.back().point;
    size_t i = 0;
    while (keys[i + 1].time < time) ++i;
    // Tangent at a key: the chord of its neighbours over their time; zero at the two ends, where
    // the motion starts from and comes to rest.
    auto tangent = [&](size_t k) {
        if (k == 0 || k + 1 == keys.size()) return V3{};
        return (keys[k + 1].point - keys[k - 1].point) * (1.0 / (keys[k + 1].time - keys[k - 1].time));
    };
    double h = keys[i + 1].time - keys[i].time;
    double f = (time - keys[i].time) / h;
    double f2 = f * f, f3 = f2 * f;
    return keys[i].point * (2 * f3 - 3 * f2 + 1) + tangent(i) * (h * (f3 - 2 * f2 + f)) +
           keys[i + 1].point * (-2 * f3 + 3 * f2) + tangent(i + 1) * (h * (f3 - f2));
}

std::vector<assets::Point3> bezierChain(const std::vector<Key>& keys, int segments) {
    const double h = 1e-4;
    auto derivative = [&](double t) {
        return (evaluateKeys(keys, t + h) - evaluateKeys(keys, t - h)) * (1.0 / (2 * h));
    };
    std::vector<assets::Point3> points;
    points.reserve(size_t(segments) * 3 + 1);
    for (int k = 0; k <= segments; ++k) {
        V3 p = evaluateKeys(keys, k);
        V3 d = derivative(k);
        // A cubic Bezier leaves its ends with 3 (P1 - P0) and 3 (P3 - P2) per segment, and one
        // segment is one time unit.
        if (k > 0) points.push_back(toPoint(p - d * (1.0 / 3)));
        points.push_back(toPoint(p));
        if (k < segments) points.push_back(toPoint(p + d * (1.0 / 3)));
    }
    return points;
}

void setCameraFlight(BuildMesh& mesh, const std::vector<Key>& eyeKeys, const std::vector<Key>& targetKeys,
                     int segments) {
    mesh.eye = bezierChain(eyeKeys, segments);
    mesh.target = bezierChain(targetKeys, segments);
}

double groundClearance(const BuildMesh& mesh, V3 p) {
    double best = 1e18;
    for (const assets::Point3& e : mesh.eye) best = std::min(best, std::hypot(e.x - p.x, e.y - p.y));
    return best;
}

double eyeClearance(const BuildMesh& mesh, V3 p) {
    double best = 1e18;
    for (const assets::Point3& e : mesh.eye) best = std::min(best, length(V3{e.x, e.y, e.z} - p));
    return best;
}

std::vector<uint8_t> encodeBuildMesh(const BuildMesh& build) {
    int32_t pathPoints = int32_t(build.eye.size());
    std::vector<assets::MeshMaterial> materials(build.materials.size());
    for (size_t i = 0; i < materials.size(); ++i) {
        const MaterialRecipe& wanted = build.materials[i];
        assets::MeshMaterial& m = materials[i];
        std::memset(&m, 0, sizeof m);
        m.nameLength = uint8_t(std::min<size_t>(wanted.name.size(), sizeof m.name));
        std::memcpy(m.name, wanted.name.data(), m.nameLength);
        m.uScale = wanted.uScale;
        m.vScale = wanted.vScale;
    }
    // The writer only reads through these pointers.
    std::vector<uint32_t> perPoint(size_t(pathPoints), 0);
    assets::MeshCamera camera;
    camera.fieldOfView = build.fieldOfView;
    camera.eye = const_cast<assets::Point3*>(build.eye.data());
    camera.target = const_cast<assets::Point3*>(build.target.data());
    camera.perPoint = perPoint.data();

    std::vector<assets::MeshObject> objects(build.objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        const BuildObject& from = build.objects[i];
        assets::MeshObject& o = objects[i];
        o.vertexCount = int32_t(from.vertices.size());
        o.vertices = const_cast<assets::Point3*>(from.vertices.data());
        o.texCoords = const_cast<assets::TexCoord*>(from.texCoords.data());
        o.triangleCount = int32_t(from.triangles.size());
        o.triangles = const_cast<assets::Triangle*>(from.triangles.data());
        o.pathPointCount = pathPoints;
        o.hasPath = !from.path.empty();
        o.path = o.hasPath ? const_cast<assets::Point3*>(from.path.data()) : nullptr;
        o.materialIndex = from.material;
    }
    assets::Mesh mesh;
    mesh.pathPointCount = pathPoints;
    mesh.materialCount = int32_t(materials.size());
    mesh.materials = materials.data();
    mesh.cameraCount = 1;
    mesh.cameras = &camera;
    mesh.objectCount = int32_t(objects.size());
    mesh.objects = objects.data();
    return assets::encodeMesh(mesh);
}

}  // namespace builder
