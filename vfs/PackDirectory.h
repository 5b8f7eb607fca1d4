// PackDirectory: the directory at the head of a pack's content, and how far
// into the content its entries reach.
//
// Layout (integers 32-bit little-endian, signed): the magic "kvxvfs", two
// reserved bytes, the entry count N, then N entries back to back, each a name
// ended by a 0 byte, the entry's offset and its size. Offsets count from the
// first byte of the content (the magic).
//
// The directory is read from a prefix of the content, so a loader can
// decompress only as much as the directory needs, read it, and then stop at
// the furthest byte an entry can reach. A directory is bounded (kMaxEntries,
// kMaxDirectoryBytes): a tiny compressed file can declare billions of entries,
// and each costs far more memory than its nine bytes on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/String.h"

namespace kvx::vfs {

// One entry of the pack directory. offset counts from the first byte of the
// decompressed pack (the magic); an entry with offset 0 cannot be found.
struct PackEntry {
    core::String name;
    int32_t offset = 0;
    int32_t size = 0;
};

constexpr size_t kPackHeaderSize = 12;  // magic, two reserved bytes, count
constexpr size_t kMaxEntries = 65536;
constexpr size_t kMaxDirectoryBytes = 16u << 20;

struct PackDirectory {
    enum class Status {
        NotAPack,   // the content does not start with the magic
        Truncated,  // the content ends before the directory is complete
        TooLarge,   // more entries or directory bytes than the bounds allow
        Complete,
    };
    Status status = Status::Truncated;
    std::vector<PackEntry> entries;  // the complete entries, in file order
    int32_t count = 0;               // the count the header declares
    size_t end = 0;                  // first byte after the last complete entry

    // Whether more content could still complete the directory.
    bool wantsMore() const { return status == Status::Truncated; }
};

// Reads as much of the directory as the first size bytes of content hold,
// going on from where dir stopped (a fresh PackDirectory starts at the magic).
// Call again with a longer prefix while dir.wantsMore(); whole says that the
// content ends there, so that a cut-off magic means no pack.
void readPackDirectory(const uint8_t* content, size_t size, bool whole, PackDirectory& dir);

// The directory of a whole content in one call.
PackDirectory parsePackDirectory(const uint8_t* content, size_t size);

// Which entries a loader must be able to deliver.
enum class PackScope {
    DirectoryOnly,  // a listing: no entry bytes at all
    AllEntries,     // unpacking: every entry with a usable offset and size
    Findable,       // the player: only entries a lookup can reach
};

// One past the furthest content byte the entries in scope reach; never less
// than the directory's end. Entries with offset 0 or below, or a negative
// size, reach nothing; Findable also skips an entry whose name an earlier
// entry already answers to.
uint64_t packReach(const PackDirectory& dir, PackScope scope);

// Entry names match ignoring ASCII case, and with '\\' and '/' as the same
// separator: scripts written on one system name files packed on another.
bool sameEntryName(std::string_view stored, std::string_view wanted);

}  // namespace kvx::vfs
