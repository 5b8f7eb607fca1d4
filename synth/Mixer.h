// Mixer and MixerChannel: sum the instruments of the mixer channels into one
// block, apply the master gains and smooth the result.
//
// Smoothing: every float k becomes (x[k-4] + x[k-2] + x[k]) / 4 over the
// unsmoothed values, continuing across block borders through a history of the
// previous block's last four floats. In stereo this averages each side over
// three frames, in mono samples k, k-2 and k-4.
//
// Threads: configured on the main thread, rendered on the music thread. All
// buffers are allocated when the channels are created.
#pragma once

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "core/ClonePtr.h"
#include "synth/Effect.h"
#include "synth/Instrument.h"

namespace kvx::synth {

struct ChannelEffect {
    EffectType type = EffectType::Lpf;  // meaningful while effect is set
    core::ClonePtr<Effect> effect;
};

struct MixerChannel {
    Instrument* instrument = nullptr;
    float gain = 0.8f;
    int lowest = 0;
    int highest = 127;
    std::vector<ChannelEffect> effects;
    std::vector<float> buffer;
};

class Mixer {
  public:
    // Creates count channels with blocks of blockFloats; false for count < 1.
    bool create(int count, int blockFloats, bool stereo);
    // Renders count floats (at most one block) into buffer.
    void render(float* buffer, int count);

    bool stereo = false;
    float masterLeft = 1.0f;
    float masterRight = 1.0f;
    std::vector<MixerChannel> channels;
    std::array<float, 4> history{};
    std::array<float, 4> oldHistory{};

  private:
    // One step of a channel's processing after its instrument: an effect,
    // or (effect null) the channel gain.
    struct Stage {
        Effect* effect;
        EffectType type;
    };
    // A channel's stages for the block: the instrument's effect slots, the
    // gain, the channel's effect slots.
    struct ChannelStages {
        std::array<Stage, 2 * kMaxSlots + 1> stages;
        int count = 0;
        int next = 0;
        bool sounding = false;
    };

    void startInstruments(int channelCount, int count);
    void collectStages(int channelCount, int count);
    void runStages(int channelCount, int count);
    void applyMaster(float* buffer, int count) const;
    void smooth(float* buffer, int count);

    std::vector<float> raw_;
    std::vector<GeneratorJob> jobs_;  // room for every channel's generators
    std::array<ChannelStages, kMaxBatch> stages_{};
};

// Converts one float to a 16-bit sample: v * 32767, clamped, truncated toward
// zero. NaN and infinities become silence; huge finite values are clipped.
inline int16_t toSample(float v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    float s = v * 32767.0f;
    s = s < -32768.0f ? -32768.0f : (s > 32767.0f ? 32767.0f : s);
    return static_cast<int16_t>(s);
}

}  // namespace kvx::synth
