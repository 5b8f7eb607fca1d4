// Instrument rendering: modulation once per block, then every sounding
// voice's generators, envelopes and the instrument's effects (see
// Instrument.h).
#include "synth/Instrument.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kvx::synth {

namespace {

// Change flags of one block: a step mode m sets bit m, so mode 8 is the pan
// flag and mode 12 the volume flag; bend, wheel and LFO use the same bits.
constexpr int kFlagPan = 1 << 8;
constexpr int kFlagVolume = 1 << 12;

// trunc() into an int that saturates instead of overflowing; NaN gives 0.
int truncInt(double v) {
    if (!(v == v)) {
        return 0;
    }
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

int clampToInt(int64_t v) {
    return static_cast<int>(
        std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

Instrument::Instrument(const Settings& settings) : settings_(&settings) {
    voices.resize(kMaxVoices);
    for (Voice& v : voices) {
        v.buffer.assign(static_cast<size_t>(settings.blockFloats), 0.0f);
        v.generators.reserve(kMaxSlots);
    }
    generators.reserve(kMaxSlots);
    effects.reserve(kMaxSlots);
}

void Instrument::bind(const Settings& settings) {
    settings_ = &settings;
    for (Voice& v : voices) {
        for (auto& g : v.generators) {
            if (g) {
                g->bind(settings);
            }
        }
    }
    for (EffectSlot& e : effects) {
        if (e.effect) {
            e.effect->bind(settings);
        }
    }
    // Only meaningful inside a block; a copy must not point into its original.
    active_ = 0;
    std::fill(std::begin(active_voices_), std::end(active_voices_), nullptr);
}

void Instrument::setGenerator(int slot, GeneratorType type, int32_t level, int32_t pan,
                              int32_t spread, int32_t pitch) {
    slot = std::clamp(slot, 0, kMaxSlots - 1);
    if (static_cast<int>(generators.size()) <= slot) {
        generators.resize(static_cast<size_t>(slot) + 1);
    }
    generators[slot] = GeneratorSlot{type, level, pan, spread, pitch};
    for (Voice& v : voices) {
        if (static_cast<int>(v.generators.size()) <= slot) {
            v.generators.resize(static_cast<size_t>(slot) + 1);
        }
        v.generators[slot] = makeGenerator(type, *settings_);
    }
}

EffectSlot* Instrument::setEffect(int slot, EffectType type) {
    slot = std::clamp(slot, 0, kMaxSlots - 1);
    if (static_cast<int>(effects.size()) <= slot) {
        effects.resize(static_cast<size_t>(slot) + 1);
    }
    EffectSlot& e = effects[slot];
    e = EffectSlot{};
    e.type = type;
    e.effect = makeEffect(type, *settings_);
    return &e;
}

void Instrument::setLfoRate(int rate) {
    lfoRate = rate;
    lfo.setRate(rate, settings_->blockFloats);
}

void runGeneratorJobs(const GeneratorJob* jobs, int n, int count) {
    // Slot by slot keeps each voice buffer's order; within a slot, one call
    // per generator type.
    Generator* batch[kGeneratorBatch];
    float* buffers[kGeneratorBatch];
    float frequencies[kGeneratorBatch];
    for (int slot = 0; slot < kEnabledSlots; ++slot) {
        for (GeneratorType type : kGeneratorTypes) {
            int m = 0;
            for (int j = 0; j < n; ++j) {
                if (jobs[j].slot != slot || jobs[j].type != type) {
                    continue;
                }
                batch[m] = jobs[j].generator;
                buffers[m] = jobs[j].buffer;
                frequencies[m++] = jobs[j].frequency;
                if (m == kGeneratorBatch) {
                    renderGenerators(type, batch, buffers, frequencies, m, count);
                    m = 0;
                }
            }
            renderGenerators(type, batch, buffers, frequencies, m, count);
        }
    }
}

void Instrument::noteOn(int note, int velocity) {
    if (generators.empty()) {
        return;
    }
    if (sequencer) {
        sequencer->reset();
    }
    note = clampNote(note);
    // Round-robin search for a free voice; if none is free the last one looked
    // at is restarted. Polyphony beyond the voices that exist is not used.
    const int poly = std::min(polyphony, static_cast<int>(voices.size()));
    Voice* voice = nullptr;
    for (int t = 0; t < poly; ++t) {
        if (roundRobin_ >= poly) {
            roundRobin_ = 0;
        }
        voice = &voices[roundRobin_++];
        if (voice->isFree()) {
            break;
        }
    }
    if (voice == nullptr) {
        return;
    }
    int pan = 0;
    if (velocityMode == VelocityMode::Pan) {
        pan = velocity - 64;
        velocity = 127;
    } else if (velocityMode != VelocityMode::Loudness) {
        velocity = 127;
    }
    if (portamento > 0) {
        glide = lastNote >= 0 ? static_cast<float>(lastNote - note) : 0.0f;
    }
    lastNote = note;
    slide = 0.0f;

    voice->velocity = static_cast<float>(velocity) / 127.0f;
    voice->currentNote = note;
    voice->volume = 1.0f;
    panGains(pan, voice->panLeft, voice->panRight);
    voice->amp.start();
    voice->pan.start();
    const double frequency = noteTable()[note];
    for (size_t i = 0; i < generators.size() && i < voice->generators.size(); ++i) {
        if (!voice->generators[i]) {
            continue;
        }
        const GeneratorSlot& g = generators[i];
        const int level = clampToInt(static_cast<int64_t>(velocity) * g.level / 127);
        const int slotPan = std::clamp<int64_t>(static_cast<int64_t>(pan) + g.pan, -64, 63);
        voice->generators[i]->noteOn(frequency, level, slotPan, g.phaseSpread, nullptr);
    }
    voice->playingNote = note;
}

void Instrument::noteOff(int note) {
    note = clampNote(note);
    for (Voice& v : voices) {
        if (v.currentNote == note) {
            v.currentNote = -1;
            v.amp.released = true;
            v.pan.released = true;
            return;
        }
    }
}

void Instrument::allNotesOff() {
    for (Voice& v : voices) {
        v.currentNote = -1;
        v.amp.released = true;
        v.pan.released = true;
    }
}

void Instrument::silence() {
    for (Voice& v : voices) {
        v.playingNote = 0;
    }
}

bool Instrument::render(float* buffer, int count) {
    if (!renderVoices(buffer, count)) {
        return false;
    }
    count = std::min(count, settings_->blockFloats);
    for (size_t slot = 0; slot < effects.size(); ++slot) {
        if (Effect* e = prepareEffect(slot)) {
            e->process(buffer, count);
        }
    }
    return true;
}

Effect* Instrument::prepareEffect(size_t slot) {
    if (slot >= effects.size() || !effects[slot].effect) {
        return nullptr;
    }
    EffectSlot& e = effects[slot];
    int64_t aux = e.aux;
    if (auxOffset != 0.0f) {
        aux += truncInt(auxOffset);
    }
    int64_t cutoff = e.cutoff;
    if (cutoffMod != 0.0f) {
        cutoff += truncInt(static_cast<double>(cutoffMod) * e.cutoffDepth);
    }
    int64_t resonance = e.resonance;
    if (resonanceMod != 0.0f) {
        resonance += truncInt(static_cast<double>(resonanceMod) * e.resonanceDepth);
    }
    e.effect->setModulated(clampToInt(aux), clampToInt(cutoff), clampToInt(resonance));
    return e.effect.get();
}

bool Instrument::renderVoices(float* buffer, int count) {
    GeneratorJob jobs[kMaxVoices * kEnabledSlots];
    const int n = beginBlock(count, jobs);
    if (n < 0) {
        return false;
    }
    runGeneratorJobs(jobs, n, std::min(count, settings_->blockFloats));
    return finishBlock(buffer, count);
}

Instrument::Target Instrument::targetOf(Route route) {
    switch (route) {
        case Route::Volume:
            return Target::Volume;
        case Route::Pan:
            return Target::Pan;
        case Route::Pitch:
            return Target::Pitch;
        case Route::LfoDepth:
            return Target::LfoDepth;
        case Route::Cutoff:
            return Target::Cutoff;
        case Route::Resonance:
            return Target::Resonance;
    }
    return Target::None;
}

Instrument::Target Instrument::targetOf(LfoDestination destination) {
    switch (destination) {
        case LfoDestination::Volume:
            return Target::Volume;
        case LfoDestination::Pan:
            return Target::Pan;
        case LfoDestination::Pitch:
            return Target::Pitch;
        case LfoDestination::Aux:
            return Target::Aux;
        case LfoDestination::Cutoff:
            return Target::Cutoff;
        case LfoDestination::Resonance:
            return Target::Resonance;
    }
    return Target::None;
}

// The step sequencer moves on and its current step value sets the block's
// generator mask, transpose and mode.
void Instrument::stepSequencerBlock(int count, BlockModulation& m) {
    sequencer->advance(count, settings_->tickLength);
    const int32_t step = sequencer->value();
    m.step = step;
    const int mode = (step >> 16) & 0xF;
    const auto b = static_cast<int>((static_cast<uint32_t>(step) >> 24) & 0xFF);
    const bool high = (static_cast<uint32_t>(step) & 0x80000000u) != 0;
    const double unit = sequencer->safeDuration() * settings_->slideUnit;
    float slideStep = 0.0f;
    m.change = 1 << mode;
    switch (mode) {
        case 1:
            slideStep = static_cast<float>(b / unit);
            break;
        case 2:
            slideStep = static_cast<float>(-b / unit);
            break;
        case 4:
            m.lfoDepth = b;
            break;
        case 8:
            m.pan = high ? (b >> 1) - 64 : -(b >> 1);
            break;
        case 12:
            m.volume = high ? 127 : b;
            break;
        default:
            break;
    }
    slide += slideStep;
}

// A filter modulation term: the bend sets it to g / 128, the wheel adds
// g / 128 and the LFO g / 256, each sum taken in double and stored once.
void Instrument::modulateFilter(float& term, Source source, double g) {
    switch (source) {
        case Source::Bend:
            term = static_cast<float>(g / 128.0);
            break;
        case Source::Wheel:
            term = static_cast<float>(term + g / 128.0);
            break;
        case Source::Lfo:
            term = static_cast<float>(term + g / 256.0);
            break;
    }
}

// One modulation value g of a source applied to its target. The sources
// differ only where their formulas do: the bend sets what the wheel and the
// LFO add to, and each scales the volume, pitch and filter terms its own way.
void Instrument::modulate(Source source, Target target, double g, BlockModulation& m) {
    const bool bend = source == Source::Bend;
    const bool lfoSource = source == Source::Lfo;
    switch (target) {
        case Target::Volume:
            m.volume = bend                      ? (m.volume + 1) * truncInt(g) / 128 + 127
                       : source == Source::Wheel ? 127 - truncInt(g) * (m.volume + 1) / 128
                                                 : m.volume + truncInt(g);
            m.change |= kFlagVolume;
            break;
        case Target::Pan:
            m.pan = lfoSource ? truncInt(g * 63 * 0.01) : m.pan + truncInt(g);
            m.change |= kFlagPan;
            break;
        case Target::Pitch:
            m.pitch = bend ? g : m.pitch + (lfoSource ? g / 6.0 : g);
            break;
        case Target::LfoDepth:
            m.lfoDepth += truncInt(g);
            break;
        case Target::Aux:
            auxOffset = static_cast<float>(g);
            break;
        case Target::Cutoff:
            modulateFilter(cutoffMod, source, g);
            break;
        case Target::Resonance:
            modulateFilter(resonanceMod, source, g);
            break;
        case Target::None:
            break;
    }
}

// Moves the glide offset toward 0 and bends the pitch by what is left.
void Instrument::portamentoBlock(BlockModulation& m) {
    // The step and the moved offset are computed in double; the offset is
    // stored as float once.
    const double r = portamento * 0.01;
    if (glide > 0.0f) {
        glide = glide - r < 0.0 ? 0.0f : static_cast<float>(glide - r);
    } else if (glide < 0.0f) {
        glide = glide + r > 0.0 ? 0.0f : static_cast<float>(glide + r);
    }
    m.pitch += glide;
}

// Takes the block's volume and pan into the sounding voices, clears their
// buffers and remembers them for the generator jobs and finishBlock.
void Instrument::startVoices(int count, const BlockModulation& m) {
    for (Voice& v : voices) {
        if (v.playingNote == 0 || active_ == kMaxVoices) {
            continue;
        }
        if ((m.change & kFlagVolume) != 0) {
            v.volume = static_cast<float>(m.volume) / 127.0f * v.velocity;
        }
        if ((m.change & kFlagPan) != 0) {
            panGains(m.pan, v.panLeft, v.panRight);
        }
        std::fill(v.buffer.data(), v.buffer.data() + count, 0.0f);
        v.ampLeft = v.panLeft * v.volume;
        v.ampRight = v.volume * v.panRight;
        active_voices_[active_++] = &v;
    }
}

// One job per enabled generator slot and sounding voice, slot by slot.
int Instrument::generatorJobs(const BlockModulation& m, GeneratorJob* jobs) {
    int transpose = (m.step >> 8) & 0x7F;
    if (transpose >= 64) {
        transpose = 64 - transpose;
    }
    const auto pitchMod = static_cast<float>(m.pitch + slide);
    // Only the six low bits of a step value enable generators, so slots 6
    // and above never sound; stored songs were written against this.
    int n = 0;
    const size_t slots = std::min<size_t>(generators.size(), kEnabledSlots);
    for (size_t i = 0; i < slots; ++i) {
        if ((m.step & (1 << i)) == 0 || !generators[i].type) {
            continue;
        }
        for (int a = 0; a < active_; ++a) {
            Voice& v = *active_voices_[a];
            if (i >= v.generators.size() || !v.generators[i]) {
                continue;
            }
            const float semis = static_cast<float>(generators[i].pitchOffset) +
                                static_cast<float>(transpose) + static_cast<float>(v.playingNote) -
                                57.0f + pitchMod;
            float frequency = 440.0f * std::pow(2.0f, semis / 12.0f);
            if (!std::isfinite(frequency)) {
                frequency = 0.0f;  // a pitch beyond any float: freeze instead of NaN
            }
            v.generators[i]->setGains(v.ampLeft, v.ampRight);
            jobs[n++] = GeneratorJob{static_cast<int>(i), *generators[i].type,
                                     v.generators[i].get(), v.buffer.data(), frequency};
        }
    }
    return n;
}

int Instrument::beginBlock(int count, GeneratorJob* jobs) {
    active_ = 0;
    if (polyphony <= 0) {
        return -1;
    }
    count = std::min(count, settings_->blockFloats);
    BlockModulation m;
    m.lfoDepth = lfoDepth;
    if (hasFlag(flags, InstrumentFlags::StepSequencer) && sequencer) {
        stepSequencerBlock(count, m);
    }
    if (bend != 0) {
        modulate(Source::Bend, targetOf(bendRoute), static_cast<double>(bend) * bendDepth / 63.0,
                 m);
    }
    if (wheel != 0) {
        modulate(Source::Wheel, targetOf(wheelRoute),
                 static_cast<double>(wheel) * wheelDepth / 127.0, m);
    }
    if (lfoRate != 0) {
        const double b = lfo.advance();
        modulate(Source::Lfo, targetOf(lfoDestination), b * m.lfoDepth, m);
    }
    if (portamento != 0) {
        portamentoBlock(m);
    }
    m.volume = std::clamp(m.volume, 0, 255);
    m.pan = std::clamp(m.pan, -64, 64);

    // The generators of all voices (and, through the mixer, of all
    // instruments) run slot by slot, side by side; then each voice in order
    // takes its envelopes and is added (finishBlock). Each voice buffer sees
    // the same operations in the same order as when the voices are rendered
    // one after the other.
    startVoices(count, m);
    if (active_ == 0) {
        return -1;
    }
    return generatorJobs(m, jobs);
}

bool Instrument::finishBlock(float* buffer, int count) {
    count = std::min(count, settings_->blockFloats);
    for (int a = 0; a < active_; ++a) {
        Voice& v = *active_voices_[a];
        float* buf = v.buffer.data();
        if (v.amp.finished) {
            v.playingNote = 0;
        }
        ampEnvelope.applyAmplitude(buf, count, v.amp);
        panEnvelope.applyPan(buf, count, v.pan);
        for (int k = 0; k < count; ++k) {
            buffer[k] += buf[k];
        }
    }
    if (active_ == 0) {
        return false;
    }
    active_ = 0;
    for (int i = 0; i < count; ++i) {
        buffer[i] = std::clamp(buffer[i], -1.3f, 1.3f);
    }
    return true;
}

}  // namespace kvx::synth
