// PackWriter: see PackWriter.h.
#include "vfs/PackWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace kvx::vfs {

namespace {

void putInt32(Bytes& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// A member far larger than this would keep all but one thread idle.
constexpr size_t kMaxMemberBytes = 64u << 20;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::optional<Bytes> buildPackImage(const std::vector<PackInput>& inputs, std::string* error) {
    constexpr size_t kLimit = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    size_t directorySize = 12;
    for (const PackInput& in : inputs) {
        if (in.name.find('\0') != std::string::npos || in.name.empty()) {
            if (error) {
                *error = "entry name is empty or holds a 0 byte: '" + in.name + "'";
            }
            return std::nullopt;
        }
        directorySize += in.name.size() + 1 + 8;
    }
    size_t total = directorySize;
    for (const PackInput& in : inputs) {
        total += in.data.size();
    }
    if (total > kLimit || inputs.size() > kLimit) {
        if (error) {
            *error = "pack content of " + std::to_string(total) + " bytes exceeds 2 GiB";
        }
        return std::nullopt;
    }
    Bytes out(directorySize);
    std::memcpy(out.data(), "kvxvfs", 6);
    out[6] = out[7] = 0;
    putInt32(out, 8, static_cast<uint32_t>(inputs.size()));
    out.reserve(total);
    size_t dirPos = 12;
    size_t dataPos = directorySize;
    for (const PackInput& in : inputs) {
        std::memcpy(out.data() + dirPos, in.name.data(), in.name.size());
        dirPos += in.name.size();
        out[dirPos++] = 0;
        putInt32(out, dirPos, static_cast<uint32_t>(dataPos));
        putInt32(out, dirPos + 4, static_cast<uint32_t>(in.data.size()));
        dirPos += 8;
        dataPos += in.data.size();
    }
    for (const PackInput& in : inputs) {
        out.insert(out.end(), in.data.begin(), in.data.end());
    }
    return out;
}

bool writePackFile(const std::string& path, const Bytes& content, bool store, std::string* error,
                   size_t memberBytes) {
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        return fail("cannot create '" + path + "'");
    }
    bool ok = true;
    if (store) {
        ok = content.empty() ||
             std::fwrite(content.data(), 1, content.size(), f.get()) == content.size();
    } else {
        // Raw deflate at level 6, in gzip members whose headers the writer
        // makes itself, so that each can record its length.
        z_stream z{};
        if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            return fail("cannot compress '" + path + "': out of memory");
        }
        const size_t step = std::clamp<size_t>(memberBytes, 1, kMaxMemberBytes);
        Bytes member;
        size_t pos = 0;
        do {
            const size_t n = std::min(content.size() - pos, step);
            member.clear();
            ok = appendRecordedMember(member, content.data() + pos, n, z) &&
                 std::fwrite(member.data(), 1, member.size(), f.get()) == member.size();
            pos += n;
        } while (ok && pos < content.size());
        deflateEnd(&z);
    }
    if (std::fclose(f.release()) != 0 || !ok) {
        return fail("cannot write '" + path + "'");
    }
    return true;
}

}  // namespace kvx::vfs
