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
#include <optional>
#include <string>
#include <vector>

#include "core/ClonePtr.h"
#include "synth/Effect.h"
#include "synth/Envelope.h"
#include "synth/Generator.h"
#include "synth/Tables.h"

namespace kvx::synth {

class Instrument;

// Where pitch bend and the modulation wheel act, with the routing codes the
// file format uses. A loaded instrument bends the pitch and sends the wheel
// to the LFO depth.
enum class Route : uint8_t {
    Volume = 1,
    Pan = 2,
    Pitch = 3,
    LfoDepth = 4,
    Cutoff = 7,     // effect cutoff modulation
    Resonance = 8,  // effect resonance modulation
};

// Where the LFO acts (the INST header's LFO destination byte).
enum class LfoDestination : uint8_t {
    Volume = 1,
    Pan = 2,
    Pitch = 3,
    Aux = 4,  // the effects' auxiliary value
    Cutoff = 5,
    Resonance = 6,
};

// What the velocity of a note-on means; any other value plays at full
// velocity in the centre.
enum class VelocityMode : uint8_t { Loudness = 1, Pan = 2 };

// Bits of the INST header's flags byte; the other bits are kept, unused.
enum class InstrumentFlags : uint8_t { None = 0, StepSequencer = 0x10 };
inline bool hasFlag(InstrumentFlags flags, InstrumentFlags flag) {
    return (static_cast<uint8_t>(flags) & static_cast<uint8_t>(flag)) != 0;
}

// Only the six low bits of a step value enable generator slots.
constexpr int kEnabledSlots = 6;
// Most generators rendered side by side in one call.
constexpr int kGeneratorBatch = 16;

// One generator's work for a block: generator `generator` of slot `slot`
// adds into `buffer` at `frequency`.
struct GeneratorJob {
    int slot;
    GeneratorType type;
    Generator* generator;
    float* buffer;
    float frequency;
};

// Runs jobs (of any instruments) slot by slot, same types side by side.
void runGeneratorJobs(const GeneratorJob* jobs, int n, int count);

struct GeneratorSlot {
    std::optional<GeneratorType> type;  // none: an empty slot
    int32_t level = 127;
    int32_t pan = 0;
    int32_t phaseSpread = 0;
    int32_t pitchOffset = 0;
};

struct EffectSlot {
    EffectType type = EffectType::Lpf;  // meaningful while effect is set
    core::ClonePtr<Effect> effect;
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
    std::vector<core::ClonePtr<Generator>> generators;  // one per slot
    std::vector<float> buffer;
    EnvelopeState amp;
    EnvelopeState pan;

    bool isFree() const { return amp.released; }
};

class Instrument {
  public:
    explicit Instrument(const Settings& settings);
    // Copies are deep (generators, effects and sequencer included) and read
    // the settings of the original until bind() gives them their own; a
    // copy is taken between blocks (Player::saveState).
    Instrument(const Instrument&) = default;
    Instrument& operator=(const Instrument&) = default;
    // Points the instrument, its generators and its effects at settings.
    void bind(const Settings& settings);

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
    void setGenerator(int slot, GeneratorType type, int32_t level, int32_t pan, int32_t spread,
                      int32_t pitch);
    EffectSlot* setEffect(int slot, EffectType type);
    void setLfoRate(int rate);

    std::string name;
    int channel = -1;
    int polyphony = kMaxVoices;
    InstrumentFlags flags = InstrumentFlags::None;
    int lastNote = -1;
    float glide = 0.0f;
    float slide = 0.0f;
    int bend = 0;   // -63..63
    int wheel = 0;  // 0..127
    Route bendRoute = Route::Pitch;
    int bendDepth = 2;
    Route wheelRoute = Route::LfoDepth;
    int wheelDepth = 6;
    VelocityMode velocityMode = VelocityMode::Loudness;
    LfoDestination lfoDestination = LfoDestination::Pitch;
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
    core::ClonePtr<StepSequencer> sequencer;

  private:
    // The block's modulation, gathered from the step sequencer, bend, wheel,
    // LFO and portamento before the voices use it.
    struct BlockModulation {
        int volume = 127;
        int pan = 0;
        int change = 0;  // change flags: 1 << step mode, and the volume and pan bits
        double pitch = 0.0;
        int lfoDepth = 0;
        int32_t step = 63;  // the step value (generator mask, transpose, mode)
    };
    enum class Source { Bend, Wheel, Lfo };
    enum class Target { None, Volume, Pan, Pitch, LfoDepth, Aux, Cutoff, Resonance };
    static Target targetOf(Route route);
    static Target targetOf(LfoDestination destination);

    void stepSequencerBlock(int count, BlockModulation& m);
    void modulate(Source source, Target target, double g, BlockModulation& m);
    static void modulateFilter(float& term, Source source, double g);
    void portamentoBlock(BlockModulation& m);
    void startVoices(int count, const BlockModulation& m);
    int generatorJobs(const BlockModulation& m, GeneratorJob* jobs);

    const Settings* settings_;
    int roundRobin_ = 0;
    // Voices sounding in the block between beginBlock and finishBlock.
    Voice* active_voices_[kMaxVoices] = {};
    int active_ = 0;
};

}  // namespace kvx::synth
