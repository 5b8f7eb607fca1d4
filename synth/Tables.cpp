// Note and noise tables (see Tables.h).
#include "synth/Tables.h"

#include <array>
#include <cmath>

namespace kvx::synth {

namespace {

struct NoteTable {
    std::array<double, kNoteCount> values{};
    NoteTable() {
        for (int n = 0; n < kNoteCount; ++n) {
            values[n] = 440.0 * std::pow(2.0, (n - 57) / 12.0);
        }
    }
};

struct NoiseTable {
    std::array<float, kNoiseSize> values{};
    NoiseTable() {
        // The classic linear congruential generator, top 15 bits: uniform
        // enough for noise, and the same on every platform.
        uint32_t state = 1;
        for (float& v : values) {
            state = state * 1103515245u + 12345u;
            v = static_cast<float>((state >> 16) & 0x7FFF) * (1.0f / 32767.0f);
        }
    }
};

}  // namespace

const double* noteTable() {
    static const NoteTable table;
    return table.values.data();
}

const float* noiseTable() {
    static const NoiseTable table;
    return table.values.data();
}

void Settings::setTempo(int tempo) {
    const int t = tempo < 20 ? 20 : tempo;
    tickLength = 3 * kSampleRate / t;
    if (stereo) {
        tickLength *= 2;
    }
    slideUnit = static_cast<double>(tickLength) * 12.0 / blockFloats;
}

}  // namespace kvx::synth
