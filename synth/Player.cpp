// Player: loading entry points, message handling, block rendering, the music
// thread's body and the lockstep renderer (see Player.h). The configuration
// reader is in PlayerConfig.cpp.
#include "synth/Player.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "synth/Denormals.h"
#include "synth/MusicThread.h"

namespace kvx::synth {

Player::Player(std::unique_ptr<AudioDevice> device, Mode mode, const core::Clock& clock)
    : device_(std::move(device)), mode_(mode), clock_(&clock) {
    song_.setSink(&sink_);
}

bool Player::loadSong(const char* name) {
    song_.clear();
    songWarnings_.clear();
    const auto bytes = vfs::Vfs::readAll(name);
    return bytes && parseSong(*bytes);
}

bool Player::parseSong(const vfs::Bytes& bytes) {
    const bool ok = song_.parse(bytes.data(), bytes.size());
    checkSong();
    return ok;
}

void Player::play() {
    playing_.store(true, std::memory_order_relaxed);
}

void Player::stop(bool rewind) {
    playing_.store(false, std::memory_order_relaxed);
    if (rewind) {
        // The song belongs to the music thread while it runs: it rewinds
        // there, before its next advance.
        if (running_.load(std::memory_order_acquire)) {
            rewindRequested_.store(true, std::memory_order_release);
        } else {
            song_.rewind();
        }
    }
}

bool Player::loadConfig(const char* name) {
    const auto bytes = vfs::Vfs::readAll(name);
    return bytes && parseConfig(*bytes);
}

bool Player::isPlaying() const {
    return playing_.load(std::memory_order_relaxed);
}

bool Player::hasFinished() const {
    return finished_.load(std::memory_order_acquire);
}

void Player::requestStop() {
    stopRequested_.store(true, std::memory_order_relaxed);
}

void Player::run() {
    finished_.store(false, std::memory_order_relaxed);
    DenormalGuard denormals;
    const int blockFloats = settings_.blockFloats;
    const uint32_t ringSize = static_cast<uint32_t>(blockFloats) * kRingBlocks;
    renderIndex_ = -1;
    // The device counts played bytes in 32 bits, which wrap after hours, and
    // 2^32 is no whole number of rings. Summing the steps between readings
    // keeps the play position continuous; a step backwards is ignored.
    uint64_t played = 0;
    uint32_t lastBytes = 0;
    bool havePosition = false;
    uint32_t last = clock_->now();
    running_.store(true, std::memory_order_release);  // the song's clock has started
    bool wasHeld = false;
    while (!stopRequested_.load(std::memory_order_relaxed)) {
        if (PlayerState* handed = pendingState_.exchange(nullptr, std::memory_order_acq_rel)) {
            const std::unique_ptr<PlayerState> state(handed);
            restoreState(*state);
            dropQueuedAudio();  // it belongs to the time left behind
        }
        const bool held = held_.load(std::memory_order_acquire);
        if (held && !wasHeld) {
            dropQueuedAudio();  // a pause is heard at once, not a ring later
        }
        wasHeld = held;
        // Without an open device there is no position to follow: nothing is
        // rendered, but the song (and so the beat) still advances.
        uint32_t bytes = 0;
        if (accepted_ && device_ && device_->position(bytes)) {
            const uint32_t step = bytes - lastBytes;
            if (!havePosition) {
                played = bytes;
            } else if (step < 0x80000000u) {
                played += step;
            }
            lastBytes = bytes;
            havePosition = true;
            const uint64_t samples = played / 2;
            const int playBlock =
                static_cast<int>((samples % ringSize) / static_cast<uint32_t>(blockFloats));
            while (renderIndex_ != playBlock) {
                renderIndex_ = renderIndex_ + 1 >= kRingBlocks ? 0 : renderIndex_ + 1;
                if (held) {
                    queueSilence(renderIndex_);
                } else {
                    renderBlock(renderIndex_);
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Reading the clock once per round (instead of elapsed, then reset)
        // loses no milliseconds between rounds.
        const uint32_t now = clock_->now();
        if (rewindRequested_.exchange(false, std::memory_order_acquire)) {
            song_.rewind();
        }
        if (playing_.load(std::memory_order_relaxed) && !held) {
            song_.advance(now - last);
        }
        last = now;
    }
    if (device_ && deviceOpen_) {
        device_->reset();
        device_->close();
        deviceOpen_ = false;
    }
    // Release: whoever sees finished (or not running) also sees the device closed.
    running_.store(false, std::memory_order_release);
    finished_.store(true, std::memory_order_release);
}

Player::~Player() {
    delete pendingState_.exchange(nullptr, std::memory_order_acq_rel);
    requestStop();
    // A music thread started on this player ends here, not after it.
    releaseMusicThread(this);
    // Only a music thread that is really inside run() can be waited for;
    // one that never started would otherwise be waited for forever.
    while (running_.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (device_ && deviceOpen_) {
        device_->reset();
        device_->close();
        deviceOpen_ = false;
    }
    muted_.store(true, std::memory_order_relaxed);
    for (MixerChannel& c : mixer_.channels) {
        if (c.instrument != nullptr) {
            c.instrument->allNotesOff();
            c.instrument->silence();
        }
        c.instrument = nullptr;
    }
    instruments_.clear();
    muted_.store(false, std::memory_order_relaxed);
}

void Player::renderBlock(int b) {
    const int n = settings_.blockFloats;
    if (!accepted_ || b < 0 || b >= kRingBlocks) {
        return;
    }
    float* block = block_.data();
    mixer_.render(block, n);
    int16_t* out = ring_.data() + static_cast<size_t>(b) * static_cast<size_t>(n);
    for (int i = 0; i < n; ++i) {
        out[i] = toSample(block[i]);
    }
    if (device_) {
        device_->write(out, static_cast<size_t>(n));
    }
    renderedFrames_.fetch_add(kBlockFrames, std::memory_order_relaxed);
}

void Player::queueSilence(int b) {
    const int n = settings_.blockFloats;
    if (!accepted_ || b < 0 || b >= kRingBlocks) {
        return;
    }
    int16_t* out = ring_.data() + static_cast<size_t>(b) * static_cast<size_t>(n);
    std::fill(out, out + n, int16_t{0});
    if (device_) {
        device_->write(out, static_cast<size_t>(n));
    }
}

void Player::dropQueuedAudio() {
    if (device_ && deviceOpen_) {
        device_->reset();
    }
}

std::unique_ptr<PlayerState> Player::saveState() const {
    auto state = std::make_unique<PlayerState>();
    state->instruments.reserve(instruments_.size());
    for (const auto& instrument : instruments_) {
        state->instruments.push_back(*instrument);
    }
    state->channels = mixer_.channels;
    for (const MixerChannel& c : mixer_.channels) {
        int index = -1;
        for (size_t i = 0; i < instruments_.size(); ++i) {
            if (instruments_[i].get() == c.instrument) {
                index = static_cast<int>(i);
            }
        }
        state->channelInstrument.push_back(index);
    }
    state->history = mixer_.history;
    state->oldHistory = mixer_.oldHistory;
    state->masterLeft = mixer_.masterLeft;
    state->masterRight = mixer_.masterRight;
    state->songPosition = song_.position();
    state->songElapsed = song_.elapsed();
    state->songClock = songClock_;
    state->renderedFrames = renderedFrames();
    return state;
}

bool Player::restoreState(const PlayerState& state) {
    if (state.instruments.size() != instruments_.size() ||
        state.channels.size() != mixer_.channels.size() ||
        state.channelInstrument.size() != state.channels.size()) {
        return false;
    }
    // Assigned in place: the mixer channels keep pointing at the same objects.
    for (size_t i = 0; i < instruments_.size(); ++i) {
        *instruments_[i] = state.instruments[i];
        instruments_[i]->bind(settings_);
    }
    for (size_t c = 0; c < mixer_.channels.size(); ++c) {
        MixerChannel& channel = mixer_.channels[c];
        channel = state.channels[c];
        const int index = state.channelInstrument[c];
        channel.instrument = index >= 0 ? instruments_[static_cast<size_t>(index)].get() : nullptr;
        for (ChannelEffect& e : channel.effects) {
            if (e.effect) {
                e.effect->bind(settings_);
            }
        }
    }
    mixer_.history = state.history;
    mixer_.oldHistory = state.oldHistory;
    mixer_.masterLeft = state.masterLeft;
    mixer_.masterRight = state.masterRight;
    song_.restore(state.songPosition, state.songElapsed);
    songClock_ = state.songClock;
    renderedFrames_.store(state.renderedFrames, std::memory_order_relaxed);
    return true;
}

void Player::requestRestore(std::unique_ptr<PlayerState> state) {
    delete pendingState_.exchange(state.release(), std::memory_order_acq_rel);
}

void Player::replayNoteOns(size_t& cursor, uint32_t untilMs) const {
    // A lockstep song only moves once the clock has passed 0.
    if (untilMs == 0 || noteOnHook_ == nullptr) {
        return;
    }
    const std::vector<SongEvent>& events = song_.events();
    for (; cursor < events.size() && events[cursor].time <= static_cast<int64_t>(untilMs);
         ++cursor) {
        const SongEvent& e = events[cursor];
        if ((e.status & 0xF0) != 0x90) {
            continue;
        }
        for (int i = 0; i < 16; ++i) {
            if (channelMap_[i] == (e.status & 0x0F)) {
                noteOnHook_(i, e.data1);
            }
        }
    }
}

void Player::advanceSongTo(uint32_t ms) {
    if (playing_.load(std::memory_order_relaxed) && ms > songClock_) {
        song_.advance(ms - songClock_);
    }
    songClock_ = std::max(songClock_, ms);
}

void Player::advanceTo(uint32_t ms) {
    DenormalGuard denormals;
    const uint64_t target = static_cast<uint64_t>(ms) * kSampleRate / 1000;
    if (accepted_) {
        while (renderedFrames() + kBlockFrames <= target) {
            advanceSongTo(static_cast<uint32_t>(renderedFrames() * 1000 / kSampleRate));
            renderIndex_ = renderIndex_ + 1 >= kRingBlocks ? 0 : renderIndex_ + 1;
            renderBlock(renderIndex_);
        }
    }
    advanceSongTo(ms);
}

void Player::note(int slot, int noteNumber, int velocity) {
    if (muted_.load(std::memory_order_relaxed) || !channelExists(slot)) {
        return;
    }
    MixerChannel& c = mixer_.channels[slot];
    if (c.instrument == nullptr || noteNumber < c.lowest || noteNumber > c.highest) {
        return;
    }
    if (velocity != 0) {
        c.instrument->noteOn(noteNumber, velocity);
    } else {
        c.instrument->noteOff(noteNumber);
    }
}

void Player::onMessage(const SongEvent& e) {
    const int m = e.status & 0x0F;
    const int kind = e.status & 0xF0;
    if (kind < 0x80 || kind > 0xE0) {
        return;
    }
    for (int i = 0; i < 16; ++i) {
        if (channelMap_[i] != m) {
            continue;
        }
        switch (kind) {
            case 0x80:
                note(i, e.data1, 0);
                break;
            case 0x90:
                note(i, e.data1, e.data2);
                if (noteOnHook_ != nullptr) {
                    noteOnHook_(i, e.data1);
                }
                break;
            case 0xB0:
                if (channelExists(m)) {
                    MixerChannel& c = mixer_.channels[m];
                    if (e.data1 == 1 && c.instrument != nullptr) {
                        c.instrument->wheel = e.data2;
                    } else if (e.data1 == 7) {
                        c.gain = static_cast<float>(e.data2) / 127.0f;
                    }
                }
                break;
            case 0xC0:
                assignInstrument(m, e.data1);
                break;
            case 0xE0:
                if (channelExists(m) && mixer_.channels[m].instrument != nullptr) {
                    mixer_.channels[m].instrument->bend =
                        e.data2 >= 64 ? e.data2 - 64 : e.data2 - 63;
                }
                break;
            default:
                break;
        }
    }
}

int Player::assignInstrument(int channel, int index) {
    Instrument* p = index >= 0 && index < static_cast<int>(instruments_.size())
                        ? instruments_[index].get()
                        : nullptr;
    if (channelExists(channel) && mixer_.channels[channel].instrument != nullptr) {
        mixer_.channels[channel].instrument->channel = -1;
    }
    if (p == nullptr) {
        if (channelExists(channel)) {
            mixer_.channels[channel].instrument = nullptr;
        }
        return -1;
    }
    if (channelExists(p->channel)) {
        mixer_.channels[p->channel].instrument = nullptr;
    }
    p->channel = channel;
    if (channelExists(channel)) {
        MixerChannel& c = mixer_.channels[channel];
        if (c.instrument != nullptr) {
            c.instrument->allNotesOff();
        }
        c.instrument = p;
    }
    return index;
}

}  // namespace kvx::synth
