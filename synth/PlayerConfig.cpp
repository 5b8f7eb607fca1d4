// The configuration reader: a "kvx::chunks" file whose HEAD, CEFX and INST
// chunks set up the output, the mixer channels, their effects and the
// instruments.
//
// Until one HEAD has been accepted (device open, channels created) every
// other chunk is skipped; later HEADs are skipped. Every offset and length
// inside a chunk is checked against the chunk's size: a chunk that claims
// more than it holds is read up to that point and the rest of it is skipped.
#include <algorithm>

#include "core/ByteReader.h"
#include "synth/Player.h"
#include "vfs/ChunkFile.h"

namespace kvx::synth {

using core::ByteReader;

namespace {

constexpr int32_t kHead = vfs::tagId("HEAD");
constexpr int32_t kCefx = vfs::tagId("CEFX");
constexpr int32_t kInst = vfs::tagId("INST");

// Size of the fixed part of HEAD (without key ranges) and with them.
constexpr size_t kHeadSize = 40;
constexpr size_t kHeadRangesSize = 72;
// Fixed instrument header, from H to the last field (portamento rate).
constexpr int64_t kInstHeaderSize = 102;
// Program changes address instruments 0..127; the table never grows beyond.
constexpr int kMaxInstruments = 128;

int clampSlot(int32_t slot) {
    return std::clamp<int32_t>(slot, 0, kMaxSlots - 1);
}

}  // namespace

bool Player::parseConfig(const vfs::Bytes& bytes) {
    vfs::ChunkFile file;
    if (!file.openBytes(bytes)) {
        return false;
    }
    while (file.isOpen() && file.chunksRead() < file.chunkCount()) {
        const vfs::Chunk chunk = file.nextChunk();
        if (chunk.isNone()) {
            break;
        }
        if (chunk.tag() == kHead) {
            if (!accepted_) {
                readHead(chunk.data());
            }
        } else if (!accepted_) {
            continue;
        } else if (chunk.tag() == kCefx) {
            readChannelEffects(chunk.data());
        } else if (chunk.tag() == kInst) {
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
    const int32_t first = r.i32();
    const int channel = r.i8();
    r.skip(3);
    const int count = r.u8();
    if (!r.ok() || !channelExists(channel) || !r.seek(first)) {
        return;
    }
    MixerChannel& c = mixer_.channels[channel];
    for (int n = 0; n < count; ++n) {
        const int slot = clampSlot(r.i32());
        std::string name;
        r.name(r.i32(), name);
        const int32_t size = r.i32();
        const uint8_t* params = r.bytes(size);
        if (!r.ok()) {
            return;
        }
        const int type = effectTypeByName(name);
        if (type < 0) {
            continue;
        }
        if (static_cast<int>(c.effects.size()) <= slot) {
            c.effects.resize(static_cast<size_t>(slot) + 1);
        }
        c.effects[slot].type = type;
        c.effects[slot].effect = makeEffect(type, settings_);
        if (size != 0) {
            c.effects[slot].effect->setParameters(params, size);
        }
    }
}

void Player::readInstrument(const vfs::Bytes& data) {
    ByteReader r(data.data(), data.size());
    std::string name;
    r.name(r.i32(), name);
    const int64_t h = static_cast<int64_t>(r.position());
    if (!r.ok() || r.remaining() < static_cast<size_t>(kInstHeaderSize)) {
        return;
    }
    const int32_t first = r.i32();
    const int32_t requested = r.i32();
    const int channel = r.i8();
    const int polyphony = r.i8();
    const uint8_t flags = r.u8();
    r.skip(1);
    const int generatorCount = r.u8();
    const int ampSustain = r.u8();
    const int panSustain = r.u8();
    const int effectCount = r.u8();
    const int bendDepth = r.u8();
    const int wheelDepth = r.u8();
    const int lfoRate = r.u16();
    const int32_t seqLength = r.i32();
    const int32_t seqLoop = r.i32();
    const int32_t seqDuration = r.i32();
    std::array<int32_t, 16> steps{};
    for (int32_t& s : steps) {
        s = r.i32();
    }
    r.skip(2);
    const int lfoDestination = r.u8();
    const int velocityMode = r.u8();
    const int lfoDepth = r.u8();
    const int portamento = r.u8();

    // Into the first empty entry, else at the requested index beyond the
    // end, else at the end; the table is bounded, so a huge index appends.
    int index = -1;
    for (size_t i = 0; i < instruments_.size(); ++i) {
        if (!instruments_[i]) {
            index = static_cast<int>(i);
            break;
        }
    }
    if (index < 0) {
        if (requested >= static_cast<int32_t>(instruments_.size()) && requested < kMaxInstruments) {
            index = requested;
            instruments_.resize(static_cast<size_t>(requested) + 1);
        } else if (static_cast<int>(instruments_.size()) < kMaxInstruments) {
            index = static_cast<int>(instruments_.size());
            instruments_.emplace_back();
        } else {
            return;
        }
    }
    instruments_[index] = std::make_unique<Instrument>(settings_);
    current_ = index;
    Instrument& in = *instruments_[index];
    in.name = name;
    in.channel = -1;
    in.polyphony = polyphony;
    in.flags = flags;
    in.ampEnvelope.sustain = ampSustain;
    in.panEnvelope.sustain = panSustain;
    in.bendRoute = 3;
    in.bendDepth = bendDepth;
    in.wheelRoute = 4;
    in.wheelDepth = wheelDepth;
    in.setLfoRate(lfoRate);
    in.lfoDestination = lfoDestination;
    in.velocityMode = velocityMode;
    in.lfoDepth = lfoDepth;
    in.portamento = portamento;
    if (seqLength != -1) {
        in.sequencer = std::make_unique<StepSequencer>();
        in.sequencer->length = seqLength;
        in.sequencer->loopBack = seqLoop;
        in.sequencer->duration = seqDuration;
        in.sequencer->steps = steps;
    }

    // The records; a record that does not fit ends the chunk, but the
    // instrument keeps what was read and still takes its channel.
    [&] {
        if (!r.seek(h + first)) {
            return;
        }
        for (int n = 0; n < generatorCount; ++n) {
            const int slot = clampSlot(r.i32());
            std::string type;
            r.name(r.i32(), type);
            const int32_t level = r.i32();
            const int32_t pan = r.i32();
            const int32_t spread = r.i32();
            const int32_t pitch = r.i32();
            r.bytes(r.i32());
            if (!r.ok()) {
                return;
            }
            const int t = generatorTypeByName(type);
            if (t >= 0) {
                in.setGenerator(slot, t, level, pan, spread, pitch);
            }
        }
        for (int n = 0; n < effectCount; ++n) {
            const int slot = clampSlot(r.i32());
            std::string type;
            r.name(r.i32(), type);
            int32_t values[6];
            for (int32_t& v : values) {
                v = r.i32();
            }
            const int32_t size = r.i32();
            const uint8_t* params = r.bytes(size);
            if (!r.ok()) {
                return;
            }
            const int t = effectTypeByName(type);
            if (t < 0) {
                continue;
            }
            EffectSlot* e = in.setEffect(slot, t);
            e->aux = values[0];
            e->cutoff = values[1];
            e->resonance = values[2];
            e->cutoffDepth = values[4];
            e->resonanceDepth = values[5];
            if (size != 0) {
                e->effect->setParameters(params, size);
            }
        }
        for (Envelope* env : {&in.ampEnvelope, &in.panEnvelope}) {
            const int points = static_cast<int8_t>(r.i32() & 0xFF);
            for (int p = 0; p < points; ++p) {
                const int32_t ms = r.i32();
                const float level = r.f32();
                if (!r.ok()) {
                    return;
                }
                env->insertPoint(ms, level);
            }
        }
    }();

    if (channel >= 0) {
        assignInstrument(channel, index);
    }
}

}  // namespace kvx::synth
