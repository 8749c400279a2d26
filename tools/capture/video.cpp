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

// ffmpeg gets its own process group: a Ctrl-C at the terminal reaches the capture, which then ends
// the picture stream in order, instead of reaching ffmpeg, which would stop without the frames
// still on their way. Its messages go to log, to be judged once it is done.
bool spawn(const std::string& program, const std::vector<std::string>& arguments, int stdinFd, int log, pid_t* pid,
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
    posix_spawn_file_actions_adddup2(&actions, log, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    int result = posix_spawn(pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        *error = "cannot start " + program + ": " + std::strerror(result);
        return false;
    }
    return true;
}

// A file for an ffmpeg's messages that vanishes when closed.
int openLog(std::string* error) {
    FILE* file = std::tmpfile();
    int fd = file ? dup(fileno(file)) : -1;
    if (file) std::fclose(file);
    if (fd < 0) *error = std::string("cannot make a file for ffmpeg's messages: ") + std::strerror(errno);
    return fd;
}

std::string readLog(int log) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    for (off_t at = 0; (n = pread(log, buffer, sizeof buffer, at)) > 0 && text.size() < 2000; at += n)
        text.append(buffer, size_t(n));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// An ffmpeg step succeeded when it exited with 0, said nothing (it runs with -loglevel error) and
// left a non-empty file: ffmpeg reports a full disk while writing the trailer yet exits with 0.
bool finishStep(pid_t pid, int log, const std::string& step, const std::string& output, std::string* error) {
    int status = 0;
    bool waited = true;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            waited = false;
            break;
        }
    }
    std::string said = readLog(log);
    close(log);
    struct stat info {};
    std::string failure;
    if (!waited)
        failure = "lost track of ffmpeg";
    else if (!WIFEXITED(status))
        failure = "ffmpeg was killed by signal " + std::to_string(WTERMSIG(status));
    else if (WEXITSTATUS(status) != 0)
        failure = "ffmpeg failed with exit code " + std::to_string(WEXITSTATUS(status));
    else if (!said.empty())
        failure = "ffmpeg reported an error";
    else if (stat(output.c_str(), &info) != 0 || info.st_size == 0)
        failure = "ffmpeg left no " + output;
    if (failure.empty()) return true;
    *error = step + " failed: " + failure + (said.empty() ? "" : ":\n" + said);
    return false;
}

// Runs one ffmpeg to its end with no input.
bool runStep(const std::string& ffmpeg, const std::vector<std::string>& arguments, const std::string& step,
             const std::string& output, std::string* error) {
    int log = openLog(error);
    if (log < 0) return false;
    pid_t pid = -1;
    if (!spawn(ffmpeg, arguments, -1, log, &pid, error)) {
        close(log);
        return false;
    }
    return finishStep(pid, log, step, output, error);
}

// Puts the picture and the sound together in a temporary file beside path, which replaces path
// only once it is complete: a failure leaves an earlier file of that name as it was.
bool muxVideo(const std::string& ffmpeg, const std::vector<std::string>& pictureInput, const std::string& wavPath,
              const std::string& path, std::string* error) {
    const std::string partial = path + ".partial";
    std::vector<std::string> arguments = {"-nostdin", "-y", "-loglevel", "error"};
    arguments.insert(arguments.end(), pictureInput.begin(), pictureInput.end());
    arguments.insert(arguments.end(), {"-i", wavPath, "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac",
                                       "-b:a", "192k", "-movflags", "+faststart", "-f", "mp4", partial});
    bool ok = runStep(ffmpeg, arguments, "adding the audio to " + path, partial, error);
    if (ok && std::rename(partial.c_str(), path.c_str()) != 0) {
        *error = "cannot rename " + partial + " to " + path + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) std::remove(partial.c_str());
    return ok;
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
                std::string* error, bool pictureOnly) {
    *video = VideoEncoder{};
    if (!findProgram("ffmpeg", &video->ffmpeg)) {
        *error = "--video needs ffmpeg, which is not installed (Debian package ffmpeg)";
        return false;
    }
    video->path = path;
    video->picturePath = pictureOnly ? path : path + ".picture.mp4";
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
        "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p", "-f", "mp4",
        video->picturePath};
    video->log = openLog(error);
    bool started = video->log >= 0 && spawn(video->ffmpeg, arguments, fds[0], video->log, &video->pid, error);
    close(fds[0]);
    if (!started) {
        if (video->log >= 0) close(video->log);
        video->log = -1;
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

namespace {

bool finishEncoding(VideoEncoder* video, std::string* error) {
    close(video->pipe);
    video->pipe = -1;
    const pid_t encoder = video->pid;
    video->pid = -1;
    const int log = video->log;
    video->log = -1;
    if (finishStep(encoder, log, "encoding the pictures of " + video->path, video->picturePath, error)) return true;
    std::remove(video->picturePath.c_str());
    return false;
}

} // namespace

bool finishVideo(VideoEncoder* video, const std::string& wavPath, std::string* error) {
    if (!finishEncoding(video, error)) return false;
    bool ok = muxVideo(video->ffmpeg, {"-i", video->picturePath}, wavPath, video->path, error);
    std::remove(video->picturePath.c_str());
    return ok;
}

bool finishPictureOnly(VideoEncoder* video, std::string* error) { return finishEncoding(video, error); }

bool joinVideo(const std::vector<std::string>& pictures, const std::string& wavPath, const std::string& path,
               std::string* error) {
    std::string ffmpeg;
    if (!findProgram("ffmpeg", &ffmpeg)) {
        *error = "--video needs ffmpeg, which is not installed (Debian package ffmpeg)";
        return false;
    }
    const std::string list = path + ".parts.txt";
    FILE* file = std::fopen(list.c_str(), "w");
    if (!file) {
        *error = "cannot create " + list;
        return false;
    }
    for (const std::string& picture : pictures) {
        // The concat list quotes names in single quotes; a quote inside is written '\''.
        std::string quoted;
        for (char c : picture) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        std::fprintf(file, "file '%s'\n", quoted.c_str());
    }
    bool ok = !std::ferror(file);
    ok = std::fclose(file) == 0 && ok;
    if (!ok) *error = "cannot write " + list;
    ok = ok && muxVideo(ffmpeg, {"-f", "concat", "-safe", "0", "-i", list}, wavPath, path, error);
    std::remove(list.c_str());
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
    if (video->log >= 0) close(video->log);
    video->log = -1;
    if (!video->picturePath.empty()) std::remove(video->picturePath.c_str());
}

} // namespace capture
