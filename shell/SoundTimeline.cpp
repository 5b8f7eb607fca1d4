// The rehearsal, its checkpoints and the short catch-up of a seek.
#include "shell/SoundTimeline.h"

#include <chrono>

#include "synth/AudioDevice.h"
#include "synth/Player.h"

namespace kvx::shell {

SoundTimeline::SoundTimeline(const vfs::Bytes& config, const vfs::Bytes& song, FrameStep step,
                             uint32_t endMs)
    : step_(step) {
    rehearsal_ = makePlayer(config, song);
    seeker_ = makePlayer(config, song);
    if (!rehearsal_ || !seeker_) {
        failed_ = true;
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        return;
    }
    initial_ = rehearsal_->saveState();
    thread_ = std::thread([this, endMs] { rehearse(endMs); });
}

SoundTimeline::~SoundTimeline() {
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::unique_ptr<synth::Player> SoundTimeline::makePlayer(const vfs::Bytes& config,
                                                         const vfs::Bytes& song) {
    // Silent and as fast as the CPU allows: the device keeps nothing.
    auto player = std::make_unique<synth::Player>(std::make_unique<synth::NullAudioDevice>(),
                                                  synth::Player::Mode::Lockstep);
    if (!player->parseConfig(config) || !player->headAccepted()) {
        return nullptr;
    }
    player->parseSong(song);
    player->play();
    return player;
}

void SoundTimeline::rehearse(uint32_t endMs) {
    uint32_t next = 0;  // song time of the next checkpoint
    for (uint64_t k = 0; !stop_.load(std::memory_order_relaxed); ++k) {
        const uint32_t t = step_.time(k);
        rehearsal_->advanceTo(t);
        const bool last = t >= endMs;
        std::shared_ptr<const synth::PlayerState> checkpoint;
        if (t >= next || last) {
            checkpoint = rehearsal_->saveState();
            next = t + kInterval;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (checkpoint) {
                checkpoints_[k] = std::move(checkpoint);
            }
            reached_ = k + 1;
            done_ = last;
        }
        if (checkpoint || last) {
            progress_.notify_all();
        }
        if (last) {
            return;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    progress_.notify_all();
}

std::shared_ptr<const synth::PlayerState> SoundTimeline::checkpointAtOrBefore(uint64_t frame,
                                                                              uint64_t& taken) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Checkpoints come every kInterval of song, so the one a seek uses is
    // final once the rehearsal has passed the frame.
    progress_.wait(lock, [&] { return done_ || reached_ > frame; });
    auto it = checkpoints_.upper_bound(frame);
    if (it == checkpoints_.begin()) {
        return nullptr;
    }
    --it;
    taken = it->first;
    return it->second;
}

std::unique_ptr<synth::PlayerState> SoundTimeline::stateBefore(uint64_t frame) {
    if (failed_) {
        return nullptr;
    }
    if (frame == 0) {
        return std::make_unique<synth::PlayerState>(*initial_);
    }
    const uint64_t target = frame - 1;
    uint64_t taken = 0;
    const auto checkpoint = checkpointAtOrBefore(target, taken);
    uint64_t k = 0;
    if (checkpoint && seeker_->restoreState(*checkpoint)) {
        k = taken + 1;
    } else {
        seeker_->restoreState(*initial_);
    }
    for (; k <= target; ++k) {
        seeker_->advanceTo(step_.time(k));
    }
    return seeker_->saveState();
}

void SoundTimeline::waitRehearsed() {
    std::unique_lock<std::mutex> lock(mutex_);
    progress_.wait(lock, [&] { return done_; });
}

size_t SoundTimeline::checkpointCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return checkpoints_.size();
}

}  // namespace kvx::shell
