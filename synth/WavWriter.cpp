// RIFF/WAVE writing and reading (see WavWriter.h).
#include "synth/WavWriter.h"

#include <algorithm>
#include <cstring>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

namespace kvx::synth {

using core::ByteReader;

namespace {

void putTag(core::ByteWriter& w, const char* t) {
    w.bytes(reinterpret_cast<const uint8_t*>(t), 4);
}

}  // namespace

vfs::Bytes makeWav(const std::vector<int16_t>& samples, int sampleRate, int channels) {
    vfs::Bytes b = makeWavHeader(samples.size(), sampleRate, channels);
    appendWavSamples(b, samples.data(), samples.size());
    return b;
}

void appendWavSamples(vfs::Bytes& out, const int16_t* samples, size_t count) {
    out.reserve(out.size() + count * 2);
    core::ByteWriter w(out);
    for (size_t i = 0; i < count; ++i) {
        w.u16(static_cast<uint16_t>(samples[i]));
    }
}

vfs::Bytes makeWavHeader(size_t sampleCount, int sampleRate, int channels) {
    // A RIFF size is 32 bits: longer recordings are cut at its limit.
    const auto dataBytes =
        static_cast<uint32_t>(std::min<size_t>(sampleCount * 2, 0xFFFFFFFFu - 36));
    vfs::Bytes b;
    b.reserve(44);
    core::ByteWriter w(b);
    putTag(w, "RIFF");
    w.u32(36 + dataBytes);
    putTag(w, "WAVE");
    putTag(w, "fmt ");
    w.u32(16);
    w.u16(1);  // PCM
    w.u16(static_cast<uint16_t>(channels));
    w.u32(static_cast<uint32_t>(sampleRate));
    w.u32(static_cast<uint32_t>(sampleRate * channels * 2));
    w.u16(static_cast<uint16_t>(channels * 2));
    w.u16(16);
    putTag(w, "data");
    w.u32(dataBytes);
    return b;
}

bool parseWav(const vfs::Bytes& bytes, WavData& out) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    ByteReader r(bytes.data(), bytes.size());
    r.skip(12);
    bool haveFormat = false;
    while (r.ok() && r.remaining() >= 8) {
        char tag[4];
        for (char& c : tag) {
            c = static_cast<char>(r.u8());
        }
        const int32_t size = r.i32();
        if (size < 0 || static_cast<size_t>(size) > r.remaining()) {
            return false;
        }
        const size_t start = r.position();
        if (std::memcmp(tag, "fmt ", 4) == 0 && size >= 16) {
            const int format = r.u16();
            out.channels = r.u16();
            out.sampleRate = r.i32();
            r.skip(6);
            const int bits = r.u16();
            if (format != 1 || bits != 16 || out.channels < 1) {
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(tag, "data", 4) == 0 && haveFormat) {
            out.samples.resize(static_cast<size_t>(size) / 2);
            for (int16_t& s : out.samples) {
                s = static_cast<int16_t>(r.u16());
            }
            return r.ok();
        }
        r.seek(static_cast<int64_t>(start) + size + (size & 1));
    }
    return false;
}

}  // namespace kvx::synth
