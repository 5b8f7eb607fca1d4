// PackDirectory: see PackDirectory.h.
#include "vfs/PackDirectory.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "core/ByteReader.h"

namespace kvx::vfs {

namespace {

constexpr char kMagic[6] = {'k', 'v', 'x', 'v', 'f', 's'};

char foldEntryChar(char c) {
    if (c == '\\') {
        return '/';
    }
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string entryKey(std::string_view name) {
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), foldEntryChar);
    return key;
}

// The magic, the reserved bytes and the count; false while they are cut off.
// A content too short for the whole magic is no pack; one that ends after
// the magic is a pack whose directory is cut off.
bool readHeader(const uint8_t* content, size_t size, bool whole, PackDirectory& dir) {
    const size_t shown = std::min(size, sizeof(kMagic));
    if ((shown > 0 && std::memcmp(content, kMagic, shown) != 0) ||
        (whole && shown < sizeof(kMagic))) {
        dir.status = PackDirectory::Status::NotAPack;
        return false;
    }
    core::ByteReader r(content, size);
    r.skip(sizeof(kMagic) + 2);  // the reserved bytes are read and ignored
    const int32_t count = r.i32();
    if (!r.ok()) {
        return false;
    }
    dir.count = count;
    dir.end = kPackHeaderSize;
    return true;
}

}  // namespace

void readPackDirectory(const uint8_t* content, size_t size, bool whole, PackDirectory& dir) {
    if (!dir.wantsMore() || size < dir.end) {
        return;
    }
    if (dir.end == 0 && !readHeader(content, size, whole, dir)) {
        return;
    }
    const size_t wanted = dir.count > 0 ? static_cast<size_t>(dir.count) : 0;
    // Each entry needs at least its 0 byte and two integers, so the count
    // cannot reserve more than the bytes at hand could hold.
    const size_t fits = (size - dir.end) / 9;
    dir.entries.reserve(std::min({wanted, dir.entries.size() + fits, kMaxEntries}));
    core::ByteReader r(content, std::min(size, kMaxDirectoryBytes));
    r.seek(static_cast<int64_t>(dir.end));
    while (dir.entries.size() < wanted) {
        if (dir.entries.size() == kMaxEntries) {
            dir.status = PackDirectory::Status::TooLarge;
            return;
        }
        std::string_view name;
        r.cString(name);
        const int32_t offset = r.i32();
        const int32_t entrySize = r.i32();
        if (!r.ok()) {
            // Cut off by the end of the prefix, or by the directory bound.
            const bool bounded = size >= kMaxDirectoryBytes;
            dir.status =
                bounded ? PackDirectory::Status::TooLarge : PackDirectory::Status::Truncated;
            return;
        }
        PackEntry entry;
        entry.name.set(name);
        entry.offset = offset;
        entry.size = entrySize;
        dir.entries.push_back(std::move(entry));
        dir.end = r.position();
    }
    dir.status = PackDirectory::Status::Complete;
}

PackDirectory parsePackDirectory(const uint8_t* content, size_t size) {
    PackDirectory dir;
    readPackDirectory(content, size, true, dir);
    return dir;
}

uint64_t packReach(const PackDirectory& dir, PackScope scope) {
    uint64_t reach = dir.end;
    if (scope == PackScope::DirectoryOnly) {
        return reach;
    }
    std::unordered_set<std::string> seen;
    for (const PackEntry& e : dir.entries) {
        if (scope == PackScope::Findable && !seen.insert(entryKey(e.name.view())).second) {
            continue;  // an earlier entry of the same name answers every lookup
        }
        if (e.offset > 0 && e.size >= 0) {
            reach =
                std::max(reach, static_cast<uint64_t>(e.offset) + static_cast<uint64_t>(e.size));
        }
    }
    return reach;
}

bool sameEntryName(std::string_view stored, std::string_view wanted) {
    if (stored.size() != wanted.size()) {
        return false;
    }
    for (size_t i = 0; i < stored.size(); ++i) {
        if (foldEntryChar(stored[i]) != foldEntryChar(wanted[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace kvx::vfs
