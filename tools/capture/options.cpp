// Parses the capture tool's command line. Every number is checked against its range, and anything
// unknown or malformed is a usage error.
#include "tools/capture/options.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace capture {

namespace {

// Large enough for any picture a GL implementation can render, small enough that width × height ×
// 3 bytes never overflows and a typo fails here instead of inside the driver.
constexpr int MAX_SIDE = 16384;
constexpr uint32_t MAX_FPS = 1000;
// One day of show time; keeps every frame index (seconds × fps) inside 32 bits.
constexpr int64_t MAX_MICROSECONDS = int64_t(86400) * 1000000;
constexpr uint32_t MAX_JOBS = 64;
constexpr uint32_t MAX_SEGMENTS = 10000;
constexpr uint32_t MAX_SUB_FRAMES = 64;
// How long the show usually runs: splits without --to share this much among all but the last part.
constexpr uint32_t USUAL_SHOW_SECONDS = 187;

const char USAGE[] =
    "usage: tavremon-capture --out DIR [options]\n"
    "Renders the show without a window or sound device, frame by frame, to\n"
    "DIR/frame-NNNNNN.png, DIR/audio.wav and DIR/timeline.csv. The show's data,\n"
    "tavremon.yip, is read from beside this program, or else from the folder the\n"
    "show is installed in.\n"
    "  --out DIR               output folder (created if missing)\n"
    "  --size WxH              picture size, default 640x480; other shapes get the\n"
    "                          4:3 picture centred between black bars\n"
    "  --fps N                 frames per second of show time, default 60\n"
    "  --from SECONDS          first captured moment, default 0\n"
    "  --to SECONDS            end of the capture, default the end of the show\n"
    "  --every N               write the picture of every Nth frame only, default 1\n"
    "  --video FILE.mp4        also encode H.264 + AAC video with ffmpeg\n"
    "  --contact-sheet FILE    a labelled grid of one picture from every scene\n"
    "  --data FILE             another archive instead of tavremon.yip\n"
    "  --antialias N           smooth edges: each pixel the average of N x N, from a\n"
    "                          picture N times as wide and high (N 1..4, default 1)\n"
    "  --motion-blur K         each frame the average of K sub-frames (1..64, default 1)\n"
    "  --shutter DEG           the share of the frame interval they span, 0..360,\n"
    "                          default 180\n"
    "  --jobs N                split the capture over N processes (auto: one a core);\n"
    "                          the files are the same as from one\n"
    "  --segment I/N           render only the I-th of N equal parts, into DIR, for\n"
    "                          --join; --video then holds only its pictures\n"
    "  --join DIR...           join segment folders into one capture in --out DIR\n"
    "  --help                  this text\n"
    "  --version               the version number\n";

bool parseUnsigned(const char* text, uint64_t limit, uint64_t* value) {
    if (!*text) return false;
    uint64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + uint64_t(*p - '0');
        if (v > limit) return false;
    }
    *value = v;
    return true;
}

// Seconds as a decimal with at most six fractional digits, kept as exact microseconds so that
// frame boundaries (seconds × fps) are computed without rounding.
bool parseSeconds(const char* text, int64_t* microseconds) {
    const char* dot = std::strchr(text, '.');
    std::string whole = dot ? std::string(text, dot) : std::string(text);
    std::string fraction = dot ? std::string(dot + 1) : std::string();
    if (whole.empty() && fraction.empty()) return false;
    if (fraction.size() > 6) return false;
    uint64_t w = 0, f = 0;
    if (!whole.empty() && !parseUnsigned(whole.c_str(), uint64_t(MAX_MICROSECONDS / 1000000), &w)) return false;
    if (!fraction.empty() && !parseUnsigned(fraction.c_str(), 999999, &f)) return false;
    for (size_t digits = fraction.size(); digits < 6; ++digits) f *= 10;
    int64_t total = int64_t(w) * 1000000 + int64_t(f);
    if (total > MAX_MICROSECONDS) return false;
    *microseconds = total;
    return true;
}

bool parseSize(const char* text, int* width, int* height) {
    const char* x = std::strchr(text, 'x');
    if (!x) return false;
    uint64_t w = 0, h = 0;
    if (!parseUnsigned(std::string(text, x).c_str(), MAX_SIDE, &w)) return false;
    if (!parseUnsigned(x + 1, MAX_SIDE, &h)) return false;
    if (w == 0 || h == 0) return false;
    *width = int(w);
    *height = int(h);
    return true;
}

// ceil(microseconds × fps / 10^6): the first frame whose time is at or after the given moment.
uint32_t frameAtOrAfter(int64_t microseconds, uint32_t fps) {
    uint64_t scaled = uint64_t(microseconds) * fps;
    return uint32_t((scaled + 999999) / 1000000);
}

} // namespace

const char* usageText() { return USAGE; }

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error) {
    CaptureOptions result;
    bool haveOut = false;
    for (int i = 0; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool inlineValue = false;
        if (size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        if (name == "--help" || name == "-h") {
            result.help = true;
            continue;
        }
        if (name == "--version") {
            result.version = true;
            continue;
        }
        if (name == "--join") {
            // Every following argument up to the next option is a segment folder.
            while (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) result.joinDirs.push_back(argv[++i]);
            if (!inlineValue && result.joinDirs.empty()) {
                *error = "--join needs the segment folders";
                return false;
            }
            if (inlineValue) result.joinDirs.insert(result.joinDirs.begin(), value);
            continue;
        }
        static const char* const valued[] = {"--out", "--size", "--fps", "--from", "--to", "--every", "--video",
                                             "--contact-sheet", "--data", "--jobs", "--segment", "--antialias",
                                             "--motion-blur", "--shutter"};
        bool known = false;
        for (const char* v : valued) known = known || name == v;
        if (!known) {
            *error = "unknown option '" + name + "'";
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= argc) {
                *error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        const char* v = value.c_str();
        uint64_t number = 0;
        if (name == "--out") {
            result.outDir = value;
            haveOut = !value.empty();
        } else if (name == "--size") {
            if (!parseSize(v, &result.width, &result.height)) {
                *error = "--size wants WIDTHxHEIGHT, each 1.." + std::to_string(MAX_SIDE) + ", not '" + value + "'";
                return false;
            }
        } else if (name == "--fps") {
            if (!parseUnsigned(v, MAX_FPS, &number) || number == 0) {
                *error = "--fps wants a whole number 1.." + std::to_string(MAX_FPS) + ", not '" + value + "'";
                return false;
            }
            result.fps = uint32_t(number);
        } else if (name == "--every") {
            if (!parseUnsigned(v, std::numeric_limits<uint32_t>::max(), &number) || number == 0) {
                *error = "--every wants a whole number of at least 1, not '" + value + "'";
                return false;
            }
            result.every = uint32_t(number);
        } else if (name == "--from" || name == "--to") {
            int64_t us = 0;
            if (!parseSeconds(v, &us)) {
                *error = name + " wants seconds (up to 6 decimals, at most one day), not '" + value + "'";
                return false;
            }
            (name == "--from" ? result.fromMicroseconds : result.toMicroseconds) = us;
        } else if (name == "--jobs") {
            if (value == "auto") {
                long cores = sysconf(_SC_NPROCESSORS_ONLN);
                result.jobs = uint32_t(cores < 1 ? 1 : cores > long(MAX_JOBS) ? MAX_JOBS : cores);
            } else if (!parseUnsigned(v, MAX_JOBS, &number) || number == 0) {
                *error = "--jobs wants auto or a whole number 1.." + std::to_string(MAX_JOBS) + ", not '" + value + "'";
                return false;
            } else {
                result.jobs = uint32_t(number);
            }
        } else if (name == "--segment") {
            const char* slash = std::strchr(v, '/');
            uint64_t index = 0, count = 0;
            if (!slash || !parseUnsigned(std::string(v, slash).c_str(), MAX_SEGMENTS, &index) ||
                !parseUnsigned(slash + 1, MAX_SEGMENTS, &count) || index == 0 || index > count) {
                *error = "--segment wants I/N with 1 <= I <= N <= " + std::to_string(MAX_SEGMENTS) + ", not '" + value +
                         "'";
                return false;
            }
            result.segmentIndex = uint32_t(index);
            result.segmentCount = uint32_t(count);
        } else if (name == "--antialias") {
            if (!parseUnsigned(v, 4, &number) || number == 0) {
                *error = "--antialias wants 1..4, not '" + value + "'";
                return false;
            }
            result.antialias = uint32_t(number);
        } else if (name == "--motion-blur") {
            if (!parseUnsigned(v, MAX_SUB_FRAMES, &number) || number == 0) {
                *error = "--motion-blur wants a whole number 1.." + std::to_string(MAX_SUB_FRAMES) + ", not '" + value +
                         "'";
                return false;
            }
            result.motionBlur = uint32_t(number);
        } else if (name == "--shutter") {
            if (!parseUnsigned(v, 360, &number)) {
                *error = "--shutter wants degrees 0..360, not '" + value + "'";
                return false;
            }
            result.shutterDegrees = uint32_t(number);
        } else if (value.empty()) {
            *error = name + " needs a file name";
            return false;
        } else if (name == "--video") {
            result.videoFile = value;
        } else if (name == "--contact-sheet") {
            result.contactSheet = value;
        } else {
            result.archive = value;
        }
    }
    if (result.help || result.version) {
        *options = result;
        return true;
    }
    if (!haveOut) {
        *error = "--out DIR is required";
        return false;
    }
    if (!result.joinDirs.empty() && (result.jobs > 1 || result.segmentCount > 0)) {
        *error = "--join takes segment folders that are already rendered: no --jobs or --segment with it";
        return false;
    }
    if (result.segmentCount > 0 && result.jobs > 1) {
        *error = "--segment renders one part in this process: no --jobs with it";
        return false;
    }
    if (result.segmentCount > 0 && !result.contactSheet.empty()) {
        *error = "a segment makes no contact sheet: give --contact-sheet to --join";
        return false;
    }
    if (uint64_t(result.fps) * result.motionBlur > MAX_FPS * uint64_t(MAX_SUB_FRAMES) / 4) {
        *error = "--fps times --motion-blur is at most " + std::to_string(MAX_FPS * MAX_SUB_FRAMES / 4);
        return false;
    }
    if (result.toMicroseconds >= 0 && firstCapturedFrame(result) >= endCapturedFrame(result)) {
        *error = "no frame lies between --from and --to at " + std::to_string(result.fps) + " fps";
        return false;
    }
    *options = result;
    return true;
}

uint32_t firstCapturedFrame(const CaptureOptions& options) {
    return frameAtOrAfter(options.fromMicroseconds, options.fps);
}

uint32_t endCapturedFrame(const CaptureOptions& options) {
    if (options.toMicroseconds < 0) return std::numeric_limits<uint32_t>::max();
    return frameAtOrAfter(options.toMicroseconds, options.fps);
}

uint64_t expectedFrames(const CaptureOptions& options) {
    const uint64_t first = firstCapturedFrame(options);
    if (options.toMicroseconds >= 0) return endCapturedFrame(options) - first;
    return std::max<uint64_t>(first, uint64_t(USUAL_SHOW_SECONDS) * options.fps) - first;
}

FrameSpan segmentSpan(const CaptureOptions& options) {
    const uint32_t first = firstCapturedFrame(options);
    const uint32_t end = endCapturedFrame(options);
    if (options.segmentCount == 0) return {first, end};
    const bool open = options.toMicroseconds < 0;
    const uint64_t shared = first + expectedFrames(options);
    auto boundary = [&](uint32_t index) { return uint32_t(first + (shared - first) * index / options.segmentCount); };
    FrameSpan span{boundary(options.segmentIndex - 1), boundary(options.segmentIndex)};
    if (open && options.segmentIndex == options.segmentCount) span.end = end;
    return span;
}

namespace {

std::string secondsText(int64_t microseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(microseconds / 1000000),
                  static_cast<long long>(microseconds % 1000000));
    return text;
}

} // namespace

std::vector<std::string> renderArguments(const CaptureOptions& options) {
    std::vector<std::string> args = {"--size", std::to_string(options.width) + "x" + std::to_string(options.height),
                                     "--fps", std::to_string(options.fps),
                                     "--from", secondsText(options.fromMicroseconds),
                                     "--every", std::to_string(options.every),
                                     "--antialias", std::to_string(options.antialias),
                                     "--motion-blur", std::to_string(options.motionBlur),
                                     "--shutter", std::to_string(options.shutterDegrees)};
    if (options.toMicroseconds >= 0) args.insert(args.end(), {"--to", secondsText(options.toMicroseconds)});
    if (!options.archive.empty()) args.insert(args.end(), {"--data", options.archive});
    return args;
}

} // namespace capture
