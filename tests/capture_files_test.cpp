// The files the capture tool writes on its own: PNG pictures, the WAV header and samples, and the
// thumbnails of the contact sheet.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/capture/image.h"
#include "tools/capture/video.h"
#include "tools/capture/wav_file.h"

using capture::Image;

namespace {

std::string tempPath(const std::string& name) {
    return std::string(TAV_BUILD_DIR) + "/capture_files_test_" + name;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Decoded with libpng's simplified reader, independent of the tool's own reader.
std::vector<uint8_t> decodeRgb(const std::string& path, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    *width = int(image.width);
    *height = int(image.height);
    return pixels;
}

Image sampleImage() {
    Image image = capture::makeImage(3, 2);
    image.rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255,  // top row: red, green, blue
                 1, 2, 3, 128, 128, 128, 255, 255, 255};
    return image;
}

} // namespace

TEST(CapturePng, WritesEightBitRgbWithTheSamePixelsTopRowFirstAndReportsFailures) {
    const std::string path = tempPath("sample.png");
    std::string error;
    ASSERT_TRUE(capture::writePng(path, sampleImage(), &error)) << error;
    std::vector<uint8_t> bytes = fileBytes(path);
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes[24], 8);  // bit depth
    int w = 0, h = 0;
    EXPECT_EQ(decodeRgb(path, &w, &h), sampleImage().rgb);
    EXPECT_EQ(w * 10 + h, 32);
    Image back;
    ASSERT_TRUE(capture::readPng(path, &back, &error)) << error;
    EXPECT_EQ(back.rgb, sampleImage().rgb);

    // Failures are reported, not crashed on: a folder that is not there, a PNG cut short after its
    // header, and a file that is no PNG at all.
    error.clear();
    EXPECT_FALSE(capture::writePng(tempPath("no/such/folder/x.png"), sampleImage(), &error));
    EXPECT_FALSE(error.empty());
    // A disk that fills part way through a picture (here a file size limit): no file is left that
    // could pass for the picture.
    rlimit limit{}, small{};
    getrlimit(RLIMIT_FSIZE, &limit);
    small = limit;
    small.rlim_cur = 20;
    signal(SIGXFSZ, SIG_IGN);
    std::remove(tempPath("full.png").c_str());
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = capture::writePng(tempPath("full.png"), sampleImage(), &error);
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(written);
    EXPECT_NE(access(tempPath("full.png").c_str(), F_OK), 0);
    for (size_t keep : {size_t(40), size_t(5)}) {
        std::ofstream(tempPath("cut.png"), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(keep));
        Image image;
        error.clear();
        EXPECT_FALSE(capture::readPng(tempPath("cut.png"), &image, &error)) << keep;
        EXPECT_FALSE(error.empty());
    }
}

TEST(CaptureWav, HeaderDescribesSixteenBitStereoAt44100WithTheFinalLength) {
    const std::string path = tempPath("sound.wav");
    capture::WavFile wav;
    std::string error;
    ASSERT_TRUE(capture::openWav(&wav, path, &error));
    const int16_t samples[] = {1, -1, 0x1234, -32768, 32767, 0};
    capture::appendWav(&wav, samples, 3);
    capture::appendSilence(&wav, 2);
    ASSERT_TRUE(capture::closeWav(&wav, &error)) << error;

    // RIFF size 36 + 20, PCM, two channels, 44100 Hz, 176400 bytes a second, block 4, 16 bits.
    const std::vector<uint8_t> expected = {
        'R', 'I', 'F', 'F', 56, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0,
        0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a', 20, 0, 0, 0,
        1, 0, 0xFF, 0xFF, 0x34, 0x12, 0x00, 0x80, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(fileBytes(path), expected);
}

TEST(CaptureImage, ScalingAveragesAreasAndPastingClips) {
    Image source = capture::makeImage(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x) source.rgb[size_t(y * 4 + x) * 3] = 255;  // right half red
    source.rgb[1] = 102;  // one green texel: a quarter of it, 25.5, rounds to 26
    Image half = capture::scaleImage(source, 2, 1);
    EXPECT_EQ(half.rgb, (std::vector<uint8_t>{0, 26, 0, 255, 0, 0}));

    // Antialiasing and motion blur mix in linear light: black and white half and half is 0.5 of the
    // light, sRGB level 187.5 rounded to 188, not the 128 of mixing levels; every level mixed with
    // itself stays itself.
    Image checker = capture::makeImage(2, 2);
    for (size_t i : {size_t(0), size_t(9)}) checker.rgb[i] = checker.rgb[i + 1] = checker.rgb[i + 2] = 255;
    EXPECT_EQ(capture::reduceLinear(checker, 2).rgb, (std::vector<uint8_t>{188, 188, 188}));
    Image levels = capture::makeImage(256, 1);
    for (size_t i = 0; i < levels.rgb.size(); ++i) levels.rgb[i] = uint8_t(i / 3);
    capture::LinearSum sum;
    capture::addLinear(&sum, levels);
    capture::addLinear(&sum, levels);
    EXPECT_EQ(capture::averageLinear(sum).rgb, levels.rgb);

    // Pasted past the top right corner, then past the left edge one row down.
    Image target = capture::makeImage(3, 3, 9, 9, 9);
    capture::pasteImage(&target, capture::makeImage(2, 2, 7, 7, 7), 2, -1);
    capture::pasteImage(&target, capture::makeImage(2, 1, 5, 5, 5), -1, 2);
    std::vector<uint8_t> red;
    for (size_t i = 0; i < target.rgb.size(); i += 3) red.push_back(target.rgb[i]);
    EXPECT_EQ(red, (std::vector<uint8_t>{9, 9, 7, 9, 9, 9, 5, 9, 9}));
}

// A stand-in ffmpeg that takes the frames and then fails: the video is reported failed.
TEST(CaptureVideo, AFailingEncoderIsReportedNotTakenForAVideo) {
    const std::string folder = tempPath("fake-ffmpeg");
    mkdir(folder.c_str(), 0755);
    std::ofstream(folder + "/ffmpeg") << "#!/bin/sh\ncat > /dev/null\nexit 3\n";
    chmod((folder + "/ffmpeg").c_str(), 0755);
    const std::string searchPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (folder + ":" + searchPath).c_str(), 1);  // found before any real one
    capture::VideoEncoder video;
    std::string error;
    const bool started = capture::startVideo(&video, tempPath("failed.mp4"), 2, 2, 10, &error);
    setenv("PATH", searchPath.c_str(), 1);
    ASSERT_TRUE(started) << error;
    EXPECT_TRUE(capture::writeVideoFrame(&video, capture::makeImage(2, 2), &error)) << error;
    EXPECT_FALSE(capture::finishVideo(&video, tempPath("none.wav"), &error));
    EXPECT_NE(error.find("failed with exit code 3"), std::string::npos) << error;
    std::remove((folder + "/ffmpeg").c_str());
    rmdir(folder.c_str());
}
