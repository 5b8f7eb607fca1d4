// Pack contents built byte by byte, and gzip files made from them, for tests
// of packs that lie about themselves or expand far beyond their size; and
// gzip files read back the way other gzip readers read them.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "vfs/Vfs.h"

namespace kvx::test {

inline void putInt32(vfs::Bytes& b, int32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    }
}

// The magic, two reserved bytes and the entry count.
inline vfs::Bytes packHeader(int32_t count) {
    vfs::Bytes b = {'k', 'v', 'x', 'v', 'f', 's', 0, 0};
    putInt32(b, count);
    return b;
}

inline void putEntry(vfs::Bytes& b, const std::string& name, int32_t offset, int32_t size) {
    b.insert(b.end(), name.begin(), name.end());
    b.push_back(0);
    putInt32(b, offset);
    putInt32(b, size);
}

// One gzip member holding head followed by `repeat` times the byte fill,
// compressed as it goes, so that a member of gigabytes needs no buffer of
// that size.
inline vfs::Bytes gzipMember(const vfs::Bytes& head, size_t repeat = 0, uint8_t fill = 0,
                             int level = 6) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    vfs::Bytes out;
    std::vector<uint8_t> chunk(1 << 20, fill);
    std::vector<uint8_t> buffer(1 << 16);
    auto pump = [&](const uint8_t* data, size_t size, int flush) {
        z.next_in = const_cast<uint8_t*>(data);
        z.avail_in = static_cast<uInt>(size);
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            out.insert(out.end(), buffer.data(), buffer.data() + (buffer.size() - z.avail_out));
        } while (z.avail_out == 0);
    };
    pump(head.data(), head.size(), Z_NO_FLUSH);
    for (size_t left = repeat; left > 0;) {
        const size_t n = left < chunk.size() ? left : chunk.size();
        pump(chunk.data(), n, Z_NO_FLUSH);
        left -= n;
    }
    pump(nullptr, 0, Z_FINISH);
    deflateEnd(&z);
    return out;
}

// The whole content of a gzip file as zlib's gzread delivers it (every
// member, one after the other), or nothing when gzread reports an error.
inline std::optional<vfs::Bytes> gunzipFile(const std::string& path) {
    gzFile gz = gzopen(path.c_str(), "rb");
    if (gz == nullptr) {
        return std::nullopt;
    }
    vfs::Bytes all;
    std::vector<uint8_t> buffer(1 << 16);
    int got = 0;
    while ((got = gzread(gz, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
        all.insert(all.end(), buffer.data(), buffer.data() + got);
    }
    const int closed = gzclose(gz);
    const bool ok = got == 0 && closed == Z_OK;
    return ok ? std::optional<vfs::Bytes>(std::move(all)) : std::nullopt;
}

// A pack of one four-byte entry "a" ("data"), followed inside the same gzip
// member by `zeros` zero bytes that no entry reaches: about 510 KB on disk
// for 512 MiB of zeros.
inline vfs::Bytes zeroBomb(size_t zeros) {
    vfs::Bytes content = packHeader(1);
    putEntry(content, "a", 12 + 2 + 8, 4);
    content.insert(content.end(), {'d', 'a', 't', 'a'});
    return gzipMember(content, zeros);
}

}  // namespace kvx::test
