// End to end: the real tavremon-capture binary on the show's own data. Short captures check the
// files it leaves, that a capture starting later shows exactly the same frames and sound, that
// repeated runs are byte-identical, and that it fails clearly when it cannot do its work.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/capture/contact_sheet.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/image.h"

namespace fs = std::filesystem;

namespace {

const std::string buildDir = TAV_BUILD_DIR;
const std::string workDir = buildDir + "/capture_run_output";

struct ToolRun {
    int exitCode = -1;
    std::string errors;
};

// Runs the tool with its output folder inside workDir; env is prepended to the command.
ToolRun runTool(const std::string& out, const std::string& arguments, const std::string& env = "") {
    fs::remove_all(workDir + "/" + out);
    fs::create_directories(workDir);
    const std::string errFile = workDir + "/" + out + ".stderr";
    std::string command = "cd '" + workDir + "' && " + env + " '" + buildDir + "/tavremon-capture' --out " + out +
                          " " + arguments + " 2>'" + errFile + "'";
    ToolRun run;
    int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    run.errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

std::vector<uint8_t> bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::vector<std::string>> csv(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::stringstream s(line);
        for (std::string field; std::getline(s, field, ',');) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

std::vector<std::string> frameFiles(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("frame-", 0) == 0) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class CaptureRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(buildDir + "/tavremon-capture")) GTEST_FAIL() << "build tavremon-capture first";
    }
    std::string dir(const std::string& out) { return workDir + "/" + out; }
};

} // namespace

TEST_F(CaptureRun, StartingLaterShowsTheSameFramesAndSoundFromThatMomentOn) {
    // Across the first change of scene (26.5 s): the frames before --from are not drawn, yet the
    // grain's random picks, the flare's size from the clock the opening left, the white that
    // fades frame by frame and the title clock must all have moved on exactly as in a full run.
    // Two runs giving the same bytes also shows that a capture is the same every time.
    ToolRun whole = runTool("whole", "--size 160x120 --fps 10 --to 28 --every 5");
    ASSERT_EQ(whole.exitCode, 0) << whole.errors;
    ToolRun later = runTool("later", "--size 160x120 --fps 10 --from 26 --to 28 --every 5");
    ASSERT_EQ(later.exitCode, 0) << later.errors;

    EXPECT_EQ(frameFiles(dir("later")), (std::vector<std::string>{"frame-000260.png", "frame-000265.png",
                                                                  "frame-000270.png", "frame-000275.png"}));
    for (const std::string& name : frameFiles(dir("later")))
        EXPECT_EQ(bytes(dir("later") + "/" + name), bytes(dir("whole") + "/" + name)) << name;

    auto rows = csv(dir("later") + "/timeline.csv");
    ASSERT_EQ(rows.size(), 21u);  // every frame has its row, pictures or not
    EXPECT_EQ(rows[1][0], "260");
    EXPECT_EQ(rows[20][0], "279");
    EXPECT_EQ(rows[20][4], "drawFlareScene");

    // The later WAV is the end of the whole one, sample for sample: two seconds of 16-bit stereo,
    // 44100 × 2 × 4 bytes after the 44-byte header.
    std::vector<uint8_t> wholeWav = bytes(dir("whole") + "/audio.wav");
    std::vector<uint8_t> laterWav = bytes(dir("later") + "/audio.wav");
    ASSERT_EQ(laterWav.size(), 44u + 2 * 44100 * 4);
    EXPECT_TRUE(std::equal(laterWav.begin() + 44, laterWav.end(), wholeWav.begin() + 44 + 26 * 44100 * 4));
}

TEST_F(CaptureRun, WideCaptureKeepsTheFourThreePictureBetweenBlackBars) {
    ToolRun run = runTool("wide", "--size 200x100 --fps 10 --to 1 --contact-sheet sheet.png");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    std::string error;
    for (const std::string& name : frameFiles(dir("wide"))) {
        capture::Image picture;
        ASSERT_TRUE(capture::readPng(dir("wide") + "/" + name, &picture, &error)) << error;
        ASSERT_EQ(picture.width, 200);
        ASSERT_EQ(picture.height, 100);
        // The 4:3 box is 133 wide from x 33; everything left and right of it stays black.
        int lit = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x)
                if (x < 33 || x >= 166)
                    for (int c = 0; c < 3; ++c) lit += picture.rgb[(size_t(y) * 200 + size_t(x)) * 3 + size_t(c)] != 0;
        EXPECT_EQ(lit, 0) << name;
    }
    capture::Image sheet;
    ASSERT_TRUE(capture::readPng(workDir + "/sheet.png", &sheet, &error)) << error;
    EXPECT_EQ(sheet.width, capture::sheetLayout(1, 200, 100).width);
}

TEST_F(CaptureRun, VideoHoldsAnH264PictureAndAacSound) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    ToolRun run = runTool("video", "--size 160x120 --fps 10 --to 1 --video clip.mp4");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::string probe = workDir + "/clip.txt";
    std::system(("ffprobe -v error -show_entries stream=codec_name,width,height,nb_frames -of compact '" + workDir +
                 "/clip.mp4' > '" + probe + "'")
                    .c_str());
    std::ifstream in(probe);
    std::string streams((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(streams.find("codec_name=h264|width=160|height=120|nb_frames=10"), std::string::npos) << streams;
    EXPECT_NE(streams.find("codec_name=aac"), std::string::npos) << streams;
    EXPECT_FALSE(fs::exists(workDir + "/clip.mp4.picture.mp4"));
}

TEST_F(CaptureRun, ProblemsStopItBeforeAnyFrameWithAClearMessage) {
    ToolRun usage = runTool("bad", "--fps 0");
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.errors.find("--fps"), std::string::npos) << usage.errors;
    EXPECT_NE(usage.errors.find("usage:"), std::string::npos) << usage.errors;

    fs::create_directories(workDir + "/empty-bin");
    ToolRun noFfmpeg = runTool("noffmpeg", "--to 1 --video x.mp4", "PATH='" + workDir + "/empty-bin'");
    EXPECT_EQ(noFfmpeg.exitCode, 1);
    EXPECT_NE(noFfmpeg.errors.find("ffmpeg"), std::string::npos) << noFfmpeg.errors;
    EXPECT_FALSE(fs::exists(dir("noffmpeg") + "/timeline.csv"));

    // The last picture cannot be written (its name is taken by a folder): the capture fails.
    ToolRun blocked = runTool("blocked", "--size 16x12 --fps 10 --to 1", "mkdir -p blocked/frame-000009.png &&");
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_NE(blocked.errors.find("frame-000009.png"), std::string::npos) << blocked.errors;

    ToolRun noData = runTool("nodata", "--to 1 --data missing.yip");
    EXPECT_EQ(noData.exitCode, 1);
    EXPECT_NE(noData.errors.find("missing.yip"), std::string::npos) << noData.errors;
    EXPECT_FALSE(fs::exists(dir("nodata") + "/timeline.csv"));
}

// Under the runs above: the writer holds at most eight jobs, and a frame queued for both its PNG
// file and the video is two of them.
TEST(FrameWriter, AFrameForItsPngAndTheVideoIsTwoJobs) {
    capture::FrameWriter writer;
    capture::VideoEncoder video;
    writer.video = &video;  // no threads are started, so the jobs stay queued
    std::string error;
    ASSERT_TRUE(capture::queueFrame(&writer, capture::makeImage(2, 2), "unused.png", &error)) << error;
    EXPECT_EQ(writer.pending, 2u);
}
