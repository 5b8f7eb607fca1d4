// Start-up and shutdown of the show, and runShow (the frame loops are in
// ShowLoop.cpp).
#include "shell/Show.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/Globals.h"
#include "effects/Registry.h"
#include "platform/video/Video.h"
#include "shell/Extensions.h"
#include "shell/ShowRun.h"
#include "vfs/Vfs.h"

namespace kvx::shell {

std::string formatSummary(const ShowStats& s) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "kvx: %llu frames, %.3f s of show, %.3f s wall, %.2f ms average, %.2f ms worst "
                  "frame, %d beats",
                  static_cast<unsigned long long>(s.frames), s.showTime / 1000.0, s.wallMs / 1000.0,
                  s.averageFrameMs, s.worstFrameMs, s.beats);
    return line;
}

std::string formatDrawnSummary(const ShowStats& s) {
    std::vector<int> types;
    for (int t = 0; t < layers::LayerFactory::kTypeCount; ++t) {
        if (s.typeFrames[static_cast<size_t>(t)] != 0) {
            types.push_back(t);
        }
    }
    // Most frames first; ties keep the factory's order.
    std::stable_sort(types.begin(), types.end(), [&s](int a, int b) {
        return s.typeFrames[static_cast<size_t>(a)] > s.typeFrames[static_cast<size_t>(b)];
    });
    std::string line = "kvx: drawn:";
    for (size_t i = 0; i < types.size(); ++i) {
        line += i == 0 ? " " : ", ";
        line += layers::LayerFactory::keyword(types[i]);
        line += ' ';
        line += std::to_string(s.typeFrames[static_cast<size_t>(types[i])]);
    }
    return types.empty() ? line + " nothing" : line;
}

ShowRun::ShowRun(const ShowOptions& options, ShowStats& stats)
    : options_(options),
      stats_(stats),
      recording_(!options.recordDir.empty()),
      lockstep_(recording_ || options.headless),
      step_(FrameStep{recording_ && options.fps > 0 ? options.fps : FrameStep::kSeekFps}),
      settings_(options.settings),
      overlayOn_(options.overlay) {}

bool ShowRun::fail(const std::string& reason) {
    stats_.error = reason;
    std::fprintf(stderr, "kvx: %s\n", reason.c_str());
    status_ = 1;
    return false;
}

int ShowRun::play() {
    core::Globals& g = core::globals();
    g.materialLevelLimit.store(2, std::memory_order_relaxed);
    g.beatPulse.store(0.0f, std::memory_order_relaxed);
    g.beatCount.store(0, std::memory_order_relaxed);
    if (!checkOptions() || !chooseSettings() || !openWindow() || !loadScript()) {
        stage_.reset();
        return status_;
    }
    loadSoundtrack();
    if (makeBuffers() && prepareLayers()) {
        openWatch();
        frameLoop();
    }
    stats_.beats = g.beatCount.load(std::memory_order_relaxed);
    shutDown();
    return status_;
}

bool ShowRun::checkOptions() {
    if (!recording_) {
        return true;
    }
    if (options_.fps <= 0) {
        return fail("the frame rate must be above 0");
    }
    std::error_code ec;
    std::filesystem::create_directories(options_.recordDir, ec);
    if (ec) {
        return fail(options_.recordDir + ": " + ec.message());
    }
    return true;
}

// The launcher's choice, or the options' settings when it does not run.
bool ShowRun::chooseSettings() {
    if (options_.launcher && !options_.headless) {
        settings_ = options_.launcher();
        if (settings_.cancelled) {
            return false;  // the user left: exit status 0
        }
    }
    if (!platform::initVideo(options_.headless)) {
        return fail("no video");
    }
    core::globals().aspectRatio.store(settings_.aspect, std::memory_order_relaxed);
    return true;
}

// The window, a black first frame and the loading bar.
bool ShowRun::openWindow() {
    window_ = std::make_unique<GlWindow>(settings_.width, settings_.height, settings_.bits,
                                         settings_.fullScreen);
    if (window_->failed()) {
        return fail("cannot open the window: " + window_->error());
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    window_->swap();
    bar_ = std::make_unique<LoadingBar>(window_.get());
    bar_->draw();
    window_->swap();
    return true;
}

bool ShowRun::loadScript() {
    effects::registerAll();
    Stage::Options stage;
    stage.scriptName = options_.scriptName;
    stage.soundMode = lockstep_ ? Soundtrack::Mode::Lockstep : Soundtrack::Mode::Live;
    stage.keepSamples = recording_;
    stage.step = step_;
    stage_ = std::make_unique<Stage>(stage);
    if (!stage_->loadScript(bar_.get())) {
        std::fprintf(stderr, "%s\n", stage_->diagnostic().c_str());
        platform::messageBox("kvx", "Error!");
        return fail("the script cannot be read or parsed");
    }
    stats_.layers = stage_->layerCount();
    return true;
}

// A soundtrack that cannot be loaded leaves the show silent. A show that
// may seek starts rehearsing its sound at once, beside the loading.
void ShowRun::loadSoundtrack() {
    stage_->loadSoundtrack();
    if (!recording_ || options_.startAt > 0 || options_.watch) {
        stage_->enableSeeking();
    }
}

bool ShowRun::makeBuffers() {
    if (!loadExtensions()) {
        return fail("this OpenGL has no framebuffer objects");
    }
    platform::setSwapInterval(0);
    compositor_ = std::make_unique<Compositor>(*window_, settings_.quality);
    if (compositor_->failed()) {
        return fail("cannot create the offscreen buffers");
    }
    return true;
}

// Every layer is prepared, also after one has failed; a failure skips the
// show and is reported after shutdown.
bool ShowRun::prepareLayers() {
    const bool ok = stage_->prepare(*compositor_, bar_.get());
    stats_.prepareFailed = !ok;
    glFinish();
    if (ok && !recording_) {
        platform::sleepMs(options_.pauseMs);
    }
    return ok;
}

// A pack is watched through its folder; a data folder as it is.
void ShowRun::openWatch() {
    if (!options_.watch) {
        return;
    }
    namespace fs = std::filesystem;
    const std::string root = vfs::Vfs::packMode()
                                 ? fs::absolute(vfs::Vfs::packPath()).parent_path().string()
                                 : vfs::Vfs::dataDirectory();
    watch_ = platform::FileWatch::open(root);
    if (!watch_) {
        std::fprintf(stderr, "kvx: cannot watch %s; --watch is off\n", root.c_str());
        return;
    }
    // A recording written inside the watched folder is not a change.
    if (recording_) {
        std::error_code ec;
        const fs::path out = fs::weakly_canonical(options_.recordDir, ec);
        const fs::path base = fs::weakly_canonical(root, ec);
        const std::string inside = out.lexically_relative(base).generic_string();
        if (!ec && !inside.empty() && inside.rfind("..", 0) != 0) {
            ignored_ = inside + "/";
        }
    }
}

// Layers first, then the target buffers, the music, the error report, the
// remaining buffers; the window goes with the object.
void ShowRun::shutDown() {
    if (stage_) {
        stage_->releaseLayers();
    }
    if (compositor_) {
        compositor_->destroyTargets();
    }
    if (stage_) {
        stage_->soundtrack().stop();
    }
    if (stats_.prepareFailed) {
        platform::messageBox("kvx", "Error");
        fail("a layer could not be prepared");
    }
    overlay_.reset();
    compositor_.reset();
    stage_.reset();
}

int runShow(const ShowOptions& options, ShowStats* statsOut) {
    ShowStats localStats;
    ShowStats& stats = statsOut != nullptr ? *statsOut : localStats;
    stats = ShowStats{};
    ShowRun run(options, stats);
    return run.play();
}

}  // namespace kvx::shell
