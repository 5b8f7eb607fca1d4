// The configuration reader: a "kvx::chunks" file whose HEAD, CEFX and INST
// chunks set up the output, the mixer channels, their effects and the
// instruments.
//
// Until one HEAD has been accepted (device open, channels created) every
// other chunk is skipped; later HEADs are skipped, and so is every chunk of
// another tag (tag 0 included): only the end of the chunks ends the reading. Every offset and
// length inside a chunk is checked against the chunk's size: a chunk that claims more than it holds
// is read up to that point and the rest of it is skipped.
#include <algorithm>

#include "core/ByteReader.h"
#include "synth/ConfigRecords.h"
#include "synth/Player.h"
#include "vfs/ChunkFile.h"

namespace kvx::synth {

using core::ByteReader;

namespace {

// Size of the fixed part of HEAD (without key ranges) and with them.
constexpr size_t kHeadSize = 40;
constexpr size_t kHeadRangesSize = 72;

int clampSlot(int32_t slot) {
    return std::clamp<int32_t>(slot, 0, kMaxSlots - 1);
}

void configureInstrument(Instrument& in, const std::string& name, const ChunkDesc& h) {
    in.name = name;
    in.channel = -1;
    in.polyphony = h.polyphony;
    in.flags = static_cast<InstrumentFlags>(h.flags);
    in.ampEnvelope.sustain = h.ampSustain;
    in.panEnvelope.sustain = h.panSustain;
    in.bendRoute = Route::Pitch;
    in.bendDepth = h.bendDepth;
    in.wheelRoute = Route::LfoDepth;
    in.wheelDepth = h.wheelDepth;
    in.setLfoRate(h.lfoRate);
    in.lfoDestination = static_cast<LfoDestination>(h.lfoDestination);
    in.velocityMode = static_cast<VelocityMode>(h.velocityMode);
    in.lfoDepth = h.lfoDepth;
    in.portamento = h.portamento;
    if (h.seqLength != -1) {
        in.sequencer = std::make_unique<StepSequencer>();
        in.sequencer->length = h.seqLength;
        in.sequencer->loopBack = h.seqLoop;
        in.sequencer->duration = h.seqDuration;
        in.sequencer->steps = h.steps;
    }
}

// The records of an INST, each reader false when a record does not fit.
// Generator parameters are not used by the player.
bool readGenerators(ByteReader& r, int count, Instrument& in) {
    for (int n = 0; n < count; ++n) {
        GeneratorDesc g;
        if (!readGeneratorRecord(r, g)) {
            return false;
        }
        if (const auto t = generatorTypeByName(g.type)) {
            in.setGenerator(clampSlot(g.slot), *t, g.level, g.pan, g.spread, g.pitch);
        }
    }
    return true;
}

bool readEffects(ByteReader& r, int count, Instrument& in) {
    for (int n = 0; n < count; ++n) {
        EffectDesc d;
        if (!readInstEffectRecord(r, d)) {
            return false;
        }
        const auto t = effectTypeByName(d.type);
        if (!t) {
            continue;
        }
        EffectSlot* e = in.setEffect(clampSlot(d.slot), *t);
        e->aux = d.values[0];
        e->cutoff = d.values[1];
        e->resonance = d.values[2];
        e->cutoffDepth = d.values[4];
        e->resonanceDepth = d.values[5];
        if (!d.params.empty()) {
            e->effect->setParameters(d.params.data(), static_cast<int>(d.params.size()));
        }
    }
    return true;
}

// The amplitude envelope, then the pan envelope; a count uses only its low
// byte, taken as signed.
bool readEnvelopes(ByteReader& r, Instrument& in) {
    for (Envelope* env : {&in.ampEnvelope, &in.panEnvelope}) {
        const int points = static_cast<int8_t>(r.i32() & 0xFF);
        for (int p = 0; p < points; ++p) {
            const int32_t ms = r.i32();
            const float level = r.f32();
            if (!r.ok()) {
                return false;
            }
            env->insertPoint(ms, level);
        }
    }
    return true;
}

}  // namespace

bool Player::parseConfig(const vfs::Bytes& bytes) {
    vfs::ChunkFile file;
    if (!file.openBytes(bytes)) {
        return false;
    }
    configWarnings_.clear();
    while (file.isOpen() && file.chunksRead() < file.chunkCount()) {
        const vfs::Chunk chunk = file.nextChunk();
        if (chunk.isNone()) {
            break;
        }
        if (chunk.tag() == kHeadTag) {
            if (!accepted_) {
                readHead(chunk.data());
            }
        } else if (!accepted_) {
            continue;
        } else if (chunk.tag() == kCefxTag) {
            readChannelEffects(chunk.data());
        } else if (chunk.tag() == kInstTag) {
            readInstrument(chunk.data());
        }
    }
    // Generators and filters read the stereo flag from settings_, which the
    // accepted HEAD set; the note and noise tables are built on first use.
    noteTable();
    noiseTable();
    return true;
}

void Player::readHead(const vfs::Bytes& data) {
    if (data.size() < kHeadSize) {
        return;  // too short for its fields: not a HEAD that can be accepted
    }
    const bool stereo = data[0] != 0;
    const int channels = std::min<int>(static_cast<int8_t>(data[1]), 16);
    const int tempo = data[2];
    const int version = data[3];

    bool ok = device_ != nullptr && device_->open(kSampleRate, stereo);
    if (ok) {
        deviceOpen_ = true;
        settings_.setStereo(stereo);
        ok = mixer_.create(channels, settings_.blockFloats, stereo);
        if (ok) {
            const size_t ringSize = static_cast<size_t>(settings_.blockFloats) * kRingBlocks;
            ring_.assign(ringSize, 0);
            block_.assign(static_cast<size_t>(settings_.blockFloats), 0.0f);
            device_->reset();
            if (mode_ == Mode::RealTime) {
                device_->write(ring_.data(), ring_.size());  // the silent ring starts playing
            }
            stopRequested_.store(false, std::memory_order_relaxed);
        } else {
            device_->close();
            deviceOpen_ = false;
        }
    }
    accepted_ = ok;

    settings_.setTempo(tempo);
    std::copy(data.begin() + 4, data.begin() + 20, channelMap_);
    mixer_.masterLeft = static_cast<float>(data[20]) / 127.0f;
    mixer_.masterRight = static_cast<float>(data[21]) / 127.0f;
    for (size_t i = 0; i < mixer_.channels.size() && i < 16; ++i) {
        mixer_.channels[i].gain = static_cast<float>(data[24 + i]) / 127.0f;
        if (version > 2 && data.size() >= kHeadRangesSize) {
            mixer_.channels[i].lowest = data[40 + 2 * i];
            mixer_.channels[i].highest = data[41 + 2 * i];
        }
    }
}

void Player::readChannelEffects(const vfs::Bytes& data) {
    ByteReader r(data.data(), data.size());
    ChunkDesc header;
    RecordLayout layout;
    if (!readCefxHeader(r, header, layout) || !channelExists(header.channel) ||
        !r.seek(layout.first)) {
        return;
    }
    MixerChannel& c = mixer_.channels[header.channel];
    for (int n = 0; n < layout.effects; ++n) {
        EffectDesc d;
        if (!readChannelEffectRecord(r, d)) {
            return;
        }
        const auto type = effectTypeByName(d.type);
        if (!type) {
            continue;
        }
        const int slot = clampSlot(d.slot);
        if (static_cast<int>(c.effects.size()) <= slot) {
            c.effects.resize(static_cast<size_t>(slot) + 1);
        }
        c.effects[slot].type = *type;
        c.effects[slot].effect = makeEffect(*type, settings_);
        if (!d.params.empty()) {
            c.effects[slot].effect->setParameters(d.params.data(),
                                                  static_cast<int>(d.params.size()));
        }
    }
}

int Player::placeInstrument(int32_t requested, const std::string& name) {
    // Into the first empty entry, else at the requested index beyond the
    // end (entries between stay empty), else at the end.
    for (size_t i = 0; i < instruments_.size(); ++i) {
        if (!instruments_[i]) {
            return static_cast<int>(i);
        }
    }
    const auto size = static_cast<int32_t>(instruments_.size());
    if (requested >= size && requested < kInstrumentTableLimit) {
        instruments_.resize(static_cast<size_t>(requested) + 1);
        return requested;
    }
    if (requested >= size) {
        configWarnings_.push_back("instrument \"" + name + "\": index " +
                                  std::to_string(requested) + " is past the table's limit of " +
                                  std::to_string(kInstrumentTableLimit) + "; it takes index " +
                                  std::to_string(size));
    }
    instruments_.emplace_back();
    return size;
}

void Player::readInstrument(const vfs::Bytes& data) {
    ByteReader r(data.data(), data.size());
    std::string name;
    r.name(r.i32(), name);
    const int64_t h = static_cast<int64_t>(r.position());
    ChunkDesc header;
    RecordLayout layout;
    if (!r.ok() || !readInstHeader(r, header, layout)) {
        return;
    }
    const int index = placeInstrument(header.index, name);
    instruments_[index] = std::make_unique<Instrument>(settings_);
    current_ = index;
    Instrument& in = *instruments_[index];
    configureInstrument(in, name, header);
    // A record that does not fit ends the chunk, but the instrument keeps
    // what was read and still takes its channel.
    if (r.seek(h + layout.first) && readGenerators(r, layout.generators, in) &&
        readEffects(r, layout.effects, in)) {
        readEnvelopes(r, in);
    }
    if (header.channel >= 0) {
        assignInstrument(header.channel, index);
    }
}

}  // namespace kvx::synth
