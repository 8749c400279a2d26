// Command line of the capture tool: what to render (size, frame rate, span of the show, picture
// quality), where the pictures, the audio, the timeline and the optional video and contact sheet
// go, and how the work is split over processes or machines (jobs, segments, joining them).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace capture {

struct CaptureOptions {
    std::string outDir;                 // --out, required
    int width = 640;                    // --size WxH
    int height = 480;
    uint32_t fps = 60;                  // --fps
    int64_t fromMicroseconds = 0;       // --from SECONDS
    int64_t toMicroseconds = -1;        // --to SECONDS; -1: to the end of the show
    uint32_t every = 1;                 // --every N: write every Nth frame's picture
    std::string videoFile;              // --video FILE.mp4, empty: no video
    std::string contactSheet;           // --contact-sheet FILE.png, empty: none
    std::string archive;                // --data FILE, empty: the show's own tavremon.yip
    uint32_t jobs = 1;                  // --jobs N|auto: processes sharing the span
    uint32_t segmentIndex = 0;          // --segment I/N: 1-based I, 0 when not a segment
    uint32_t segmentCount = 0;          //   and N
    std::vector<std::string> joinDirs;  // --join DIR...: segment folders to join instead of rendering
    uint32_t antialias = 1;             // --antialias N: N x N samples per pixel
    uint32_t motionBlur = 1;            // --motion-blur K: sub-frames averaged per frame
    uint32_t shutterDegrees = 180;      // --shutter DEG: share of the frame interval they span
    bool help = false;                  // --help
    bool version = false;               // --version
};

// The text printed for --help and after a usage error.
const char* usageText();

// Fills *options from the arguments after the program name. On a usage error returns false and
// says why in *error.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);

// Frame i is shown at i / fps seconds. The captured frames are those from --from (inclusive) to
// --to (exclusive): [firstCapturedFrame, endCapturedFrame). Without --to the end is unbounded.
uint32_t firstCapturedFrame(const CaptureOptions& options);
uint32_t endCapturedFrame(const CaptureOptions& options);

// The frames segment I of N renders: [first, end), a contiguous share of the capture's frames.
// Without --to the last segment runs to the show's end and the others share the show's usual
// length, so any end is right and only the balance depends on the guess. Without --segment: the
// whole capture.
struct FrameSpan {
    uint32_t first = 0;
    uint32_t end = 0;
};
FrameSpan segmentSpan(const CaptureOptions& options);
// How many frames the capture will have: exact with --to, else the show's usual length.
uint64_t expectedFrames(const CaptureOptions& options);

// The command line that captures the same frames as options (without --jobs, --segment, --out,
// --video and --contact-sheet), for the processes of a split capture.
std::vector<std::string> renderArguments(const CaptureOptions& options);

} // namespace capture
