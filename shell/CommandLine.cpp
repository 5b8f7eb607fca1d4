// Parsing kvxplay's command line with CLI11.
#include "shell/CommandLine.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <initializer_list>

namespace kvx::shell {

namespace {

bool endsWith(const std::string& s, const char* suffix) {
    const std::string t(suffix);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// The options the launcher would otherwise ask for.
struct DisplayFlags {
    CLI::Option* windowed = nullptr;
    CLI::Option* fullScreen = nullptr;
    CLI::Option* mode = nullptr;
    CLI::Option* quality = nullptr;
};

DisplayFlags addDisplayOptions(CLI::App& app, CommandLine& line, std::string& mode, bool& windowed,
                               bool& fullScreen) {
    DisplayFlags f;
    f.windowed = app.add_flag("--windowed", windowed, "Play in a window");
    f.fullScreen =
        app.add_flag("--fullscreen", fullScreen, "Play full screen")->excludes(f.windowed);
    f.mode = app.add_option("--mode", mode,
                            "Display mode WxH or WxH:BITS (default 800x600:32); the layers' "
                            "aspect ratio becomes W / H");
    f.quality = app.add_option("--quality", line.show.settings.quality,
                               "Offscreen buffer scale, 0.25 to 4.0 (default 1.0)")
                    ->check(CLI::Range(0.25f, 4.0f));
    return f;
}

void addRunOptions(CLI::App& app, CommandLine& line, bool& noLauncher) {
    auto* data = app.add_option("--data", line.dataDir, "Read the show from this folder");
    app.add_option("--pack", line.packFile, "Read the show from this pack file")->excludes(data);
    app.add_flag("--no-launcher", noLauncher,
                 "Skip the launcher dialog: use its defaults (any of the display "
                 "flags above skips it too)");
    app.add_flag("--check", line.check, "Parse the script, report it and exit");
    app.add_flag("--headless", line.headless,
                 "No display and no audio device: offscreen GL, progress and summary");
    app.add_option("--record", line.record,
                   "Render every frame on a virtual clock into DIR (PNG frames and "
                   "soundtrack.wav), or into FILE.mp4 with ffmpeg");
    app.add_option("--fps", line.show.fps, "Frame rate of --record (default 30)")
        ->check(CLI::Range(1, 1000));
    app.add_option("--screenshot", line.show.screenshot, "Write one frame as PNG, then end");
    app.add_option("--screenshot-at", line.show.screenshotAt,
                   "Show time of --screenshot in ms (default 0)");
    app.add_option("--launcher-screenshot", line.launcherScreenshot,
                   "Write the launcher dialog, with the show's skin, as PNG, then end");
}

// Live authoring: reload on save, start anywhere, the overlay.
void addAuthoringOptions(CLI::App& app, CommandLine& line) {
    app.add_flag("--watch", line.show.watch,
                 "Watch the data folder (or pack) and reload what changed, keeping the show "
                 "time; a script that does not parse keeps the last good show and shows the "
                 "error over the picture");
    app.add_option("--start-at", line.show.startAt,
                   "Start the show at this time in ms, exactly as a run from 0 reaches it "
                   "(with --record: the tail of the recording from 0)");
    app.add_flag("--overlay", line.show.overlay,
                 "Start with the information overlay (F1) on, also in recordings");
    app.footer(
        "Keys while a show plays (not in recordings):\n"
        "  Space         pause / resume picture and music\n"
        "  Left, Right   seek 1 s back / forward (with Shift: 10 s)\n"
        "  Home          back to the start\n"
        "  [  ]          start / end a loop range at the current time\n"
        "  Backspace     clear the loop range\n"
        "  F1            overlay: show time, beat, frame rate, active layers\n"
        "  Escape        leave\n"
        "Seeks replay the show from 0 at 60 frames per second (a recording's own\n"
        "rate with --record), so they land where a run at that rate would be.");
}

// "WxH" or "WxH:BITS" (bits 16, 24 or 32) into settings' display mode, with
// the aspect ratio W / H. False, and settings untouched, when malformed.
bool parseMode(const std::string& text, launcher::LaunchSettings& settings) {
    int w = 0;
    int h = 0;
    int bits = 32;
    char tail = 0;
    const int n = std::sscanf(text.c_str(), "%dx%d:%d%c", &w, &h, &bits, &tail);
    if (n != 2 && n != 3) {
        return false;
    }
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || (bits != 16 && bits != 24 && bits != 32)) {
        return false;
    }
    settings.width = w;
    settings.height = h;
    settings.bits = bits;
    settings.aspect = static_cast<float>(w) / static_cast<float>(h);
    return true;
}

}  // namespace

bool CommandLine::recordsVideo() const {
    return endsWith(record, ".mp4");
}

int parseCommandLine(int argc, char** argv, const std::string& version, CommandLine& line) {
    CLI::App app{"kvxplay: plays a kvx show (script, synthesizer music, layered OpenGL effects)"};
    app.set_version_flag("--version", "kvxplay " + version);
    std::string mode;
    bool windowed = false;
    bool fullScreen = false;
    bool noLauncher = false;
    const DisplayFlags display = addDisplayOptions(app, line, mode, windowed, fullScreen);
    addRunOptions(app, line, noLauncher);
    addAuthoringOptions(app, line);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    if (!mode.empty() && !parseMode(mode, line.show.settings)) {
        std::fprintf(stderr, "kvxplay: --mode wants WxH or WxH:BITS (16, 24 or 32), not %s\n",
                     mode.c_str());
        return 1;
    }
    if (windowed) {
        line.show.settings.fullScreen = false;
    }
    if (fullScreen) {
        line.show.settings.fullScreen = true;
    }
    line.launcher = !noLauncher;
    for (const CLI::Option* flag :
         {display.windowed, display.fullScreen, display.mode, display.quality}) {
        if (flag->count() > 0) {
            line.launcher = false;
        }
    }
    return -1;
}

}  // namespace kvx::shell
