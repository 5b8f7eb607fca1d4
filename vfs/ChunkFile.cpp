// ChunkFile and Chunk: reading the "kvx::chunks" container from memory with
// every size checked against the bytes that are really there.
#include "vfs/ChunkFile.h"

#include <algorithm>
#include <cstring>

namespace kvx::vfs {

namespace {

constexpr char kMagic[11] = {'k', 'v', 'x', ':', ':', 'c', 'h', 'u', 'n', 'k', 's'};
constexpr size_t kHeaderSize = sizeof(kMagic) + 12;

int32_t readInt32(const uint8_t* p) {
    uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                 static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(v);
}

void appendInt32(Bytes& out, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

}  // namespace

int Chunk::read(void* destination, int count) {
    if (count <= 0 || destination == nullptr) {
        return 0;
    }
    int n = std::min(count, remaining());
    if (n <= 0) {
        return 0;
    }
    std::memcpy(destination, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

core::String Chunk::readString() {
    const uint8_t* begin = data_.data() + position_;
    size_t left = static_cast<size_t>(remaining());
    const void* nul = left > 0 ? std::memchr(begin, 0, left) : nullptr;
    size_t textLength = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - begin) : left;
    core::String text(std::string_view(reinterpret_cast<const char*>(begin), textLength));
    position_ += static_cast<int32_t>(nul ? textLength + 1 : textLength);
    return text;
}

bool ChunkFile::open(const char* name) {
    close();
    version_ = reserved_ = chunkCount_ = chunksRead_ = 0;
    std::optional<Bytes> bytes = Vfs::readAll(name);
    if (!bytes) {
        return false;
    }
    return openBytes(std::move(*bytes));
}

bool ChunkFile::openBytes(Bytes bytes) {
    close();
    version_ = reserved_ = chunkCount_ = chunksRead_ = 0;
    if (bytes.size() < sizeof(kMagic) || std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) {
        return false;
    }
    if (bytes.size() < kHeaderSize) {
        return false;  // the header itself is cut off
    }
    version_ = readInt32(bytes.data() + 11);
    reserved_ = readInt32(bytes.data() + 15);
    chunkCount_ = readInt32(bytes.data() + 19);
    bytes_ = std::move(bytes);
    pos_ = kHeaderSize;
    isOpen_ = true;
    return true;
}

Chunk ChunkFile::nextChunk() {
    if (!isOpen_ || chunksRead_ >= chunkCount_) {
        return Chunk();
    }
    if (bytes_.size() - pos_ < 8) {
        chunkCount_ = chunksRead_;  // a cut-off header ends the reading
        return Chunk();
    }
    int32_t tag = readInt32(bytes_.data() + pos_);
    int32_t size = readInt32(bytes_.data() + pos_ + 4);
    size_t dataStart = pos_ + 8;
    if (size < 0 || static_cast<size_t>(size) > bytes_.size() - dataStart) {
        chunkCount_ = chunksRead_;  // a chunk that lies about its size ends it
        return Chunk();
    }
    auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(dataStart);
    Chunk chunk(tag, Bytes(first, first + size));
    pos_ = dataStart + static_cast<size_t>(size);
    ++chunksRead_;
    return chunk;
}

void ChunkFile::close() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    pos_ = 0;
    isOpen_ = false;
}

void ChunkWriter::add(std::string_view tag, const Bytes& data) {
    char t[4] = {0, 0, 0, 0};
    std::copy_n(tag.data(), std::min<size_t>(4, tag.size()), t);
    body_.insert(body_.end(), t, t + 4);
    appendInt32(body_, static_cast<int32_t>(data.size()));
    body_.insert(body_.end(), data.begin(), data.end());
    ++count_;
}

Bytes ChunkWriter::finish() const {
    Bytes out(kMagic, kMagic + sizeof(kMagic));
    appendInt32(out, version_);
    appendInt32(out, reserved_);
    appendInt32(out, count_);
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
}

}  // namespace kvx::vfs
