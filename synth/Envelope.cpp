// Envelope walks, LFO and step sequencer (see Envelope.h).
#include "synth/Envelope.h"

#include <algorithm>
#include <cmath>

namespace kvx::synth {

bool Envelope::insertPoint(int32_t durationMs, float level, int position) {
    if (count_ >= kMaxPoints) {
        return false;
    }
    if (position < 0 || position > count_) {
        position = count_;
    }
    for (int i = count_; i > position; --i) {
        points_[i] = points_[i - 1];
    }
    EnvelopePoint& p = points_[position];
    p.ms = durationMs;
    p.target = level;
    // Negative or zero durations take one sample; the product is done in
    // 64 bits so a huge duration stays huge instead of wrapping.
    const int64_t samples = static_cast<int64_t>(static_cast<double>(durationMs) * 44.1);
    p.samples = samples <= 0 ? 1 : samples;
    ++count_;
    recompute(position);
    if (position + 1 < count_) {
        recompute(position + 1);
    }
    return true;
}

void Envelope::recompute(int i) {
    const double previous = i > 0 ? points_[i - 1].target : 0.0;
    points_[i].slope = (static_cast<double>(points_[i].target) - previous) /
                       static_cast<double>(points_[i].samples);
}

void Envelope::applyAmplitude(float* buffer, int count, EnvelopeState& state) const {
    if (count_ == 0) {
        return;
    }
    int i = 0;
    uint64_t end = 0;
    for (int j = 0; j < count_; ++j) {
        if (j == sustain && sustain != 0 && !state.released) {
            const float hold = points_[j - 1].target;
            for (; i < count; ++i) {
                buffer[i] *= hold;
            }
            return;
        }
        end += static_cast<uint64_t>(points_[j].samples);
        const double slope = points_[j].slope;
        while (state.counter < end) {
            if (i >= count) {
                return;
            }
            state.level += slope;
            buffer[i] = static_cast<float>(buffer[i] * state.level);
            ++state.counter;
            ++i;
        }
    }
    std::fill(buffer + i, buffer + count, 0.0f);
    state.finished = true;
}

void Envelope::applyPan(float* buffer, int count, EnvelopeState& state) const {
    if (count_ == 0) {
        return;
    }
    const int frames = count / 2;
    int f = 0;
    auto pan = [buffer](int frame, double level) {
        buffer[2 * frame] = static_cast<float>(buffer[2 * frame] * std::min(1.0, 1.0 + level));
        buffer[2 * frame + 1] =
            static_cast<float>(buffer[2 * frame + 1] * std::min(1.0, 1.0 - level));
    };
    uint64_t end = 0;
    for (int j = 0; j < count_; ++j) {
        if (j == sustain && sustain != 0 && !state.released) {
            const double hold = points_[j - 1].target;
            for (; f < frames; ++f) {
                pan(f, hold);
            }
            return;
        }
        end += static_cast<uint64_t>(points_[j].samples);
        const double slope = points_[j].slope;
        while (state.counter < end) {
            if (f >= frames) {
                return;
            }
            state.level += slope;
            pan(f, state.level);
            ++state.counter;
            ++f;
        }
    }
    for (; f < frames; ++f) {
        pan(f, state.level);
    }
    state.finished = true;
}

void Lfo::setRate(int rate, int blockFloats) {
    constexpr double kPi = 3.14159265358979323846;
    k = std::sin(blockFloats * (rate / 60.0) * kPi / kSampleRate);
}

void StepSequencer::advance(int count, int tickLength) {
    const double stepTime = static_cast<double>(duration) * tickLength;
    if (std::trunc(timer) >= stepTime) {
        timer = static_cast<float>(timer - stepTime);
        const int32_t v = value();
        int64_t next = ((v >> 16) & 0xF) == 11 ? ((v >> 24) & 0xF) : current + 1;
        if (next >= length) {
            next = loopBack;
            if (next >= length) {
                next = static_cast<int64_t>(length) - 1;
            }
        }
        current = next;
    }
    timer += static_cast<float>(count);
}

}  // namespace kvx::synth
