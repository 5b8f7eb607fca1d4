// Envelopes, the LFO and the step sequencer: the time-varying controls of an
// instrument.
//
// An Envelope is a list of at most 16 points (duration in ms, target level);
// each voice walks it with its own EnvelopeState. The amplitude envelope
// steps once per float (so in stereo its points last half as long), the pan
// envelope once per frame of two floats. A sustain index other than 0 holds
// the level at the previous point's target until the voice is released.
//
// Durations are kept in 64-bit sample counts, so no file value can overflow
// the walk.
#pragma once

#include <array>
#include <cstdint>

#include "synth/Tables.h"

namespace kvx::synth {

struct EnvelopePoint {
    int32_t ms = 0;
    float target = 0.0f;
    int64_t samples = 1;
    double slope = 0.0;
};

struct EnvelopeState {
    double level = 0.0;
    uint64_t counter = 0;
    bool released = true;
    bool finished = true;

    void start() {
        level = 0.0;
        counter = 0;
        released = false;
        finished = false;
    }
};

class Envelope {
  public:
    static constexpr int kMaxPoints = 16;

    // Inserts a point at position (-1 appends). Returns false for a 17th point.
    bool insertPoint(int32_t durationMs, float level, int position = -1);

    // Multiplies the block by the amplitude level, one step per float.
    void applyAmplitude(float* buffer, int count, EnvelopeState& state) const;
    // Pans the block, one step per frame: left * min(1, 1 + level), right *
    // min(1, 1 - level).
    void applyPan(float* buffer, int count, EnvelopeState& state) const;

    int count() const { return count_; }
    const EnvelopePoint& point(int i) const { return points_[i]; }
    int sustain = 0;

  private:
    void recompute(int i);

    std::array<EnvelopePoint, kMaxPoints> points_{};
    int count_ = 0;
};

// Sine LFO from a coupled oscillator; advanced once per block.
struct Lfo {
    double a = 1.0;
    double b = 0.0;
    double k = 0.0;

    // rate in Hz * 60; the step is per block of blockFloats floats, so a
    // stereo block (twice the floats) runs the LFO twice as fast, as stored
    // songs expect.
    void setRate(int rate, int blockFloats);
    double advance() {
        a = a - k * b;
        b = b + k * a;
        return b;
    }
};

// The 16-step sequencer. A length above 16 plays value 0 (no generator
// sounds) for the steps from 16 on; a duration of 0 or less moves one step
// per block.
struct StepSequencer {
    int32_t length = 4;
    int32_t loopBack = 0;
    int32_t duration = 10;
    std::array<int32_t, 16> steps{};
    float timer = 0.0f;
    // 64 bits: length - 1 and current + 1 of any file values stay exact.
    int64_t current = 0;

    StepSequencer() { steps.fill(63); }
    void reset() {
        timer = 0.0f;
        current = 0;
    }
    // Moves to the next step when a step's time has passed, then counts the
    // block.
    void advance(int count, int tickLength);
    // The current step's value; 0 for a step outside the 16 that are stored.
    int32_t value() const { return current >= 0 && current < 16 ? steps[current] : 0; }
    // The duration as a divisor (the slide modes divide by it): at least 1.
    int32_t safeDuration() const { return duration < 1 ? 1 : duration; }
};

}  // namespace kvx::synth
