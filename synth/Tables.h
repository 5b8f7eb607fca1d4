// Shared constants and lookup tables of the synthesizer.
//
// Rates and sizes are fixed: 44100 Hz, blocks of 256 frames, a ring of 20
// blocks. The note table maps a note number to the frequency the oscillators
// are driven with (they sound an octave lower, so note 69 sounds at 440 Hz).
// The noise table holds 51200 uniformly distributed values in 0..1 from a
// fixed 15-bit generator, so every run renders the same noise.
//
// Settings are the per-player values the configuration's HEAD decides
// (stereo, tempo); instruments, generators and filters read them through a
// pointer to their player's Settings, so two players never disturb each other.
#pragma once

#include <cstdint>

namespace kvx::synth {

constexpr int kSampleRate = 44100;
constexpr int kBlockFrames = 256;
constexpr int kRingBlocks = 20;
constexpr int kNoteCount = 120;
constexpr int kNoiseSize = 51200;
constexpr int kMaxVoices = 8;
constexpr int kMaxSlots = 16;

// noteTable()[n] = 440 * 2^((n - 57) / 12), n in 0..119.
const double* noteTable();
// A note number clamped into the table (notes of 120 and above play 119).
inline int clampNote(int note) {
    return note < 0 ? 0 : (note >= kNoteCount ? kNoteCount - 1 : note);
}

// kNoiseSize floats, each a 15-bit pseudo-random value / 32767.
const float* noiseTable();

struct Settings {
    bool stereo = false;
    // Floats per block: 256 in mono, 512 (interleaved) in stereo.
    int blockFloats = kBlockFrames;
    // Step sequencer tick in floats: 3 * 44100 / max(tempo, 20), doubled in stereo.
    int tickLength = 3 * kSampleRate / 120;
    // Semitone slide unit of the step sequencer: tickLength * 12 / blockFloats.
    double slideUnit = 3.0 * kSampleRate / 120 * 12 / kBlockFrames;

    void setStereo(bool s) {
        stereo = s;
        blockFloats = s ? 2 * kBlockFrames : kBlockFrames;
    }
    // Applies the HEAD tempo; uses the current stereo flag.
    void setTempo(int tempo);
};

}  // namespace kvx::synth
