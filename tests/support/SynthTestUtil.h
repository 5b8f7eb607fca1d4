// Helpers shared by the synthesizer tests: a player built from a text
// configuration in lockstep mode, and measurements of rendered audio.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "synth/AudioDevice.h"
#include "synth/ConfigText.h"
#include "synth/Player.h"

namespace kvx::test {

using namespace synth;

inline vfs::Bytes compileText(const std::string& text) {
    ConfigDesc desc;
    std::string error;
    EXPECT_TRUE(parseConfigText(text, desc, error)) << error;
    return buildConfig(desc);
}

// A mono, one-channel head at unity gains.
inline std::string monoHead(int channels = 1, bool stereo = false) {
    return "head stereo=" + std::string(stereo ? "1" : "0") +
           " channels=" + std::to_string(channels) +
           " tempo=120 version=3 master=127,127\n"
           "  gains 127 127 127 127 127 127 127 127 127 127 127 127 127 127 127 127\n";
}

// A MemoryAudioDevice that a test may read while a music thread writes to
// it: every call goes through one mutex.
class LockedAudioDevice final : public AudioDevice {
  public:
    explicit LockedAudioDevice(const core::Clock* clock = nullptr) : inner_(clock) {}
    bool open(int rate, bool stereo) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return inner_.open(rate, stereo);
    }
    void write(const int16_t* samples, size_t count) override {
        std::lock_guard<std::mutex> lock(mutex_);
        inner_.write(samples, count);
    }
    bool position(uint32_t& bytes) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return inner_.position(bytes);
    }
    void reset() override {
        std::lock_guard<std::mutex> lock(mutex_);
        inner_.reset();
    }
    void close() override {
        std::lock_guard<std::mutex> lock(mutex_);
        inner_.close();
    }
    std::vector<int16_t> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        return inner_.take();
    }

  private:
    std::mutex mutex_;
    MemoryAudioDevice inner_;
};

struct Rig {
    MemoryAudioDevice* device = nullptr;
    std::unique_ptr<Player> player;
    uint32_t now = 0;

    explicit Rig(const std::string& text) {
        auto dev = std::make_unique<MemoryAudioDevice>();
        device = dev.get();
        player = std::make_unique<Player>(std::move(dev), Player::Mode::Lockstep);
        EXPECT_TRUE(player->parseConfig(compileText(text)));
        player->play();
    }
    void send(int status, int d1, int d2) {
        player->onMessage(SongEvent{0, static_cast<uint8_t>(status), static_cast<uint8_t>(d1),
                                    static_cast<uint8_t>(d2)});
    }
    // Renders ms more milliseconds and returns the new samples.
    std::vector<int16_t> render(uint32_t ms) {
        now += ms;
        player->advanceTo(now);
        return device->take();
    }
};

inline double rms(const std::vector<int16_t>& s, size_t from = 0, size_t to = SIZE_MAX,
                  size_t stride = 1, size_t offset = 0) {
    to = std::min(to, s.size());
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = from + offset; i < to; i += stride) {
        sum += static_cast<double>(s[i]) * s[i];
        ++n;
    }
    return n == 0 ? 0.0 : std::sqrt(sum / n);
}

// Frequency from the mean distance of rising zero crossings (interpolated).
inline double frequency(const std::vector<float>& x, double rate) {
    std::vector<double> crossings;
    for (size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            crossings.push_back(static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]));
        }
    }
    if (crossings.size() < 2) {
        return 0.0;
    }
    return rate * static_cast<double>(crossings.size() - 1) /
           (crossings.back() - crossings.front());
}

inline std::vector<float> toFloat(const std::vector<int16_t>& s, size_t stride = 1,
                                  size_t offset = 0) {
    std::vector<float> out;
    for (size_t i = offset; i < s.size(); i += stride) {
        out.push_back(static_cast<float>(s[i]) / 32767.0f);
    }
    return out;
}

}  // namespace kvx::test
