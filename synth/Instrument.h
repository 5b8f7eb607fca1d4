// Instrument and Voice: turn note messages into blocks of float samples.
//
// An instrument has up to 16 generator slots (each voice owns one generator
// per slot), up to 16 effect slots run on the summed voices, an amplitude
// and a pan envelope, an LFO, an optional step sequencer, pitch bend,
// modulation wheel and portamento, and 8 voices taken round-robin. All
// buffers are allocated when the instrument is created; render allocates
// nothing.
//
// Threads: built on the main thread while the configuration is read, then
// used only by the music thread (or the single thread of an offline render).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "synth/Effect.h"
#include "synth/Envelope.h"
#include "synth/Generator.h"
#include "synth/Tables.h"

namespace kvx::synth {

class Instrument;

// Only the six low bits of a step value enable generator slots.
constexpr int kEnabledSlots = 6;
// Most generators rendered side by side in one call.
constexpr int kGeneratorBatch = 16;

// One generator's work for a block: generator `generator` of slot `slot`
// adds into `buffer` at `frequency`.
struct GeneratorJob {
    int slot;
    int type;
    Generator* generator;
    float* buffer;
    float frequency;
};

// Runs jobs (of any instruments) slot by slot, same types side by side.
void runGeneratorJobs(const GeneratorJob* jobs, int n, int count);

struct GeneratorSlot {
    int type = -1;
    int32_t level = 127;
    int32_t pan = 0;
    int32_t phaseSpread = 0;
    int32_t pitchOffset = 0;
};

struct EffectSlot {
    int type = -1;
    std::unique_ptr<Effect> effect;
    int32_t aux = 127;
    int32_t cutoff = 0;  // hundreds of Hz
    int32_t resonance = 0;
    int32_t cutoffDepth = 0;
    int32_t resonanceDepth = 0;
};

struct Voice {
    int currentNote = -1;  // -1 once released
    int playingNote = 0;   // 0: silent
    float volume = 1.0f;
    float velocity = 0.0f;  // velocity / 127
    float panLeft = 1.0f, panRight = 1.0f;
    float ampLeft = 1.0f, ampRight = 1.0f;
    std::vector<std::unique_ptr<Generator>> generators;  // one per slot
    std::vector<float> buffer;
    EnvelopeState amp;
    EnvelopeState pan;

    bool isFree() const { return amp.released; }
};

class Instrument {
  public:
    explicit Instrument(const Settings& settings);

    void noteOn(int note, int velocity);
    void noteOff(int note);
    // Writes one block into buffer (the caller cleared it) and returns true,
    // or returns false when no voice sounds.
    bool render(float* buffer, int count);
    // render() in two halves, so the mixer can run the effects of all
    // channels side by side: renderVoices is everything up to and including
    // the clamp to +-1.3; prepareEffect(slot) sets that slot's modulated
    // parameters for this block and returns its effect (null when empty).
    bool renderVoices(float* buffer, int count);
    // renderVoices in three steps, so the mixer can run the generators of all
    // instruments side by side: beginBlock does the block's modulation,
    // prepares the sounding voices and writes their generator jobs (at most
    // kMaxVoices * kEnabledSlots), returning their count or -1 when nothing
    // sounds; after runGeneratorJobs, finishBlock applies the envelopes, adds
    // the voices into buffer and clamps it.
    int beginBlock(int count, GeneratorJob* jobs);
    bool finishBlock(float* buffer, int count);
    Effect* prepareEffect(size_t slot);
    void allNotesOff();
    void silence();

    // Configuration (done before rendering starts).
    void setGenerator(int slot, int type, int32_t level, int32_t pan, int32_t spread,
                      int32_t pitch);
    EffectSlot* setEffect(int slot, int type);
    void setLfoRate(int rate);

    std::string name;
    int channel = -1;
    int polyphony = kMaxVoices;
    uint8_t flags = 0;
    int lastNote = -1;
    float glide = 0.0f;
    float slide = 0.0f;
    int bend = 0;   // -63..63
    int wheel = 0;  // 0..127
    int bendRoute = 3, bendDepth = 2;
    int wheelRoute = 4, wheelDepth = 6;
    int velocityMode = 1;
    int lfoDestination = 3;
    int lfoDepth = 0;
    int lfoRate = 0;
    int portamento = 0;
    float auxOffset = 0.0f;
    float cutoffMod = 0.0f;
    float resonanceMod = 0.0f;

    std::vector<GeneratorSlot> generators;
    std::vector<EffectSlot> effects;
    std::vector<Voice> voices;
    Envelope ampEnvelope;
    Envelope panEnvelope;
    Lfo lfo;
    std::unique_ptr<StepSequencer> sequencer;

  private:
    const Settings* settings_;
    int roundRobin_ = 0;
    // Voices sounding in the block between beginBlock and finishBlock.
    Voice* active_voices_[kMaxVoices] = {};
    int active_ = 0;
};

}  // namespace kvx::synth
