// The in-memory audio device (see AudioDevice.h).
#include "synth/AudioDevice.h"

namespace kvx::synth {

bool MemoryAudioDevice::open(int sampleRate, bool stereo) {
    if (failOpen_) {
        return false;
    }
    rate_ = sampleRate;
    stereo_ = stereo;
    open_ = true;
    samples_.clear();
    taken_ = 0;
    openTime_ = clock_ != nullptr ? clock_->now() : 0;
    return true;
}

void MemoryAudioDevice::write(const int16_t* samples, size_t count) {
    if (open_) {
        samples_.insert(samples_.end(), samples, samples + count);
    }
}

bool MemoryAudioDevice::position(uint32_t& bytes) {
    if (!open_) {
        return false;
    }
    const uint64_t queued = (taken_ + samples_.size()) * 2;
    if (clock_ == nullptr) {
        bytes = static_cast<uint32_t>(queued);
        return true;
    }
    const uint64_t ms = static_cast<uint32_t>(clock_->now() - openTime_);
    const uint64_t frameBytes = stereo_ ? 4 : 2;
    const uint64_t played = ms * static_cast<uint64_t>(rate_) / 1000 * frameBytes;
    bytes = static_cast<uint32_t>(played < queued ? played : queued);
    return true;
}

void MemoryAudioDevice::reset() {}

std::vector<int16_t> MemoryAudioDevice::take() {
    taken_ += samples_.size();
    std::vector<int16_t> out;
    out.swap(samples_);
    return out;
}

}  // namespace kvx::synth
