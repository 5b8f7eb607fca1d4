// Song file parsing, writing and sequencing (see Song.h).
#include "synth/Song.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kvx::synth {

namespace {
constexpr char kMagic[] = "kvx::song";
constexpr size_t kHeader = 15;
}  // namespace

bool readVlq(const uint8_t* data, size_t size, size_t& pos, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= size) {
            return false;
        }
        const uint8_t b = data[pos++];
        value = (value << 7) | (b & 0x7Fu);
        if ((b & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

void writeVlq(vfs::Bytes& out, uint32_t value) {
    value &= 0x0FFFFFFFu;
    uint8_t tmp[4];
    int n = 0;
    do {
        tmp[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && n < 4);
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
    const uint32_t count = static_cast<uint32_t>(data[11]) | static_cast<uint32_t>(data[12]) << 8 |
                           static_cast<uint32_t>(data[13]) << 16 |
                           static_cast<uint32_t>(data[14]) << 24;
    // An event takes at least four bytes, so this bounds the allocation.
    const size_t fits = (size - kHeader) / 4;
    events_.reserve(std::min<size_t>(count, fits));
    size_t pos = kHeader;
    int64_t time = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t delta = 0;
        if (!readVlq(data, size, pos, delta) || size - pos < 3) {
            break;
        }
        time = std::min<int64_t>(time + delta, std::numeric_limits<int32_t>::max());
        events_.push_back(
            SongEvent{static_cast<int32_t>(time), data[pos], data[pos + 1], data[pos + 2]});
        pos += 3;
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
    out.push_back(0);
    out.push_back(0);
    const auto n = static_cast<uint32_t>(events.size());
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    }
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
