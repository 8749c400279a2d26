// RGB images, their PNG files through libpng (errors returned, not printed and ignored), the 4:3
// box and the thumbnail scaling.
#include "tools/capture/image.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>

namespace capture {

namespace {

// Frames are written by the thousand: the fastest zlib level keeps PNG writing well below the
// render time, and the files are still a fraction of the raw size.
constexpr int PNG_COMPRESSION_LEVEL = 1;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void pngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error) *error = message;
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

} // namespace

Image makeImage(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    Image image;
    image.width = width;
    image.height = height;
    image.rgb.resize(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        image.rgb[i] = r;
        image.rgb[i + 1] = g;
        image.rgb[i + 2] = b;
    }
    return image;
}

bool writePngFile(const std::string& path, const Image& image, std::string* error);

// A picture that could not be written leaves no file behind: a short or empty file under a frame's
// name would pass for a picture.
bool writePng(const std::string& path, const Image& image, std::string* error) {
    if (writePngFile(path, image, error)) return true;
    std::remove(path.c_str());
    return false;
}

bool writePngFile(const std::string& path, const Image& image, std::string* error) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        *error = "cannot create " + path;
        return false;
    }
    std::string pngMessage;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngMessage, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        *error = "out of memory writing " + path;
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = "cannot write " + path + ": " + pngMessage;
        return false;
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, PNG_COMPRESSION_LEVEL);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = size_t(image.width) * 3;
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, image.rgb.data() + size_t(y) * stride);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    // A full disk shows up only when the buffered bytes are flushed.
    FILE* raw = file.release();
    if (std::ferror(raw) | std::fclose(raw)) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

bool readPng(const std::string& path, Image* image, std::string* error) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    std::string pngMessage;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &pngMessage, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        *error = "out of memory reading " + path;
        return false;
    }
    // Everything the error path must free exists before the jump point.
    Image result;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        *error = path + " is not a readable PNG: " + pngMessage;
        return false;
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    // Whatever the file holds, hand back 8-bit RGB.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    result.width = int(png_get_image_width(png, info));
    result.height = int(png_get_image_height(png, info));
    if (png_get_rowbytes(png, info) != size_t(result.width) * 3) png_error(png, "unexpected row layout");
    result.rgb.resize(size_t(result.width) * size_t(result.height) * 3);
    rows.resize(size_t(result.height));
    for (int y = 0; y < result.height; ++y) rows[size_t(y)] = result.rgb.data() + size_t(y) * size_t(result.width) * 3;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    *image = std::move(result);
    return true;
}

namespace {

// sRGB levels to linear light in 1/65535, and back through a table fine enough that every level
// comes back as itself.
constexpr int LINEAR_STEPS = 65536;

const std::vector<uint16_t>& toLinear() {
    static const std::vector<uint16_t> table = [] {
        std::vector<uint16_t> t(256);
        for (int i = 0; i < 256; ++i) {
            double c = i / 255.0;
            double l = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            t[size_t(i)] = uint16_t(std::lround(l * 65535));
        }
        return t;
    }();
    return table;
}

const std::vector<uint8_t>& fromLinear() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(LINEAR_STEPS);
        for (int i = 0; i < LINEAR_STEPS; ++i) {
            double l = i / 65535.0;
            double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            t[size_t(i)] = uint8_t(std::lround(std::clamp(c, 0.0, 1.0) * 255));
        }
        return t;
    }();
    return table;
}

} // namespace

void addLinear(LinearSum* sum, const Image& image) {
    if (sum->count == 0) {
        sum->width = image.width;
        sum->height = image.height;
        sum->light.assign(image.rgb.size(), 0);
    }
    const std::vector<uint16_t>& linear = toLinear();
    for (size_t i = 0; i < image.rgb.size(); ++i) sum->light[i] += linear[image.rgb[i]];
    ++sum->count;
}

Image averageLinear(const LinearSum& sum) {
    Image result = makeImage(sum.width, sum.height);
    const std::vector<uint8_t>& level = fromLinear();
    for (size_t i = 0; i < result.rgb.size(); ++i)
        result.rgb[i] = level[size_t((sum.light[i] + sum.count / 2) / sum.count)];
    return result;
}

Image reduceLinear(const Image& source, int factor) {
    const int width = source.width / factor, height = source.height / factor;
    Image result = makeImage(width, height);
    const std::vector<uint16_t>& linear = toLinear();
    const std::vector<uint8_t>& level = fromLinear();
    const uint64_t count = uint64_t(factor) * uint64_t(factor);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                uint64_t light = 0;
                for (int sy = y * factor; sy < (y + 1) * factor; ++sy)
                    for (int sx = x * factor; sx < (x + 1) * factor; ++sx)
                        light += linear[source.rgb[(size_t(sy) * size_t(source.width) + size_t(sx)) * 3 + size_t(c)]];
                result.rgb[(size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(c)] = level[size_t((light + count / 2) / count)];
            }
    return result;
}

Image scaleImage(const Image& source, int width, int height) {
    Image result = makeImage(width, height);
    if (source.width <= 0 || source.height <= 0) return result;
    for (int dy = 0; dy < height; ++dy) {
        int y0 = int(int64_t(dy) * source.height / height);
        int y1 = int(int64_t(dy + 1) * source.height / height);
        if (y1 <= y0) y1 = y0 + 1;
        for (int dx = 0; dx < width; ++dx) {
            int x0 = int(int64_t(dx) * source.width / width);
            int x1 = int(int64_t(dx + 1) * source.width / width);
            if (x1 <= x0) x1 = x0 + 1;
            uint32_t sum[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                const uint8_t* p = source.rgb.data() + (size_t(y) * size_t(source.width) + size_t(x0)) * 3;
                for (int x = x0; x < x1; ++x, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            uint32_t count = uint32_t((y1 - y0) * (x1 - x0));
            uint8_t* out = result.rgb.data() + (size_t(dy) * size_t(width) + size_t(dx)) * 3;
            for (int c = 0; c < 3; ++c) out[c] = uint8_t((sum[c] + count / 2) / count);
        }
    }
    return result;
}

void pasteImage(Image* target, const Image& source, int x, int y) {
    for (int sy = 0; sy < source.height; ++sy) {
        int ty = y + sy;
        if (ty < 0 || ty >= target->height) continue;
        for (int sx = 0; sx < source.width; ++sx) {
            int tx = x + sx;
            if (tx < 0 || tx >= target->width) continue;
            const uint8_t* s = source.rgb.data() + (size_t(sy) * size_t(source.width) + size_t(sx)) * 3;
            uint8_t* t = target->rgb.data() + (size_t(ty) * size_t(target->width) + size_t(tx)) * 3;
            t[0] = s[0];
            t[1] = s[1];
            t[2] = s[2];
        }
    }
}

} // namespace capture
