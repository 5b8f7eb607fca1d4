// Start-up, frame loop and shutdown of the show.
#include "shell/Show.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
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

namespace {

// One run of the show, phase by phase. Every failure goes through fail(),
// which records the reason, says it on stderr and sets the exit status; a
// phase that fails returns false and the later phases are skipped, while
// the objects already made are torn down in reverse order of creation.
class ShowRun {
  public:
    ShowRun(const ShowOptions& options, ShowStats& stats)
        : options_(options),
          stats_(stats),
          recording_(!options.recordDir.empty()),
          lockstep_(recording_ || options.headless),
          settings_(options.settings) {}

    int play();

  private:
    // Start-up.
    bool checkOptions();
    bool chooseSettings();
    bool openWindow();
    bool loadScript();
    void loadSoundtrack();
    bool makeBuffers();
    bool prepareLayers();
    // The show.
    void frameLoop();
    void drawFrame(uint32_t time, uint32_t dt);
    bool captureFrame();
    void finishRecording();
    void checkScreenshot();
    // Shutdown.
    void shutDown();

    bool fail(const std::string& reason);
    bool screenshotDue(uint32_t time) const {
        return !options_.screenshot.empty() && !recording_ && time >= options_.screenshotAt;
    }

    const ShowOptions& options_;
    ShowStats& stats_;
    const bool recording_;
    const bool lockstep_;
    int status_ = 0;
    bool screenshotWritten_ = false;
    launcher::LaunchSettings settings_;
    Clock::time_point entry_ = Clock::now();
    // In order of creation.
    std::unique_ptr<GlWindow> window_;
    std::unique_ptr<LoadingBar> bar_;
    std::unique_ptr<script::Demo> demo_;
    std::vector<std::unique_ptr<layers::Layer>> layers_;
    uint32_t duration_ = 0;
    core::ManualClock virtualClock_;  // the show clock of a recording
    std::unique_ptr<Soundtrack> soundtrack_;
    std::unique_ptr<Compositor> compositor_;
    std::vector<uint8_t> pixels_;  // a frame read back for a PNG
};

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
        return status_;
    }
    loadSoundtrack();
    if (makeBuffers() && prepareLayers()) {
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
    demo_ = std::make_unique<script::Demo>(options_.scriptName);
    int count = 0;
    auto built = demo_->buildLayers(count, bar_.get());
    if (!built) {
        if (demo_->diagnostic()) {
            std::fprintf(stderr, "%s\n", demo_->diagnostic()->text.text());
        }
        platform::messageBox("kvx", "Error!");
        return fail("the script cannot be read or parsed");
    }
    layers_ = std::move(*built);
    stats_.layers = count;
    duration_ = static_cast<uint32_t>(demo_->duration());
    return true;
}

// A soundtrack that cannot be loaded leaves the show silent.
void ShowRun::loadSoundtrack() {
    soundtrack_ = std::make_unique<Soundtrack>(
        lockstep_ ? Soundtrack::Mode::Lockstep : Soundtrack::Mode::Live, recording_);
    soundtrack_->load(demo_->soundConfig(), demo_->soundtrack());
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
    const float aspect = core::globals().aspectRatio.load(std::memory_order_relaxed);
    bool ok = true;
    for (auto& layer : layers_) {
        if (layer) {
            ok = compositor_->initLayer(*layer, aspect) && ok;
            bar_->step();
        }
    }
    stats_.prepareFailed = !ok;
    glFinish();
    if (ok && !recording_) {
        platform::sleepMs(options_.pauseMs);
    }
    return ok;
}

void ShowRun::frameLoop() {
    const core::Clock& clock =
        recording_ ? static_cast<const core::Clock&>(virtualClock_) : core::Clock::system();
    core::Timer deltaClock(clock);
    core::Timer showClock(clock);
    soundtrack_->play();
    showClock.reset();

    Progress progress(options_.progress);
    const Clock::time_point loopStart = Clock::now();
    Clock::time_point frameStart = loopStart;
    uint32_t previous = 0;
    bool done = false;
    while (!done) {
        if (platform::escapePressed()) {
            stats_.escaped = true;
            break;
        }
        // A frame whose time equals the duration is still drawn.
        if (previous > duration_ ||
            (options_.maxFrames != 0 && stats_.frames >= options_.maxFrames)) {
            break;
        }
        platform::pumpOneMessage();
        if (recording_) {
            virtualClock_.set(recordTime(stats_.frames, options_.fps));
        }
        const uint32_t time = showClock.elapsed();
        const uint32_t dt = deltaClock.elapsed();
        deltaClock.reset();
        drawFrame(time, dt);
        done = status_ != 0 || screenshotWritten_;

        if (stats_.frames == 0) {
            stats_.startupMs = msSince(entry_) - (recording_ ? 0.0 : options_.pauseMs);
        }
        const Clock::time_point now = Clock::now();
        stats_.worstFrameMs =
            std::max(stats_.worstFrameMs,
                     std::chrono::duration<double, std::milli>(now - frameStart).count());
        frameStart = now;
        ++stats_.frames;
        stats_.showTime = time;
        previous = time;
        progress.update(time, duration_, stats_.frames);
    }
    stats_.wallMs = msSince(loopStart);
    stats_.averageFrameMs =
        stats_.frames != 0 ? stats_.wallMs / static_cast<double>(stats_.frames) : 0.0;
    finishRecording();
    checkScreenshot();
}

void ShowRun::drawFrame(uint32_t time, uint32_t dt) {
    expr::decayBeatPulse(dt);
    // Lockstep: the notes due by this frame fire their beats now.
    soundtrack_->advanceTo(time);
    const bool capture = recording_ || screenshotDue(time);
    compositor_->renderFrame(layers_, time, dt, !capture);
    if (capture) {
        captureFrame();
        window_->swap();
    }
}

// Writes the frame just drawn (still in the window's back buffer) as PNG.
bool ShowRun::captureFrame() {
    readFrame(window_->width(), window_->height(), pixels_);
    std::string path = options_.screenshot;
    if (recording_) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05llu.png",
                      static_cast<unsigned long long>(stats_.frames));
        path = (std::filesystem::path(options_.recordDir) / name).string();
    }
    std::string error;
    if (!writePng(path, pixels_.data(), window_->width(), window_->height(), 3, &error)) {
        return fail(error);
    }
    screenshotWritten_ = !recording_;
    return true;
}

// The soundtrack of a recording covers exactly the frames written.
void ShowRun::finishRecording() {
    if (!recording_ || status_ != 0) {
        return;
    }
    const uint32_t end = recordTime(stats_.frames, options_.fps);
    const std::string wav = (std::filesystem::path(options_.recordDir) / "soundtrack.wav").string();
    std::string error;
    if (!soundtrack_->writeWav(wav, end, &error)) {
        fail(error);
    }
}

// A screenshot asked for and never taken is a failure, not a quiet success.
void ShowRun::checkScreenshot() {
    if (options_.screenshot.empty() || recording_ || screenshotWritten_ || status_ != 0) {
        return;
    }
    char reason[160];
    const char* how = stats_.escaped ? "was left" : "ended";
    std::snprintf(reason, sizeof reason,
                  "no screenshot: the show %s at %u ms, before the screenshot time %u ms", how,
                  stats_.showTime, options_.screenshotAt);
    fail(reason);
}

// Layers first, then the target buffers, the music, the error report, the
// remaining buffers; the script and the window go with the object.
void ShowRun::shutDown() {
    for (auto& layer : layers_) {
        if (layer) {
            layer->release();
        }
    }
    layers_.clear();
    if (compositor_) {
        compositor_->destroyTargets();
    }
    soundtrack_->stop();
    if (stats_.prepareFailed) {
        platform::messageBox("kvx", "Error");
        fail("a layer could not be prepared");
    }
    compositor_.reset();
    soundtrack_.reset();
    demo_.reset();
}

}  // namespace

int runShow(const ShowOptions& options, ShowStats* statsOut) {
    ShowStats localStats;
    ShowStats& stats = statsOut != nullptr ? *statsOut : localStats;
    stats = ShowStats{};
    ShowRun run(options, stats);
    return run.play();
}

}  // namespace kvx::shell
