// ChunkFile and Chunk: reading the "kvx::chunks" container from memory with
// every size checked against the bytes that are really there.
#include "vfs/ChunkFile.h"

#include <algorithm>
#include <cstring>

#include "core/ByteReader.h"

namespace kvx::vfs {

namespace {

constexpr char kMagic[11] = {'k', 'v', 'x', ':', ':', 'c', 'h', 'u', 'n', 'k', 's'};

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
    core::ByteReader r(bytes.data(), bytes.size());
    r.skip(sizeof(kMagic));
    const int32_t version = r.i32();
    const int32_t reserved = r.i32();
    const int32_t chunkCount = r.i32();
    if (!r.ok()) {
        return false;  // the header itself is cut off
    }
    version_ = version;
    reserved_ = reserved;
    chunkCount_ = chunkCount;
    bytes_ = std::move(bytes);
    pos_ = r.position();
    isOpen_ = true;
    return true;
}

Chunk ChunkFile::nextChunk() {
    if (!isOpen_ || chunksRead_ >= chunkCount_) {
        return Chunk();
    }
    core::ByteReader r(bytes_.data(), bytes_.size());
    r.seek(static_cast<int64_t>(pos_));
    const int32_t tag = r.i32();
    const int32_t size = r.i32();
    // A cut-off chunk header, or a size that is negative or claims more than
    // is left, ends the reading.
    const uint8_t* data = r.bytes(size);
    if (data == nullptr) {
        chunkCount_ = chunksRead_;
        return Chunk();
    }
    Chunk chunk(tag, Bytes(data, data + size));
    pos_ = r.position();
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
