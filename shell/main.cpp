// kvxplay: plays one show.
//
// Without arguments it behaves as the show player always has: the pack named
// after the program (else the "data" folder), the launcher dialog, the show.
// The options (CommandLine.h) choose another data source, skip the
// launcher, check the script, run without a display, or record the show to
// files or, through ffmpeg, to a video.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/audio/SdlAudio.h"
#include "platform/video/Video.h"
#include "script/CheckReport.h"
#include "shell/CommandLine.h"
#include "shell/Launcher.h"
#include "shell/Show.h"
#include "shell/Soundtrack.h"
#include "shell/VideoEncoder.h"
#include "vfs/Vfs.h"

namespace {

using kvx::shell::CommandLine;

// The pack or folder the show is read from. False (reason printed) when the
// one named on the command line cannot be used.
bool openDataSource(const CommandLine& line, const char* program) {
    namespace vfs = kvx::vfs;
    if (!line.packFile.empty()) {
        vfs::Vfs::init(line.packFile.c_str());
        if (!vfs::Vfs::packMode()) {
            std::fprintf(stderr, "kvxplay: %s is not a readable pack\n", line.packFile.c_str());
            return false;
        }
    } else if (!line.dataDir.empty()) {
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(line.dataDir);
        if (!std::filesystem::is_directory(line.dataDir)) {
            std::fprintf(stderr, "kvxplay: %s is not a folder\n", line.dataDir.c_str());
            return false;
        }
    } else {
        vfs::Vfs::init(vfs::packNameFor(program).c_str());
    }
    return true;
}

// A recording goes into its folder, or for a video into a scratch folder
// that ffmpeg reads afterwards. False (reason printed) when it cannot.
bool prepareRecording(CommandLine& line) {
    if (line.record.empty()) {
        return true;
    }
    line.headless = true;  // recordings never need a display
    if (!line.recordsVideo()) {
        line.show.recordDir = line.record;
        return true;
    }
    if (!kvx::shell::ffmpegAvailable()) {
        std::fprintf(stderr, "kvxplay: --record %s needs ffmpeg, which is not installed\n",
                     line.record.c_str());
        return false;
    }
    char scratch[] = "/tmp/kvxrecord.XXXXXX";
    if (mkdtemp(scratch) == nullptr) {
        std::perror("kvxplay: mkdtemp");
        return false;
    }
    line.show.recordDir = scratch;
    return true;
}

// The frames of a video recording become the video; the scratch folder goes.
int finishVideo(const CommandLine& line, int status) {
    if (status == 0) {
        std::string error;
        if (!kvx::shell::encodeVideo(line.show.recordDir, line.show.fps, line.record, &error)) {
            std::fprintf(stderr, "kvxplay: %s\n", error.c_str());
            status = 1;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(line.show.recordDir, ec);
    return status;
}

// The launcher dialog as its window shows it, into a PNG file.
int launcherScreenshot(const std::string& path) {
    std::string error;
    if (!kvx::shell::writeLauncherScreenshot(path, &error)) {
        std::fprintf(stderr, "kvxplay: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int play(CommandLine& line) {
    if (!prepareRecording(line)) {
        return 1;
    }
    if (!kvx::platform::initVideo(line.headless)) {
        return 1;
    }
    kvx::shell::ShowOptions& options = line.show;
    options.headless = line.headless || kvx::platform::headless();
    options.progress = options.headless && isatty(2) != 0;
    if (line.launcher && !options.headless) {
        options.launcher = [] { return kvx::shell::runLauncher(); };
    }
    if (!options.headless) {
        kvx::shell::Soundtrack::setLiveAudio(&kvx::platform::makeSdlAudioDevice,
                                             &kvx::platform::raiseMusicThreadPriority);
    }
    kvx::shell::ShowStats stats;
    int status = kvx::shell::runShow(options, &stats);
    if (options.headless) {
        std::printf("%s\n", kvx::shell::formatSummary(stats).c_str());
        std::printf("%s\n", kvx::shell::formatDrawnSummary(stats).c_str());
    }
    return line.recordsVideo() ? finishVideo(line, status) : status;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    const int early = kvx::shell::parseCommandLine(argc, argv, KVX_VERSION, line);
    if (early >= 0) {
        return early;
    }
    if (!openDataSource(line, argv[0])) {
        return 1;
    }
    if (line.check) {
        return kvx::script::checkShow(std::cout, std::cerr);
    }
    if (!line.launcherScreenshot.empty()) {
        return launcherScreenshot(line.launcherScreenshot);
    }
    return play(line);
}
