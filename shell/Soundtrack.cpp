// The synthesizer, live or in lockstep with the frames.
#include "shell/Soundtrack.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "expr/Beat.h"
#include "synth/AudioDevice.h"
#include "synth/MusicThread.h"
#include "synth/Player.h"
#include "synth/WavWriter.h"

namespace kvx::shell {

namespace {

constexpr int kSampleRate = 44100;

Soundtrack::DeviceFactory liveDevice = nullptr;
Soundtrack::RaisePriority raisePriority = nullptr;

}  // namespace

void Soundtrack::setLiveAudio(DeviceFactory factory, RaisePriority raise) {
    liveDevice = factory;
    raisePriority = raise;
}

Soundtrack::Soundtrack(Mode mode, bool keepSamples) : mode_(mode), keep_(keepSamples) {
    if (mode_ == Mode::Lockstep) {
        auto device = std::make_unique<synth::MemoryAudioDevice>();
        memory_ = device.get();
        player_ = std::make_unique<synth::Player>(std::move(device), synth::Player::Mode::Lockstep);
    } else {
        player_ = std::make_unique<synth::Player>(liveDevice != nullptr ? liveDevice() : nullptr);
    }
    player_->setNoteOnHook(&expr::detectBeat);
}

Soundtrack::~Soundtrack() {
    stop();
}

bool Soundtrack::load(const core::String& config, const core::String& song) {
    configName_ = config;
    songName_ = song;
    // The bytes are kept: a seek's players must be loaded from the same.
    config_ = vfs::Vfs::readAll(config.text()).value_or(vfs::Bytes{});
    music_ = !config_.empty() && player_->parseConfig(config_);
    if (music_) {
        song_ = vfs::Vfs::readAll(song.text()).value_or(vfs::Bytes{});
        if (!song_.empty()) {
            player_->parseSong(song_);
        }
        // The show plays on regardless; these lines say why parts are silent.
        for (const std::string& line : player_->warnings()) {
            std::fprintf(stderr, "kvx: synth: %s\n", line.c_str());
        }
        if (mode_ == Mode::Live) {
            thread_ = synth::startMusicThread(player_.get(), raisePriority);
        }
    }
    return music_;
}

void Soundtrack::enableSeeking(FrameStep step, uint32_t endMs) {
    if (!music_ || (timeline_ && timeline_->step().fps == step.fps)) {
        return;
    }
    timeline_ = std::make_unique<SoundTimeline>(config_, song_, step, endMs);
}

void Soundtrack::seek(FrameStep step, uint64_t frame) {
    if (!music_ || !player_) {
        return;
    }
    enableSeeking(step, step.time(frame));
    std::unique_ptr<synth::PlayerState> state = timeline_->stateBefore(frame);
    if (!state) {
        return;
    }
    if (mode_ == Mode::Live) {
        player_->requestRestore(std::move(state));
        return;
    }
    player_->restoreState(*state);
    // What the device held belongs to the time left behind.
    memory_->take();
    firstFrame_ = player_->renderedFrames();
}

void Soundtrack::replayBeats(uint32_t ms) {
    if (music_ && player_) {
        player_->replayNoteOns(beatCursor_, ms);
    }
}

void Soundtrack::setPaused(bool paused) {
    if (mode_ == Mode::Live && player_ && music_) {
        player_->setHeld(paused);
    }
}

void Soundtrack::play() {
    if (player_) {
        player_->play();
    }
}

void Soundtrack::advanceTo(uint32_t ms) {
    if (mode_ != Mode::Lockstep || !player_ || !music_) {
        return;
    }
    player_->advanceTo(ms);
    if (!keep_) {
        memory_->take();  // headless: nobody listens
    }
}

bool Soundtrack::writeWav(const std::string& path, uint32_t startMs, uint32_t endMs,
                          std::string* error) {
    const auto frameOf = [](uint32_t ms) {
        return static_cast<uint64_t>(ms) * static_cast<uint64_t>(kSampleRate) / 1000u;
    };
    const uint64_t first = frameOf(startMs);
    const uint64_t frames = endMs > startMs ? frameOf(endMs) - first : 0;
    std::vector<int16_t> samples;
    int channels = 1;
    uint64_t held = first;  // sample frame of samples[0]
    if (mode_ == Mode::Lockstep && player_ && music_) {
        player_->advanceTo(endMs);
        channels = memory_->stereo() ? 2 : 1;
        samples = memory_->take();
        held = firstFrame_;
    }
    const auto perFrame = static_cast<size_t>(channels);
    // The device may hold samples from before the start (the block a seek
    // landed in): drop them. Whole blocks overshoot or undershoot the end a
    // little: cut or pad to the exact length.
    if (held < first) {
        const size_t drop = std::min(samples.size(), static_cast<size_t>(first - held) * perFrame);
        samples.erase(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(drop));
    } else if (held > first) {
        samples.insert(samples.begin(), static_cast<size_t>(held - first) * perFrame, 0);
    }
    samples.resize(static_cast<size_t>(frames) * perFrame, 0);
    const vfs::Bytes bytes = synth::makeWav(samples, kSampleRate, channels);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        if (error != nullptr) {
            *error = path + ": cannot write";
        }
        return false;
    }
    return true;
}

void Soundtrack::stop() {
    timeline_.reset();
    if (!player_) {
        return;
    }
    if (thread_) {
        synth::stopMusicThread(player_.get());
        while (!player_->hasFinished()) {
            // stopMusicThread joins the thread, so this ends at once.
        }
        thread_ = false;
    }
    player_.reset();
    memory_ = nullptr;
}

}  // namespace kvx::shell
