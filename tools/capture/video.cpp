// Drives the two ffmpeg runs of the video output through pipes; a failed start, write or exit
// status of ffmpeg is an error of the capture.
#include "tools/capture/video.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace capture {

namespace {

bool spawn(const std::string& program, const std::vector<std::string>& arguments, int stdinFd, pid_t* pid,
           std::string* error) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    int result = posix_spawn(pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        *error = "cannot start " + program + ": " + std::strerror(result);
        return false;
    }
    return true;
}

bool waitFor(pid_t pid, const std::string& what, std::string* error) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            *error = what + ": lost track of ffmpeg";
            return false;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    *error = what + ": ffmpeg " +
             (WIFEXITED(status) ? "failed with exit code " + std::to_string(WEXITSTATUS(status))
                                : "was killed by signal " + std::to_string(WTERMSIG(status)));
    return false;
}

} // namespace

bool findProgram(const std::string& name, std::string* path) {
    const char* searchPath = std::getenv("PATH");
    std::string dirs = searchPath ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        // An empty entry means the current folder.
        std::string dir = end > start ? dirs.substr(start, end - start) : std::string(1, '.');
        std::string candidate = dir;
        candidate += '/';
        candidate += name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
            *path = candidate;
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool startVideo(VideoEncoder* video, const std::string& path, int width, int height, uint32_t fps,
                std::string* error) {
    *video = VideoEncoder{};
    if (!findProgram("ffmpeg", &video->ffmpeg)) {
        *error = "--video needs ffmpeg, which is not installed (Debian package ffmpeg)";
        return false;
    }
    video->path = path;
    video->picturePath = path + ".picture.mp4";
    video->width = width;
    video->height = height;
    // A dying encoder must come back as a write error, not end this process.
    signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe for ffmpeg: ") + std::strerror(errno);
        return false;
    }
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> arguments = {
        "-nostdin", "-y", "-loglevel", "error",
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size, "-framerate", std::to_string(fps),
        "-i", "pipe:0",
        // 4:2:0 chroma needs even sides; odd sizes get one black row or column.
        "-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2",
        "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
        video->picturePath};
    bool started = spawn(video->ffmpeg, arguments, fds[0], &video->pid, error);
    close(fds[0]);
    if (!started) {
        close(fds[1]);
        return false;
    }
    video->pipe = fds[1];
    return true;
}

bool writeVideoFrame(VideoEncoder* video, const Image& frame, std::string* error) {
    if (frame.width != video->width || frame.height != video->height) {
        *error = "video frame of the wrong size";
        return false;
    }
    const uint8_t* p = frame.rgb.data();
    size_t left = frame.rgb.size();
    while (left > 0) {
        ssize_t n = write(video->pipe, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *error = "ffmpeg stopped taking frames (see its message above)";
            return false;
        }
        p += n;
        left -= size_t(n);
    }
    return true;
}

bool finishVideo(VideoEncoder* video, const std::string& wavPath, std::string* error) {
    close(video->pipe);
    video->pipe = -1;
    pid_t encoder = video->pid;
    video->pid = -1;
    if (!waitFor(encoder, "encoding " + video->path, error)) {
        std::remove(video->picturePath.c_str());
        return false;
    }
    std::vector<std::string> arguments = {
        "-nostdin", "-y", "-loglevel", "error",
        "-i", video->picturePath, "-i", wavPath,
        "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
        "-movflags", "+faststart", video->path};
    pid_t muxer = -1;
    bool ok = spawn(video->ffmpeg, arguments, -1, &muxer, error) && waitFor(muxer, "adding the audio to " + video->path, error);
    std::remove(video->picturePath.c_str());
    return ok;
}

void abandonVideo(VideoEncoder* video) {
    if (video->pipe >= 0) close(video->pipe);
    video->pipe = -1;
    if (video->pid > 0) {
        // With its input closed the encoder ends by itself; waiting keeps no zombie behind.
        int status = 0;
        while (waitpid(video->pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    video->pid = -1;
    if (!video->picturePath.empty()) std::remove(video->picturePath.c_str());
}

} // namespace capture
