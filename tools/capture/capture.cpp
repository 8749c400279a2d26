#include "tools/capture/capture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "assets/mesh_renderer.h"
#include "core/music.h"
#include "core/show_state.h"
#include "core/startup.h"
#include "core/timeline.h"
#include "core/window.h"
#include "effects/barlang_scene.h"
#include "engine/lit_patches.h"
#include "platform/clock.h"
#include "platform/headless_gl.h"
#include "platform/program_folder.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/image.h"
#include "tools/capture/progress.h"
#include "tools/capture/video.h"
#include "tools/capture/wav_file.h"

namespace capture {

namespace {

using Clock = std::chrono::steady_clock;

// The show clock of the frame being drawn; the show reads it through platform::milliseconds.
uint32_t virtualMs = 0;
volatile std::sig_atomic_t interrupted = 0;

uint32_t virtualClock() { return virtualMs; }
// Frames are read back, not presented.
void presentNothing() {}
void noSleep(uint32_t) {}
void onInterrupt(int) { interrupted = 1; }

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool fail(const std::string& message) {
    std::fprintf(stderr, "tavremon-capture: %s\n", message.c_str());
    return false;
}

// Paths on the command line are relative to where the tool was started; the show itself runs in
// the program's folder, where it finds its archive and any loose files beside it.
std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::vector<char> cwd(4096);
    if (!getcwd(cwd.data(), cwd.size())) return path;
    return std::string(cwd.data()) + "/" + path;
}

bool makeFolders(const std::string& path, std::string* error) {
    for (size_t slash = 1; slash <= path.size(); ++slash) {
        if (slash < path.size() && path[slash] != '/') continue;
        std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = "cannot create " + prefix + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = path + " is not a folder";
        return false;
    }
    return true;
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

struct Outputs {
    FILE* timeline = nullptr;
    bool video = false;
    VideoEncoder encoder;
    FrameWriter writer;
};

// PNG files are encoded beside the render thread; two encoders keep up with it at any size the
// show is captured at without taking the cores the rasteriser needs.
constexpr int pngThreads = 2;

void showProgress(const CaptureOptions& options, Clock::time_point start, uint32_t frame, uint32_t end) {
    ProgressState state;
    state.framesDone = frame + 1;
    double elapsed = secondsSince(start);
    state.framesPerSecond = elapsed > 0 ? state.framesDone / elapsed : 0;
    state.fraction = options.toMicroseconds >= 0 ? double(frame + 1) / end
                                                 : showFraction(core::musicOrder, core::musicRow);
    if (state.fraction > 0.001) state.secondsLeft = elapsed * (1 - state.fraction) / state.fraction;
    std::fprintf(stderr, "\r%s\x1b[K", progressLine(state).c_str());
}

bool runFrames(const CaptureOptions& options, const Box& box, MusicTrack* music, Outputs* out,
               std::vector<FrameRecord>* records, uint32_t* stopFrame) {
    const uint32_t first = firstCapturedFrame(options);
    const uint32_t end = endCapturedFrame(options);
    const bool terminal = isatty(STDERR_FILENO);
    const Clock::time_point start = Clock::now();
    Clock::time_point lastProgress = start;
    std::vector<uint8_t> scratch;
    bool warnedAboutViewport = false;
    std::string error;

    uint32_t i = 0;
    for (; i < end; ++i) {
        if (interrupted) {
            if (terminal) std::fputc('\n', stderr);
            std::fprintf(stderr, "tavremon-capture: interrupted at frame %u; the files cover what was done\n", i);
            break;
        }
        // Exact: every frame's moment comes from its index, so no rounding accumulates.
        virtualMs = uint32_t(uint64_t(i) * 1000 / options.fps);
        renderMusicUpTo(music, uint64_t(i) * wavFrequency / options.fps);
        if (music->songOver) {
            // The position stays on the last row from here on, so the show would never end.
            std::fprintf(stderr, "tavremon-capture: the music ended at frame %u before the show did\n", i);
            break;
        }
        if (core::quitRequested) break;

        // Frames before the first captured one run the whole frame code, so every piece of show
        // state (random draws, scene clocks, flash levels, the overlay clock) advances exactly as
        // in a run from the start. Nothing of them is seen, and every frame begins by clearing
        // the picture, so they send no mesh geometry and draw the rest into one pixel with
        // rasterisation switched off.
        const bool seen = i >= first;
        const Box drawn = seen ? box : Box{box.x, box.y, 1, 1};
        if (seen) glDisable(GL_RASTERIZER_DISCARD);
        else glEnable(GL_RASTERIZER_DISCARD);
        platform::setFrameSeen(seen);
        applyPictureBox(drawn);
        Clock::time_point drawStart = Clock::now();
        core::FramePlan plan = core::runFrame();
        if (plan.ended) break;
        if (seen) glFinish();
        double renderMs = secondsSince(drawStart) * 1000.0;
        if (!warnedAboutViewport && !pictureBoxIntact(drawn)) {
            warnedAboutViewport = true;
            std::fprintf(stderr,
                         "tavremon-capture: warning: frame %u changed the viewport or scissor box; "
                         "it is set again before every frame\n", i);
        }

        if (seen) {
            bool writePicture = (i - first) % options.every == 0;
            if (writePicture || out->video) {
                Image frame = makeImage(options.width, options.height);
                readPicture(box, &scratch, &frame);
                std::string png = writePicture ? options.outDir + "/" + frameFileName(i) : std::string();
                if (!queueFrame(&out->writer, std::move(frame), png, &error)) return fail(error);
            }
            std::fprintf(out->timeline, "%u,%u,%d,%d,%s,%.3f\n", i, virtualMs, core::musicOrder, core::musicRow,
                         plan.scene ? plan.scene : "", renderMs);
            records->push_back({i, virtualMs, plan.clearOnly || !plan.scene ? std::string() : std::string(plan.scene),
                                writePicture});
        }
        if (terminal && secondsSince(lastProgress) > 0.2) {
            lastProgress = Clock::now();
            showProgress(options, start, i, end);
        }
    }
    if (terminal) {
        showProgress(options, start, i == 0 ? 0 : i - 1, end);
        std::fputc('\n', stderr);
    }
    *stopFrame = i;
    return true;
}

bool capture(const CaptureOptions& given) {
    CaptureOptions options = given;
    options.outDir = absolutePath(options.outDir);
    options.videoFile = absolutePath(options.videoFile);
    options.contactSheet = absolutePath(options.contactSheet);
    options.archive = absolutePath(options.archive);
    std::string error;

    if (!options.videoFile.empty()) {
        std::string ffmpeg;
        if (!findProgram("ffmpeg", &ffmpeg))
            return fail("--video needs ffmpeg, which is not installed (Debian package ffmpeg)");
    }
    if (!makeFolders(options.outDir, &error)) return fail(error);
    if (!options.archive.empty()) {
        if (!platform::changeToProgramFolder()) return fail("cannot find the program's own folder");
    } else {
        // In the build folder the archive lies beside the tool; an installed tool finds it in the
        // show's own folder, where the show then runs as it does when started itself.
        if (!platform::changeToFolderHolding("tavremon.yip", TAV_INSTALLED_SHOW_FOLDER))
            return fail("cannot find tavremon.yip beside this program or in its " TAV_INSTALLED_SHOW_FOLDER);
        options.archive = "tavremon.yip";
    }
    if (!isReadableFile(options.archive)) return fail("cannot read the archive " + absolutePath(options.archive));

    if (!platform::createHeadlessGL(options.width, options.height, &error))
        return fail("no OpenGL context of " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                    ": " + error);
    const Box box = pictureBox(options.width, options.height);
    core::display.width = box.width;
    core::display.height = box.height;
    core::display.depth = 32;
    core::display.fullscreen = false;

    platform::setClockSource(virtualClock);
    core::setSwapHook(presentNothing);
    core::setMusicSleep(noSleep);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    // Black everywhere once; from then on only the box is drawn.
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, options.width, options.height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    applyPictureBox(box);

    if (!core::loadShow(nullptr, core::MusicMode::Offline, options.archive.c_str()))
        return fail("cannot load the music from " + absolutePath(options.archive));
    if (core::quitRequested) return fail("the show stopped while loading (see the message above)");
    core::startShow();

    MusicTrack music;
    music.captureStart = uint64_t(firstCapturedFrame(options)) * wavFrequency / options.fps;
    if (!openWav(&music.wav, options.outDir + "/audio.wav", &error)) return fail(error);
    Outputs out;
    std::string timelinePath = options.outDir + "/timeline.csv";
    out.timeline = std::fopen(timelinePath.c_str(), "w");
    if (!out.timeline) return fail("cannot create " + timelinePath);
    std::fputs("frame,ms,order,row,scene,render_ms\n", out.timeline);
    if (!options.videoFile.empty()) {
        if (!startVideo(&out.encoder, options.videoFile, options.width, options.height, options.fps, &error))
            return fail(error);
        out.video = true;
    }
    startFrameWriter(&out.writer, pngThreads, out.video ? &out.encoder : nullptr);

    std::vector<FrameRecord> records;
    uint32_t stop = 0;
    Clock::time_point start = Clock::now();
    bool ok = runFrames(options, box, &music, &out, &records, &stop);
    // Every queued picture is written (or has failed) before anything is finished or judged.
    if (!finishFrameWriter(&out.writer, &error) && ok) ok = fail(error);
    // The sound of the last captured frame lasts until the next frame's moment.
    if (ok) renderMusicUpTo(&music, uint64_t(stop) * wavFrequency / options.fps);

    bool timelineOk = !std::ferror(out.timeline);
    timelineOk = std::fclose(out.timeline) == 0 && timelineOk;
    if (ok && !timelineOk) ok = fail("cannot write " + timelinePath);
    if (!closeWav(&music.wav, &error) && ok) ok = fail(error);
    if (ok && records.empty()) ok = fail("no frame captured: the show ended before --from");
    if (out.video) {
        if (ok) ok = finishVideo(&out.encoder, options.outDir + "/audio.wav", &error) || fail(error);
        else abandonVideo(&out.encoder);
    }
    if (ok && !options.contactSheet.empty())
        ok = writeContactSheet(options.contactSheet, options.outDir, pickSceneFrames(records), &error) || fail(error);

    if (ok && isatty(STDERR_FILENO)) {
        double wall = secondsSince(start);
        double show = double(records.size()) / options.fps;
        std::fprintf(stderr, "captured %zu frames (%.2f s of show) in %.1f s: %.2f x real time\n", records.size(),
                     show, wall, wall > 0 ? show / wall : 0.0);
    }
    core::stopMusic();
    platform::setClockSource(nullptr);
    // The GL context lives until the process ends, as the show's window does: tearing EGL down
    // here would unload the driver with its own allocations still held, which leak checkers
    // then report against an unknown module.
    // An interrupted capture leaves consistent files, but not the ones asked for.
    return ok && !interrupted;
}

} // namespace

int runCapture(const CaptureOptions& options) { return capture(options) ? 0 : 1; }

} // namespace capture
