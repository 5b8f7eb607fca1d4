// PackImage: see PackImage.h.
#include "vfs/PackImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "vfs/PackStream.h"

namespace kvx::vfs {

namespace {

constexpr size_t kHugePage = 2u << 20;
// Enough for the magic and the directory of any ordinary show.
constexpr size_t kFirstRead = 64 * 1024;

// Threads that inflate a pack of several members: the cores there are, up to
// four (beyond that the members of an ordinary show run out first).
unsigned inflateThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 4u);
}

}  // namespace

bool PackImage::reserve(size_t capacity) {
    if (capacity <= capacity_) {
        return true;
    }
    // Round up to whole huge pages so the kernel can back the buffer with them.
    size_t rounded = (capacity + kHugePage - 1) / kHugePage * kHugePage;
    void* fresh = std::aligned_alloc(kHugePage, rounded);
    if (fresh == nullptr) {
        return false;
    }
#if defined(MADV_HUGEPAGE)
    madvise(fresh, rounded, MADV_HUGEPAGE);  // a hint; failure changes nothing
#endif
    if (size_ > 0) {
        std::memcpy(fresh, data_.get(), size_);
    }
    data_.reset(static_cast<uint8_t*>(fresh));
    capacity_ = rounded;
    return true;
}

uint8_t* PackImage::extend(size_t count) {
    if (count > std::numeric_limits<size_t>::max() - size_) {
        return nullptr;
    }
    if (size_ + count > capacity_ && !reserve(std::max(size_ + count, capacity_ * 2))) {
        return nullptr;
    }
    uint8_t* at = data_.get() + size_;
    size_ += count;
    return at;
}

std::optional<LoadedPack> loadPack(const std::string& path, PackScope scope, PackError* error) {
    PackError ignored = PackError::None;
    PackError& why = error != nullptr ? *error : ignored;
    why = PackError::None;
    PackStream stream;
    if (!stream.open(path)) {
        why = PackError::CannotOpen;
        return std::nullopt;
    }
    LoadedPack pack;
    PackDirectory& dir = pack.directory;
    // The directory: a first small read shows the magic, and each further
    // read doubles, so a long directory is parsed in linear time overall.
    size_t want = kFirstRead;
    for (;;) {
        if (!stream.fill(pack.image, want)) {
            why = PackError::Unreadable;
            return std::nullopt;
        }
        readPackDirectory(pack.image.data(), pack.image.size(), stream.ended(), dir);
        if (!dir.wantsMore() || stream.ended()) {
            break;
        }
        want = std::min(want * 2, kMaxDirectoryBytes);
    }
    if (dir.status == PackDirectory::Status::NotAPack) {
        why = PackError::NotAPack;
        return std::nullopt;
    }
    // The entries' bytes, up to the furthest one in scope.
    const auto reach = static_cast<size_t>(packReach(dir, scope));
    if (pack.image.size() >= reach) {
        pack.image.truncate(reach);
    } else if (!stream.ended()) {
        PackStream::Whole whole =
            stream.inflateMembers(reach, pack.image, inflateThreads(), &pack.members);
        if (whole == PackStream::Whole::NotThisFile) {
            whole = stream.inflateExactly(reach, pack.image);
        }
        pack.wholeBuffer = whole == PackStream::Whole::Done;
        bool ok = whole != PackStream::Whole::Corrupt;
        if (ok && !pack.wholeBuffer) {
            pack.image.reserve(std::min(reach, stream.sizeHint()));
            ok = stream.fill(pack.image, reach);
        }
        if (!ok) {
            why = PackError::Unreadable;
            return std::nullopt;
        }
    }
    pack.producedBytes = stream.produced();
    return pack;
}

}  // namespace kvx::vfs
