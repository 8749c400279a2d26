// The capture loop of tavremon-capture: runs the show's own start-up and frame code on a headless
// GL context with a virtual clock (frame i at i × 1000 / fps ms) and the music rendered offline up
// to each frame's moment, and keeps what the frames make: PNG pictures, the WAV, the timeline and,
// if asked, a video, a contact sheet or, for a segment of a split capture, its record.
//
// What it trusts: the options (checked by options.cpp), and the show's frame code to draw each frame
// from the clock, the music position and its own state alone, so that the same frame index always
// gives the same picture. The archive is the show's loader's to judge; ffmpeg's work is judged by
// video.cpp. Every file it writes is either complete or says why not, also when interrupted.
#include "tools/capture/capture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/music.h"
#include "core/show_state.h"
#include "core/startup.h"
#include "core/timeline.h"
#include "core/window.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"
#include "platform/present.h"
#include "platform/program_folder.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/image.h"
#include "tools/capture/progress.h"
#include "tools/capture/segments.h"
#include "tools/capture/video.h"
#include "tools/capture/wav_file.h"

namespace capture {

volatile std::sig_atomic_t interrupted = 0;

namespace {

// The show clock of the frame being drawn; the show reads it through platform::milliseconds.
uint32_t virtualMs = 0;

uint32_t virtualClock() { return virtualMs; }
// Frames are read back, not presented.
void presentNothing() {}
void noSleep(uint32_t) {}

bool fail(const std::string& message) {
    std::fprintf(stderr, "tavremon-capture: %s\n", message.c_str());
    return false;
}

bool isReadableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

// The show draws a 4:3 picture into the viewport. Placing it in the centred box, with a matching
// scissor box, keeps its clears off the bars of a wider or taller capture.
void applyPictureBox(const Box& box) {
    glViewport(box.x, box.y, box.width, box.height);
    glScissor(box.x, box.y, box.width, box.height);
    glEnable(GL_SCISSOR_TEST);
}

bool pictureBoxIntact(const Box& box) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    return viewport[0] == box.x && viewport[1] == box.y && viewport[2] == box.width && viewport[3] == box.height &&
           glIsEnabled(GL_SCISSOR_TEST);
}

// Reads the box back into the frame (whose bars stay black: they are never read from GL).
void readPicture(const Box& box, std::vector<uint8_t>* scratch, Image* frame) {
    const size_t rowBytes = size_t(box.width) * 3;
    scratch->resize(rowBytes * size_t(box.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(box.x, box.y, box.width, box.height, GL_RGB, GL_UNSIGNED_BYTE, scratch->data());
    for (int row = 0; row < box.height; ++row) {
        // GL rows count from the bottom, image rows from the top.
        int imageRow = frame->height - 1 - (box.y + row);
        std::memcpy(frame->rgb.data() + (size_t(imageRow) * size_t(frame->width) + size_t(box.x)) * 3,
                    scratch->data() + size_t(row) * rowBytes, rowBytes);
    }
}

// The music is rendered in step with the frames; the part from the first captured frame on goes
// into the WAV, so picture and sound of the capture start together.
struct MusicTrack {
    WavFile wav;
    uint64_t rendered = 0;       // sample frames rendered so far
    uint64_t captureStart = 0;   // sample frame at which the WAV begins
    bool songOver = false;
    std::vector<int16_t> chunk;
};

void keep(MusicTrack* music, const int16_t* samples, uint64_t start, size_t frames) {
    uint64_t end = start + frames;
    if (end <= music->captureStart) return;
    uint64_t skip = start < music->captureStart ? music->captureStart - start : 0;
    appendWav(&music->wav, samples + skip * 2, size_t(frames - skip));
}

// Renders up to sample frame target. Past the song's end the rest is silence and songOver is set.
void renderMusicUpTo(MusicTrack* music, uint64_t target) {
    constexpr size_t chunkFrames = 4096;
    music->chunk.resize(chunkFrames * 2);
    while (music->rendered < target) {
        size_t want = size_t(std::min<uint64_t>(chunkFrames, target - music->rendered));
        size_t got = music->songOver ? 0 : core::renderMusic(music->chunk.data(), want);
        if (got < want) {
            music->songOver = true;
            std::fill(music->chunk.begin() + std::ptrdiff_t(got * 2), music->chunk.begin() + std::ptrdiff_t(want * 2), 0);
        }
        keep(music, music->chunk.data(), music->rendered, want);
        music->rendered += want;
    }
}

// PNG files are encoded beside the render thread; two encoders keep up with it at any size the
// show is captured at without taking the cores the rasteriser needs.
constexpr int PNG_THREADS = 2;

// Everything one capture run holds, from the options to the frames it has kept.
struct Run {
    CaptureOptions options;
    FrameSpan span;               // the frames this process captures
    uint32_t everyFrom = 0;       // --every counts from the capture's first frame, in any segment
    Box box;                      // the picture box at the rendered size
    int scale = 1;                // rendered size / captured size (--antialias)
    MusicTrack music;
    FILE* timeline = nullptr;
    std::string timelinePath;
    bool video = false;
    VideoEncoder encoder;
    FrameWriter writer;
    std::vector<FrameRecord> records;
    uint32_t stop = 0;            // the frame the loop stopped before
    StopReason reason = StopReason::Span;
    int progressFd = -1;          // a split capture's pipe for the frames done, -1: none
    ProgressMeter progress;
    bool warnedAboutViewport = false;
};

// ----- Setting up: the paths, the show's data, the GL context, the show itself -----

void resolvePaths(CaptureOptions* options) {
    options->outDir = absolutePath(options->outDir);
    options->videoFile = absolutePath(options->videoFile);
    options->contactSheet = absolutePath(options->contactSheet);
    options->archive = absolutePath(options->archive);
}

bool findShowData(CaptureOptions* options) {
    std::string error;
    if (options->segmentCount > 0 && !options->videoFile.empty() &&
        options->videoFile.rfind(options->outDir + "/", 0) != 0)
        return fail("a segment's --video must lie inside its --out folder, to be joined with it");
    if (!options->videoFile.empty()) {
        std::string ffmpeg;
        if (!findProgram("ffmpeg", &ffmpeg))
            return fail("--video needs ffmpeg, which is not installed (Debian package ffmpeg)");
    }
    if (!makeFolders(options->outDir, &error)) return fail(error);
    if (!options->archive.empty()) {
        if (!platform::changeToProgramFolder()) return fail("cannot find the program's own folder");
    } else {
        // In the build folder the archive lies beside the tool; an installed tool finds it in the
        // show's own folder, where the show then runs as it does when started itself.
        if (!platform::changeToFolderHolding("tavremon.yip", TAV_INSTALLED_SHOW_FOLDER))
            return fail("cannot find tavremon.yip beside this program or in its " TAV_INSTALLED_SHOW_FOLDER);
        options->archive = "tavremon.yip";
    }
    if (!isReadableFile(options->archive)) return fail("cannot read the archive " + absolutePath(options->archive));
    return true;
}

void onInterrupt(int) {
    interrupted = 1;
    // A second Ctrl-C ends the capture at once.
    std::signal(SIGINT, SIG_DFL);
}

// The GL context at the rendered size, the show's display and seams set to the virtual ones, the
// show loaded and started.
bool startShowHeadless(Run* run) {
    const CaptureOptions& options = run->options;
    std::string error;
    run->scale = int(options.antialias);
    const int width = options.width * run->scale, height = options.height * run->scale;
    if (!platform::createHeadlessGL(width, height, &error))
        return fail("no OpenGL context of " + std::to_string(width) + "x" + std::to_string(height) + ": " + error);
    const Box shown = pictureBox(options.width, options.height);
    run->box = Box{shown.x * run->scale, shown.y * run->scale, shown.width * run->scale, shown.height * run->scale};
    core::display.width = run->box.width;
    core::display.height = run->box.height;
    core::display.depth = 32;
    core::display.fullscreen = false;

    platform::setClockSource(virtualClock);
    core::setSwapHook(presentNothing);
    core::setMusicSleep(noSleep);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    // Black everywhere once; from then on only the box is drawn.
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    applyPictureBox(run->box);

    if (!core::loadShow(nullptr, core::MusicMode::Offline, options.archive.c_str()))
        return fail("cannot load the music from " + absolutePath(options.archive));
    if (core::quitRequested) return fail("the show stopped while loading (see the message above)");
    core::startShow();
    return true;
}

// ----- The files the frames go to -----

bool openOutputs(Run* run) {
    const CaptureOptions& options = run->options;
    std::string error;
    run->music.captureStart = uint64_t(run->span.first) * WAV_FREQUENCY / options.fps;
    if (!openWav(&run->music.wav, options.outDir + "/audio.wav", &error)) return fail(error);
    run->timelinePath = options.outDir + "/timeline.csv";
    run->timeline = std::fopen(run->timelinePath.c_str(), "w");
    if (!run->timeline) return fail("cannot create " + run->timelinePath);
    std::fputs(TIMELINE_HEADER, run->timeline);
    if (!options.videoFile.empty()) {
        const bool segment = options.segmentCount > 0;
        if (!startVideo(&run->encoder, options.videoFile, options.width, options.height, options.fps, &error, segment))
            return fail(error);
        run->video = true;
    }
    startFrameWriter(&run->writer, PNG_THREADS, run->video ? &run->encoder : nullptr);
    if (const char* fd = std::getenv(PROGRESS_FD_VARIABLE)) run->progressFd = std::atoi(fd);
    return true;
}

// ----- The frames -----

// The moment of sub-frame s of frame i in microseconds. Without motion blur it is the frame's own
// moment; with K sub-frames they lie evenly in the shutter interval centred on it.
uint64_t subFrameMicroseconds(const CaptureOptions& options, uint32_t frame, uint32_t sub) {
    const double interval = 1e6 / options.fps;
    double at = frame * interval;
    if (options.motionBlur > 1)
        at += interval * options.shutterDegrees / 360.0 * ((sub + 0.5) / options.motionBlur - 0.5);
    return at <= 0 ? 0 : uint64_t(at);
}

// Frames before the first captured one run the whole frame code, so every piece of show state
// (random draws, scene clocks, flash levels, the overlay clock) advances exactly as in a run from
// the start. Nothing of them is seen, and every frame begins by clearing the picture, so they send
// no mesh geometry and draw the rest into one pixel with rasterisation switched off.
void setSeen(bool seen) {
    if (seen) glDisable(GL_RASTERIZER_DISCARD);
    else glEnable(GL_RASTERIZER_DISCARD);
    platform::setFrameSeen(seen);
}

// Runs the show's frame code once at the given moment. False when the show or its music ended.
bool runShowAt(Run* run, uint32_t frame, uint32_t ms, uint64_t sample, const Box& drawn, core::FramePlan* plan) {
    virtualMs = ms;
    renderMusicUpTo(&run->music, sample);
    if (run->music.songOver) {
        // The position stays on the last row from here on, so the show would never end.
        std::fprintf(stderr, "tavremon-capture: the music ended at frame %u before the show did\n", frame);
        run->reason = StopReason::ShowEnded;
        return false;
    }
    if (core::quitRequested) return false;
    applyPictureBox(drawn);
    *plan = core::runFrame();
    if (plan->ended) {
        run->reason = StopReason::ShowEnded;
        return false;
    }
    if (!run->warnedAboutViewport && !pictureBoxIntact(drawn)) {
        run->warnedAboutViewport = true;
        std::fprintf(stderr,
                     "tavremon-capture: warning: frame %u changed the viewport or scissor box; "
                     "it is set again before every frame\n", frame);
    }
    return true;
}

// Draws frame i, all its sub-frames, and when its picture is wanted reads it back at the captured
// size. False when the show ended on the way.
bool drawFrame(Run* run, uint32_t frame, bool seen, bool wanted, core::FramePlan* plan, Image* picture,
               double* renderMs) {
    const CaptureOptions& options = run->options;
    const Box drawn = seen ? run->box : Box{run->box.x, run->box.y, 1, 1};
    const bool antialiased = run->scale > 1;
    setSeen(seen);
    LinearSum blur;
    std::vector<uint8_t> scratch;
    // The music is rendered up to the frame's own moment for all its sub-frames: the decoder's
    // output depends, in its last bit, on where its rendering is split, and the same splits as
    // without blur keep the sound the same bytes. Sub-frames differ in the clock only.
    const uint64_t sample = uint64_t(frame) * WAV_FREQUENCY / options.fps;
    for (uint32_t sub = 0; sub < options.motionBlur; ++sub) {
        uint32_t ms = uint32_t(uint64_t(frame) * 1000 / options.fps);
        if (options.motionBlur > 1) ms = uint32_t(subFrameMicroseconds(options, frame, sub) / 1000);
        // The render time is the frame code's and the rasteriser's, without reading back.
        ProgressMeter::Clock::time_point drawStart = ProgressMeter::Clock::now();
        if (!runShowAt(run, frame, ms, sample, drawn, plan)) return false;
        if (!seen) continue;
        glFinish();
        *renderMs += secondsSince(drawStart) * 1000.0;
        if (!wanted) continue;
        Image rendered = makeImage(options.width * run->scale, options.height * run->scale);
        readPicture(run->box, &scratch, &rendered);
        if (antialiased) rendered = reduceLinear(rendered, run->scale);
        if (options.motionBlur == 1) *picture = std::move(rendered);
        else addLinear(&blur, rendered);
    }
    if (wanted && options.motionBlur > 1) *picture = averageLinear(blur);
    return true;
}

bool writesPicture(const Run& run, uint32_t frame) { return (frame - run.everyFrom) % run.options.every == 0; }

// Hands a seen frame to the writer (picture file, video) and notes it in the timeline.
bool keepFrame(Run* run, uint32_t frame, const core::FramePlan& plan, Image picture, double renderMs) {
    const CaptureOptions& options = run->options;
    std::string error;
    const bool writePicture = writesPicture(*run, frame);
    if (writePicture || run->video) {
        std::string png = writePicture ? options.outDir + "/" + frameFileName(frame) : std::string();
        if (!queueFrame(&run->writer, std::move(picture), png, &error)) return fail(error);
    }
    const uint32_t ms = uint32_t(uint64_t(frame) * 1000 / options.fps);
    std::fprintf(run->timeline, "%u,%u,%d,%d,%s,%.3f\n", frame, ms, core::musicOrder, core::musicRow,
                 plan.scene.name ? plan.scene.name : "", renderMs);
    const bool sceneShown = !plan.clearOnly && plan.scene.name;
    run->records.push_back({frame, ms, sceneShown ? std::string(plan.scene.name) : std::string(), writePicture});
    if (run->progressFd >= 0) {
        // One byte a frame for the process that split the capture and shows its progress.
        const char done = 1;
        if (write(run->progressFd, &done, 1) < 0) run->progressFd = -1;
    }
    return true;
}

double fractionDone(const Run& run, uint32_t frame) {
    if (run.options.toMicroseconds < 0) return showFraction(core::musicOrder, core::musicRow);
    return double(frame - run.span.first + 1) / double(run.span.end - run.span.first);
}

bool runFrames(Run* run) {
    const bool showProgressHere = run->progressFd < 0;
    startProgress(&run->progress);
    uint32_t frame = 0;
    for (; frame < run->span.end; ++frame) {
        if (interrupted) {
            run->reason = StopReason::Interrupted;
            break;
        }
        const bool seen = frame >= run->span.first;
        core::FramePlan plan;
        Image picture;
        double renderMs = 0;
        const bool wanted = seen && (run->video || writesPicture(*run, frame));
        if (!drawFrame(run, frame, seen, wanted, &plan, &picture, &renderMs)) break;
        if (seen && !keepFrame(run, frame, plan, std::move(picture), renderMs)) return false;
        if (showProgressHere && seen) showProgress(&run->progress, run->records.size(), fractionDone(*run, frame));
    }
    if (showProgressHere && !run->records.empty())
        endProgress(&run->progress, run->records.size(), fractionDone(*run, frame - 1));
    run->stop = frame;
    return true;
}

// ----- Finishing: every file complete, or the reason it is not -----

bool finishOutputs(Run* run, bool ok) {
    const CaptureOptions& options = run->options;
    std::string error;
    // Every queued picture is written (or has failed) before anything is finished or judged.
    if (!finishFrameWriter(&run->writer, &error) && ok) ok = fail(error);
    // The sound of the last captured frame lasts until the next frame's moment.
    if (ok) renderMusicUpTo(&run->music, uint64_t(run->stop) * WAV_FREQUENCY / options.fps);

    bool timelineOk = !std::ferror(run->timeline);
    timelineOk = std::fclose(run->timeline) == 0 && timelineOk;
    if (ok && !timelineOk) ok = fail("cannot write " + run->timelinePath);
    if (!closeWav(&run->music.wav, &error) && ok) ok = fail(error);
    const bool segment = options.segmentCount > 0;
    if (ok && run->records.empty() && !segment) {
        ok = fail(run->reason == StopReason::Interrupted
                      ? "interrupted before the first captured frame (while seeking to --from): nothing captured"
                      : "no frame captured: the show ended before --from");
    }
    if (run->video) {
        if (!ok) abandonVideo(&run->encoder);
        else if (segment) ok = finishPictureOnly(&run->encoder, &error) || fail(error);
        else ok = finishVideo(&run->encoder, options.outDir + "/audio.wav", &error) || fail(error);
    }
    if (ok && segment) ok = writeSegmentRecord(options, run->span, run->stop, run->reason, run->records, &error) || fail(error);
    if (ok && !options.contactSheet.empty())
        ok = writeContactSheet(options.contactSheet, options.outDir, pickSceneFrames(run->records), &error) || fail(error);
    return ok;
}

void reportEnd(const Run& run) {
    const CaptureOptions& options = run.options;
    if (run.reason == StopReason::Interrupted && !run.records.empty()) {
        std::fprintf(stderr, "tavremon-capture: interrupted at frame %u; the files%s hold the %zu frames made so far\n",
                     run.stop, options.videoFile.empty() ? "" : " and the video", run.records.size());
    } else if (run.progress.terminal && run.progressFd < 0) {
        double wall = secondsSince(run.progress.start);
        double show = double(run.records.size()) / options.fps;
        std::fprintf(stderr, "captured %zu frames (%.2f s of show) in %.1f s: %.2f x real time\n", run.records.size(),
                     show, wall, wall > 0 ? show / wall : 0.0);
    }
}

// Renders the frames of the options' span (the whole capture, or one segment of it).
int capture(const CaptureOptions& given) {
    Run run;
    run.options = given;
    resolvePaths(&run.options);
    run.span = segmentSpan(run.options);
    run.everyFrom = firstCapturedFrame(run.options);
    if (!findShowData(&run.options) || !startShowHeadless(&run) || !openOutputs(&run)) return EXIT_FAILED;
    bool ok = runFrames(&run);
    ok = finishOutputs(&run, ok);
    if (ok) reportEnd(run);
    core::stopMusic();
    platform::setClockSource(nullptr);
    // The GL context lives until the process ends, as the show's window does: tearing EGL down
    // here would unload the driver with its own allocations still held, which leak checkers
    // then report against an unknown module.
    if (run.reason == StopReason::Interrupted) return EXIT_INTERRUPTED;
    return ok ? 0 : EXIT_FAILED;
}

} // namespace

int runCapture(const CaptureOptions& options) {
    if (!options.joinDirs.empty()) return joinCapture(options);
    if (options.jobs > 1) return splitCapture(options);
    return capture(options);
}

} // namespace capture
