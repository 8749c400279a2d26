// tavremon-capture: renders the show without a window or sound device, frame-exact, to PNG
// pictures, a WAV of the music, a timeline and optionally an MP4 video and a contact sheet.
#include <cstdio>
#include <string>

#include "tools/capture/capture.h"
#include "tools/capture/options.h"

int main(int argc, char** argv) {
    capture::CaptureOptions options;
    std::string error;
    if (!capture::parseCaptureOptions(argc - 1, argv + 1, &options, &error)) {
        std::fprintf(stderr, "tavremon-capture: %s\n%s", error.c_str(), capture::usageText());
        return 2;
    }
    if (options.help || options.version) {
        if (options.help)
            std::fputs(capture::usageText(), stdout);
        else
            std::printf("tavremon-capture %s\n", TAV_VERSION);
        // A closed or full stdout must not look like a successful answer.
        return std::fflush(stdout) != 0 || std::ferror(stdout) ? 1 : 0;
    }
    return capture::runCapture(options);
}
