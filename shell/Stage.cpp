// The show's content, its frames, seeks and reloads (see Stage.h).
#include "shell/Stage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/Globals.h"
#include "expr/Beat.h"

namespace kvx::shell {

namespace {

// The song of a show plays on for a second past its duration: the last
// frame drawn is the first one past the end.
constexpr uint32_t kRehearseBeyond = 1000;

// A file name as the data folder's watch reports it: '/' between parts,
// and any letter case (the Vfs matches names ignoring case).
std::string normalName(std::string name) {
    for (char& c : name) {
        c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

}  // namespace

Stage::Stage(const Options& options) : options_(options) {
    soundtrack_ = std::make_unique<Soundtrack>(options.soundMode, options.keepSamples);
}

Stage::~Stage() {
    releaseLayers();
    soundtrack_->stop();
}

uint32_t Stage::duration() const {
    return demo_ ? static_cast<uint32_t>(demo_->duration()) : 0u;
}

bool Stage::loadScript(script::LoadProgress* progress) {
    demo_ = std::make_unique<script::Demo>(options_.scriptName);
    return buildLayers(progress);
}

bool Stage::buildLayers(script::LoadProgress* progress) {
    int count = 0;
    auto built = demo_->buildLayers(count, progress);
    if (!built) {
        diagnostic_ = demo_->diagnostic() ? std::string(demo_->diagnostic()->text.text())
                                          : std::string("the script cannot be read or parsed");
        return false;
    }
    layers_ = std::move(*built);
    layerCount_ = count;
    return true;
}

void Stage::loadSoundtrack() {
    soundtrack_->load(demo_->soundConfig(), demo_->soundtrack());
}

bool Stage::prepare(Compositor& compositor, script::LoadProgress* progress) {
    return prepareLayers(compositor, progress);
}

// Every layer is prepared, also after one has failed.
bool Stage::prepareLayers(Compositor& compositor, script::LoadProgress* progress) {
    const float aspect = core::globals().aspectRatio.load(std::memory_order_relaxed);
    bool ok = true;
    for (auto& layer : layers_) {
        if (layer) {
            ok = compositor.initLayer(*layer, aspect) && ok;
            if (progress != nullptr) {
                progress->step();
            }
        }
    }
    return ok;
}

void Stage::releaseLayers() {
    for (auto& layer : layers_) {
        if (layer) {
            layer->release();
        }
    }
    layers_.clear();
    layerCount_ = 0;
}

void Stage::enableSeeking() {
    seeking_ = true;
    soundtrack_->enableSeeking(options_.step, duration() + kRehearseBeyond);
}

void Stage::play() {
    playing_ = true;
    soundtrack_->play();
}

void Stage::setPaused(bool paused) {
    paused_ = paused;
    soundtrack_->setPaused(paused);
}

int Stage::drawFrame(Compositor& compositor, uint32_t time, uint32_t dt, bool swap) {
    expr::decayBeatPulse(dt);
    // Lockstep: the notes due by this frame fire their beats now.
    soundtrack_->advanceTo(time);
    return compositor.renderFrame(layers_, time, dt, swap);
}

// Frames 0 .. frames - 1 of the step, as a straight run plays them, without
// drawing and without sound.
void Stage::replay(uint64_t frames) {
    core::Globals& g = core::globals();
    g.beatPulse.store(0.0f, std::memory_order_relaxed);
    g.beatCount.store(0, std::memory_order_relaxed);
    soundtrack_->rewindBeats();
    const FrameStep& step = options_.step;
    for (uint64_t k = 0; k < frames; ++k) {
        const uint32_t time = step.time(k);
        const uint32_t dt = step.step(k);
        expr::decayBeatPulse(dt);
        soundtrack_->replayBeats(time);
        for (auto& layer : layers_) {
            if (layer && layer->isActiveAt(time)) {
                Compositor::advanceLayer(*layer, dt);
            }
        }
    }
}

void Stage::seek(Compositor& compositor, uint64_t frame) {
    frame = std::min(frame, lastFrame());
    // A live player stands still meanwhile, so that no beat of its own
    // lands among the replayed ones.
    soundtrack_->setPaused(true);
    releaseLayers();
    if (buildLayers(nullptr)) {
        const float aspect = core::globals().aspectRatio.load(std::memory_order_relaxed);
        for (auto& layer : layers_) {
            if (layer && !compositor.initLayer(*layer, aspect)) {
                // Mid-show, a layer that cannot be prepared is left out alone.
                std::fprintf(stderr, "kvx: a %s layer could not be prepared; it is left out\n",
                             layer->description.type.text());
                layer->release();
                layer.reset();
                --layerCount_;
            }
        }
    }
    replay(frame);
    soundtrack_->seek(options_.step, frame);
    soundtrack_->setPaused(paused_);
}

bool Stage::musicChanged(const std::vector<std::string>& changed, bool allChanged) const {
    if (allChanged) {
        return true;
    }
    const std::string config = normalName(demo_->soundConfig().text());
    const std::string song = normalName(demo_->soundtrack().text());
    if (config != normalName(soundtrack_->configName().text()) ||
        song != normalName(soundtrack_->songName().text())) {
        return true;  // the script names other files
    }
    return std::any_of(changed.begin(), changed.end(), [&](const std::string& name) {
        const std::string n = normalName(name);
        return n == config || n == song;
    });
}

void Stage::reloadSoundtrack() {
    soundtrack_->stop();  // one music thread at a time
    soundtrack_ = std::make_unique<Soundtrack>(options_.soundMode, options_.keepSamples);
    loadSoundtrack();
    if (seeking_) {
        enableSeeking();
    }
    if (playing_) {
        soundtrack_->play();
    }
    soundtrack_->setPaused(paused_);
}

Stage::Reload Stage::reload(Compositor& compositor, const std::vector<std::string>& changed,
                            uint64_t frame, bool allChanged) {
    // The new script starts from the defaults of the settings it may leave
    // out; a script that fails keeps the old ones.
    core::Globals& g = core::globals();
    const float beatEvent = g.beatEvent.load(std::memory_order_relaxed);
    const float falloff = g.beatFalloff.load(std::memory_order_relaxed);
    const core::Globals defaults;
    g.beatEvent.store(defaults.beatEvent.load(), std::memory_order_relaxed);
    g.beatFalloff.store(defaults.beatFalloff.load(), std::memory_order_relaxed);
    auto fresh = std::make_unique<script::Demo>(options_.scriptName);
    if (!fresh->parse()) {
        g.beatEvent.store(beatEvent, std::memory_order_relaxed);
        g.beatFalloff.store(falloff, std::memory_order_relaxed);
        diagnostic_ = fresh->diagnostic() ? std::string(fresh->diagnostic()->text.text())
                                          : std::string("the script cannot be read or parsed");
        return Reload::Failed;
    }
    std::swap(demo_, fresh);
    diagnostic_.clear();
    if (musicChanged(changed, allChanged)) {
        reloadSoundtrack();
    }
    seek(compositor, frame);
    return Reload::Taken;
}

}  // namespace kvx::shell
