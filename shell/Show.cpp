// Start-up, frame loop and shutdown of the show.
#include "shell/Show.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "core/Globals.h"
#include "core/Timer.h"
#include "effects/Registry.h"
#include "expr/Beat.h"
#include "platform/video/Video.h"
#include "script/Demo.h"
#include "shell/Compositor.h"
#include "shell/Extensions.h"
#include "shell/GlWindow.h"
#include "shell/LoadingBar.h"
#include "shell/PngWriter.h"
#include "shell/Soundtrack.h"

namespace kvx::shell {

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Frame k of a recording at fps frames per second, in whole milliseconds.
uint32_t recordTime(uint64_t frame, int fps) {
    return static_cast<uint32_t>(frame * 1000u / static_cast<uint64_t>(fps));
}

// The one-line progress of a headless run, at most four times a second.
class Progress {
  public:
    explicit Progress(bool on) : on_(on) {}
    void update(uint32_t time, uint32_t duration, uint64_t frames) {
        if (!on_) {
            return;
        }
        const Clock::time_point now = Clock::now();
        if (frames > 1 && now - last_ < std::chrono::milliseconds(250)) {
            return;
        }
        last_ = now;
        std::fprintf(stderr, "\rkvx: %7.2f s of %.2f s, frame %llu   ", time / 1000.0,
                     duration / 1000.0, static_cast<unsigned long long>(frames));
        std::fflush(stderr);
        shown_ = true;
    }
    ~Progress() {
        if (shown_) {
            std::fputc('\n', stderr);
        }
    }

  private:
    bool on_;
    bool shown_ = false;
    Clock::time_point last_{};
};

}  // namespace

std::string formatSummary(const ShowStats& s) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "kvx: %llu frames, %.3f s of show, %.3f s wall, %.2f ms average, %.2f ms worst "
                  "frame, %d beats",
                  static_cast<unsigned long long>(s.frames), s.showTime / 1000.0, s.wallMs / 1000.0,
                  s.averageFrameMs, s.worstFrameMs, s.beats);
    return line;
}

int runShow(const ShowOptions& options, ShowStats* statsOut) {
    ShowStats localStats;
    ShowStats& stats = statsOut != nullptr ? *statsOut : localStats;
    stats = ShowStats{};
    const Clock::time_point entry = Clock::now();
    core::Globals& g = core::globals();
    g.materialLevelLimit.store(2, std::memory_order_relaxed);
    g.beatPulse.store(0.0f, std::memory_order_relaxed);
    g.beatCount.store(0, std::memory_order_relaxed);

    const bool recording = !options.recordDir.empty();
    const bool lockstep = recording || options.headless;
    if (recording && options.fps <= 0) {
        stats.error = "the frame rate must be above 0";
        std::fprintf(stderr, "kvx: %s\n", stats.error.c_str());
        return 1;
    }

    if (recording) {
        std::error_code ec;
        std::filesystem::create_directories(options.recordDir, ec);
        if (ec) {
            stats.error = options.recordDir + ": " + ec.message();
            std::fprintf(stderr, "kvx: %s\n", stats.error.c_str());
            return 1;
        }
    }

    // Launcher.
    launcher::LaunchSettings settings = options.settings;
    if (options.launcher && !options.headless) {
        settings = options.launcher();
        if (settings.cancelled) {
            return 0;
        }
    }
    if (!platform::initVideo(options.headless)) {
        stats.error = "no video";
        return 1;
    }
    g.aspectRatio.store(settings.aspect, std::memory_order_relaxed);

    // Window, black frame, loading bar.
    GlWindow window(settings.width, settings.height, settings.bits, settings.fullScreen);
    if (window.failed()) {
        stats.error = "cannot open the window: " + window.error();
        std::fprintf(stderr, "kvx: %s\n", stats.error.c_str());
        return 1;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    window.swap();
    LoadingBar bar(&window);
    bar.draw();
    window.swap();

    // Script and layers.
    effects::registerAll();
    auto demo = std::make_unique<script::Demo>(options.scriptName);
    int layerCount = 0;
    auto built = demo->buildLayers(layerCount, &bar);
    if (!built) {
        if (demo->diagnostic()) {
            std::fprintf(stderr, "%s\n", demo->diagnostic()->text.text());
        }
        platform::messageBox("kvx", "Error!");
        stats.error = "the script cannot be read or parsed";
        return 1;
    }
    std::vector<std::unique_ptr<layers::Layer>>& layers = *built;
    stats.layers = layerCount;
    const uint32_t duration = static_cast<uint32_t>(demo->duration());

    // Clocks: the system's, or a virtual one for recordings.
    core::ManualClock virtualClock;
    const core::Clock& clock =
        recording ? static_cast<const core::Clock&>(virtualClock) : core::Clock::system();

    // Synthesizer and music thread.
    Soundtrack soundtrack(lockstep ? Soundtrack::Mode::Lockstep : Soundtrack::Mode::Live,
                          recording);
    soundtrack.load(demo->soundConfig(), demo->soundtrack());

    int status = 0;
    {
        // Framebuffer entry points and buffers.
        if (!loadExtensions()) {
            stats.error = "this OpenGL has no framebuffer objects";
            std::fprintf(stderr, "kvx: %s\n", stats.error.c_str());
            status = 1;
        }
        platform::setSwapInterval(0);
        std::optional<Compositor> compositor;
        if (status == 0) {
            compositor.emplace(window, settings.quality);
            if (compositor->failed()) {
                stats.error = "cannot create the offscreen buffers";
                std::fprintf(stderr, "kvx: %s\n", stats.error.c_str());
                status = 1;
            }
        }

        bool errorFlag = status != 0;
        if (status == 0) {
            for (auto& layer : layers) {
                if (!layer) {
                    continue;
                }
                if (!compositor->initLayer(*layer, g.aspectRatio.load(std::memory_order_relaxed))) {
                    errorFlag = true;  // the remaining layers are still prepared
                }
                bar.step();
            }
            glFinish();
            if (!recording) {
                platform::sleepMs(options.pauseMs);
            }
        }
        stats.prepareFailed = errorFlag && status == 0;

        core::Timer deltaClock(clock);
        core::Timer showClock(clock);
        soundtrack.play();
        showClock.reset();

        if (!errorFlag) {
            std::vector<uint8_t> pixels;
            Progress progress(options.progress);
            uint32_t previous = 0;
            const Clock::time_point loopStart = Clock::now();
            Clock::time_point frameStart = loopStart;
            std::string writeError;
            for (;;) {
                if (platform::escapePressed()) {
                    stats.escaped = true;
                    break;
                }
                if (previous > duration) {
                    break;
                }
                if (options.maxFrames != 0 && stats.frames >= options.maxFrames) {
                    break;
                }
                platform::pumpOneMessage();
                if (recording) {
                    virtualClock.set(recordTime(stats.frames, options.fps));
                }
                const uint32_t time = showClock.elapsed();
                const uint32_t dt = deltaClock.elapsed();
                deltaClock.reset();
                expr::decayBeatPulse(dt);
                // Lockstep: the notes due by this frame fire their beats now.
                soundtrack.advanceTo(time);

                const bool capture =
                    recording || (!options.screenshot.empty() && time >= options.screenshotAt);
                compositor->renderFrame(layers, time, dt, !capture);
                if (capture) {
                    readFrame(window.width(), window.height(), pixels);
                    std::string path = options.screenshot;
                    if (recording) {
                        char name[32];
                        std::snprintf(name, sizeof name, "frame_%05llu.png",
                                      static_cast<unsigned long long>(stats.frames));
                        path = (std::filesystem::path(options.recordDir) / name).string();
                    }
                    if (!writePng(path, pixels.data(), window.width(), window.height(), 3,
                                  &writeError)) {
                        stats.error = writeError;
                        std::fprintf(stderr, "kvx: %s\n", writeError.c_str());
                        status = 1;
                    }
                    window.swap();
                }
                if (stats.frames == 0) {
                    stats.startupMs = msSince(entry) - (recording ? 0.0 : options.pauseMs);
                }
                const Clock::time_point now = Clock::now();
                const double frameMs =
                    std::chrono::duration<double, std::milli>(now - frameStart).count();
                frameStart = now;
                stats.worstFrameMs = std::max(stats.worstFrameMs, frameMs);
                ++stats.frames;
                stats.showTime = time;
                previous = time;
                progress.update(time, duration, stats.frames);
                if (status != 0 || (!options.screenshot.empty() && !recording && capture)) {
                    break;
                }
            }
            stats.wallMs = msSince(loopStart);
            stats.averageFrameMs =
                stats.frames != 0 ? stats.wallMs / static_cast<double>(stats.frames) : 0.0;
            if (recording && status == 0) {
                // The soundtrack covers exactly the frames written.
                const uint32_t end = recordTime(stats.frames, options.fps);
                const std::string wav =
                    (std::filesystem::path(options.recordDir) / "soundtrack.wav").string();
                if (!soundtrack.writeWav(wav, end, &writeError)) {
                    stats.error = writeError;
                    std::fprintf(stderr, "kvx: %s\n", writeError.c_str());
                    status = 1;
                }
            }
        }
        stats.beats = g.beatCount.load(std::memory_order_relaxed);

        // Shutdown: layers, then the target buffers, then the music.
        for (auto& layer : layers) {
            if (layer) {
                layer->release();
            }
        }
        layers.clear();
        if (compositor) {
            compositor->destroyTargets();
        }
        soundtrack.stop();
        if (errorFlag && status == 0) {
            platform::messageBox("kvx", "Error");
            stats.error = "a layer could not be prepared";
            status = 1;
        }
    }
    demo.reset();
    return status;
}

}  // namespace kvx::shell
