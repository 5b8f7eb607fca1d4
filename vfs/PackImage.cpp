// PackImage: see PackImage.h.
#include "vfs/PackImage.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kvx::vfs {

namespace {

constexpr size_t kHugePage = 2u << 20;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// How many bytes a pack file will decompress to, as a hint for reserving
// memory: the gzip trailer's size field for a gzip file, the file size for a
// stored one. The trailer is data, not a promise: a value beyond what deflate
// can expand the file to, or beyond what 32-bit offsets can address, is
// ignored.
size_t expectedContentSize(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) {
        return 0;
    }
    long size = std::ftell(f.get());
    if (size <= 0) {
        return 0;
    }
    uint8_t head[2] = {0, 0};
    uint8_t tail[4] = {0, 0, 0, 0};
    std::rewind(f.get());
    bool gzip =
        size >= 18 && std::fread(head, 1, 2, f.get()) == 2 && head[0] == 0x1f && head[1] == 0x8b;
    if (!gzip) {
        return static_cast<size_t>(size);
    }
    if (std::fseek(f.get(), size - 4, SEEK_SET) != 0 || std::fread(tail, 1, 4, f.get()) != 4) {
        return 0;
    }
    size_t hint = static_cast<size_t>(tail[0]) | static_cast<size_t>(tail[1]) << 8 |
                  static_cast<size_t>(tail[2]) << 16 | static_cast<size_t>(tail[3]) << 24;
    constexpr size_t kMaxExpansion = 1032;  // deflate's best case
    size_t limit = std::min(static_cast<size_t>(size) * kMaxExpansion,
                            static_cast<size_t>(std::numeric_limits<int32_t>::max()));
    return hint <= limit ? hint : 0;
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

std::optional<PackImage> readPackImage(const std::string& path) {
    gzFile gz = gzopen(path.c_str(), "rb");
    if (gz == nullptr) {
        return std::nullopt;
    }
    gzbuffer(gz, 256 * 1024);
    PackImage image;
    // One step more than expected, since the last read asks for a full step.
    constexpr size_t kStep = 1 << 20;
    image.reserve(expectedContentSize(path) + kStep);
    int got = 0;
    do {
        size_t used = image.size();
        uint8_t* at = image.extend(kStep);
        if (at == nullptr) {
            gzclose(gz);
            return std::nullopt;
        }
        got = gzread(gz, at, static_cast<unsigned>(kStep));
        image.truncate(used + static_cast<size_t>(got > 0 ? got : 0));
    } while (got > 0);
    gzclose(gz);
    if (got < 0) {
        return std::nullopt;
    }
    return image;
}

}  // namespace kvx::vfs
