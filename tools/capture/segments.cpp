// Split captures. A segment is an ordinary capture of a contiguous share of the frames (it seeks to
// its first frame as any late start does), so its pictures, sound and timeline rows are those of a
// one-process capture; joining is concatenation. What joining trusts: nothing of a segment folder
// but its own record, checked against the others (same capture, every part there, each one
// contiguous with the one before), and the files the record names.
#include "tools/capture/segments.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "tools/capture/progress.h"
#include "tools/capture/video.h"
#include "tools/capture/wav_file.h"

extern char** environ;

namespace capture {

namespace fs = std::filesystem;

namespace {

constexpr const char* RECORD_NAME = "segment.txt";
constexpr const char* RECORD_TITLE = "tavremon-capture segment";

int failWith(const std::string& message) {
    std::fprintf(stderr, "tavremon-capture: %s\n", message.c_str());
    return EXIT_FAILED;
}

const char* reasonName(StopReason reason) {
    return reason == StopReason::Span ? "span" : reason == StopReason::ShowEnded ? "show-ended" : "interrupted";
}

// What a segment folder's record says.
struct Segment {
    std::string dir;
    uint32_t index = 0, count = 0;
    std::string size;
    uint32_t fps = 0, every = 0, captureFirst = 0;
    FrameSpan span;
    uint32_t stop = 0;
    std::string reason;
    std::string video;  // picture-only file inside dir, "-" for none
    std::vector<FrameRecord> records;
};

bool readSegment(const std::string& dir, Segment* segment, std::string* error) {
    const std::string path = dir + "/" + RECORD_NAME;
    std::ifstream in(path);
    std::string title, parts, word;
    char slash = 0;
    segment->dir = dir;
    bool ok = std::getline(in, title) && title.rfind(RECORD_TITLE, 0) == 0;
    if (ok) {
        std::istringstream head(title.substr(std::strlen(RECORD_TITLE)));
        ok = bool(head >> segment->index >> slash >> segment->count) && slash == '/';
    }
    ok = ok && in >> word >> segment->size && word == "size";
    ok = ok && in >> word >> segment->fps && word == "fps";
    ok = ok && in >> word >> segment->every && word == "every";
    ok = ok && in >> word >> segment->captureFirst && word == "first";
    ok = ok && in >> word >> segment->span.first >> segment->span.end && word == "span";
    ok = ok && in >> word >> segment->stop && word == "stopped";
    ok = ok && in >> word >> segment->reason && word == "reason";
    ok = ok && in >> word >> segment->video && word == "video";
    ok = ok && in >> word && word == "frames";
    FrameRecord record;
    int written = 0;
    while (ok && in >> record.frame >> record.ms >> written >> record.scene) {
        record.pictureWritten = written != 0;
        if (record.scene == "-") record.scene.clear();
        segment->records.push_back(record);
    }
    if (ok && !in.eof()) ok = false;
    if (!ok) *error = path + " is missing or is no segment record of tavremon-capture";
    return ok;
}

// The segments must come from one capture, all of them, and follow each other without gap. A
// segment that stopped early (interrupted, or the show ended) ends the capture there.
bool checkSegments(std::vector<Segment>* segments, std::string* error) {
    std::sort(segments->begin(), segments->end(), [](const Segment& a, const Segment& b) { return a.index < b.index; });
    const Segment& head = segments->front();
    for (size_t k = 0; k < segments->size(); ++k) {
        const Segment& s = (*segments)[k];
        const std::string name = s.dir + " (segment " + std::to_string(s.index) + "/" + std::to_string(s.count) + ")";
        if (s.count != head.count || s.size != head.size || s.fps != head.fps || s.every != head.every ||
            s.captureFirst != head.captureFirst) {
            *error = name + " belongs to another capture than " + head.dir;
            return false;
        }
        if (s.index != k + 1) {
            *error = "segment " + std::to_string(k + 1) + "/" + std::to_string(head.count) + " is missing" +
                     (s.index == k ? " (" + s.dir + " repeats segment " + std::to_string(s.index) + ")" : "");
            return false;
        }
        if (k > 0 && s.span.first != (*segments)[k - 1].span.end) {
            *error = name + " does not start where the segment before it ends";
            return false;
        }
    }
    if (segments->size() != head.count) {
        *error = "segment " + std::to_string(segments->size() + 1) + "/" + std::to_string(head.count) + " is missing";
        return false;
    }
    return true;
}

// A picture of a segment into the joined folder: moved when the segment folder is ours to use up,
// else linked, or copied across filesystems.
bool takePicture(const std::string& from, const std::string& to, bool move, std::string* error) {
    std::remove(to.c_str());
    if (move && std::rename(from.c_str(), to.c_str()) == 0) return true;
    if (link(from.c_str(), to.c_str()) == 0) return true;
    std::error_code failure;
    if (fs::copy_file(from, to, fs::copy_options::overwrite_existing, failure)) return true;
    *error = "cannot copy " + from + " to " + to + ": " + failure.message();
    return false;
}

// Appends the samples of a segment's WAV, which this tool wrote with its 44-byte header.
bool appendWavFile(WavFile* wav, const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 36, "data", 4) != 0 ||
        (bytes.size() - 44) % 4 != 0) {
        *error = path + " is no WAV of this tool";
        return false;
    }
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(uint16_t(bytes[44 + 2 * i] | (bytes[45 + 2 * i] << 8)));
    appendWav(wav, samples.data(), samples.size() / 2);
    return true;
}

bool appendTimeline(FILE* out, const std::string& path, std::string* error) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line + "\n" != TIMELINE_HEADER) {
        *error = path + " is no timeline of this tool";
        return false;
    }
    while (std::getline(in, line)) std::fprintf(out, "%s\n", line.c_str());
    return true;
}

// Joins the segments up to the one that ended the capture. Returns the exit code.
int joinSegments(const CaptureOptions& options, std::vector<Segment> segments, bool move, size_t* frames) {
    std::string error;
    if (!makeFolders(options.outDir, &error)) return failWith(error);
    size_t used = 0;
    bool interruptedPart = false;
    std::vector<FrameRecord> records;
    std::vector<std::string> pictures;
    for (const Segment& s : segments) {
        ++used;
        records.insert(records.end(), s.records.begin(), s.records.end());
        if (!s.records.empty() && s.video != "-") pictures.push_back(s.dir + "/" + s.video);
        if (!s.records.empty() && s.video == "-" && !options.videoFile.empty())
            return failWith(s.dir + " has no video: render the segments with --video for a joined video");
        if (s.reason == "interrupted") interruptedPart = true;
        if (s.reason != "span") break;
    }
    if (records.empty()) return failWith(interruptedPart ? "interrupted before the first captured frame: nothing captured"
                                                         : "no frame captured: the show ended before --from");

    for (size_t k = 0; k < used; ++k)
        for (const FrameRecord& r : segments[k].records)
            if (r.pictureWritten &&
                !takePicture(segments[k].dir + "/" + frameFileName(r.frame), options.outDir + "/" + frameFileName(r.frame),
                             move, &error))
                return failWith(error);
    WavFile wav;
    const std::string timelinePath = options.outDir + "/timeline.csv";
    FILE* timeline = std::fopen(timelinePath.c_str(), "w");
    if (!timeline) return failWith("cannot create " + timelinePath);
    std::fputs(TIMELINE_HEADER, timeline);
    bool ok = openWav(&wav, options.outDir + "/audio.wav", &error);
    for (size_t k = 0; ok && k < used; ++k)
        ok = appendTimeline(timeline, segments[k].dir + "/timeline.csv", &error) &&
             appendWavFile(&wav, segments[k].dir + "/audio.wav", &error);
    bool timelineOk = !std::ferror(timeline);
    timelineOk = std::fclose(timeline) == 0 && timelineOk;
    if (ok && !timelineOk) ok = (error = "cannot write " + timelinePath, false);
    if (!closeWav(&wav, &error)) ok = false;
    if (ok && !options.videoFile.empty()) ok = joinVideo(pictures, options.outDir + "/audio.wav", options.videoFile, &error);
    if (ok && !options.contactSheet.empty())
        ok = writeContactSheet(options.contactSheet, options.outDir, pickSceneFrames(records), &error);
    if (!ok) return failWith(error);
    *frames = records.size();
    if (interruptedPart) {
        std::fprintf(stderr, "tavremon-capture: the capture was interrupted; the files%s hold its first %zu frames\n",
                     options.videoFile.empty() ? "" : " and the video", records.size());
        return EXIT_INTERRUPTED;
    }
    return 0;
}

// ----- --jobs: the segments as processes of this program -----

struct Job {
    pid_t pid = -1;
    std::string dir;
    int exitCode = -1;
};

void onInterrupt(int) { interrupted = 1; }

bool startJob(const CaptureOptions& options, uint32_t index, Job* job, int progressFd, std::string* error) {
    std::vector<std::string> args = renderArguments(options);
    job->dir = options.outDir + "/.segment-" + std::to_string(index) + "-of-" + std::to_string(options.jobs);
    args.insert(args.end(), {"--segment", std::to_string(index) + "/" + std::to_string(options.jobs), "--out", job->dir});
    if (!options.videoFile.empty()) args.insert(args.end(), {"--video", job->dir + "/picture.mp4"});
    std::vector<char*> argv;
    static std::string self = "/proc/self/exe";
    argv.push_back(self.data());
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The rasteriser's threads share the cores among the jobs, unless the caller chose a number.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, PROGRESS_FD_VARIABLE, std::strlen(PROGRESS_FD_VARIABLE)) != 0) environment.push_back(*e);
    if (!std::getenv("LP_NUM_THREADS")) {
        long cores = sysconf(_SC_NPROCESSORS_ONLN);
        environment.push_back("LP_NUM_THREADS=" + std::to_string(std::max<long>(1, cores / long(options.jobs))));
    }
    environment.push_back(std::string(PROGRESS_FD_VARIABLE) + "=" + std::to_string(progressFd));
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    int result = posix_spawn(&job->pid, "/proc/self/exe", nullptr, nullptr, argv.data(), envp.data());
    if (result != 0) *error = std::string("cannot start a capture process: ") + std::strerror(result);
    return result == 0;
}

// Waits for the jobs, showing their frames together. A failed job stops the others.
bool waitForJobs(std::vector<Job>* jobs, int progressRead, uint64_t expectedFrames) {
    ProgressMeter meter;
    startProgress(&meter);
    uint64_t done = 0;
    size_t running = jobs->size();
    bool failed = false, forwarded = false;
    while (running > 0) {
        pollfd wait{progressRead, POLLIN, 0};
        if (poll(&wait, 1, 200) > 0) {
            char bytes[4096];
            ssize_t n = read(progressRead, bytes, sizeof bytes);
            if (n > 0) done += uint64_t(n);
        }
        if ((interrupted || failed) && !forwarded) {
            // The jobs share the terminal's Ctrl-C; a SIGTERM reaches them however this one was stopped.
            for (Job& job : *jobs)
                if (job.exitCode < 0) kill(job.pid, SIGTERM);
            forwarded = true;
        }
        for (Job& job : *jobs) {
            int status = 0;
            if (job.exitCode >= 0 || waitpid(job.pid, &status, WNOHANG) != job.pid) continue;
            job.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            --running;
            if (job.exitCode != 0 && job.exitCode != EXIT_INTERRUPTED) failed = true;
        }
        double fraction = expectedFrames ? std::min(1.0, double(done) / double(expectedFrames)) : 0;
        showProgress(&meter, done, fraction);
    }
    endProgress(&meter, done, 1.0);
    return !failed;
}

} // namespace

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

bool writeSegmentRecord(const CaptureOptions& options, const FrameSpan& span, uint32_t stop, StopReason reason,
                        const std::vector<FrameRecord>& records, std::string* error) {
    const std::string path = options.outDir + "/" + RECORD_NAME;
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        *error = "cannot create " + path;
        return false;
    }
    // The video, inside the folder, is named relative to it, so the folder can be moved to the
    // joining machine.
    std::string video = "-";
    if (!options.videoFile.empty() && options.videoFile.rfind(options.outDir + "/", 0) == 0)
        video = options.videoFile.substr(options.outDir.size() + 1);
    std::fprintf(file, "%s %u/%u\nsize %dx%d\nfps %u\nevery %u\nfirst %u\nspan %u %u\nstopped %u\nreason %s\nvideo %s\nframes\n",
                 RECORD_TITLE, options.segmentIndex, options.segmentCount, options.width, options.height, options.fps,
                 options.every, firstCapturedFrame(options), span.first, span.end, stop, reasonName(reason), video.c_str());
    for (const FrameRecord& r : records)
        std::fprintf(file, "%u %u %d %s\n", r.frame, r.ms, r.pictureWritten ? 1 : 0, r.scene.empty() ? "-" : r.scene.c_str());
    bool ok = !std::ferror(file);
    ok = std::fclose(file) == 0 && ok;
    if (!ok) *error = "cannot write " + path;
    return ok;
}

int joinCapture(const CaptureOptions& given) {
    CaptureOptions options = given;
    options.outDir = absolutePath(options.outDir);
    options.videoFile = absolutePath(options.videoFile);
    options.contactSheet = absolutePath(options.contactSheet);
    std::vector<Segment> segments(options.joinDirs.size());
    std::string error;
    for (size_t k = 0; k < segments.size(); ++k)
        if (!readSegment(absolutePath(options.joinDirs[k]), &segments[k], &error)) return failWith(error);
    if (!checkSegments(&segments, &error)) return failWith(error);
    size_t frames = 0;
    return joinSegments(options, std::move(segments), false, &frames);
}

int splitCapture(const CaptureOptions& given) {
    CaptureOptions options = given;
    options.outDir = absolutePath(options.outDir);
    options.videoFile = absolutePath(options.videoFile);
    options.contactSheet = absolutePath(options.contactSheet);
    options.archive = absolutePath(options.archive);
    std::string error, ffmpeg;
    if (!options.videoFile.empty() && !findProgram("ffmpeg", &ffmpeg))
        return failWith("--video needs ffmpeg, which is not installed (Debian package ffmpeg)");
    if (!makeFolders(options.outDir, &error)) return failWith(error);
    int progress[2];
    if (pipe2(progress, O_CLOEXEC) != 0) return failWith(std::string("cannot make a pipe: ") + std::strerror(errno));
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    const ProgressMeter::Clock::time_point start = ProgressMeter::Clock::now();
    std::vector<Job> jobs(options.jobs);
    bool started = true;
    for (uint32_t k = 0; started && k < options.jobs; ++k) {
        // The jobs' end of the pipe stays open in them only (it is close-on-exec here).
        int childFd = dup(progress[1]);
        started = childFd >= 0 && startJob(options, k + 1, &jobs[k], childFd, &error);
        if (childFd >= 0) close(childFd);
        if (!started) jobs.resize(k);
    }
    close(progress[1]);
    bool ok = waitForJobs(&jobs, progress[0], expectedFrames(options)) && started;
    close(progress[0]);
    if (!started) std::fprintf(stderr, "tavremon-capture: %s\n", error.c_str());

    int code = EXIT_FAILED;
    size_t frames = 0;
    if (ok) {
        std::vector<Segment> segments(jobs.size());
        for (size_t k = 0; ok && k < jobs.size(); ++k) ok = readSegment(jobs[k].dir, &segments[k], &error);
        code = ok ? joinSegments(options, std::move(segments), true, &frames) : failWith(error);
    }
    if (code == 0 && isatty(STDERR_FILENO)) {
        const double wall = secondsSince(start), show = double(frames) / options.fps;
        std::fprintf(stderr, "captured %zu frames (%.2f s of show) in %.1f s with %u jobs: %.2f x real time\n", frames,
                     show, wall, options.jobs, wall > 0 ? show / wall : 0.0);
    }
    for (const Job& job : jobs) {
        std::error_code ignored;
        fs::remove_all(job.dir, ignored);
    }
    return code;
}

} // namespace capture
