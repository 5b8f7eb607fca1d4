// PackStream: see PackStream.h.
#include "vfs/PackStream.h"

#include <libdeflate.h>

#include <algorithm>

#if defined(__unix__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "core/ByteReader.h"
#include "vfs/GzipMembers.h"

namespace kvx::vfs {

namespace {

constexpr size_t kInputStep = 256 * 1024;
constexpr size_t kGzipMinimum = 18;       // header and trailer of an empty member
constexpr uint64_t kMaxExpansion = 1032;  // deflate's best case

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

bool isGzipMagic(const uint8_t* p) {
    return p[0] == 0x1f && p[1] == 0x8b;
}

// A whole file's bytes for a whole-buffer decompressor: mapped where the
// system can (no copy, and the pages come straight from the file cache),
// read into memory otherwise. The mapping is not populated up front:
// faulting it in as the inflating threads reach each part costs about half
// as much, spread over the threads, and a file that turns out not to suit a
// decompressor costs a page or two.
class WholeFile {
  public:
    WholeFile(const std::string& path, size_t size) : size_(size) {
#if defined(__unix__)
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            ::close(fd);
            if (p != MAP_FAILED) {
                mapped_ = static_cast<const uint8_t*>(p);
                return;
            }
        }
#endif
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
        copy_.resize(size);
        if (!f || std::fread(copy_.data(), 1, size, f.get()) != size) {
            copy_.clear();
            size_ = 0;
        }
    }
    ~WholeFile() {
#if defined(__unix__)
        if (mapped_ != nullptr) {
            ::munmap(const_cast<uint8_t*>(mapped_), size_);
        }
#endif
    }
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    const uint8_t* data() const {
        return mapped_ != nullptr ? mapped_ : copy_.data();
    }
    size_t size() const {
        return size_;
    }

  private:
    const uint8_t* mapped_ = nullptr;
    std::vector<uint8_t> copy_;
    size_t size_;
};

}  // namespace

PackStream::~PackStream() {
    if (zsReady_) {
        inflateEnd(&zs_);
    }
}

bool PackStream::open(const std::string& path) {
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_ || std::fseek(file_.get(), 0, SEEK_END) != 0) {
        return false;
    }
    const long size = std::ftell(file_.get());
    if (size < 0) {
        return false;
    }
    std::rewind(file_.get());
    path_ = path;
    fileSize_ = static_cast<uint64_t>(size);
    uint8_t head[2] = {0, 0};
    compressed_ = std::fread(head, 1, 2, file_.get()) == 2 && isGzipMagic(head);
    std::rewind(file_.get());
    if (compressed_) {
        // 16 + window bits: a gzip wrapper, with its CRC and size checked at
        // the end of each member.
        if (inflateInit2(&zs_, 16 + MAX_WBITS) != Z_OK) {
            return false;
        }
        zsReady_ = true;
        input_.resize(kInputStep);
    }
    return true;
}

bool PackStream::fill(PackImage& image, size_t upTo) {
    if (ended_ || image.size() >= upTo) {
        return true;
    }
    return compressed_ ? fillCompressed(image, upTo) : fillStored(image, upTo);
}

bool PackStream::fillStored(PackImage& image, size_t upTo) {
    // The content of a stored file is the file: what was read so far is
    // where the file stands, and nothing beyond its size is asked for.
    const size_t used = image.size();
    const uint64_t left = fileSize_ - std::min(produced_, fileSize_);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(upTo - used, left));
    uint8_t* at = want > 0 ? image.extend(want) : nullptr;
    if (want > 0 && at == nullptr) {
        return false;
    }
    const size_t got = want > 0 ? std::fread(at, 1, want, file_.get()) : 0;
    image.truncate(used + got);
    produced_ += got;
    if (used + got < upTo) {
        ended_ = true;
        return !std::ferror(file_.get());
    }
    return true;
}

bool PackStream::haveInput() {
    if (zs_.avail_in > 0) {
        return true;
    }
    const size_t got = std::fread(input_.data(), 1, input_.size(), file_.get());
    zs_.next_in = input_.data();
    zs_.avail_in = static_cast<uInt>(got);
    return got > 0;
}

bool PackStream::nextMember() {
    if (!haveInput()) {
        return false;
    }
    if (zs_.avail_in < 2) {
        // The second magic byte may be the first of the next read.
        const uint8_t first = zs_.next_in[0];
        input_[0] = first;
        const size_t got = std::fread(input_.data() + 1, 1, input_.size() - 1, file_.get());
        zs_.next_in = input_.data();
        zs_.avail_in = static_cast<uInt>(got + 1);
    }
    if (zs_.avail_in < 2 || !isGzipMagic(zs_.next_in)) {
        return false;  // trailing bytes that start no member are ignored
    }
    return inflateReset(&zs_) == Z_OK;
}

bool PackStream::fillCompressed(PackImage& image, size_t upTo) {
    constexpr size_t kOutputStep = 1 << 20;
    while (image.size() < upTo) {
        // Even without input inflate may still owe output, so it runs once
        // more; only when it makes no progress is the stream cut off.
        const bool noInput = !haveInput();
        const size_t used = image.size();
        const size_t room = std::min(upTo - used, kOutputStep);
        uint8_t* at = image.extend(room);
        if (at == nullptr) {
            return false;
        }
        zs_.next_out = at;
        zs_.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&zs_, Z_NO_FLUSH);
        const size_t got = room - zs_.avail_out;
        image.truncate(used + got);
        produced_ += got;
        if (rc == Z_STREAM_END) {
            if (!nextMember()) {
                ended_ = true;
                return true;
            }
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            return false;  // corrupt data, a bad checksum, or no memory
        } else if (noInput && got == 0) {
            ended_ = true;  // cut off inside a member: the content ends here
            return !std::ferror(file_.get());
        }
    }
    return true;
}

uint32_t PackStream::trailerSize() const {
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path_.c_str(), "rb"));
    uint8_t tail[4] = {0, 0, 0, 0};
    if (!f || fileSize_ < kGzipMinimum ||
        std::fseek(f.get(), static_cast<long>(fileSize_ - 4), SEEK_SET) != 0 ||
        std::fread(tail, 1, 4, f.get()) != 4) {
        return 0;
    }
    core::ByteReader r(tail, sizeof tail);
    return r.u32();
}

size_t PackStream::sizeHint() const {
    if (!compressed_) {
        return static_cast<size_t>(fileSize_);
    }
    const uint64_t hint = trailerSize();
    return hint <= fileSize_ * kMaxExpansion ? static_cast<size_t>(hint) : 0;
}

PackStream::Whole PackStream::inflateExactly(size_t size, PackImage& image) {
    // The trailer holds the size modulo 2^32. A file much larger than its
    // content is no single member of it: reading it whole would cost more
    // memory than the content itself.
    if (!compressed_ || size == 0 || trailerSize() != static_cast<uint32_t>(size) ||
        fileSize_ > size + size / 256 + kInputStep || size > fileSize_ * kMaxExpansion) {
        return Whole::NotThisFile;
    }
    const WholeFile input(path_, static_cast<size_t>(fileSize_));
    std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(libdeflate_alloc_decompressor());
    PackImage whole;
    uint8_t* out = d && whole.reserve(size) ? whole.extend(size) : nullptr;
    if (input.size() != fileSize_ || out == nullptr) {
        return Whole::NotThisFile;
    }
    // No actual-size pointer: anything but exactly size bytes fails, also a
    // first member that ends early because more members follow.
    const libdeflate_result rc =
        libdeflate_gzip_decompress(d.get(), input.data(), input.size(), out, size, nullptr);
    if (rc == LIBDEFLATE_BAD_DATA) {
        return Whole::Corrupt;
    }
    if (rc != LIBDEFLATE_SUCCESS) {
        return Whole::NotThisFile;
    }
    produced_ += size;
    image = std::move(whole);
    return Whole::Done;
}

PackStream::Whole PackStream::inflateMembers(size_t reach, PackImage& image, unsigned threads,
                                             size_t* members) {
    *members = 0;
    if (!compressed_ || reach == 0) {
        return Whole::NotThisFile;
    }
    const WholeFile input(path_, static_cast<size_t>(fileSize_));
    if (input.size() != fileSize_) {
        return Whole::NotThisFile;
    }
    const std::optional<std::vector<GzipMember>> found =
        findRecordedMembers(input.data(), input.size(), reach);
    if (!found || found->empty()) {
        return Whole::NotThisFile;
    }
    const GzipMember& last = found->back();
    const size_t size = std::min(reach, last.offset + last.size);
    PackImage whole;
    uint8_t* out = whole.reserve(size) ? whole.extend(size) : nullptr;
    if (out == nullptr || !vfs::inflateMembers(input.data(), *found, size, out, threads)) {
        return Whole::NotThisFile;
    }
    produced_ += size;
    *members = found->size();
    image = std::move(whole);
    return Whole::Done;
}

}  // namespace kvx::vfs
