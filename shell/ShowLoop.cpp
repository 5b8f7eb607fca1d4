// The frame loops of the show: the recorder's, on the frame step, and the
// live one, on a clock steered by the transport keys; seeks, reloads under
// watch and the overlays (see Show.h, ShowRun.h).
#include <GL/gl.h>

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <filesystem>

#include "core/Globals.h"
#include "layers/LayerFactory.h"
#include "platform/video/Video.h"
#include "shell/PngWriter.h"
#include "shell/ShowRun.h"
#include "vfs/Vfs.h"

namespace kvx::shell {

namespace {

using Clock = ShowRun::Clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
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

std::string seconds(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u s", ms / 1000u, ms % 1000u);
    return text;
}

}  // namespace

void ShowRun::frameLoop() {
    stage_->play();
    loopStart_ = Clock::now();
    frameStart_ = loopStart_;
    rateStart_ = loopStart_;
    if (recording_) {
        recordLoop();
    } else {
        liveLoop();
    }
    stats_.wallMs = msSince(loopStart_);
    stats_.averageFrameMs =
        stats_.frames != 0 ? stats_.wallMs / static_cast<double>(stats_.frames) : 0.0;
    finishRecording();
    checkScreenshot();
}

// Escape, the end of the show and the frame limit; a frame whose time equals
// the duration is still drawn.
bool ShowRun::leaving() {
    if (status_ != 0 || screenshotWritten_) {
        return true;
    }
    if (platform::escapePressed()) {
        stats_.escaped = true;
        return true;
    }
    return previous_ > stage_->duration() ||
           (options_.maxFrames != 0 && stats_.frames >= options_.maxFrames);
}

// Frame k at k * 1000 / fps ms, however long it takes to draw. A recording
// started later starts at the frame of the step that a seek lands on.
void ShowRun::recordLoop() {
    uint64_t k = 0;
    if (options_.startAt > 0) {
        seek(step_.frameAt(options_.startAt));
        k = std::min(step_.frameAt(options_.startAt), stage_->lastFrame());
    }
    startFrame_ = k;
    startTime_ = step_.time(k);
    Progress progress(options_.progress);
    while (!leaving()) {
        platform::pumpOneMessage();
        reloadIfChanged(k);
        showFrame(step_.time(k), step_.step(k), false);
        progress.update(previous_, stage_->duration(), stats_.frames);
        ++k;
    }
}

// Show time from the clock, steered by the keys. After a seek or reload the
// next frame is the one of the step the show landed on, with the step's dt,
// and the clock goes on from there.
void ShowRun::liveLoop() {
    const core::Clock& clock = options_.clock != nullptr ? *options_.clock : core::Clock::system();
    Transport transport(stage_->duration(), clock.now());
    transport.setOverlay(overlayOn_);
    transport_ = &transport;
    // The frame of the step the next picture shows after a seek or reload.
    bool landed = false;
    uint64_t landing = 0;
    if (options_.startAt > 0) {
        landing = std::min(step_.frameAt(options_.startAt), stage_->lastFrame());
        landed = true;
        seek(landing);
    }
    Progress progress(options_.progress);
    while (!leaving()) {
        platform::pumpOneMessage();
        const uint32_t now = clock.now();
        handleKeys(transport, now);
        if (reloadIfChanged(step_.frameAt(previous_))) {
            landing = std::min(step_.frameAt(previous_), stage_->lastFrame());
            landed = true;
        }
        if (const auto target = transport.takeSeek()) {
            landing = std::min(step_.frameAt(*target), stage_->lastFrame());
            landed = true;
            seek(landing);
        }
        if (landed) {
            const uint32_t time = step_.time(landing);
            transport.jump(time, now);
            showFrame(time, step_.step(landing), false);
            landed = false;
        } else if (transport.paused()) {
            showFrame(previous_, 0, true);
            platform::sleepMs(options_.clock != nullptr ? 0 : 5);  // no need to spin
        } else {
            // No time passed (a fast frame, or the resume of a pause): the
            // picture is shown again rather than stepped by 0.
            const uint32_t time = transport.time(now);
            const bool again = time == previous_ && stats_.frames > 0;
            showFrame(time, time - previous_, again);
        }
        transport.frameShown(previous_);
        progress.update(previous_, stage_->duration(), stats_.frames);
    }
    transport_ = nullptr;
}

void ShowRun::handleKeys(Transport& transport, uint32_t now) {
    platform::KeyPress press;
    while (platform::takeKeyPress(press)) {
        const bool wasPaused = transport.paused();
        transport.press(press, previous_, now);
        if (transport.paused() != wasPaused) {
            stage_->setPaused(transport.paused());
        }
        overlayOn_ = transport.overlay();
    }
}

bool ShowRun::reloadIfChanged(uint64_t frame) {
    if (!watch_) {
        return false;
    }
    std::vector<std::string> changed = watch_->changes();
    if (!ignored_.empty()) {
        changed.erase(std::remove_if(changed.begin(), changed.end(),
                                     [this](const std::string& name) {
                                         return (name + "/").rfind(ignored_, 0) == 0;
                                     }),
                      changed.end());
    }
    bool all = false;
    if (vfs::Vfs::packMode()) {
        // Only the pack matters; written anew, anything in it may differ.
        const std::string pack = std::filesystem::path(vfs::Vfs::packPath()).filename().string();
        if (std::find(changed.begin(), changed.end(), pack) == changed.end()) {
            return false;
        }
        vfs::Vfs::init(vfs::Vfs::packPath().c_str());
        all = true;
    }
    if (changed.empty()) {
        return false;
    }
    const Clock::time_point t0 = Clock::now();
    if (stage_->reload(*compositor_, changed, frame, all) == Stage::Reload::Failed) {
        ++stats_.failedReloads;
        std::fprintf(stderr, "%s\n", stage_->diagnostic().c_str());
        return false;
    }
    ++stats_.reloads;
    stats_.layers = stage_->layerCount();
    stats_.lastSeekMs = msSince(t0);
    return true;
}

void ShowRun::seek(uint64_t frame) {
    const Clock::time_point t0 = Clock::now();
    stage_->seek(*compositor_, frame);
    stats_.lastSeekMs = msSince(t0);
    stats_.worstSeekMs = std::max(stats_.worstSeekMs, stats_.lastSeekMs);
    ++stats_.seeks;
}

void ShowRun::showFrame(uint32_t time, uint32_t dt, bool again) {
    const bool paused = transport_ != nullptr && transport_->paused();
    const bool capture = recording_ || (!again && screenshotDue(time));
    if (again) {
        // The accumulation buffer still holds the frame last composed.
        compositor_->present(false);
    } else {
        stage_->drawFrame(*compositor_, time, dt, false);
        countDrawnTypes(time);
    }
    drawOverlays(time, paused);
    if (options_.onFrame) {
        FrameInfo info;
        info.index = stats_.frames;
        info.time = time;
        info.dt = again ? 0 : dt;
        info.again = again;
        info.paused = paused;
        info.overlay = overlayOn_;
        info.errorShown = !stage_->diagnostic().empty();
        info.seeks = stats_.seeks;
        info.reloads = stats_.reloads;
        info.failedReloads = stats_.failedReloads;
        options_.onFrame(info);
    }
    if (capture) {
        captureFrame();
    }
    window_->swap();
    countFrame(time);
}

void ShowRun::countFrame(uint32_t time) {
    if (stats_.frames == 0) {
        stats_.startupMs = msSince(entry_) - (recording_ ? 0.0 : options_.pauseMs);
    }
    const Clock::time_point now = Clock::now();
    stats_.worstFrameMs = std::max(
        stats_.worstFrameMs, std::chrono::duration<double, std::milli>(now - frameStart_).count());
    frameStart_ = now;
    ++rateFrames_;
    const double window = std::chrono::duration<double, std::milli>(now - rateStart_).count();
    if (window >= 500.0) {
        rate_ = rateFrames_ * 1000.0 / window;
        rateFrames_ = 0;
        rateStart_ = now;
    }
    ++stats_.frames;
    stats_.showTime = time;
    previous_ = time;
}

// Counts the frame for every type that has a layer drawn in it (the layers
// active at this time). Layers may be built anew by a seek or a reload, so
// their types are looked up here rather than kept.
void ShowRun::countDrawnTypes(uint32_t time) {
    std::bitset<layers::LayerFactory::kTypeCount> drawn;
    for (const auto& layer : stage_->layers()) {
        if (layer && layer->isActiveAt(time)) {
            const int type = layers::LayerFactory::typeIndex(layer->description.type);
            if (type >= 0) {
                drawn.set(static_cast<size_t>(type));
            }
        }
    }
    for (size_t t = 0; t < drawn.size(); ++t) {
        stats_.typeFrames[t] += drawn[t] ? 1 : 0;
    }
}

std::vector<std::string> ShowRun::infoLines(uint32_t time, bool paused) const {
    const core::Globals& g = core::globals();
    std::vector<std::string> lines;
    lines.push_back("time   " + seconds(time) + " of " + seconds(stage_->duration()) +
                    (paused ? "  (paused)" : ""));
    char text[96];
    std::snprintf(text, sizeof text, "beat   %.2f  count %d",
                  static_cast<double>(g.beatPulse.load(std::memory_order_relaxed)),
                  g.beatCount.load(std::memory_order_relaxed));
    lines.emplace_back(text);
    std::snprintf(text, sizeof text, "rate   %.1f fps", rate_);
    lines.emplace_back(text);
    if (transport_ != nullptr && (transport_->loopStart() || transport_->loopEnd())) {
        const auto a = transport_->loopStart();
        const auto b = transport_->loopEnd();
        lines.push_back("loop   " + (a ? seconds(*a) : std::string("?")) + " .. " +
                        (b ? seconds(*b) : std::string("?")));
    }
    std::string names;
    for (const auto& layer : stage_->layers()) {
        if (layer && layer->isActiveAt(time)) {
            names += (names.empty() ? "" : ", ") + std::string(layer->description.type.text());
        }
    }
    lines.push_back("layers " + (names.empty() ? std::string("(none)") : names));
    return lines;
}

void ShowRun::drawOverlays(uint32_t time, bool paused) {
    const bool error = !stage_->diagnostic().empty();
    if (!overlayOn_ && !error) {
        return;
    }
    if (!overlay_) {
        overlay_ = std::make_unique<Overlay>(Overlay::pixelsFor(window_->height()));
    }
    window_->makeCurrent();
    if (overlayOn_) {
        overlay_->drawInfo(infoLines(time, paused), window_->width(), window_->height());
    }
    if (error) {
        overlay_->drawError(stage_->diagnostic(), window_->width(), window_->height());
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

// The soundtrack of a recording covers exactly the frames written: from the
// frame it started at to the one after the last.
void ShowRun::finishRecording() {
    if (!recording_ || status_ != 0) {
        return;
    }
    const uint32_t end = step_.time(startFrame_ + stats_.frames);
    const std::string wav = (std::filesystem::path(options_.recordDir) / "soundtrack.wav").string();
    std::string error;
    if (!stage_->soundtrack().writeWav(wav, startTime_, end, &error)) {
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

}  // namespace kvx::shell
