// PackImage: the decompressed content of a pack file, held in memory for the
// whole run so that opening an entry is a lookup and reading it a copy.
//
// The buffer is allocated once at its expected size (the gzip trailer's
// hint) and, on Linux, asks for transparent huge pages: a pack of tens of
// megabytes written once by the decompressor otherwise pays a page fault and
// a TLB miss for every 4 KiB, which costs as much as the decompression itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace kvx::vfs {

class PackImage {
  public:
    PackImage() = default;

    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }

    // Makes room for at least capacity bytes; false when memory runs out.
    bool reserve(size_t capacity);
    // Extends the content by count bytes (uninitialised) and returns where
    // they start, or null when memory runs out.
    uint8_t* extend(size_t count);
    // Cuts the content back to size bytes (never grows it).
    void truncate(size_t size) {
        if (size < size_) {
            size_ = size;
        }
    }

  private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The decompressed content of a pack file (or any gzip or plain file), or
// nothing when it cannot be opened or read.
std::optional<PackImage> readPackImage(const std::string& path);

}  // namespace kvx::vfs
