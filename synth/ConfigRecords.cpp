// The record layouts of the configuration chunks, shared by the player and
// the dump.
#include "synth/ConfigRecords.h"

namespace kvx::synth {

using core::ByteReader;

namespace {

// A block of parameters: its size, then the bytes.
bool readParams(ByteReader& r, vfs::Bytes& out) {
    const int32_t size = r.i32();
    const uint8_t* p = r.bytes(size);
    if (!r.ok()) {
        return false;
    }
    out.assign(p, p + size);
    return true;
}

}  // namespace

bool readCefxHeader(ByteReader& r, ChunkDesc& c, RecordLayout& layout) {
    layout.first = r.i32();
    c.channel = r.i8();
    r.skip(3);
    layout.effects = r.u8();
    return r.ok();
}

bool readInstHeader(ByteReader& r, ChunkDesc& c, RecordLayout& layout) {
    layout.first = r.i32();
    c.index = r.i32();
    c.channel = r.i8();
    c.polyphony = r.i8();
    c.flags = r.u8();
    r.skip(1);
    layout.generators = r.u8();
    c.ampSustain = r.u8();
    c.panSustain = r.u8();
    layout.effects = r.u8();
    c.bendDepth = r.u8();
    c.wheelDepth = r.u8();
    c.lfoRate = r.u16();
    c.seqLength = r.i32();
    c.seqLoop = r.i32();
    c.seqDuration = r.i32();
    for (int32_t& s : c.steps) {
        s = r.i32();
    }
    r.skip(2);
    c.lfoDestination = r.u8();
    c.velocityMode = r.u8();
    c.lfoDepth = r.u8();
    c.portamento = r.u8();
    return r.ok();
}

bool readGeneratorRecord(ByteReader& r, GeneratorDesc& g) {
    g.slot = r.i32();
    r.name(r.i32(), g.type);
    g.level = r.i32();
    g.pan = r.i32();
    g.spread = r.i32();
    g.pitch = r.i32();
    return readParams(r, g.params);
}

bool readInstEffectRecord(ByteReader& r, EffectDesc& e) {
    e.slot = r.i32();
    r.name(r.i32(), e.type);
    for (int32_t& v : e.values) {
        v = r.i32();
    }
    return readParams(r, e.params);
}

bool readChannelEffectRecord(ByteReader& r, EffectDesc& e) {
    e.slot = r.i32();
    r.name(r.i32(), e.type);
    return readParams(r, e.params);
}

}  // namespace kvx::synth
