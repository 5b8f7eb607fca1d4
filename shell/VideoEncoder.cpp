// Running ffmpeg on a recording folder.
#include "shell/VideoEncoder.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

extern char** environ;

namespace kvx::shell {

namespace {

const char* kProgram = "ffmpeg";

}  // namespace

bool ffmpegAvailable() {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return false;
    }
    const std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        // An empty entry means the current folder.
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = (std::filesystem::path(dir) / kProgram).string();
        if (access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool encodeVideo(const std::string& frameDir, int fps, const std::string& output,
                 std::string* error) {
    namespace fs = std::filesystem;
    const std::string frames = (fs::path(frameDir) / "frame_%05d.png").string();
    const std::string sound = (fs::path(frameDir) / "soundtrack.wav").string();
    const std::string rate = std::to_string(fps);
    std::vector<std::string> args = {kProgram, "-loglevel", "error",    "-y",      "-framerate",
                                     rate,     "-i",        frames,     "-i",      sound,
                                     "-c:v",   "libx264",   "-pix_fmt", "yuv420p", "-c:a",
                                     "aac",    "-shortest", output};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int started = posix_spawnp(&pid, kProgram, nullptr, nullptr, argv.data(), environ);
    if (started != 0) {
        if (error != nullptr) {
            *error = std::string("cannot run ffmpeg: ") + std::strerror(started);
        }
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            if (error != nullptr) {
                *error = std::string("lost ffmpeg: ") + std::strerror(errno);
            }
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (error != nullptr) {
            *error = "ffmpeg could not encode " + output;
        }
        return false;
    }
    return true;
}

}  // namespace kvx::shell
