// ByteReader: bounds-checked reads of integers from a byte span.
//
// Every read checks the bytes that remain; a read that does not fit returns
// false (or 0), reads nothing and leaves the reader failed, so a parser can
// read a whole record and test once. The content formats are little-endian;
// the be* reads serve the one big-endian format the tools import (MIDI).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kvx::core {

class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return pos_ <= size_ ? size_ - pos_ : 0; }

    // Moves to an absolute offset; fails beyond the end.
    bool seek(int64_t offset) {
        if (!ok_ || offset < 0 || static_cast<uint64_t>(offset) > size_) {
            return fail();
        }
        pos_ = static_cast<size_t>(offset);
        return true;
    }
    bool skip(int64_t count) {
        if (!ok_ || count < 0 || static_cast<uint64_t>(count) > remaining()) {
            return fail();
        }
        pos_ += static_cast<size_t>(count);
        return true;
    }
    uint8_t u8() {
        if (!ok_ || remaining() < 1) {
            fail();
            return 0;
        }
        return data_[pos_++];
    }
    int8_t i8() { return static_cast<int8_t>(u8()); }
    uint16_t u16() {
        if (!ok_ || remaining() < 2) {
            fail();
            return 0;
        }
        const auto v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t u32() {
        if (!ok_ || remaining() < 4) {
            fail();
            return 0;
        }
        const uint32_t v = static_cast<uint32_t>(data_[pos_]) |
                           static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
                           static_cast<uint32_t>(data_[pos_ + 2]) << 16 |
                           static_cast<uint32_t>(data_[pos_ + 3]) << 24;
        pos_ += 4;
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32() {
        const auto v = static_cast<uint32_t>(i32());
        float f = 0.0f;
        std::memcpy(&f, &v, sizeof f);
        return f;
    }
    // A name of length bytes (length includes the NUL); the text ends at
    // the first NUL inside it. Fails for a negative or oversized length.
    bool name(int32_t length, std::string& out) {
        if (!ok_ || length < 0 || static_cast<uint64_t>(length) > remaining()) {
            return fail();
        }
        const char* p = reinterpret_cast<const char*>(data_ + pos_);
        out.assign(p, strnlen(p, static_cast<size_t>(length)));
        pos_ += static_cast<size_t>(length);
        return true;
    }
    // The bytes up to the next 0 byte, which is consumed and not part of the
    // text. Fails, reading nothing, when no 0 byte is left.
    bool cString(std::string_view& out) {
        const void* nul =
            ok_ && remaining() > 0 ? std::memchr(data_ + pos_, 0, remaining()) : nullptr;
        if (nul == nullptr) {
            return fail();
        }
        const auto length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - (data_ + pos_));
        out = std::string_view(reinterpret_cast<const char*>(data_ + pos_), length);
        pos_ += length + 1;
        return true;
    }
    // A pointer to count bytes at the position, then skips them.
    const uint8_t* bytes(int32_t count) {
        const uint8_t* p = data_ + pos_;
        return skip(count) ? p : nullptr;
    }

    // Big-endian fields (Standard MIDI Files).
    uint16_t be16() { return static_cast<uint16_t>(bigEndian(2)); }
    uint32_t be24() { return bigEndian(3); }
    uint32_t be32() { return bigEndian(4); }

  private:
    // count bytes (at most 4), most significant first; 0 and failed when
    // they are not there.
    uint32_t bigEndian(size_t count) {
        if (!ok_ || remaining() < count) {
            fail();
            return 0;
        }
        uint32_t v = 0;
        for (size_t i = 0; i < count; ++i) {
            v = v << 8 | data_[pos_ + i];
        }
        pos_ += count;
        return v;
    }
    bool fail() {
        ok_ = false;
        return false;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace kvx::core
