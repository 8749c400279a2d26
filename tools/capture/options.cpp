// Parses the capture tool's command line. Every number is checked against its range, and anything
// unknown or malformed is a usage error.
#include "tools/capture/options.h"

#include <cstring>
#include <limits>

namespace capture {

namespace {

// Large enough for any picture a GL implementation can render, small enough that width × height ×
// 3 bytes never overflows and a typo fails here instead of inside the driver.
constexpr int maxSide = 16384;
constexpr uint32_t maxFps = 1000;
// One day of show time; keeps every frame index (seconds × fps) inside 32 bits.
constexpr int64_t maxMicroseconds = int64_t(86400) * 1000000;

const char usage[] =
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
    if (!whole.empty() && !parseUnsigned(whole.c_str(), uint64_t(maxMicroseconds / 1000000), &w)) return false;
    if (!fraction.empty() && !parseUnsigned(fraction.c_str(), 999999, &f)) return false;
    for (size_t digits = fraction.size(); digits < 6; ++digits) f *= 10;
    int64_t total = int64_t(w) * 1000000 + int64_t(f);
    if (total > maxMicroseconds) return false;
    *microseconds = total;
    return true;
}

bool parseSize(const char* text, int* width, int* height) {
    const char* x = std::strchr(text, 'x');
    if (!x) return false;
    uint64_t w = 0, h = 0;
    if (!parseUnsigned(std::string(text, x).c_str(), maxSide, &w)) return false;
    if (!parseUnsigned(x + 1, maxSide, &h)) return false;
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

const char* usageText() { return usage; }

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
        static const char* const valued[] = {"--out", "--size", "--fps", "--from", "--to", "--every",
                                             "--video", "--contact-sheet", "--data"};
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
                *error = "--size wants WIDTHxHEIGHT, each 1.." + std::to_string(maxSide) + ", not '" + value + "'";
                return false;
            }
        } else if (name == "--fps") {
            if (!parseUnsigned(v, maxFps, &number) || number == 0) {
                *error = "--fps wants a whole number 1.." + std::to_string(maxFps) + ", not '" + value + "'";
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

} // namespace capture
