// Pictures of the capture tool: 8-bit RGB images in memory (rows top to bottom), their PNG files,
// the centred 4:3 box the show draws into, and the scaling used for contact-sheet thumbnails.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/present.h"

namespace capture {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width × height × 3 bytes, first row at the top
};

Image makeImage(int width, int height, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0);

// Writes an 8-bit RGB PNG with no time stamp or other varying chunk, so equal images give equal
// files. Returns false and fills *error when the file cannot be written.
bool writePng(const std::string& path, const Image& image, std::string* error);
// Reads any 8-bit or 16-bit PNG (grey, palette, RGB, with or without alpha) as RGB.
bool readPng(const std::string& path, Image* image, std::string* error);

// The centred 4:3 box is the one the show window presents its picture in.
using platform::Box;
using platform::pictureBox;

// Area-average resize (nearest pixel when enlarging).
Image scaleImage(const Image& source, int width, int height);

// Averages in linear light (sRGB levels converted out and back), as light mixes on film or in an
// eye: for the sub-frames of motion blur and the samples of an antialiased pixel.
struct LinearSum {
    int width = 0;
    int height = 0;
    uint32_t count = 0;
    std::vector<uint32_t> light;  // per channel, the sum of count linear values of 0..65535
};
void addLinear(LinearSum* sum, const Image& image);
Image averageLinear(const LinearSum& sum);
// Each factor × factor block of source becomes one pixel, its average in linear light.
Image reduceLinear(const Image& source, int factor);

// Copies source into target with its top-left corner at (x, y), clipped to the target.
void pasteImage(Image* target, const Image& source, int x, int y);

} // namespace capture
