// GzipMembers: see GzipMembers.h.
#include "vfs/GzipMembers.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

namespace kvx::vfs {

namespace {

constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kDeflate = 8;
constexpr uint8_t kUnknownSystem = 255;
constexpr uint8_t kRecordId[2] = {'K', 'P'};
constexpr uint16_t kRecordSize = 4;
constexpr size_t kFixedHeader = 10;  // magic, method, flags, time, extra flags, system
constexpr size_t kTrailer = 8;       // CRC-32 and size of the content
constexpr size_t kRecordedHeader = kFixedHeader + 2 + 4 + kRecordSize;
constexpr uint64_t kMaxExpansion = 1032;  // deflate's best case

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// The length that the member at p (avail bytes left in the file) records,
// or nothing when it records none or one that cannot be true.
std::optional<size_t> recordedLength(const uint8_t* p, size_t avail) {
    core::ByteReader r(p, avail);
    const uint8_t id1 = r.u8();
    const uint8_t id2 = r.u8();
    const uint8_t method = r.u8();
    const uint8_t flags = r.u8();
    r.skip(6);
    const uint16_t extraSize = (flags & kFlagExtra) != 0 ? r.u16() : 0;
    if (!r.ok() || id1 != 0x1f || id2 != 0x8b || method != kDeflate || extraSize > r.remaining()) {
        return std::nullopt;
    }
    core::ByteReader extra(p + r.position(), extraSize);
    while (extra.remaining() >= 4) {
        const uint8_t si1 = extra.u8();
        const uint8_t si2 = extra.u8();
        const uint16_t size = extra.u16();
        if (si1 != kRecordId[0] || si2 != kRecordId[1] || size != kRecordSize) {
            if (!extra.skip(size)) {
                break;
            }
            continue;
        }
        const size_t length = extra.u32();
        // The trailer must lie after the header, and inside the file.
        const size_t smallest = r.position() + extraSize + kTrailer;
        if (!extra.ok() || length < smallest || length > avail) {
            return std::nullopt;
        }
        return length;
    }
    return std::nullopt;
}

// zlib's streaming inflate of a member's first count content bytes: a member
// that reach cuts is inflated no further than reach.
bool inflatePrefix(const uint8_t* member, size_t length, uint8_t* out, size_t count) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<Bytef*>(member);
    z.avail_in = static_cast<uInt>(length);
    z.next_out = out;
    z.avail_out = static_cast<uInt>(count);
    int rc = Z_OK;
    while (z.avail_out > 0 && rc == Z_OK) {
        rc = inflate(&z, Z_NO_FLUSH);
    }
    inflateEnd(&z);
    return z.avail_out == 0 && (rc == Z_OK || rc == Z_STREAM_END || rc == Z_BUF_ERROR);
}

bool inflateMember(libdeflate_decompressor* d, const uint8_t* file, const GzipMember& m,
                   size_t reach, uint8_t* out) {
    if (m.offset + m.size > reach) {
        return inflatePrefix(file + m.start, m.length, out + m.offset, reach - m.offset);
    }
    // No actual-size pointer: the member must hold exactly its trailer's
    // size, and it must end exactly where its record says.
    size_t used = 0;
    const libdeflate_result rc = libdeflate_gzip_decompress_ex(
        d, file + m.start, m.length, out + m.offset, m.size, &used, nullptr);
    return rc == LIBDEFLATE_SUCCESS && used == m.length;
}

}  // namespace

bool appendRecordedMember(std::vector<uint8_t>& out, const uint8_t* content, size_t size,
                          z_stream& z) {
    if (size > std::numeric_limits<uInt>::max() / 2 || deflateReset(&z) != Z_OK) {
        return false;
    }
    const size_t start = out.size();
    core::ByteWriter w(out);
    const uint8_t head[4] = {0x1f, 0x8b, kDeflate, kFlagExtra};
    w.bytes(head, sizeof head);
    w.u32(0);  // no modification time
    w.u8(0);
    w.u8(kUnknownSystem);
    w.u16(2 + 2 + kRecordSize);
    w.bytes(kRecordId, 2);
    w.u16(kRecordSize);
    w.u32(0);  // the length, filled in below
    const size_t bound = deflateBound(&z, static_cast<uLong>(size));
    out.resize(start + kRecordedHeader + bound);
    z.next_in = const_cast<Bytef*>(content);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data() + start + kRecordedHeader;
    z.avail_out = static_cast<uInt>(bound);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
        out.resize(start);
        return false;
    }
    out.resize(out.size() - z.avail_out);
    w.u32(static_cast<uint32_t>(crc32_z(0, content, size)));
    w.u32(static_cast<uint32_t>(size));  // the size modulo 2^32, as gzip keeps it
    core::storeI32(out.data() + start + kRecordedHeader - kRecordSize,
                   static_cast<int32_t>(out.size() - start));
    return true;
}

std::optional<std::vector<GzipMember>> findRecordedMembers(const uint8_t* file, size_t fileSize,
                                                           size_t reach) {
    std::vector<GzipMember> members;
    size_t at = 0;
    size_t offset = 0;
    while (offset < reach && fileSize - at >= 2) {
        if (file[at] != 0x1f || file[at + 1] != 0x8b) {
            break;  // bytes after the last member that start no member are ignored
        }
        const std::optional<size_t> length = recordedLength(file + at, fileSize - at);
        if (!length || *length > std::numeric_limits<uInt>::max()) {
            return std::nullopt;
        }
        core::ByteReader trailer(file + at + *length - 4, 4);
        const size_t size = trailer.u32();
        if (size > *length * kMaxExpansion) {
            return std::nullopt;
        }
        members.push_back({at, *length, offset, size});
        at += *length;
        offset += size;
    }
    return members;
}

bool inflateMembers(const uint8_t* file, const std::vector<GzipMember>& members, size_t reach,
                    uint8_t* out, unsigned threads) {
    if (members.empty()) {
        return true;
    }
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    // Each thread takes the next member not yet taken, so that the threads
    // finish within about one member of each other whatever the members cost.
    auto work = [&] {
        std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(
            libdeflate_alloc_decompressor());
        if (!d) {
            failed = true;
            return;
        }
        for (size_t i = next++; i < members.size() && !failed; i = next++) {
            if (!inflateMember(d.get(), file, members[i], reach, out)) {
                failed = true;
            }
        }
    };
    const size_t helpers = std::min<size_t>(std::max(threads, 1u), members.size()) - 1;
    std::vector<std::thread> running;
    for (size_t i = 0; i < helpers; ++i) {
        try {
            running.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no thread to be had: the others do its share
        }
    }
    work();
    for (std::thread& t : running) {
        t.join();
    }
    return !failed;
}

}  // namespace kvx::vfs
