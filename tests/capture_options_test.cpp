// The capture tool's command line: accepted values, the exact frame span of --from/--to, and the
// usage errors that must stop it before any work starts.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tools/capture/options.h"

using capture::CaptureOptions;

namespace {

bool parse(std::initializer_list<const char*> args, CaptureOptions* options, std::string* error = nullptr) {
    std::vector<const char*> argv(args);
    std::string ignored;
    return capture::parseCaptureOptions(int(argv.size()), argv.data(), options, error ? error : &ignored);
}

} // namespace

TEST(CaptureOptions, DefaultsCaptureTheWholeShowAt640x480And60FpsAndEveryOptionTakesASpaceOrAnEqualsSign) {
    CaptureOptions o;
    ASSERT_TRUE(parse({"--out", "shots"}, &o));
    EXPECT_EQ(o.outDir, "shots");
    EXPECT_EQ((std::vector<int64_t>{o.width, o.height, o.fps, o.every}), (std::vector<int64_t>{640, 480, 60, 1}));
    EXPECT_EQ(capture::firstCapturedFrame(o), 0u);
    EXPECT_EQ(capture::endCapturedFrame(o), 0xFFFFFFFFu);
    EXPECT_TRUE(o.videoFile.empty() && o.contactSheet.empty() && o.archive.empty());

    ASSERT_TRUE(parse({"--out=d", "--size", "3840x2160", "--fps=25", "--from", "1.5", "--to=3", "--every", "4",
                       "--video", "v.mp4", "--contact-sheet=s.png", "--data", "other.yip"},
                      &o));
    EXPECT_EQ((std::vector<int64_t>{o.width, o.height, o.fps, o.fromMicroseconds, o.toMicroseconds, o.every}),
              (std::vector<int64_t>{3840, 2160, 25, 1500000, 3000000, 4}));
    EXPECT_EQ(o.videoFile + " " + o.contactSheet + " " + o.archive, "v.mp4 s.png other.yip");
}

TEST(CaptureOptions, FrameSpanIncludesFromAndExcludesTo) {
    CaptureOptions o;
    ASSERT_TRUE(parse({"--out", "d", "--fps", "10", "--to", "2"}, &o));
    EXPECT_EQ(capture::firstCapturedFrame(o), 0u);
    EXPECT_EQ(capture::endCapturedFrame(o), 20u);
    // 2.000001 s lies just after frame 20's moment, so frame 20 is captured; 1.05 s rounds up.
    ASSERT_TRUE(parse({"--out", "d", "--fps", "10", "--from", "1.05", "--to", "2.000001"}, &o));
    EXPECT_EQ(capture::firstCapturedFrame(o), 11u);
    EXPECT_EQ(capture::endCapturedFrame(o), 21u);
    // Thirds of a second at 30 fps stay exact: 0.1 s × 30 = frame 3 exactly.
    ASSERT_TRUE(parse({"--out", "d", "--fps", "30", "--from", ".1", "--to", "0.2"}, &o));
    EXPECT_EQ(capture::firstCapturedFrame(o), 3u);
    EXPECT_EQ(capture::endCapturedFrame(o), 6u);
}

TEST(CaptureOptions, MalformedCommandLinesAreRejectedWithAReason) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"--out"},
        {"--out", ""},
        {"--out", "d", "--frobnicate"},
        {"--out", "d", "--size", "640"},
        {"--out", "d", "--size", "0x480"},
        {"--out", "d", "--size", "640x0"},
        {"--out", "d", "--size", "640x"},
        {"--out", "d", "--size", "20000x100"},
        {"--out", "d", "--size", "-640x480"},
        {"--out", "d", "--fps", "0"},
        {"--out", "d", "--fps", "1001"},
        {"--out", "d", "--fps", "6O"},
        {"--out", "d", "--every", "0"},
        {"--out", "d", "--from", "-1"},
        {"--out", "d", "--from", "."},
        {"--out", "d", "--from", "0.1234567"},
        {"--out", "d", "--to", "86401"},
        {"--out", "d", "--from", "2", "--to", "2"},
        {"--out", "d", "--fps", "1", "--from", "0.2", "--to", "0.5"},  // no frame moment in between
        {"--out", "d", "--video", ""},
        {"--out", "d", "--segment", "0/2"},
        {"--out", "d", "--segment", "3/2"},
        {"--out", "d", "--segment", "1/2", "--jobs", "2"},
        {"--out", "d", "--segment", "1/2", "--contact-sheet", "s.png"},
        {"--out", "d", "--jobs", "0"},
        {"--out", "d", "--antialias", "5"},
        {"--out", "d", "--motion-blur", "0"},
        {"--out", "d", "--shutter", "361"},
        {"--out", "d", "--join"},
        {"--out", "d", "--join", "a", "b", "--jobs", "2"},
    };
    for (const auto& args : bad) {
        CaptureOptions o;
        std::string error;
        std::string line;
        for (const char* a : args) line += std::string(a) + " ";
        EXPECT_FALSE(capture::parseCaptureOptions(int(args.size()), args.data(), &o, &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(CaptureOptions, SegmentsShareTheFramesWithoutGapOrOverlapAndTheLastRunsToTheShowsEndWithoutTo) {
    // Frames 10..20 (--to 2.05 s at 10 fps ends before frame 21), eleven frames in three parts.
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    for (const char* part : {"1/3", "2/3", "3/3"}) {
        CaptureOptions o;
        ASSERT_TRUE(parse({"--out", "d", "--fps", "10", "--from", "1", "--to", "2.05", "--segment", part}, &o));
        spans.emplace_back(capture::segmentSpan(o).first, capture::segmentSpan(o).end);
    }
    EXPECT_EQ(spans, (std::vector<std::pair<uint32_t, uint32_t>>{{10, 13}, {13, 17}, {17, 21}}));

    CaptureOptions open;
    ASSERT_TRUE(parse({"--out", "d", "--fps", "2", "--from", "7", "--segment", "2/2"}, &open));
    EXPECT_EQ(capture::segmentSpan(open).first, 14u + (374u - 14u) / 2);  // half of 187 s from frame 14
    EXPECT_EQ(capture::segmentSpan(open).end, 0xFFFFFFFFu);

    CaptureOptions join;
    ASSERT_TRUE(parse({"--join", "a", "b", "--out", "d"}, &join));
    EXPECT_EQ(join.joinDirs, (std::vector<std::string>{"a", "b"}));
}
