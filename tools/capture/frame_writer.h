// Writes the captured frames on worker threads, so the render loop never waits on compression or on
// ffmpeg: PNG files are encoded by a small pool, and video frames go to ffmpeg by one thread in
// frame order. At most a few frames are held at a time; beyond that queueing a frame waits.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/capture/image.h"
#include "tools/capture/video.h"

namespace capture {

struct FrameWriter {
    struct PngJob {
        std::string path;
        std::shared_ptr<const Image> frame;
    };
    std::mutex lock;
    std::condition_variable work;       // a job was queued, or the writer is finishing
    std::condition_variable room;       // a job was done
    std::deque<PngJob> pngJobs;
    std::deque<std::shared_ptr<const Image>> videoFrames;
    size_t pending = 0;                 // jobs queued or being done
    size_t maxPending = 8;
    bool finishing = false;
    std::string error;                  // the first failure; nothing more is written after it
    VideoEncoder* video = nullptr;
    std::vector<std::thread> threads;
};

// Starts PNG_THREADS PNG encoders and, when video is given, the thread that feeds it.
void startFrameWriter(FrameWriter* writer, int PNG_THREADS, VideoEncoder* video);

// Queues the frame for its PNG file (pngPath empty: none) and for the video (when there is one).
// Waits while the writer holds too many frames. Returns false, with the reason in *error, once
// any write has failed.
bool queueFrame(FrameWriter* writer, Image frame, const std::string& pngPath, std::string* error);

// Writes everything still queued and stops the threads. Returns false, with the reason in *error,
// when any write failed.
bool finishFrameWriter(FrameWriter* writer, std::string* error);

} // namespace capture
