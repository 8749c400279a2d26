// Video output through ffmpeg: raw RGB frames are piped to one ffmpeg process that encodes H.264;
// when the capture is done a second ffmpeg run muxes that picture with the captured WAV as AAC.
// Two passes because the WAV's header is only complete once the capture ends.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tools/capture/image.h"

namespace capture {

struct VideoEncoder {
    pid_t pid = -1;             // the encoding ffmpeg while it runs
    int pipe = -1;              // its standard input
    std::string ffmpeg;         // full path of the program
    std::string path;           // the finished FILE.mp4
    std::string picturePath;    // the H.264-only intermediate file beside it
    int width = 0;
    int height = 0;
};

// Looks the program up in PATH like a shell would. Returns false when it is not there.
bool findProgram(const std::string& name, std::string* path);

// Finds ffmpeg and starts the encoder for frames of width × height at fps frames a second.
bool startVideo(VideoEncoder* video, const std::string& path, int width, int height, uint32_t fps,
                std::string* error);
bool writeVideoFrame(VideoEncoder* video, const Image& frame, std::string* error);
// Ends the picture stream, waits for the encoder, muxes the audio in and removes the intermediate.
bool finishVideo(VideoEncoder* video, const std::string& wavPath, std::string* error);
// Stops an encoder after a failure elsewhere; leaves no intermediate file.
void abandonVideo(VideoEncoder* video);

} // namespace capture
