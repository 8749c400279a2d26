// Command line of the capture tool: what to render (size, frame rate, span of the show) and where
// the pictures, the audio, the timeline and the optional video and contact sheet go.
#pragma once
#include <cstdint>
#include <string>

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

} // namespace capture
