// Reference pictures and sound. The capture tool renders the whole show at 160x128 (the 4:3
// picture between black bars above and below) and 4 frames a second; the frames at every scene's
// start, middle and end and in every flash must match tests/references/*.png within rounding (mean
// difference at most half a level, no channel off by more than 8), and the loudness of every order
// and the checksum of the WAV must match tests/references/sound.tsv. With TAV_UPDATE_REFERENCES=1
// (scripts/update-references) it writes them anew instead. Either way a changed picture leaves a
// review picture (reference | new | difference x8) in the build folder's references-diff/.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/capture/image.h"

namespace fs = std::filesystem;

namespace {

const std::string buildDir = TAV_BUILD_DIR;
const std::string referenceDir = std::string(TAV_SOURCE_DIR) + "/tests/references";
const std::string captureDir = buildDir + "/references_capture";
const std::string reviewDir = buildDir + "/references-diff";
const bool updating = std::getenv("TAV_UPDATE_REFERENCES") != nullptr;
const char* const howToUpdate =
    "\nIf the change is intended (new show data or music), run scripts/update-references, look at the "
    "pictures in build/references-diff/ and say why in the commit.";
constexpr int fps = 4;

struct Frame {
    int frame, order, row;
    std::string scene;
};

struct Capture {
    std::vector<Frame> timeline;
    std::vector<uint8_t> wav;
    std::string errors;
    bool ok = false;
};

// The whole show, captured once for every test here.
const Capture& wholeShow() {
    static Capture c = [] {
        Capture c;
        fs::remove_all(captureDir);
        fs::remove_all(reviewDir);
        std::string command = "'" + buildDir + "/tavremon-capture' --out '" + captureDir + "' --size 160x128 --fps " +
                              std::to_string(fps) + " 2>'" + buildDir + "/references_capture.stderr'";
        if (std::system(command.c_str()) != 0) return c;
        std::ifstream csv(captureDir + "/timeline.csv");
        std::string line;
        std::getline(csv, line);
        while (std::getline(csv, line)) {
            std::stringstream s(line);
            std::string field[5];
            for (std::string& f : field) std::getline(s, f, ',');
            c.timeline.push_back({std::stoi(field[0]), std::stoi(field[2]), std::stoi(field[3]), field[4]});
        }
        std::ifstream messages(buildDir + "/references_capture.stderr");
        c.errors.assign(std::istreambuf_iterator<char>(messages), std::istreambuf_iterator<char>());
        std::ifstream in(captureDir + "/audio.wav", std::ios::binary);
        c.wav.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        c.ok = !c.timeline.empty() && c.wav.size() > 44;
        return c;
    }();
    return c;
}

// The moments worth a picture: each scene's first, middle and last frame, and a frame inside every
// flash (a few rows into the white at an order's start, a few rows before the next order's).
std::map<std::string, int> moments(const std::vector<Frame>& timeline) {
    std::map<std::string, int> picked;
    for (size_t begin = 0, run = 0; begin < timeline.size(); ++run) {
        size_t end = begin;
        while (end < timeline.size() && timeline[end].scene == timeline[begin].scene) ++end;
        char number[8];
        std::snprintf(number, sizeof number, "%02zu-", run);
        const std::string name = number + timeline[begin].scene;
        picked[name + "-1-start"] = timeline[begin].frame;
        picked[name + "-2-middle"] = timeline[(begin + end - 1) / 2].frame;
        picked[name + "-3-end"] = timeline[end - 1].frame;
        begin = end;
    }
    const std::pair<int, int> flashes[] = {{8, 4},  {12, 4},  {18, 4},  {22, 4}, {28, 4},
                                           {11, 58}, {17, 58}, {21, 58}, {27, 58}};
    for (const std::pair<int, int>& flash : flashes) {
        const int order = flash.first, row = flash.second;
        auto at = std::find_if(timeline.begin(), timeline.end(),
                               [&](const Frame& f) { return f.order == order && f.row >= row; });
        if (at != timeline.end()) picked["flash-" + std::to_string(order) + "-" + std::to_string(row)] = at->frame;
    }
    return picked;
}

std::string frameFile(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06d.png", frame);
    return captureDir + name;
}

// Reference, new picture and their difference (times 8) side by side, for whoever reviews it.
void writeReview(const std::string& name, const capture::Image& reference, const capture::Image& now) {
    capture::Image review = capture::makeImage(now.width * 3 + 8, now.height, 255, 0, 255);
    capture::Image difference = capture::makeImage(now.width, now.height);
    for (size_t i = 0; i < now.rgb.size() && i < reference.rgb.size(); ++i)
        difference.rgb[i] = uint8_t(std::min(255, 8 * std::abs(now.rgb[i] - reference.rgb[i])));
    capture::pasteImage(&review, reference, 0, 0);
    capture::pasteImage(&review, now, now.width + 4, 0);
    capture::pasteImage(&review, difference, 2 * now.width + 8, 0);
    std::string error;
    fs::create_directories(reviewDir);
    capture::writePng(reviewDir + "/" + name + ".png", review, &error);
}

// Each order's loudness (root mean square of its samples, found through the timeline's frames),
// then the WAV's size and CRC-32: the text of sound.tsv.
std::string soundSummary(const Capture& c) {
    std::map<int, std::pair<double, uint64_t>> sums;
    const uint64_t samples = (c.wav.size() - 44) / 2, perFrame = 44100 / fps * 2;
    for (const Frame& f : c.timeline) {
        auto& [sum, count] = sums[f.order];
        for (uint64_t s = f.frame * perFrame; s < (f.frame + 1) * perFrame && s < samples; ++s, ++count) {
            const double v = int16_t(c.wav[44 + 2 * s] | c.wav[45 + 2 * s] << 8);
            sum += v * v;
        }
    }
    std::ostringstream out;
    out << "# order\tRMS of its samples in 16-bit levels; last the WAV's bytes and CRC-32\n" << std::fixed
        << std::setprecision(1);
    for (const auto& [order, sum] : sums) out << order << "\t" << std::sqrt(sum.first / double(sum.second)) << "\n";
    out << "wav\t" << c.wav.size() << "\t" << crc32(0, c.wav.data(), unsigned(c.wav.size())) << "\n";
    return out.str();
}

} // namespace

TEST(References, PicturesAtEverySceneAndFlashAndTheSoundMatch) {
    ASSERT_TRUE(wholeShow().ok) << "the capture failed; see " << buildDir << "/references_capture.stderr";
    const auto picked = moments(wholeShow().timeline);
    EXPECT_EQ(wholeShow().errors, "") << "the capture is quiet when its messages go to no terminal";
    std::string error;
    if (updating) {
        fs::create_directories(referenceDir);
        for (const auto& entry : fs::directory_iterator(referenceDir))
            if (entry.path().extension() == ".png" && !picked.count(entry.path().stem())) fs::remove(entry.path());
    }
    for (const auto& [name, frame] : picked) {
        const std::string referenceFile = referenceDir + "/" + name + ".png";
        capture::Image now, reference;
        ASSERT_TRUE(capture::readPng(frameFile(frame), &now, &error)) << error;
        const bool known = capture::readPng(referenceFile, &reference, &error);
        if (updating) {
            if (known && reference.rgb != now.rgb) writeReview(name, reference, now);
            ASSERT_TRUE(capture::writePng(referenceFile, now, &error)) << error;
            continue;
        }
        ASSERT_TRUE(known) << name << " (frame " << frame << ") has no reference picture." << howToUpdate;
        ASSERT_EQ(reference.rgb.size(), now.rgb.size()) << name;
        uint64_t total = 0;
        int largest = 0;
        for (size_t i = 0; i < now.rgb.size(); ++i) {
            int d = std::abs(now.rgb[i] - reference.rgb[i]);
            total += uint64_t(d);
            largest = std::max(largest, d);
        }
        const double mean = double(total) / double(now.rgb.size());
        if (mean > 0.5 || largest > 8) writeReview(name, reference, now);
        EXPECT_TRUE(mean <= 0.5 && largest <= 8) << name << " (frame " << frame << ") differs from its reference: mean "
                                                 << mean << " levels, largest " << largest << "." << howToUpdate;
    }

    const std::string file = referenceDir + "/sound.tsv", now = soundSummary(wholeShow());
    if (updating) {
        std::ofstream(file) << now;
        return;
    }
    std::ifstream in(file);
    const std::string reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(now, reference) << "the show's sound changed." << howToUpdate;
}
