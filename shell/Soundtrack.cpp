// The synthesizer, live or in lockstep with the frames.
#include "shell/Soundtrack.h"

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
    music_ = player_->loadConfig(config.text());
    if (music_) {
        player_->loadSong(song.text());
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

bool Soundtrack::writeWav(const std::string& path, uint32_t endMs, std::string* error) {
    std::vector<int16_t> samples;
    int channels = 1;
    if (mode_ == Mode::Lockstep && player_ && music_) {
        player_->advanceTo(endMs);
        channels = memory_->stereo() ? 2 : 1;
        samples = memory_->take();
    }
    // Whole blocks overshoot or undershoot the end a little: cut or pad to
    // the exact length.
    const size_t frames = static_cast<size_t>(static_cast<uint64_t>(endMs) * kSampleRate / 1000u);
    samples.resize(frames * static_cast<size_t>(channels), 0);
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
