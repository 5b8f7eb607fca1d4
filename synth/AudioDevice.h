// AudioDevice: where the player's 16-bit samples go.
//
// The device works as a queue. The player opens it at 44100 Hz, mono or
// stereo, queues the silent ring of 20 blocks at once, and afterwards queues
// one block each time the device has played one, so about 20 blocks are
// always waiting. position() is the number of bytes the device has played
// (consumed from the queue) since it was opened, modulo 2^32; the player
// derives its "play block" from it.
//
// Implementations: the SDL2 queue device (platform/audio) and MemoryAudioDevice
// below, which keeps everything it is given, for offline renders and tests.
//
// Threads: open/close on the main thread before the music thread starts and
// after it finished; write/position/reset on the music thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Timer.h"

namespace kvx::synth {

class AudioDevice {
  public:
    virtual ~AudioDevice() = default;
    // False when the device cannot be opened in that format.
    virtual bool open(int sampleRate, bool stereo) = 0;
    // Queues count interleaved 16-bit samples.
    virtual void write(const int16_t* samples, size_t count) = 0;
    // Bytes played so far; false when there is no open device.
    virtual bool position(uint32_t& bytes) = 0;
    // Drops whatever is queued and not yet played.
    virtual void reset() = 0;
    virtual void close() = 0;
};

// Keeps every queued sample in memory. Playback is simulated: without a
// clock, everything queued counts as played at once; with a clock, the
// device plays 44.1 frames per millisecond of that clock since open.
class MemoryAudioDevice final : public AudioDevice {
  public:
    explicit MemoryAudioDevice(const core::Clock* clock = nullptr) : clock_(clock) {}

    bool open(int sampleRate, bool stereo) override;
    void write(const int16_t* samples, size_t count) override;
    bool position(uint32_t& bytes) override;
    void reset() override;
    void close() override { open_ = false; }

    // Makes open() fail, as a missing device does.
    void setFailOpen(bool fail) { failOpen_ = fail; }
    bool isOpen() const { return open_; }
    bool stereo() const { return stereo_; }
    int sampleRate() const { return rate_; }
    const std::vector<int16_t>& samples() const { return samples_; }
    // Takes the samples out, leaving the device empty.
    std::vector<int16_t> take();

  private:
    const core::Clock* clock_;
    std::vector<int16_t> samples_;
    uint64_t taken_ = 0;
    uint32_t openTime_ = 0;
    int rate_ = 0;
    bool stereo_ = false;
    bool open_ = false;
    bool failOpen_ = false;
};

// Counts and drops what it is given; its play position is everything
// written, so a player never waits for it (benchmarks, allocation checks).
class NullAudioDevice final : public AudioDevice {
  public:
    bool open(int, bool) override { return true; }
    void write(const int16_t*, size_t count) override { written_ += count; }
    bool position(uint32_t& bytes) override {
        bytes = static_cast<uint32_t>(written_ * 2);
        return true;
    }
    void reset() override {}
    void close() override {}
    size_t written() const { return written_; }

  private:
    size_t written_ = 0;
};

}  // namespace kvx::synth
