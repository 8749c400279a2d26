// The material-texture painter: seamless noise for the painters of the mesh builders, and the
// layout of a painted picture into a 256 x 256 RGB texture (plain, or as eight shaded copies).
#include <algorithm>
#include <cmath>

#include "tools/builder/meshes.h"

namespace builder {

namespace {

constexpr int SIZE = 256;

uint32_t hash(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u ^ uint32_t(x) * 0x85EBCA77u ^ uint32_t(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

int wrap(int i, int period) { return ((i % period) + period) % period; }

uint8_t toByte(double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

}  // namespace

double unitHash(int x, int y, uint32_t seed) { return hash(x, y, seed) / 4294967296.0; }

double smoothstep(double edge0, double edge1, double x) {
    double f = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return f * f * (3 - 2 * f);
}

Rgb mix(Rgb a, Rgb b, double f) { return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f}; }

Rgb scale(Rgb a, double f) { return {a.r * f, a.g * f, a.b * f}; }

double valueNoise(double x, double y, int periodX, int periodY, uint32_t seed) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    double fx = x - ix, fy = y - iy;
    // Quintic fade: no visible creases at the lattice lines.
    auto fade = [](double f) { return f * f * f * (f * (f * 6 - 15) + 10); };
    double u = fade(fx), v = fade(fy);
    int x0 = wrap(ix, periodX), x1 = wrap(ix + 1, periodX);
    int y0 = wrap(iy, periodY), y1 = wrap(iy + 1, periodY);
    double a = unitHash(x0, y0, seed), b = unitHash(x1, y0, seed);
    double c = unitHash(x0, y1, seed), d = unitHash(x1, y1, seed);
    return (a + (b - a) * u) + ((c + (d - c) * u) - (a + (b - a) * u)) * v;
}

double fractalNoise(double s, double t, int basePeriod, int octaves, uint32_t seed) {
    double sum = 0, amplitude = 1, total = 0;
    int period = basePeriod;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * valueNoise(s * period, t * period, period, period, seed + uint32_t(o) * 101u);
        total += amplitude;
        amplitude *= 0.5;
        period *= 2;
    }
    return sum / total;
}

void cellDistances(double s, double t, int cells, uint32_t seed, double& nearest, double& second) {
    double x = s * cells, y = t * cells;
    int cx = int(std::floor(x)), cy = int(std::floor(y));
    nearest = second = 1e9;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int gx = cx + dx, gy = cy + dy;
            int wx = wrap(gx, cells), wy = wrap(gy, cells);
            double px = gx + 0.15 + 0.7 * unitHash(wx, wy, seed);
            double py = gy + 0.15 + 0.7 * unitHash(wx, wy, seed + 7);
            double d = std::hypot(px - x, py - y);
            if (d < nearest) {
                second = nearest;
                nearest = d;
            } else if (d < second) {
                second = d;
            }
        }
    }
}

std::vector<uint8_t> paintMaterialTexture(const MaterialRecipe& material) {
    std::vector<uint8_t> texture(size_t(SIZE) * SIZE * 3);
    for (int y = 0; y < SIZE; ++y) {
        for (int x = 0; x < SIZE; ++x) {
            Rgb c;
            if (material.layout == Layout::Tiled) {
                c = material.painter((x + 0.5) / SIZE, (y + 0.5) / SIZE);
            } else {
                // Two columns of 128, four rows of 64 texels; copy `level` at column level % 2,
                // row level / 2 (row 0 = texture coordinate t near 0, the first stored row).
                int tileW = SIZE / 2, tileH = SIZE / 4;
                int level = (y / tileH) * 2 + x / tileW;
                double s = (x % tileW + 0.5) / tileW, t = (y % tileH + 0.5) / tileH;
                c = scale(material.painter(s, t), shadeBrightness(level));
            }
            uint8_t* texel = &texture[(size_t(y) * SIZE + x) * 3];
            texel[0] = toByte(c.r);
            texel[1] = toByte(c.g);
            texel[2] = toByte(c.b);
        }
    }
    return texture;
}

}  // namespace builder
