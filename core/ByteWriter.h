// ByteWriter: appends integers and floats to a byte vector, the counterpart
// of ByteReader for the file builders and tools. Little-endian unless the
// name says be (the big-endian MIDI files the tests and examples build).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kvx::core {

class ByteWriter {
  public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(&out) {}

    void u8(uint8_t v) { out_->push_back(v); }
    void u16(uint16_t v) { put(v, 2, false); }
    void u32(uint32_t v) { put(v, 4, false); }
    void i32(int32_t v) { put(static_cast<uint32_t>(v), 4, false); }
    void f32(float f) {
        uint32_t v = 0;
        std::memcpy(&v, &f, sizeof v);
        u32(v);
    }
    void be16(uint16_t v) { put(v, 2, true); }
    void be24(uint32_t v) { put(v, 3, true); }
    void be32(uint32_t v) { put(v, 4, true); }
    void bytes(const uint8_t* p, size_t n) { out_->insert(out_->end(), p, p + n); }
    void bytes(const std::vector<uint8_t>& b) { bytes(b.data(), b.size()); }
    void zeros(size_t n) { out_->insert(out_->end(), n, 0); }
    size_t size() const { return out_->size(); }

  private:
    void put(uint32_t v, int count, bool bigEndian) {
        for (int i = 0; i < count; ++i) {
            const int shift = bigEndian ? 8 * (count - 1 - i) : 8 * i;
            out_->push_back(static_cast<uint8_t>(v >> shift));
        }
    }

    std::vector<uint8_t>* out_;
};

// Stores v little-endian into the four bytes at p (fixed-size records that
// are filled in place).
inline void storeI32(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(u >> (8 * i));
    }
}

}  // namespace kvx::core
