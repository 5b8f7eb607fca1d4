// Binary side of the configuration model (see ConfigText.h): building the
// chunk file from a ConfigDesc, and reading one back into a ConfigDesc.
#include <array>
#include <string_view>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"
#include "synth/ConfigRecords.h"
#include "synth/ConfigText.h"
#include "vfs/ChunkFile.h"

namespace kvx::synth {

using core::ByteReader;

namespace {

// ---- binary building -------------------------------------------------------

void putName(core::ByteWriter& w, const std::string& name) {
    w.i32(static_cast<int32_t>(name.size() + 1));
    w.bytes(reinterpret_cast<const uint8_t*>(name.data()), name.size());
    w.u8(0);
}
void putParams(core::ByteWriter& w, const vfs::Bytes& params) {
    w.i32(static_cast<int32_t>(params.size()));
    w.bytes(params);
}

// Records start right after the fixed headers.
constexpr int32_t kCefxRecords = 12;
constexpr int32_t kInstRecords = 104;

void buildHead(core::ByteWriter& w, const ChunkDesc& c) {
    w.u8(c.stereo);
    w.u8(static_cast<uint8_t>(c.channels));
    w.u8(c.tempo);
    w.u8(c.version);
    w.bytes(c.map.data(), c.map.size());
    w.u8(c.masterLeft);
    w.u8(c.masterRight);
    w.u16(0);
    w.bytes(c.gains.data(), c.gains.size());
    if (c.version > 2) {
        w.bytes(c.ranges.data(), c.ranges.size());
    }
}

void buildCefx(core::ByteWriter& w, const ChunkDesc& c) {
    w.i32(kCefxRecords);
    w.u8(static_cast<uint8_t>(c.channel));
    w.zeros(3);
    w.u8(static_cast<uint8_t>(c.effects.size()));
    w.zeros(3);
    for (const EffectDesc& e : c.effects) {
        w.i32(e.slot);
        putName(w, e.type);
        putParams(w, e.params);
    }
}

void buildInstHeader(core::ByteWriter& w, const ChunkDesc& c) {
    w.i32(kInstRecords);
    w.i32(c.index);
    w.u8(static_cast<uint8_t>(c.channel));
    w.u8(static_cast<uint8_t>(c.polyphony));
    w.u8(c.flags);
    w.u8(0);
    w.u8(static_cast<uint8_t>(c.generators.size()));
    w.u8(c.ampSustain);
    w.u8(c.panSustain);
    w.u8(static_cast<uint8_t>(c.effects.size()));
    w.u8(c.bendDepth);
    w.u8(c.wheelDepth);
    w.u16(c.lfoRate);
    w.i32(c.seqLength);
    w.i32(c.seqLoop);
    w.i32(c.seqDuration);
    for (int32_t s : c.steps) {
        w.i32(s);
    }
    w.u16(0);
    w.u8(c.lfoDestination);
    w.u8(c.velocityMode);
    w.u8(c.lfoDepth);
    w.u8(c.portamento);
    w.u16(0);
}

void buildInst(core::ByteWriter& w, const ChunkDesc& c) {
    putName(w, c.name);
    buildInstHeader(w, c);
    for (const GeneratorDesc& g : c.generators) {
        w.i32(g.slot);
        putName(w, g.type);
        w.i32(g.level);
        w.i32(g.pan);
        w.i32(g.spread);
        w.i32(g.pitch);
        putParams(w, g.params);
    }
    for (const EffectDesc& e : c.effects) {
        w.i32(e.slot);
        putName(w, e.type);
        for (int32_t v : e.values) {
            w.i32(v);
        }
        putParams(w, e.params);
    }
    for (const EnvelopeDesc* env : {&c.amp, &c.pan}) {
        w.i32(static_cast<int32_t>(env->points.size()));
        for (const auto& [ms, level] : env->points) {
            w.i32(ms);
            w.f32(level);
        }
    }
}

vfs::Bytes buildChunk(const ChunkDesc& c) {
    vfs::Bytes b;
    core::ByteWriter w(b);
    switch (c.kind) {
        case ChunkDesc::Kind::Head:
            buildHead(w, c);
            break;
        case ChunkDesc::Kind::Cefx:
            buildCefx(w, c);
            break;
        case ChunkDesc::Kind::Inst:
            buildInst(w, c);
            break;
        case ChunkDesc::Kind::Raw:
            b = c.raw;
            break;
    }
    return b;
}

// The chunk's tag; a kept chunk's tag may hold NUL bytes, so it is a view of
// all four bytes, not a C string.
std::string_view kindTag(const ChunkDesc& c) {
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
    return c.tag;
}

// ---- binary reading ----------------------------------------------------------

template <size_t N>
void readArray(ByteReader& r, std::array<uint8_t, N>& out) {
    for (uint8_t& v : out) {
        v = r.u8();
    }
}

bool decodeHead(ByteReader& r, ChunkDesc& c) {
    c.kind = ChunkDesc::Kind::Head;
    c.stereo = r.u8();
    c.channels = r.i8();
    c.tempo = r.u8();
    c.version = r.u8();
    readArray(r, c.map);
    c.masterLeft = r.u8();
    c.masterRight = r.u8();
    r.skip(2);
    readArray(r, c.gains);
    if (c.version > 2) {
        readArray(r, c.ranges);
    }
    return r.ok();
}

bool decodeCefx(ByteReader& r, ChunkDesc& c) {
    c.kind = ChunkDesc::Kind::Cefx;
    RecordLayout layout;
    readCefxHeader(r, c, layout);
    r.seek(layout.first);
    for (int i = 0; i < layout.effects && r.ok(); ++i) {
        EffectDesc e;
        readChannelEffectRecord(r, e);
        c.effects.push_back(std::move(e));
    }
    return r.ok();
}

bool decodeInst(ByteReader& r, ChunkDesc& c) {
    c.kind = ChunkDesc::Kind::Inst;
    r.name(r.i32(), c.name);
    const int64_t h = static_cast<int64_t>(r.position());
    RecordLayout layout;
    readInstHeader(r, c, layout);
    r.seek(h + layout.first);
    for (int i = 0; i < layout.generators && r.ok(); ++i) {
        GeneratorDesc g;
        readGeneratorRecord(r, g);
        c.generators.push_back(std::move(g));
    }
    for (int i = 0; i < layout.effects && r.ok(); ++i) {
        EffectDesc e;
        readInstEffectRecord(r, e);
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

bool decodeChunk(int32_t tag, const vfs::Bytes& d, ChunkDesc& c) {
    ByteReader r(d.data(), d.size());
    if (tag == kHeadTag) {
        return decodeHead(r, c);
    }
    if (tag == kCefxTag) {
        return decodeCefx(r, c);
    }
    if (tag == kInstTag) {
        return decodeInst(r, c);
    }
    return false;
}

// Where the container header keeps the chunk count.
constexpr size_t kCountOffset = 19;

// A chunk as the text shows it: decoded, or kept byte for byte when it is
// not in canonical layout or holds what the text cannot carry.
ChunkDesc describeChunk(const vfs::Chunk& chunk) {
    ChunkDesc c;
    if (decodeChunk(chunk.tag(), chunk.data(), c) && buildChunk(c) == chunk.data() &&
        textCanCarry(c)) {
        return c;
    }
    c = ChunkDesc{};
    c.kind = ChunkDesc::Kind::Raw;
    const auto t = static_cast<uint32_t>(chunk.tag());
    for (int i = 0; i < 4; ++i) {
        c.tag += static_cast<char>((t >> (8 * i)) & 0xFF);
    }
    c.raw = chunk.data();
    return c;
}

}  // namespace

vfs::Bytes buildConfig(const ConfigDesc& config) {
    vfs::ChunkWriter w(config.version, config.reserved);
    for (const ChunkDesc& c : config.chunks) {
        w.add(kindTag(c), buildChunk(c));
    }
    vfs::Bytes out = w.finish();
    if (config.declaredCount) {
        core::storeI32(out.data() + kCountOffset, *config.declaredCount);
    }
    out.insert(out.end(), config.tail.begin(), config.tail.end());
    return out;
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
    // The reader forgets the announced count when a chunk is cut short.
    ByteReader header(bytes.data(), bytes.size());
    header.seek(kCountOffset);
    const int32_t announced = header.i32();
    size_t end = kCountOffset + 4;
    while (file.chunksRead() < file.chunkCount()) {
        const vfs::Chunk chunk = file.nextChunk();
        if (chunk.isNone()) {
            break;  // cut short: its bytes go to the tail
        }
        end += 8 + static_cast<size_t>(chunk.size());
        out.chunks.push_back(describeChunk(chunk));
    }
    if (announced != static_cast<int32_t>(out.chunks.size())) {
        out.declaredCount = announced;
    }
    out.tail.assign(bytes.begin() + static_cast<std::ptrdiff_t>(end), bytes.end());
    return true;
}

}  // namespace kvx::synth
