// The show's 256 x 256 textures, each drawn by its own function from code and written as a .raw
// member of the data archive.
#include "tools/builder/textures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "tools/builder/text.h"

namespace builder {

const StripRows TITLE_STRIP{0, 45};
const StripRows SUBTITLE_STRIP{45, 60};
const StripRows LOADING_STRIP{159, 175};
const StripRows CREDIT_STRIPS[5] = {{176, 192}, {193, 207}, {209, 224}, {225, 239}, {241, 256}};
const StripRows GREETING_STRIPS[11] = {{5, 27},    {28, 50},   {51, 73},   {74, 96},
                                      {96, 118},  {116, 138}, {138, 160}, {160, 182},
                                      {182, 204}, {204, 226}, {226, 248}};

namespace {

constexpr int N = TEXTURE_SIZE;
constexpr float PI = 3.14159265358979f;

// ---------------------------------------------------------------------------------------------
// Pictures in floating point, quantised once at the end.

struct Colour {
    float r = 0, g = 0, b = 0;
};

Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Colour operator*(Colour a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Colour mix(Colour a, Colour b, float t) { return a * (1 - t) + b * t; }

struct Picture {
    std::vector<Colour> px = std::vector<Colour>(size_t(N) * N);
    Colour& at(int x, int y) { return px[size_t(y) * N + x]; }
};

std::vector<uint8_t> toRaw(const Picture& pic) {
    std::vector<uint8_t> raw(RAW_TEXTURE_BYTES);
    for (size_t i = 0; i < pic.px.size(); ++i) {
        const Colour& c = pic.px[i];
        raw[i * 3 + 0] = uint8_t(std::lround(std::clamp(c.r, 0.0f, 1.0f) * 255));
        raw[i * 3 + 1] = uint8_t(std::lround(std::clamp(c.g, 0.0f, 1.0f) * 255));
        raw[i * 3 + 2] = uint8_t(std::lround(std::clamp(c.b, 0.0f, 1.0f) * 255));
    }
    return raw;
}

// Fills every texel from a function of its centre, u and v in [0, 1).
Picture paint(const std::function<Colour(float u, float v)>& f) {
    Picture pic;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) pic.at(x, y) = f((x + 0.5f) / N, (y + 0.5f) / N);
    return pic;
}

float smoothstep(float e0, float e1, float x) {
    float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// ---------------------------------------------------------------------------------------------
// Noise. Everything is periodic over the unit square, so textures built from it tile; the hash is
// a fixed integer mix, so every build draws the same values.

float hash(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / float(0x1000000);
}

int wrap(int i, int period) { return ((i % period) + period) % period; }

// Value noise on a lattice of cellsU x cellsV cells over the unit square, in [0, 1).
float valueNoise(float u, float v, int cellsU, int cellsV, uint32_t seed) {
    float x = u * cellsU, y = v * cellsV;
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    float fx = x - x0, fy = y - y0;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    auto h = [&](int dx, int dy) { return hash(wrap(x0 + dx, cellsU), wrap(y0 + dy, cellsV), seed); };
    float top = h(0, 0) + (h(1, 0) - h(0, 0)) * fx;
    float bottom = h(0, 1) + (h(1, 1) - h(0, 1)) * fx;
    return top + (bottom - top) * fy;
}

// Fractal sum of octaves starting at cellsU x cellsV lattice cells, normalised to [0, 1).
float fbm(float u, float v, int cellsU, int cellsV, int octaves, uint32_t seed) {
    float sum = 0, weight = 0.5f, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += valueNoise(u, v, cellsU << o, cellsV << o, seed + uint32_t(o) * 101) * weight;
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

float fbm(float u, float v, int cells, int octaves, uint32_t seed) { return fbm(u, v, cells, cells, octaves, seed); }

// Distances to the nearest and second-nearest feature point of a periodic cell pattern (one
// point per cell), in units of a cell.
struct CellDistances {
    float nearest, second;
};

CellDistances cellular(float u, float v, int cells, uint32_t seed) {
    float x = u * cells, y = v * cells;
    int cx = int(std::floor(x)), cy = int(std::floor(y));
    CellDistances d{9, 9};
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int gx = cx + dx, gy = cy + dy;
            float px = gx + hash(wrap(gx, cells), wrap(gy, cells), seed);
            float py = gy + hash(wrap(gx, cells), wrap(gy, cells), seed + 7);
            float dist = std::hypot(px - x, py - y);
            if (dist < d.nearest) {
                d.second = d.nearest;
                d.nearest = dist;
            } else if (dist < d.second) {
                d.second = dist;
            }
        }
    }
    return d;
}

// Wrapped distance between two coordinates of the unit square's torus.
float torusDistance(float u0, float v0, float u1, float v1) {
    float du = std::fabs(u0 - u1), dv = std::fabs(v0 - v1);
    du = std::min(du, 1 - du);
    dv = std::min(dv, 1 - dv);
    return std::hypot(du, dv);
}

// ---------------------------------------------------------------------------------------------
// Text strips.

struct Segment {
    std::string text;
    Colour top, bottom;  // vertical gradient over the ink
};

struct LineStyle {
    TextStyle font;
    Colour glow;
    int glowRadius = 2;
    float glowStrength = 0.8f;
    int gap = 6;  // pixels between segments
};

// Rows a strip's ink and glow may use: its own rows less those shared with another strip of the
// same texture, less one row at each edge, where linear filtering mixes in the row beyond.
StripRows usableRows(StripRows strip, const StripRows* others, size_t count) {
    StripRows rows = strip;
    for (size_t i = 0; i < count; ++i) {
        StripRows o = others[i];
        if (o.top == strip.top && o.bottom == strip.bottom) continue;
        if (o.top < rows.bottom && o.bottom > rows.top) {
            if (o.top <= rows.top) rows.top = o.bottom;
            else rows.bottom = o.top;
        }
    }
    return {rows.top + 1, rows.bottom - 1};
}

// Blurs a coverage layer in place: three box passes each way approximate a gaussian.
void blur(std::vector<float>& layer, int width, int height, int radius) {
    if (radius <= 0) return;
    std::vector<float> tmp(layer.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k) s += layer[y * width + std::clamp(x + k, 0, width - 1)];
                tmp[y * width + x] = s / (2 * radius + 1);
            }
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k) s += tmp[std::clamp(y + k, 0, height - 1) * width + x];
                layer[y * width + x] = s / (2 * radius + 1);
            }
    }
}

// Segments rendered side by side on one baseline, with the extent of their ink: width, and
// rows relative to the baseline.
struct LineLayout {
    std::vector<TextMask> masks;
    int width = 0, inkTop = 0, inkBottom = 0;
};

bool layoutLine(const std::vector<Segment>& segments, const LineStyle& style, LineLayout& line) {
    line = LineLayout{};
    line.masks.resize(segments.size());
    line.inkTop = 1 << 20;
    line.inkBottom = -(1 << 20);
    for (size_t i = 0; i < segments.size(); ++i) {
        if (!renderText(style.font, segments[i].text, line.masks[i])) return false;
        InkBox ink = inkBounds(line.masks[i]);
        line.width += (ink.right - ink.left) + (i ? style.gap : 0);
        line.inkTop = std::min(line.inkTop, ink.top - line.masks[i].baseline);
        line.inkBottom = std::max(line.inkBottom, ink.bottom - line.masks[i].baseline);
    }
    return true;
}

// Lays out the line at the style's font size, or smaller until its ink and glow fit the rows
// and the texture width.
bool fitLine(const std::vector<Segment>& segments, LineStyle& style, StripRows rows, LineLayout& line) {
    const int maxWidth = N - 2 * (style.glowRadius + 2);
    const int maxHeight = rows.bottom - rows.top - std::max(0, style.glowRadius - 1);
    for (; style.font.pixelHeight >= 6; --style.font.pixelHeight) {
        if (!layoutLine(segments, style, line)) return false;
        if (line.width <= maxWidth && line.inkBottom - line.inkTop <= maxHeight) return true;
    }
    return false;
}

// Centres the line's ink in the rows and lays it, with its glow, over the picture. Nothing is
// written outside the rows.
void stampLine(Picture& pic, StripRows rows, const std::vector<Segment>& segments, const LineLayout& line,
               const LineStyle& style) {
    const int height = rows.bottom - rows.top;
    const int baseline = (height - (line.inkBottom - line.inkTop)) / 2 - line.inkTop;
    std::vector<float> cover(size_t(N) * height, 0);
    std::vector<Colour> fill(size_t(N) * height);
    int x = (N - line.width) / 2;
    for (size_t i = 0; i < segments.size(); ++i) {
        const TextMask& m = line.masks[i];
        InkBox ink = inkBounds(m);
        for (int my = ink.top; my < ink.bottom; ++my) {
            int py = baseline + (my - m.baseline);
            float g = float(my - ink.top) / std::max(1, ink.bottom - ink.top - 1);
            Colour c = mix(segments[i].top, segments[i].bottom, g);
            for (int mx = ink.left; mx < ink.right; ++mx) {
                int px = x + mx - ink.left;
                float a = m.coverage[size_t(my) * m.width + mx] / 255.0f;
                if (py < 0 || py >= height || px < 0 || px >= N || a <= 0) continue;
                cover[py * N + px] = std::max(cover[py * N + px], a);
                fill[py * N + px] = c;
            }
        }
        x += (ink.right - ink.left) + style.gap;
    }
    std::vector<float> glow = cover;
    blur(glow, N, height, style.glowRadius);
    for (int y = 0; y < height; ++y)
        for (int px = 0; px < N; ++px) {
            float a = cover[y * N + px];
            float g = std::min(1.0f, glow[y * N + px] * style.glowStrength * 2.0f);
            Colour& dst = pic.at(px, rows.top + y);
            dst = dst * (1 - a) + style.glow * (g * (1 - a)) + fill[y * N + px] * a;
        }
}

bool drawLine(Picture& pic, StripRows rows, const std::vector<Segment>& segments, LineStyle style) {
    LineLayout line;
    if (!fitLine(segments, style, rows, line)) return false;
    stampLine(pic, rows, segments, line, style);
    return true;
}

const Colour WHITE{1, 1, 1};

// ---------------------------------------------------------------------------------------------
// Pictures.

// A faint starry band behind the loading line, so the corner strip reads as a small banner.
void paintLoadingBackdrop(Picture& pic, StripRows rows) {
    for (int y = rows.top; y < rows.bottom; ++y) {
        float fy = (y - rows.top + 0.5f) / (rows.bottom - rows.top);
        float vertical = std::sin(fy * PI);
        for (int x = 0; x < N; ++x) {
            float fx = (x + 0.5f) / N;
            float fade = smoothstep(0.0f, 0.25f, fx);  // dark on the left, where it meets the scene
            pic.at(x, y) = Colour{0.05f, 0.09f, 0.16f} * (vertical * vertical * fade);
        }
    }
}

}  // namespace

std::vector<uint8_t> makeTitleTexture() {
    Picture pic;
    const StripRows all[] = {TITLE_STRIP, SUBTITLE_STRIP, LOADING_STRIP, CREDIT_STRIPS[0], CREDIT_STRIPS[1],
                             CREDIT_STRIPS[2], CREDIT_STRIPS[3], CREDIT_STRIPS[4]};
    const size_t allCount = sizeof all / sizeof all[0];

    // The title strip is drawn twice its size and the subtitle lands on its rows 32-40 on
    // screen, so the title keeps to the rows above them.
    LineStyle title{{"DejaVuSerif-Bold.ttf", 34, 1.0f, 1}, {0.85f, 0.32f, 0.05f}, 3, 0.9f};
    bool ok = drawLine(pic, {1, 31}, {{"Tavremon:54", {1.0f, 0.97f, 0.82f}, {1.0f, 0.62f, 0.16f}}}, title);

    // The subtitle is stretched to twice its width on screen: draw it half as wide. Its strip is
    // drawn texel for texel in height, 15 rows, too few for lower case with ascenders and
    // descenders at a readable size: capitals fill them (12 pixels tall on screen).
    LineStyle subtitle{{"DejaVuSans-Bold.ttf", 17, 0.5f, 1}, {0.05f, 0.25f, 0.45f}, 1, 0.6f, 5};
    ok = ok && drawLine(pic, usableRows(SUBTITLE_STRIP, all, allCount),
                        {{"A", {0.75f, 0.88f, 1.0f}, {0.55f, 0.75f, 1.0f}},
                         {"ZELTA!MORBAKUNZ", WHITE, {0.8f, 0.9f, 1.0f}},
                         {"PRODUCTION", {0.75f, 0.88f, 1.0f}, {0.55f, 0.75f, 1.0f}}},
                        subtitle);

    paintLoadingBackdrop(pic, LOADING_STRIP);
    LineStyle loading{{"DejaVuSans.ttf", 11, 1.0f, 1}, {0.1f, 0.2f, 0.35f}, 1, 0.5f, 5};
    ok = ok && drawLine(pic, usableRows(LOADING_STRIP, all, allCount),
                        {{"loading", {0.55f, 0.7f, 0.85f}, {0.4f, 0.55f, 0.75f}},
                         {"tavremon:54", WHITE, {0.85f, 0.9f, 1.0f}},
                         {"...", {0.55f, 0.7f, 0.85f}, {0.4f, 0.55f, 0.75f}}},
                        loading);

    // Credits by role: the role in pale gold, who in white. They follow one another in one place.
    // The strips are drawn 16 pixels tall at 640x480, so the lines are set in capitals (no
    // descenders) as tall as each strip's rows allow, condensed to fit the width: every line is
    // 13 to 14 pixels tall on screen. They are added onto a busy, lit hall: a strip can only
    // brighten what lies below it, so the letters are as near white as their colours allow (they
    // saturate over anything) and carry no glow, which would only lift the backdrop beside them.
    const char* credits[5][2] = {{"CODE", "THE ENGINE ROOM"},
                                 {"3D ENGINE", "BRONTAVEL3D CREW"},
                                 {"MUSIC", "THE TRACKER DESK"},
                                 {"GRAPHICS", "THE PIXEL KITCHEN"},
                                 {"DESIGN", "ZELTA!MORBAKUNZ"}};
    LineStyle credit{{"DejaVuSans-Bold.ttf", 20, 0.72f, 0}, {0, 0, 0}, 1, 0.0f, 7};
    for (int i = 0; i < 5 && ok; ++i) {
        ok = drawLine(pic, usableRows(CREDIT_STRIPS[i], all, allCount),
                      {{credits[i][0], {1.0f, 0.95f, 0.8f}, {1.0f, 0.86f, 0.6f}},
                       {credits[i][1], WHITE, {0.92f, 0.95f, 1.0f}}},
                      credit);
    }
    return ok ? toRaw(pic) : std::vector<uint8_t>{};
}

std::vector<uint8_t> makeGreetingsTexture() {
    Picture pic;
    const char* lines[11] = {"greetings and thanks to",
                             "all tracker musicians",
                             "the mesa developers",
                             "the sdl developers",
                             "the libopenmpt developers",
                             "the freetype developers",
                             "the zlib developers",
                             "every demoparty crew",
                             "the module archive keepers",
                             "all who still code for fun",
                             "and you, for watching"};
    // Hues walk from gold through green to blue over the eleven lines.
    LineStyle style{{"DejaVuSans-Bold.ttf", 16, 1.0f, 0}, {0.0f, 0.0f, 0.0f}, 2, 0.7f, 6};
    bool ok = true;
    for (int i = 0; i < 11 && ok; ++i) {
        float t = i / 10.0f;
        Colour hue = mix(mix(Colour{1.0f, 0.75f, 0.25f}, Colour{0.45f, 1.0f, 0.6f}, std::min(1.0f, t * 2)),
                         Colour{0.45f, 0.7f, 1.0f}, std::max(0.0f, t * 2 - 1));
        style.glow = hue * 0.45f;
        Colour top = mix(WHITE, hue, 0.25f);
        ok = drawLine(pic, usableRows(GREETING_STRIPS[i], GREETING_STRIPS, 11), {{lines[i], top, hue}}, style);
    }
    return ok ? toRaw(pic) : std::vector<uint8_t>{};
}

std::vector<uint8_t> makeFlareTexture() {
    Picture pic = paint([](float u, float v) {
        float dx = (u - 0.5f) * 2, dy = (v - 0.5f) * 2;
        float r = std::hypot(dx, dy);
        float angle = std::atan2(dy, dx);
        // The quad's edges must vanish: everything fades out before the inscribed circle.
        float window = 1 - smoothstep(0.55f, 0.98f, r);
        float core = std::exp(-r * r / 0.0035f);
        float glow = std::exp(-r / 0.09f) * 0.9f + std::exp(-r / 0.3f) * 0.35f;
        // Streaks: four long ones, and a crown of fine random rays.
        float streaks = std::pow(std::fabs(std::cos(angle * 2)), 60.0f) * std::exp(-r / 0.4f) * 0.8f;
        float angular = (angle + PI) / (2 * PI);
        float rays = std::pow(fbm(angular, 0.5f, 48, 1, 2, 11), 3.0f) * 2.2f * std::exp(-r / 0.25f);
        // A faint ring with a touch of colour fringing.
        float ring = std::exp(-std::pow((r - 0.6f) / 0.03f, 2.0f)) * 0.12f;
        float ringOuter = std::exp(-std::pow((r - 0.65f) / 0.035f, 2.0f)) * 0.1f;
        Colour c = WHITE * core + Colour{1.0f, 0.78f, 0.5f} * glow + Colour{0.85f, 0.9f, 1.0f} * (streaks + rays) +
                   Colour{1.0f, 0.6f, 0.3f} * ring + Colour{0.4f, 0.55f, 1.0f} * ringOuter;
        return c * window;
    });
    return toRaw(pic);
}

std::vector<uint8_t> makeSpaceTexture() {
    Picture pic = paint([](float u, float v) {
        float cloud = fbm(u, v, 4, 6, 21);
        float dust = fbm(u, v, 8, 5, 33);
        float hueMix = fbm(u, v, 2, 4, 45);
        Colour deep{0.03f, 0.03f, 0.12f};
        Colour magenta{0.85f, 0.25f, 0.75f};
        Colour cyan{0.2f, 0.75f, 0.95f};
        Colour nebula = mix(magenta, cyan, smoothstep(0.35f, 0.65f, hueMix));
        float density = smoothstep(0.38f, 0.75f, cloud);
        float lanes = 1 - 0.7f * smoothstep(0.5f, 0.7f, dust) * density;  // dark dust lanes
        Colour c = deep + nebula * (density * 0.9f * lanes) + Colour{1, 0.9f, 0.95f} * std::pow(density, 4.0f) * 0.5f;
        return c;
    });
    // Stars: a few hundred points, some with a soft halo.
    for (int i = 0; i < 900; ++i) {
        int x = int(hash(i, 1, 77) * N), y = int(hash(i, 2, 77) * N);
        float b = std::pow(hash(i, 3, 77), 6.0f) * 1.6f + 0.25f;
        Colour tint = mix(Colour{0.7f, 0.8f, 1.0f}, Colour{1.0f, 0.9f, 0.7f}, hash(i, 4, 77));
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                float fall = std::exp(-(dx * dx + dy * dy) / (b > 1.0f ? 1.2f : 0.35f));
                Colour& dst = pic.at(wrap(x + dx, N), wrap(y + dy, N));
                dst = dst + tint * (b * fall);
            }
    }
    return toRaw(pic);
}

std::vector<uint8_t> makeDaylightTexture() {
    Picture pic = paint([](float u, float v) {
        float haze = fbm(u, v, 2, 3, 51);
        Colour sky = mix(Colour{0.25f, 0.52f, 0.92f}, Colour{0.55f, 0.75f, 0.98f}, haze);
        float cloud = fbm(u, v, 4, 6, 63);
        float shade = fbm(u + 0.012f, v + 0.02f, 4, 6, 63);  // the cloud a little towards the sun
        float density = smoothstep(0.45f, 0.72f, cloud);
        float lit = std::clamp(0.75f + (cloud - shade) * 6.0f, 0.55f, 1.05f);
        Colour cloudColour = mix(Colour{0.62f, 0.66f, 0.75f}, Colour{1.0f, 0.98f, 0.94f}, lit - 0.05f);
        return mix(sky, cloudColour, density);
    });
    return toRaw(pic);
}

std::vector<uint8_t> makeTunnelTexture() {
    // The tunnel maps one texture width around a ring of radius 3 and sixteen rings along its
    // length, so along the tube the texture is stretched many times: detail that should look
    // round or square there is drawn flat and wide here. The picture scrolls along the tube at a
    // pace of its own, neither the rings' nor the music's, and the rings near the camera fill most
    // of the screen: anything that makes one row brighter than another (a rib across the tube, a
    // row of lamps) would pass the camera as a flicker. So every feature runs along the tube or
    // winds round it as a helix, and each row is evened out to the same mean brightness at the end.
    Picture pic = paint([](float u, float v) {
        float plate = fbm(u, v, 8, 5, 71);
        float grain = valueNoise(u, v, 64, 16, 73);
        // Helical coordinate: one turn round the tube over half the texture's length, so the
        // ribs and lamps spiral like the rifling of a barrel.
        float helix = v * 16 + u * 8;
        float turn = helix - std::floor(helix);
        // Panels between the conduits, each strip along the tube of its own shade.
        float panel = 0.75f + 0.5f * hash(int(u * 8), 0, 87);
        Colour metal = mix(Colour{0.05f, 0.09f, 0.14f}, Colour{0.16f, 0.24f, 0.32f}, plate) * ((0.8f + 0.4f * grain) * panel);
        // Helical ribs, a bright line with a soft glow.
        float ribDist = std::min(turn, 1 - turn);
        float ribLight = std::exp(-ribDist * ribDist / 0.0016f) + 0.08f * std::exp(-ribDist / 0.1f);
        // Eight conduits along the tube.
        float cond = std::fmod(u * 8, 1.0f);
        float condDist = std::min(cond, 1 - cond);
        float conduit = std::exp(-condDist * condDist / 0.0012f);
        // Pulses travel along the conduits: streaks stretched along the tube.
        float pulse = std::pow(valueNoise(u, v, 16, 4, 79), 3.0f);
        // Lamps between the ribs, halfway between two conduits, one in every other turn.
        float lamp = 0;
        {
            float lu = std::fmod(u * 8, 1.0f) - 0.5f, lv = turn - 0.5f;
            float on = int(std::floor(helix)) % 2 == 0 ? 1.0f : 0.0f;
            lamp = on * std::exp(-(lu * lu / 0.004f + lv * lv / 0.02f));
        }
        // The tunnel draws this twice, added, and near rings at full brightness: keep it dark
        // between the lights so the sum does not wash out.
        Colour c = metal * 0.8f + Colour{0.2f, 0.85f, 1.0f} * (ribLight * 0.45f) +
                   Colour{0.35f, 0.5f, 1.0f} * (conduit * (0.15f + 0.8f * pulse)) +
                   Colour{1.0f, 0.55f, 0.2f} * (lamp * 0.9f);
        return c;
    });
    // Even out the rows: every row gets the picture's mean brightness.
    auto brightness = [](Colour c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; };
    float total = 0;
    std::vector<float> rows(N, 0);
    for (int y = 0; y < N; ++y) {
        for (int x = 0; x < N; ++x) rows[y] += brightness(pic.at(x, y)) / N;
        total += rows[y] / N;
    }
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) pic.at(x, y) = pic.at(x, y) * (total / rows[y]);
    return toRaw(pic);
}

std::vector<uint8_t> makeBlobTexture() {
    Picture pic = paint([](float u, float v) {
        // Warp the cells a little so they look grown, not tiled.
        float wu = u + (fbm(u, v, 4, 3, 91) - 0.5f) * 0.08f;
        float wv = v + (fbm(u, v, 4, 3, 93) - 0.5f) * 0.08f;
        wu -= std::floor(wu);
        wv -= std::floor(wv);
        CellDistances big = cellular(wu, wv, 6, 95);
        CellDistances small = cellular(wu, wv, 16, 97);
        float edge = big.second - big.nearest;          // 0 on the borders between cells
        float membrane = std::exp(-edge / 0.07f);
        float inner = smoothstep(0.0f, 0.8f, big.nearest);
        float speckle = std::exp(-(small.second - small.nearest) / 0.05f);
        float swirl = fbm(u, v, 8, 4, 99);
        Colour core = mix(Colour{1.0f, 0.82f, 0.35f}, Colour{1.0f, 0.45f, 0.25f}, inner);
        Colour rim{0.75f, 0.1f, 0.55f};
        Colour c = mix(core, rim, std::clamp(inner * 0.8f + swirl * 0.3f, 0.0f, 1.0f));
        c = c * (0.75f + 0.35f * swirl) + Colour{1.0f, 0.95f, 0.8f} * (membrane * 0.9f) +
            Colour{1.0f, 0.6f, 0.9f} * (speckle * 0.25f);
        return c;
    });
    return toRaw(pic);
}

std::vector<uint8_t> makeChromeTexture() {
    // An environment-style map: the engine sphere looks its texels up by the x and y of each
    // normal, so coordinates run over two repeats and scroll; the picture tiles both ways. It
    // reads as polished metal in the cave: layered rock above, a soft band of light where the
    // passage runs on (v 0.5), dark water below with the light's reflection, and darkness
    // towards the top and bottom edges, where the picture wraps.
    Picture pic = paint([](float u, float v) {
        float toHorizon = 0.5f - 0.5f * std::cos(2 * PI * v);  // 0 at the edges, 1 at v 0.5
        float bands = 0.5f + 0.5f * std::sin((v * 10 + fbm(u, v, 2, 2, 4, 121) * 3) * 2 * PI);
        Colour rock = mix(Colour{0.38f, 0.3f, 0.22f}, Colour{0.95f, 0.75f, 0.5f}, 0.6f * bands + 0.4f * fbm(u, v, 8, 4, 122));
        float ripple = fbm(u, v, 4, 16, 3, 123);
        Colour water = mix(Colour{0.12f, 0.15f, 0.16f}, Colour{0.4f, 0.42f, 0.38f}, ripple);
        Colour c = mix(rock, water, smoothstep(0.47f, 0.53f, v));
        c = mix(Colour{0.12f, 0.1f, 0.08f}, c * (0.35f + 0.65f * smoothstep(0.0f, 0.6f, toHorizon)),
                smoothstep(0.0f, 0.15f, toHorizon));
        float glow = std::exp(-std::pow((v - 0.5f) / 0.05f, 2.0f)) + 0.35f * std::exp(-std::fabs(v - 0.5f) / 0.12f);
        float shimmer = v > 0.5f ? 0.6f + 0.4f * ripple : 1.0f;
        c = c + Colour{1.0f, 0.82f, 0.55f} * (glow * 0.75f * shimmer);
        // Two lamps far along the passage, reflected as soft warm spots.
        const float lights[2][2] = {{0.3f, 0.42f}, {0.78f, 0.45f}};
        for (const auto& l : lights) {
            float d = torusDistance(u, v, l[0], l[1]);
            c = c + Colour{1.0f, 0.85f, 0.6f} * (std::exp(-d * d / 0.0012f) * 0.9f);
        }
        return c;
    });
    return toRaw(pic);
}

bool buildTextureMembers(std::vector<Member>& members) {
    struct Named {
        const char* name;
        std::vector<uint8_t> (*make)();
    };
    const Named textures[] = {
        {"tavrion.raw", makeTitleTexture},   {"effect1.raw", makeFlareTexture},
        {"space82.raw", makeSpaceTexture},   {"nappal.raw", makeDaylightTexture},
        {"tex32_02.raw", makeTunnelTexture}, {"sphere38.raw", makeBlobTexture},
        {"greets.raw", makeGreetingsTexture}, {"rondany.raw", makeChromeTexture},
    };
    std::vector<Member> made;
    for (const Named& t : textures) {
        std::vector<uint8_t> data = t.make();
        if (data.size() != RAW_TEXTURE_BYTES) return false;
        made.push_back({t.name, std::move(data), true});
    }
    members.insert(members.end(), made.begin(), made.end());
    return true;
}

}  // namespace builder
