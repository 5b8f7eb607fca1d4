// kvxplay: plays one show.
//
// Without arguments it behaves as the show player always has: the pack named
// after the program (else the "data" folder), the launcher dialog, the show.
// The options choose another data source, skip the launcher, check the
// script, run without a display, or record the show to files.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/video/Video.h"
#include "script/CheckReport.h"
#include "shell/Show.h"
#include "shell/Soundtrack.h"
#include "vfs/Vfs.h"

#include "platform/audio/SdlAudio.h"
#include "shell/Launcher.h"

namespace {

using kvx::launcher::LaunchSettings;

// "WxH" or "WxH:BITS".
bool parseMode(const std::string& text, LaunchSettings& s) {
    int w = 0;
    int h = 0;
    int bits = 32;
    char tail = 0;
    const int n = std::sscanf(text.c_str(), "%dx%d:%d%c", &w, &h, &bits, &tail);
    if (n == 2 || n == 3) {
        if (w > 0 && h > 0 && w <= 16384 && h <= 16384 &&
            (bits == 16 || bits == 24 || bits == 32)) {
            s.width = w;
            s.height = h;
            s.bits = bits;
            return true;
        }
    }
    return false;
}

bool endsWith(const std::string& s, const char* suffix) {
    const std::string t(suffix);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool haveFfmpeg() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvxplay: plays a kvx show (script, synthesizer music, layered OpenGL effects)"};
    app.set_version_flag("--version", std::string("kvxplay ") + KVX_VERSION);
    std::string dataDir;
    std::string packFile;
    bool windowed = false;
    bool fullscreen = false;
    std::string mode;
    float quality = 1.0f;
    bool noLauncher = false;
    bool check = false;
    bool headless = false;
    std::string record;
    int fps = 30;
    std::string screenshot;
    unsigned screenshotAt = 0;
    auto* dataOpt = app.add_option("--data", dataDir, "Read the show from this folder");
    app.add_option("--pack", packFile, "Read the show from this pack file")->excludes(dataOpt);
    auto* winOpt = app.add_flag("--windowed", windowed, "Play in a window");
    app.add_flag("--fullscreen", fullscreen, "Play full screen")->excludes(winOpt);
    auto* fullOpt = app.get_option("--fullscreen");
    auto* modeOpt =
        app.add_option("--mode", mode, "Display mode WxH or WxH:BITS (default 800x600:32)");
    auto* qualityOpt =
        app.add_option("--quality", quality, "Offscreen buffer scale, 0.25 to 4.0 (default 1.0)")
            ->check(CLI::Range(0.25f, 4.0f));
    app.add_flag("--no-launcher", noLauncher,
                 "Skip the launcher dialog: use its defaults (any of the display "
                 "flags above skips it too)");
    app.add_flag("--check", check, "Parse the script, report it and exit");
    app.add_flag("--headless", headless,
                 "No display and no audio device: offscreen GL, progress and summary");
    app.add_option("--record", record,
                   "Render every frame on a virtual clock into DIR (PNG frames and "
                   "soundtrack.wav), or into FILE.mp4 with ffmpeg");
    app.add_option("--fps", fps, "Frame rate of --record (default 30)")->check(CLI::Range(1, 1000));
    app.add_option("--screenshot", screenshot, "Write one frame as PNG, then end");
    app.add_option("--screenshot-at", screenshotAt, "Show time of --screenshot in ms (default 0)");
    CLI11_PARSE(app, argc, argv);
    // A display flag is already the choice the launcher would ask for.
    for (const CLI::Option* displayFlag : {winOpt, fullOpt, modeOpt, qualityOpt}) {
        if (displayFlag->count() > 0) {
            noLauncher = true;
        }
    }

    // The data source.
    if (!packFile.empty()) {
        kvx::vfs::Vfs::init(packFile.c_str());
        if (!kvx::vfs::Vfs::packMode()) {
            std::fprintf(stderr, "kvxplay: %s is not a readable pack\n", packFile.c_str());
            return 1;
        }
    } else if (!dataDir.empty()) {
        kvx::vfs::Vfs::reset();
        kvx::vfs::Vfs::setDataDirectory(dataDir);
        if (!std::filesystem::is_directory(dataDir)) {
            std::fprintf(stderr, "kvxplay: %s is not a folder\n", dataDir.c_str());
            return 1;
        }
    } else {
        kvx::vfs::Vfs::init(kvx::vfs::packNameFor(argv[0]).c_str());
    }

    if (check) {
        return kvx::script::checkShow(std::cout, std::cerr);
    }

    kvx::shell::ShowOptions options;
    std::string video;
    if (!record.empty()) {
        headless = true;  // recordings never need a display
        if (endsWith(record, ".mp4")) {
            if (!haveFfmpeg()) {
                std::fprintf(stderr, "kvxplay: --record %s needs ffmpeg, which is not installed\n",
                             record.c_str());
                return 1;
            }
            video = record;
            char tmpl[] = "/tmp/kvxrecord.XXXXXX";
            if (mkdtemp(tmpl) == nullptr) {
                std::perror("kvxplay: mkdtemp");
                return 1;
            }
            options.recordDir = tmpl;
        } else {
            options.recordDir = record;
        }
        options.fps = fps;
    }

    if (!kvx::platform::initVideo(headless)) {
        return 1;
    }
    headless = headless || kvx::platform::headless();
    options.headless = headless;
    options.progress = headless && isatty(2) != 0;
    options.screenshot = screenshot;
    options.screenshotAt = screenshotAt;

    LaunchSettings& s = options.settings;
    if (!mode.empty() && !parseMode(mode, s)) {
        std::fprintf(stderr, "kvxplay: --mode wants WxH or WxH:BITS (16, 24 or 32), not %s\n",
                     mode.c_str());
        return 1;
    }
    if (windowed) {
        s.fullScreen = false;
    }
    if (fullscreen) {
        s.fullScreen = true;
    }
    s.quality = quality;
    if (!noLauncher && !headless) {
        options.launcher = [] { return kvx::shell::runLauncher(); };
    }
    if (!headless) {
        kvx::shell::Soundtrack::setLiveAudio(&kvx::platform::makeSdlAudioDevice,
                                             &kvx::platform::raiseMusicThreadPriority);
    }

    kvx::shell::ShowStats stats;
    int status = kvx::shell::runShow(options, &stats);
    if (headless) {
        std::printf("%s\n", kvx::shell::formatSummary(stats).c_str());
    }
    if (!video.empty()) {
        if (status == 0) {
            const std::string cmd = "ffmpeg -loglevel error -y -framerate " + std::to_string(fps) +
                                    " -i '" + options.recordDir + "/frame_%05d.png' -i '" +
                                    options.recordDir +
                                    "/soundtrack.wav' -c:v libx264 -pix_fmt yuv420p -c:a aac "
                                    "-shortest '" +
                                    video + "'";
            if (std::system(cmd.c_str()) != 0) {
                std::fprintf(stderr, "kvxplay: ffmpeg could not encode %s\n", video.c_str());
                status = 1;
            }
        }
        std::error_code ec;
        std::filesystem::remove_all(options.recordDir, ec);
    }
    return status;
}
