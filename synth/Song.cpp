// Song file parsing, writing and sequencing (see Song.h).
#include "synth/Song.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/ByteWriter.h"

namespace kvx::synth {

namespace {
constexpr char kMagic[] = "kvx::song";
constexpr size_t kHeader = 15;
}  // namespace

bool readVlq(core::ByteReader& r, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        const uint8_t b = r.u8();
        if (!r.ok()) {
            return false;
        }
        value = (value << 7) | (b & 0x7Fu);
        if ((b & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

bool readVlq(const uint8_t* data, size_t size, size_t& pos, uint32_t& value) {
    core::ByteReader r(data, size);
    if (!r.seek(static_cast<int64_t>(pos))) {
        return false;
    }
    const bool ok = readVlq(r, value);
    pos = r.position();
    return ok;
}

void writeVlq(vfs::Bytes& out, uint32_t value, int length) {
    value &= 0x0FFFFFFFu;
    length = std::min(length, 4);
    uint8_t tmp[4];
    int n = 0;
    do {
        tmp[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while ((value != 0 || n < length) && n < 4);
    while (n > 0) {
        --n;
        out.push_back(static_cast<uint8_t>(tmp[n] | (n > 0 ? 0x80 : 0)));
    }
}

bool Song::parse(const uint8_t* data, size_t size) {
    clear();
    if (data == nullptr || size < kHeader || std::memcmp(data, kMagic, 9) != 0) {
        return false;
    }
    core::ByteReader r(data, size);
    r.skip(11);
    const uint32_t count = r.u32();
    // An event takes at least four bytes, so this bounds the allocation.
    events_.reserve(std::min<size_t>(count, r.remaining() / 4));
    int64_t time = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t delta = 0;
        if (!readVlq(r, delta)) {
            break;
        }
        SongEvent e;
        e.status = r.u8();
        e.data1 = r.u8();
        e.data2 = r.u8();
        if (!r.ok()) {
            break;
        }
        time = std::min<int64_t>(time + delta, std::numeric_limits<int32_t>::max());
        e.time = static_cast<int32_t>(time);
        events_.push_back(e);
    }
    return true;
}

void Song::advance(uint32_t ms) {
    elapsed_ += ms;
    while (position_ < events_.size() && elapsed_ >= events_[position_].time) {
        if (sink_ != nullptr) {
            sink_->onMessage(events_[position_]);
        }
        ++position_;
    }
}

vfs::Bytes writeSong(const std::vector<SongEvent>& events) {
    vfs::Bytes out(kMagic, kMagic + 9);
    core::ByteWriter w(out);
    w.zeros(2);
    w.u32(static_cast<uint32_t>(events.size()));
    int64_t last = 0;
    for (const SongEvent& e : events) {
        const int64_t delta = std::max<int64_t>(0, e.time - last);
        writeVlq(out, static_cast<uint32_t>(std::min<int64_t>(delta, 0x0FFFFFFF)));
        last += std::min<int64_t>(delta, 0x0FFFFFFF);
        out.push_back(e.status);
        out.push_back(e.data1);
        out.push_back(e.data2);
    }
    return out;
}

}  // namespace kvx::synth
