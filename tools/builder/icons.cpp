// Cuts the desktop icon out of the title texture and writes it as RGBA PNGs of the asked sizes.
#include "tools/builder/icons.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>

#include "tools/builder/textures.h"

namespace builder {

namespace {

// A texel at least this bright belongs to the core of a glyph. The glow around the glyphs is
// darker and runs from one character into the next; the cores stay apart.
constexpr int CORE_LEVEL = 200;
// The glow kept around the two characters, as a share of their larger extent on each side.
constexpr float MARGIN = 0.125f;
// Samples per icon pixel along each axis: they average several texels when the icon is smaller
// than the cut-out and smooth the steps when it is larger.
constexpr int SUBSAMPLES = 4;

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

struct Rgb {
    float r = 0, g = 0, b = 0;
};

int brightness(const std::vector<uint8_t>& texture, int x, int y) {
    const uint8_t* p = &texture[(size_t(y) * TEXTURE_SIZE + size_t(x)) * 3];
    return std::max({p[0], p[1], p[2]});
}

// The cores of the title's last two characters; an empty box if the title strip is dark.
Box lastTwoCharacters(const std::vector<uint8_t>& texture) {
    auto coreColumn = [&](int x) {
        for (int y = TITLE_STRIP.top; y < TITLE_STRIP.bottom; ++y)
            if (brightness(texture, x, y) >= CORE_LEVEL) return true;
        return false;
    };
    std::vector<Box> runs;
    for (int x = 0; x < TEXTURE_SIZE; ++x) {
        if (!coreColumn(x)) continue;
        if (runs.empty() || runs.back().right != x) runs.push_back({x, 0, x, 0});
        runs.back().right = x + 1;
    }
    if (runs.empty()) return {};
    Box box{runs[runs.size() >= 2 ? runs.size() - 2 : 0].left, TEXTURE_SIZE, runs.back().right, 0};
    for (int y = TITLE_STRIP.top; y < TITLE_STRIP.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (brightness(texture, x, y) >= CORE_LEVEL) {
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

// Texel (x, y) of the title strip; black outside it, so nothing of the subtitle below creeps in.
Rgb texel(const std::vector<uint8_t>& texture, int x, int y) {
    if (x < 0 || x >= TEXTURE_SIZE || y < TITLE_STRIP.top || y >= TITLE_STRIP.bottom) return {};
    const uint8_t* p = &texture[(size_t(y) * TEXTURE_SIZE + size_t(x)) * 3];
    return {float(p[0]), float(p[1]), float(p[2])};
}

// Bilinear sample at (u, v) in texel units, texel centres at half-integers.
Rgb sample(const std::vector<uint8_t>& texture, float u, float v) {
    float fu = u - 0.5f, fv = v - 0.5f;
    int x = int(std::floor(fu)), y = int(std::floor(fv));
    float tx = fu - float(x), ty = fv - float(y);
    Rgb a = texel(texture, x, y), b = texel(texture, x + 1, y);
    Rgb c = texel(texture, x, y + 1), d = texel(texture, x + 1, y + 1);
    auto lerp2 = [&](float pa, float pb, float pc, float pd) {
        return (pa * (1 - tx) + pb * tx) * (1 - ty) + (pc * (1 - tx) + pd * tx) * ty;
    };
    return {lerp2(a.r, b.r, c.r, d.r), lerp2(a.g, b.g, c.g, d.g), lerp2(a.b, b.b, c.b, d.b)};
}

// The glow fades out within `halo` texels of the characters' cores, so the glow of the character
// before them and the edges of the strip leave no hard line on the icon.
float glowWeight(const Box& box, float halo, float u, float v) {
    float dx = std::max({float(box.left) - u, u - float(box.right), 0.0f});
    float dy = std::max({float(box.top) - v, v - float(box.bottom), 0.0f});
    float d = std::min(std::sqrt(dx * dx + dy * dy) / halo, 1.0f);
    return 1 - d * d * (3 - 2 * d);
}

uint8_t toByte(float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 255.0f))); }

// The picture is light added to black: as RGBA its brightest channel becomes the opacity and the
// colour is divided by it, so over black it looks exactly as cut out.
std::vector<uint8_t> renderIcon(const std::vector<uint8_t>& texture, const Box& box, int size) {
    float extent = float(std::max(box.right - box.left, box.bottom - box.top));
    float side = extent * (1 + 2 * MARGIN);
    float left = float(box.left + box.right) / 2 - side / 2;
    float top = float(box.top + box.bottom) / 2 - side / 2;
    float step = side / float(size * SUBSAMPLES);
    float halo = extent * MARGIN;
    std::vector<uint8_t> rgba(size_t(size) * size_t(size) * 4);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i) {
            Rgb sum;
            for (int t = 0; t < SUBSAMPLES; ++t)
                for (int s = 0; s < SUBSAMPLES; ++s) {
                    float u = left + (float(i * SUBSAMPLES + s) + 0.5f) * step;
                    float v = top + (float(j * SUBSAMPLES + t) + 0.5f) * step;
                    Rgb c = sample(texture, u, v);
                    float w = glowWeight(box, halo, u, v);
                    sum = {sum.r + c.r * w, sum.g + c.g * w, sum.b + c.b * w};
                }
            float n = float(SUBSAMPLES * SUBSAMPLES);
            Rgb c{sum.r / n, sum.g / n, sum.b / n};
            float alpha = std::max({c.r, c.g, c.b});
            float k = alpha > 0 ? 255 / alpha : 0;
            uint8_t* p = &rgba[(size_t(j) * size_t(size) + size_t(i)) * 4];
            p[0] = toByte(c.r * k);
            p[1] = toByte(c.g * k);
            p[2] = toByte(c.b * k);
            p[3] = toByte(alpha);
        }
    return rgba;
}

void appendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void noFlush(png_structp) {}

void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// No time stamp or other varying chunk: the same pixels give the same file.
std::vector<uint8_t> encodePng(const std::vector<uint8_t>& rgba, int size) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendToVector, noFlush);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, png_uint_32(size), png_uint_32(size), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < size; ++y) png_write_row(png, &rgba[size_t(y) * size_t(size) * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

std::vector<uint8_t> makeIconPng(const std::vector<uint8_t>& titleTexture, int size) {
    if (titleTexture.size() != RAW_TEXTURE_BYTES || size <= 0) return {};
    Box box = lastTwoCharacters(titleTexture);
    if (box.right <= box.left) return {};
    return encodePng(renderIcon(titleTexture, box, size), size);
}

}  // namespace builder
