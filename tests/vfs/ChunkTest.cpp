// The chunk container: header, chunk delivery, and files that lie about
// their chunk counts and sizes.
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "vfs/ChunkFile.h"

using namespace kvx::vfs;

namespace {

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

void putInt(Bytes& b, int32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    }
}

Bytes header(int32_t count) {
    Bytes b = bytesOf("kvx::chunks");
    putInt(b, 3);
    putInt(b, 77);
    putInt(b, count);
    return b;
}

}  // namespace

TEST(Chunk, TagIdIsLittleEndian) {
    EXPECT_EQ(tagId("HEAD"), 'H' + 256 * 'E' + 65536 * 'A' + 16777216 * 'D');
    static_assert(tagId("SMEN") == 0x4E454D53, "tags are the bytes read little-endian");
}

TEST(Chunk, ReadsAndStrings) {
    ChunkWriter w(2, 9);
    w.add("HEAD", bytesOf(std::string("name\0rest", 9)));
    w.add("SMEN", {});
    w.add("INST", bytesOf("abc"));
    ChunkFile f;
    ASSERT_TRUE(f.openBytes(w.finish()));
    EXPECT_EQ(f.version(), 2);
    EXPECT_EQ(f.reserved(), 9);
    EXPECT_EQ(f.chunkCount(), 3);

    Chunk head = f.nextChunk();
    EXPECT_EQ(head.tag(), tagId("HEAD"));
    EXPECT_EQ(head.readString(), "name");
    EXPECT_EQ(head.readString(), "rest");  // no 0 byte: the rest of the chunk
    EXPECT_EQ(head.remaining(), 0);
    EXPECT_TRUE(head.readString().empty());

    // An empty chunk is delivered with its tag and counted.
    Chunk end = f.nextChunk();
    EXPECT_EQ(end.tag(), tagId("SMEN"));
    EXPECT_EQ(end.size(), 0);
    EXPECT_FALSE(end.isNone());
    EXPECT_EQ(f.chunksRead(), 2);

    Chunk inst = f.nextChunk();
    char buf[8] = {};
    EXPECT_EQ(inst.read(buf, 2), 2);
    EXPECT_EQ(inst.read(buf + 2, 8), 1);  // only what is left
    EXPECT_EQ(std::string(buf), "abc");
    EXPECT_EQ(inst.read(buf, 8), 0);

    Chunk copy = inst;  // copies carry their own bytes
    EXPECT_EQ(copy.size(), 3);

    EXPECT_TRUE(f.nextChunk().isNone());
    EXPECT_EQ(f.chunksRead(), 3);
}

TEST(Chunk, CountZeroDeliversNothing) {
    ChunkFile f;
    ASSERT_TRUE(f.openBytes(header(0)));
    Chunk c = f.nextChunk();
    EXPECT_EQ(c.tag(), 0);
    EXPECT_EQ(c.size(), 0);
}

TEST(Chunk, WrongMagicOrShortHeader) {
    ChunkFile f;
    Bytes bad = header(1);
    bad[3] = ';';
    EXPECT_FALSE(f.openBytes(bad));
    EXPECT_FALSE(f.isOpen());
    Bytes shortHeader = header(1);
    shortHeader.resize(20);
    EXPECT_FALSE(f.openBytes(shortHeader));
    EXPECT_FALSE(f.openBytes({}));
    EXPECT_TRUE(f.nextChunk().isNone());
}

TEST(Chunk, LyingSizesEndTheReading) {
    // Chunk size far beyond the file: no allocation, an empty chunk, and the
    // caller's loop ends because no more chunks are due.
    Bytes huge = header(5);
    huge.insert(huge.end(), {'M', 'T', 'R', 'X'});
    putInt(huge, 0x7FFFFFF0);
    huge.insert(huge.end(), {1, 2, 3});
    ChunkFile f;
    ASSERT_TRUE(f.openBytes(huge));
    EXPECT_TRUE(f.nextChunk().isNone());
    int loops = 0;
    while (f.isOpen() && f.chunksRead() < f.chunkCount() && loops < 10) {
        f.nextChunk();
        ++loops;
    }
    EXPECT_EQ(loops, 0);

    Bytes negative = header(1);
    negative.insert(negative.end(), {'A', 'B', 'C', 'D'});
    putInt(negative, -4);
    ASSERT_TRUE(f.openBytes(negative));
    EXPECT_TRUE(f.nextChunk().isNone());

    Bytes cut = header(2);
    cut.insert(cut.end(), {'A', 'B'});
    ASSERT_TRUE(f.openBytes(cut));
    EXPECT_TRUE(f.nextChunk().isNone());
    EXPECT_EQ(f.chunksRead(), 0);
}

TEST(Chunk, OpenThroughTheVfs) {
    kvx::test::TempDir dir;
    Vfs::reset();
    Vfs::setDataDirectory(dir.path().string());
    ChunkWriter w(3);
    w.add("HEAD", bytesOf("x"));
    dir.write("config.sp", w.finish());
    ChunkFile f;
    ASSERT_TRUE(f.open("config.sp"));
    EXPECT_EQ(f.nextChunk().tag(), tagId("HEAD"));
    EXPECT_FALSE(f.open("missing.sp"));
    EXPECT_FALSE(f.isOpen());
    Vfs::reset();
}

TEST(Chunk, TagZeroIsDeliveredAndTheReadingGoesOn) {
    // A chunk whose tag bytes are all 0 is an unknown chunk like any other:
    // the caller's loop sees it, can skip it, and reaches the chunk after it.
    Bytes file = header(3);
    file.insert(file.end(), {'H', 'E', 'A', 'D'});
    putInt(file, 1);
    file.push_back(7);
    file.insert(file.end(), {0, 0, 0, 0});
    putInt(file, 2);
    file.insert(file.end(), {8, 9});
    file.insert(file.end(), {'I', 'N', 'S', 'T'});
    putInt(file, 0);
    ChunkFile f;
    ASSERT_TRUE(f.openBytes(file));

    std::vector<int32_t> tags;
    std::vector<int32_t> sizes;
    while (f.isOpen() && f.chunksRead() < f.chunkCount()) {
        Chunk c = f.nextChunk();
        if (c.isNone()) {
            break;
        }
        tags.push_back(c.tag());
        sizes.push_back(c.size());
    }
    EXPECT_EQ(tags, (std::vector<int32_t>{tagId("HEAD"), 0, tagId("INST")}));
    EXPECT_EQ(sizes, (std::vector<int32_t>{1, 2, 0}));
    EXPECT_EQ(f.chunksRead(), 3);

    // After the last chunk the "no chunk" result reads as tag 0 and size 0.
    Chunk after = f.nextChunk();
    EXPECT_TRUE(after.isNone());
    EXPECT_EQ(after.tag(), 0);
    EXPECT_EQ(after.size(), 0);
}
