// Video output through ffmpeg: raw RGB frames are piped to one ffmpeg process that encodes H.264;
// when the capture is done a second ffmpeg run muxes that picture with the captured WAV as AAC.
// Two passes because the WAV's header is only complete once the capture ends. ffmpeg runs in its own
// process group, so a Ctrl-C meant for the capture leaves it to finish the frames it was given;
// each step is judged by its exit code, its messages and the file it leaves, and the finished
// video replaces an earlier file of that name only once it is complete.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/capture/image.h"

namespace capture {

struct VideoEncoder {
    pid_t pid = -1;             // the encoding ffmpeg while it runs
    int pipe = -1;              // its standard input
    int log = -1;               // its messages
    std::string ffmpeg;         // full path of the program
    std::string path;           // the finished FILE.mp4
    std::string picturePath;    // the H.264-only intermediate file beside it
    int width = 0;
    int height = 0;
};

// Looks the program up in PATH like a shell would. Returns false when it is not there.
bool findProgram(const std::string& name, std::string* path);

// Finds ffmpeg and starts the encoder for frames of width × height at fps frames a second. With
// pictureOnly the encoder writes path itself (see finishPictureOnly).
bool startVideo(VideoEncoder* video, const std::string& path, int width, int height, uint32_t fps,
                std::string* error, bool pictureOnly = false);
bool writeVideoFrame(VideoEncoder* video, const Image& frame, std::string* error);
// Ends the picture stream, waits for the encoder, muxes the audio in and removes the intermediate.
bool finishVideo(VideoEncoder* video, const std::string& wavPath, std::string* error);
// Ends the picture stream and waits for the encoder, leaving the picture-only file at video->path
// (a segment of a split capture).
bool finishPictureOnly(VideoEncoder* video, std::string* error);
// Joins picture-only files in order (ffmpeg's concat demuxer, no re-encoding) with the WAV into path.
bool joinVideo(const std::vector<std::string>& pictures, const std::string& wavPath, const std::string& path,
               std::string* error);
// Stops an encoder after a failure elsewhere; leaves no intermediate file.
void abandonVideo(VideoEncoder* video);

} // namespace capture
