// ChunkFile and Chunk: the tagged-chunk container "kvx::chunks" that the
// synthesizer configuration and the mesh files are written in.
//
// Layout (integers 32-bit little-endian, signed): the 11 magic bytes
// "kvx::chunks", version, reserved, chunkCount, then chunks back to back, each
// a 4-character tag, a size and size bytes of data. The container does not
// check the version; each content format checks its own.
//
// The reader takes the whole file into memory when it opens it, so every
// chunk size is checked against the bytes really there before anything is
// allocated. A chunk that claims more than is left ends the reading (the "no
// chunk" result, and no further chunks). Every whole chunk is delivered with
// its tag, whatever the tag: unknown tags, 0 included, are for the caller to
// skip, so only isNone() says that the reading is over. A chunk of size 0 is
// delivered and counted too: the mesh format ends every submesh with one.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/String.h"
#include "vfs/Vfs.h"

namespace kvx::vfs {

// The tag's four bytes read as a little-endian integer, which is exactly the
// value stored in the file. Fewer than four characters count as NUL.
constexpr int32_t tagId(const char* t) {
    uint32_t v = 0;
    for (int i = 0; i < 4 && t[i] != '\0'; ++i) {
        v |= static_cast<uint32_t>(static_cast<unsigned char>(t[i])) << (8 * i);
    }
    return static_cast<int32_t>(v);
}

// One chunk's bytes, held by value; copying copies the bytes.
class Chunk {
  public:
    // The "no chunk" result.
    Chunk() = default;
    // A delivered chunk; any tag, 0 included.
    Chunk(int32_t tag, Bytes data) : data_(std::move(data)), tag_(tag), delivered_(true) {}

    // Copies min(count, size - position) bytes and advances; returns the count.
    int read(void* destination, int count);
    // Bytes up to the next 0 byte (consumed, not part of the result), or to
    // the end of the chunk.
    core::String readString();

    int32_t tag() const { return tag_; }
    int32_t size() const { return static_cast<int32_t>(data_.size()); }
    int32_t position() const { return position_; }
    int32_t remaining() const { return size() - position_; }
    const Bytes& data() const { return data_; }
    // True for the "no chunk" result (its tag reads 0), false for any
    // delivered chunk, including one of size 0 and one whose tag is 0.
    bool isNone() const { return !delivered_; }

  private:
    Bytes data_;
    int32_t position_ = 0;
    int32_t tag_ = 0;
    bool delivered_ = false;
};

class ChunkFile {
  public:
    ChunkFile() = default;
    ~ChunkFile() { close(); }
    ChunkFile(const ChunkFile&) = delete;
    ChunkFile& operator=(const ChunkFile&) = delete;

    // Opens a content file through the Vfs and reads its header.
    bool open(const char* name);
    // Reads the header from bytes that were already loaded.
    bool openBytes(Bytes bytes);
    // The next chunk, or the "no chunk" result (isNone) when there are no
    // more, the file is not open, or the rest does not hold a whole chunk.
    Chunk nextChunk();
    void close();

    int32_t version() const { return version_; }
    int32_t reserved() const { return reserved_; }
    int32_t chunkCount() const { return chunkCount_; }
    int32_t chunksRead() const { return chunksRead_; }
    bool isOpen() const { return isOpen_; }
    // Bytes of the file after the chunks delivered so far (0 when closed):
    // what a count read from a chunk can at most be backed by.
    size_t bytesLeft() const { return isOpen_ ? bytes_.size() - pos_ : 0; }

  private:
    Bytes bytes_;
    size_t pos_ = 0;
    int32_t version_ = 0;
    int32_t reserved_ = 0;
    int32_t chunkCount_ = 0;
    int32_t chunksRead_ = 0;
    bool isOpen_ = false;
};

// Writes a container: header and the chunks in order (for tools and tests).
class ChunkWriter {
  public:
    explicit ChunkWriter(int32_t version, int32_t reserved = 0)
        : version_(version), reserved_(reserved) {}
    void add(std::string_view tag, const Bytes& data);
    Bytes finish() const;

  private:
    int32_t version_;
    int32_t reserved_;
    int32_t count_ = 0;
    Bytes body_;
};

}  // namespace kvx::vfs
