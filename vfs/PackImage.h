// PackImage: the decompressed content of a pack file, held in memory for the
// whole run so that opening an entry is a lookup and reading it a copy; and
// loadPack, which reads a pack's directory and as much content as its
// entries reach.
//
// The buffer is allocated at its expected size and, on Linux, asks for
// transparent huge pages: a pack of tens of megabytes written once by the
// decompressor otherwise pays a page fault and a TLB miss for every 4 KiB,
// which costs as much as the decompression itself.
//
// Loading checks the magic after the first bytes, reads the directory, and
// decompresses no further than the furthest byte that the entries in scope
// can reach; a file holding more is read only that far. Memory for a pack is
// thus its reachable content and a bounded directory, whatever the file
// would expand to.
//
// The content up to the reach comes, fastest first, from gzip members that
// record their lengths (the packer's files), inflated side by side on up to
// four threads; from one gzip member of exactly that size, inflated whole;
// or from zlib's streaming inflate, which reads everything else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "vfs/PackDirectory.h"

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

struct LoadedPack {
    PackImage image;  // the content up to the reach of the scope's entries
    PackDirectory directory;
    uint64_t producedBytes = 0;  // content decompressed or read, all passes
    bool wholeBuffer = false;    // inflated in whole-buffer passes
    size_t members = 0;          // recorded gzip members inflated side by side
};

enum class PackError {
    None,
    CannotOpen,
    NotAPack,    // no "kvxvfs" magic
    Unreadable,  // a read error, or damaged compressed data before the reach
};

// Loads the pack at path for the given use. A directory that is cut off or
// too large still loads, with the entries that were complete (its status
// says which); callers decide whether that is enough.
std::optional<LoadedPack> loadPack(const std::string& path, PackScope scope,
                                   PackError* error = nullptr);

}  // namespace kvx::vfs
