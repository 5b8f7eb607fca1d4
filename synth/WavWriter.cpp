// RIFF/WAVE writing and reading (see WavWriter.h).
#include "synth/WavWriter.h"

#include <algorithm>
#include <cstring>

#include "core/ByteReader.h"

namespace kvx::synth {

using core::ByteReader;

namespace {

void put32(vfs::Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}
void put16(vfs::Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void putTag(vfs::Bytes& b, const char* t) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(t[i]));
    }
}

}  // namespace

vfs::Bytes makeWav(const std::vector<int16_t>& samples, int sampleRate, int channels) {
    vfs::Bytes b = makeWavHeader(samples.size(), sampleRate, channels);
    appendWavSamples(b, samples.data(), samples.size());
    return b;
}

void appendWavSamples(vfs::Bytes& out, const int16_t* samples, size_t count) {
    out.reserve(out.size() + count * 2);
    for (size_t i = 0; i < count; ++i) {
        put16(out, static_cast<uint16_t>(samples[i]));
    }
}

vfs::Bytes makeWavHeader(size_t sampleCount, int sampleRate, int channels) {
    // A RIFF size is 32 bits: longer recordings are cut at its limit.
    const auto dataBytes =
        static_cast<uint32_t>(std::min<size_t>(sampleCount * 2, 0xFFFFFFFFu - 36));
    vfs::Bytes b;
    b.reserve(44);
    putTag(b, "RIFF");
    put32(b, 36 + dataBytes);
    putTag(b, "WAVE");
    putTag(b, "fmt ");
    put32(b, 16);
    put16(b, 1);  // PCM
    put16(b, static_cast<uint16_t>(channels));
    put32(b, static_cast<uint32_t>(sampleRate));
    put32(b, static_cast<uint32_t>(sampleRate * channels * 2));
    put16(b, static_cast<uint16_t>(channels * 2));
    put16(b, 16);
    putTag(b, "data");
    put32(b, dataBytes);
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
