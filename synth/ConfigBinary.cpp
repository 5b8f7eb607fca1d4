// Binary side of the configuration model (see ConfigText.h): building the
// chunk file from a ConfigDesc, and reading one back into a ConfigDesc.
#include <cstring>

#include "core/ByteReader.h"
#include "synth/ConfigText.h"
#include "vfs/ChunkFile.h"

namespace kvx::synth {

using core::ByteReader;

namespace {

// ---- binary building -------------------------------------------------------

void put8(vfs::Bytes& b, uint8_t v) {
    b.push_back(v);
}
void put16(vfs::Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(vfs::Bytes& b, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(u >> (8 * i)));
    }
}
void putF(vfs::Bytes& b, float f) {
    uint32_t u = 0;
    std::memcpy(&u, &f, 4);
    put32(b, static_cast<int32_t>(u));
}
void putName(vfs::Bytes& b, const std::string& name) {
    put32(b, static_cast<int32_t>(name.size() + 1));
    for (char c : name) {
        b.push_back(static_cast<uint8_t>(c));
    }
    b.push_back(0);
}
void putParams(vfs::Bytes& b, const vfs::Bytes& params) {
    put32(b, static_cast<int32_t>(params.size()));
    b.insert(b.end(), params.begin(), params.end());
}

constexpr int32_t kCefxRecords = 12;
constexpr int32_t kInstRecords = 104;

vfs::Bytes buildChunk(const ChunkDesc& c) {
    vfs::Bytes b;
    switch (c.kind) {
        case ChunkDesc::Kind::Head:
            put8(b, c.stereo);
            put8(b, static_cast<uint8_t>(c.channels));
            put8(b, c.tempo);
            put8(b, c.version);
            b.insert(b.end(), c.map.begin(), c.map.end());
            put8(b, c.masterLeft);
            put8(b, c.masterRight);
            put16(b, 0);
            b.insert(b.end(), c.gains.begin(), c.gains.end());
            if (c.version > 2) {
                b.insert(b.end(), c.ranges.begin(), c.ranges.end());
            }
            break;
        case ChunkDesc::Kind::Cefx:
            put32(b, kCefxRecords);
            put8(b, static_cast<uint8_t>(c.channel));
            b.insert(b.end(), 3, 0);
            put8(b, static_cast<uint8_t>(c.effects.size()));
            b.insert(b.end(), 3, 0);
            for (const EffectDesc& e : c.effects) {
                put32(b, e.slot);
                putName(b, e.type);
                putParams(b, e.params);
            }
            break;
        case ChunkDesc::Kind::Inst:
            putName(b, c.name);
            put32(b, kInstRecords);
            put32(b, c.index);
            put8(b, static_cast<uint8_t>(c.channel));
            put8(b, static_cast<uint8_t>(c.polyphony));
            put8(b, c.flags);
            put8(b, 0);
            put8(b, static_cast<uint8_t>(c.generators.size()));
            put8(b, c.ampSustain);
            put8(b, c.panSustain);
            put8(b, static_cast<uint8_t>(c.effects.size()));
            put8(b, c.bendDepth);
            put8(b, c.wheelDepth);
            put16(b, c.lfoRate);
            put32(b, c.seqLength);
            put32(b, c.seqLoop);
            put32(b, c.seqDuration);
            for (int32_t s : c.steps) {
                put32(b, s);
            }
            put16(b, 0);
            put8(b, c.lfoDestination);
            put8(b, c.velocityMode);
            put8(b, c.lfoDepth);
            put8(b, c.portamento);
            put16(b, 0);
            for (const GeneratorDesc& g : c.generators) {
                put32(b, g.slot);
                putName(b, g.type);
                put32(b, g.level);
                put32(b, g.pan);
                put32(b, g.spread);
                put32(b, g.pitch);
                putParams(b, g.params);
            }
            for (const EffectDesc& e : c.effects) {
                put32(b, e.slot);
                putName(b, e.type);
                for (int32_t v : e.values) {
                    put32(b, v);
                }
                putParams(b, e.params);
            }
            for (const EnvelopeDesc* env : {&c.amp, &c.pan}) {
                put32(b, static_cast<int32_t>(env->points.size()));
                for (const auto& [ms, level] : env->points) {
                    put32(b, ms);
                    putF(b, level);
                }
            }
            break;
        case ChunkDesc::Kind::Raw:
            b = c.raw;
            break;
    }
    return b;
}

const char* kindTag(const ChunkDesc& c) {
    switch (c.kind) {
        case ChunkDesc::Kind::Head:
            return "HEAD";
        case ChunkDesc::Kind::Cefx:
            return "CEFX";
        case ChunkDesc::Kind::Inst:
            return "INST";
        case ChunkDesc::Kind::Raw:
            break;
    }
    return c.tag.c_str();
}

// ---- binary reading ----------------------------------------------------------

bool readParams(ByteReader& r, vfs::Bytes& out) {
    const int32_t m = r.i32();
    const uint8_t* p = r.bytes(m);
    if (!r.ok()) {
        return false;
    }
    out.assign(p, p + m);
    return true;
}

bool decodeChunk(int32_t tag, const vfs::Bytes& d, ChunkDesc& c) {
    ByteReader r(d.data(), d.size());
    if (tag == vfs::tagId("HEAD")) {
        c.kind = ChunkDesc::Kind::Head;
        if (d.size() < 40) {
            return false;
        }
        c.stereo = d[0];
        c.channels = static_cast<int8_t>(d[1]);
        c.tempo = d[2];
        c.version = d[3];
        std::copy(d.begin() + 4, d.begin() + 20, c.map.begin());
        c.masterLeft = d[20];
        c.masterRight = d[21];
        std::copy(d.begin() + 24, d.begin() + 40, c.gains.begin());
        if (c.version > 2) {
            if (d.size() < 72) {
                return false;
            }
            std::copy(d.begin() + 40, d.begin() + 72, c.ranges.begin());
        }
        return true;
    }
    if (tag == vfs::tagId("CEFX")) {
        c.kind = ChunkDesc::Kind::Cefx;
        const int32_t first = r.i32();
        c.channel = r.i8();
        r.skip(3);
        const int n = r.u8();
        r.seek(first);
        for (int i = 0; i < n && r.ok(); ++i) {
            EffectDesc e;
            e.slot = r.i32();
            r.name(r.i32(), e.type);
            readParams(r, e.params);
            c.effects.push_back(std::move(e));
        }
        return r.ok();
    }
    if (tag == vfs::tagId("INST")) {
        c.kind = ChunkDesc::Kind::Inst;
        r.name(r.i32(), c.name);
        const int64_t h = static_cast<int64_t>(r.position());
        const int32_t first = r.i32();
        c.index = r.i32();
        c.channel = r.i8();
        c.polyphony = r.i8();
        c.flags = r.u8();
        r.skip(1);
        const int gens = r.u8();
        c.ampSustain = r.u8();
        c.panSustain = r.u8();
        const int fx = r.u8();
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
        r.seek(h + first);
        for (int i = 0; i < gens && r.ok(); ++i) {
            GeneratorDesc g;
            g.slot = r.i32();
            r.name(r.i32(), g.type);
            g.level = r.i32();
            g.pan = r.i32();
            g.spread = r.i32();
            g.pitch = r.i32();
            readParams(r, g.params);
            c.generators.push_back(std::move(g));
        }
        for (int i = 0; i < fx && r.ok(); ++i) {
            EffectDesc e;
            e.slot = r.i32();
            r.name(r.i32(), e.type);
            for (int32_t& v : e.values) {
                v = r.i32();
            }
            readParams(r, e.params);
            c.effects.push_back(std::move(e));
        }
        for (EnvelopeDesc* env : {&c.amp, &c.pan}) {
            const int32_t n = r.i32();
            for (int32_t i = 0; i < n && r.ok(); ++i) {
                const int32_t ms = r.i32();
                const float level = r.f32();
                env->points.emplace_back(ms, level);
            }
        }
        return r.ok();
    }
    return false;
}

// Names the text form can carry inside quotes.
bool textSafe(const std::string& s) {
    for (char ch : s) {
        if (ch == '"' || ch == '\n' || ch == '\r') {
            return false;
        }
    }
    return true;
}

bool textSafe(const ChunkDesc& c) {
    bool ok = textSafe(c.name);
    for (const GeneratorDesc& g : c.generators) {
        ok = ok && textSafe(g.type);
    }
    for (const EffectDesc& e : c.effects) {
        ok = ok && textSafe(e.type);
    }
    return ok;
}

}  // namespace

vfs::Bytes buildConfig(const ConfigDesc& config) {
    vfs::ChunkWriter w(config.version, config.reserved);
    for (const ChunkDesc& c : config.chunks) {
        w.add(kindTag(c), buildChunk(c));
    }
    return w.finish();
}

bool readConfig(const vfs::Bytes& bytes, ConfigDesc& out, std::string& error) {
    vfs::ChunkFile file;
    if (!file.openBytes(bytes)) {
        error = "not a kvx::chunks file";
        return false;
    }
    out = ConfigDesc{};
    out.version = file.version();
    out.reserved = file.reserved();
    while (file.chunksRead() < file.chunkCount()) {
        const vfs::Chunk chunk = file.nextChunk();
        if (chunk.isNone()) {
            error = "chunk " + std::to_string(out.chunks.size()) + " runs past the end of the file";
            return false;
        }
        ChunkDesc c;
        // A chunk that is not in canonical layout is kept byte for byte.
        if (!decodeChunk(chunk.tag(), chunk.data(), c) || buildChunk(c) != chunk.data() ||
            !textSafe(c)) {
            c = ChunkDesc{};
            c.kind = ChunkDesc::Kind::Raw;
            const auto t = static_cast<uint32_t>(chunk.tag());
            for (int i = 0; i < 4; ++i) {
                c.tag += static_cast<char>((t >> (8 * i)) & 0xFF);
            }
            c.raw = chunk.data();
        }
        out.chunks.push_back(std::move(c));
    }
    return true;
}

}  // namespace kvx::synth
