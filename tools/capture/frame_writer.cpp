// The frame writer's queue and workers: a bounded queue, workers that wait on a predicate, and the
// first error kept and reported, so a failed write never lets the capture report success.
#include "tools/capture/frame_writer.h"

namespace capture {

namespace {

void done(FrameWriter* writer, const std::string& failure) {
    std::lock_guard<std::mutex> hold(writer->lock);
    if (!failure.empty() && writer->error.empty()) writer->error = failure;
    --writer->pending;
    writer->room.notify_all();
}

void encodePngs(FrameWriter* writer) {
    for (;;) {
        FrameWriter::PngJob job;
        bool failed;
        {
            std::unique_lock<std::mutex> hold(writer->lock);
            writer->work.wait(hold, [writer] { return !writer->pngJobs.empty() || writer->finishing; });
            if (writer->pngJobs.empty()) return;
            job = std::move(writer->pngJobs.front());
            writer->pngJobs.pop_front();
            failed = !writer->error.empty();
        }
        std::string failure;
        if (!failed) writePng(job.path, *job.frame, &failure);
        done(writer, failure);
    }
}

// One thread, so the frames reach ffmpeg in the order they were queued.
void feedVideo(FrameWriter* writer) {
    for (;;) {
        std::shared_ptr<const Image> frame;
        bool failed;
        {
            std::unique_lock<std::mutex> hold(writer->lock);
            writer->work.wait(hold, [writer] { return !writer->videoFrames.empty() || writer->finishing; });
            if (writer->videoFrames.empty()) return;
            frame = std::move(writer->videoFrames.front());
            writer->videoFrames.pop_front();
            failed = !writer->error.empty();
        }
        std::string failure;
        if (!failed) writeVideoFrame(writer->video, *frame, &failure);
        done(writer, failure);
    }
}

} // namespace

void startFrameWriter(FrameWriter* writer, int PNG_THREADS, VideoEncoder* video) {
    writer->video = video;
    for (int i = 0; i < PNG_THREADS; ++i) writer->threads.emplace_back(encodePngs, writer);
    if (video) writer->threads.emplace_back(feedVideo, writer);
}

bool queueFrame(FrameWriter* writer, Image frame, const std::string& pngPath, std::string* error) {
    auto shared = std::make_shared<const Image>(std::move(frame));
    std::unique_lock<std::mutex> hold(writer->lock);
    const size_t jobs = (pngPath.empty() ? 0 : 1) + (writer->video ? 1 : 0);
    writer->room.wait(hold, [writer, jobs] {
        return writer->pending + jobs <= writer->maxPending || !writer->error.empty();
    });
    if (!writer->error.empty()) {
        *error = writer->error;
        return false;
    }
    if (!pngPath.empty()) writer->pngJobs.push_back({pngPath, shared});
    if (writer->video) writer->videoFrames.push_back(shared);
    writer->pending += jobs;
    writer->work.notify_all();
    return true;
}

bool finishFrameWriter(FrameWriter* writer, std::string* error) {
    {
        std::lock_guard<std::mutex> hold(writer->lock);
        writer->finishing = true;
        writer->work.notify_all();
    }
    for (std::thread& thread : writer->threads) thread.join();
    writer->threads.clear();
    if (writer->error.empty()) return true;
    *error = writer->error;
    return false;
}

} // namespace capture
