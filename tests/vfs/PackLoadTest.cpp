// Loading a pack: the magic before anything else, the directory, and no
// decompression beyond what the entries reach; the whole-buffer and the
// streaming decompressor agree byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "support/PackFiles.h"
#include "support/TempDir.h"
#include "vfs/PackImage.h"
#include "vfs/PackWriter.h"
#include "vfs/Vfs.h"
#include "vfs/VfsFile.h"

using namespace kvx::vfs;
using kvx::test::gzipMember;
using kvx::test::packHeader;
using kvx::test::putEntry;
using kvx::test::TempDir;

namespace {

constexpr uint64_t kMiB = 1 << 20;

std::string text(const PackImage& image, size_t from, size_t count) {
    return std::string(reinterpret_cast<const char*>(image.data()) + from, count);
}

// Content of a well-formed pack whose entries hold size bytes each of a
// pattern that compresses like real data, neither all alike nor noise.
Bytes patternedPack(int entries, size_t size) {
    std::vector<PackInput> inputs;
    for (int i = 0; i < entries; ++i) {
        PackInput in;
        in.name = "e" + std::to_string(i);
        in.data.resize(size);
        for (size_t k = 0; k < size; ++k) {
            in.data[k] =
                static_cast<uint8_t>((k * k / 7 + k / 300 + static_cast<size_t>(i)) & 0xFF);
        }
        inputs.push_back(std::move(in));
    }
    return *buildPackImage(inputs, nullptr);
}

class PackLoadTest : public ::testing::Test {
  protected:
    void TearDown() override { Vfs::reset(); }
    std::string put(const std::string& name, const Bytes& bytes) {
        dir.write(name, bytes);
        return dir / name;
    }
    TempDir dir;
};

}  // namespace

TEST_F(PackLoadTest, ZeroBombInflatesOnlyAsFarAsItsEntryReaches) {
    // 64 MiB of zeros behind one four-byte entry, in 64 KB of gzip.
    const std::string path = put("bomb.kvx", kvx::test::zeroBomb(64 * kMiB));
    PackError why = PackError::None;
    std::optional<LoadedPack> pack = loadPack(path, PackScope::Findable, &why);
    ASSERT_TRUE(pack.has_value());
    EXPECT_EQ(why, PackError::None);
    EXPECT_EQ(pack->directory.status, PackDirectory::Status::Complete);
    EXPECT_EQ(pack->image.size(), 26u);
    EXPECT_LE(pack->producedBytes, kMiB);

    Vfs::init(path.c_str());
    ASSERT_TRUE(Vfs::packMode());
    EXPECT_EQ(Vfs::packImage()->size(), 26u);
    VfsFile a("a");
    ASSERT_TRUE(a.good());
    char got[5] = {};
    EXPECT_EQ(a.read(got, 4), 4);
    EXPECT_STREQ(got, "data");
}

TEST_F(PackLoadTest, MagicIsCheckedBeforeTheStreamIsInflated) {
    Bytes head = {'n', 'o', 't', 'a', 'p', 'a', 'c', 'k'};
    const std::string path = put("fake.kvx", gzipMember(head, 64 * kMiB));
    PackError why = PackError::None;
    EXPECT_FALSE(loadPack(path, PackScope::Findable, &why).has_value());
    EXPECT_EQ(why, PackError::NotAPack);
    Vfs::init(path.c_str());
    EXPECT_FALSE(Vfs::packMode());
    // A stored file with the wrong magic, and one too short to hold it.
    loadPack(put("plain.kvx", Bytes(100, 'x')), PackScope::Findable, &why);
    EXPECT_EQ(why, PackError::NotAPack);
    loadPack(put("kvx.kvx", Bytes{'k', 'v', 'x'}), PackScope::Findable, &why);
    EXPECT_EQ(why, PackError::NotAPack);
    loadPack(dir / "absent.kvx", PackScope::Findable, &why);
    EXPECT_EQ(why, PackError::CannotOpen);
}

TEST_F(PackLoadTest, EachScopeReachesOnlyItsEntries) {
    // "A" is found by every lookup of "a", so the later, longer "a" can never
    // be read by the player, but an unpack writes it out.
    Bytes content = packHeader(3);
    const int32_t data = 12 + 10 + 10 + 13;  // header and the three entries
    putEntry(content, "A", data, 4);
    putEntry(content, "a", data, 400000);
    putEntry(content, "dead", 0, 1 << 30);  // offset 0: reaches nothing
    ASSERT_EQ(content.size(), static_cast<size_t>(data));
    content.resize(content.size() + 400000, 'z');
    const std::string path = put("scopes.kvx", gzipMember(content));

    auto loaded = [&](PackScope scope) { return loadPack(path, scope)->image.size(); };
    EXPECT_EQ(loaded(PackScope::DirectoryOnly), static_cast<size_t>(data));
    EXPECT_EQ(loaded(PackScope::Findable), static_cast<size_t>(data) + 4);
    EXPECT_EQ(loaded(PackScope::AllEntries), static_cast<size_t>(data) + 400000);
    EXPECT_EQ(packReach(parsePackDirectory(content.data(), content.size()), PackScope::Findable),
              static_cast<uint64_t>(data) + 4);
}

TEST_F(PackLoadTest, CutDirectoriesKeepTheCompleteEntries) {
    Bytes oneEntry = packHeader(3);
    putEntry(oneEntry, "first", 40, 2);
    Bytes cutName = oneEntry;
    cutName.insert(cutName.end(), {'s', 'e', 'c'});
    Bytes cutCount = packHeader(1);
    cutCount.resize(10);
    const struct {
        const char* name;
        Bytes content;
        size_t entries;
    } cases[] = {{"magic", Bytes{'k', 'v', 'x', 'v', 'f', 's'}, 0},
                 {"count", cutCount, 0},
                 {"name", cutName, 1},
                 {"fields", Bytes(cutName.begin(), cutName.end() - 8), 0}};
    for (const auto& c : cases) {
        for (bool compressed : {false, true}) {
            const std::string path =
                put(std::string(c.name) + ".kvx", compressed ? gzipMember(c.content) : c.content);
            std::optional<LoadedPack> pack = loadPack(path, PackScope::Findable);
            ASSERT_TRUE(pack.has_value()) << c.name;
            EXPECT_EQ(pack->directory.status, PackDirectory::Status::Truncated) << c.name;
            EXPECT_EQ(pack->directory.entries.size(), c.entries) << c.name;
            Vfs::init(path.c_str());
            EXPECT_TRUE(Vfs::packMode()) << c.name;
            EXPECT_EQ(static_cast<size_t>(Vfs::entryCount()), c.entries) << c.name;
        }
    }
}

TEST_F(PackLoadTest, DirectoriesBeyondTheBoundsStopThere) {
    // More entries than the bound, each complete: the first kMaxEntries stay.
    Bytes many = packHeader(static_cast<int32_t>(kMaxEntries) + 5);
    for (size_t i = 0; i < kMaxEntries + 5; ++i) {
        putEntry(many, "n", 1, 0);
    }
    std::optional<LoadedPack> pack =
        loadPack(put("many.kvx", gzipMember(many)), PackScope::Findable);
    ASSERT_TRUE(pack.has_value());
    EXPECT_EQ(pack->directory.status, PackDirectory::Status::TooLarge);
    EXPECT_EQ(pack->directory.entries.size(), kMaxEntries);

    // A name that never ends, 64 MiB of 'n': read no further than the bound.
    Bytes head = packHeader(1);
    pack = loadPack(put("name.kvx", gzipMember(head, 64 * kMiB, 'n')), PackScope::Findable);
    ASSERT_TRUE(pack.has_value());
    EXPECT_EQ(pack->directory.status, PackDirectory::Status::TooLarge);
    EXPECT_TRUE(pack->directory.entries.empty());
    EXPECT_LE(pack->producedBytes, kMaxDirectoryBytes + kMiB);
}

TEST_F(PackLoadTest, WholeBufferAndStreamingInflateAgree) {
    const Bytes content = patternedPack(12, 300000);
    const std::string single = put("single.kvx", gzipMember(content));
    std::optional<LoadedPack> whole = loadPack(single, PackScope::Findable);
    ASSERT_TRUE(whole.has_value());
    EXPECT_TRUE(whole->wholeBuffer);
    ASSERT_EQ(whole->image.size(), content.size());
    EXPECT_EQ(text(whole->image, 0, content.size()), std::string(content.begin(), content.end()));

    // Bytes after the member hide its size from the trailer; two members
    // back to back are one gzip file whose trailer knows only the second.
    Bytes trailing = gzipMember(content);
    trailing.insert(trailing.end(), {1, 2, 3, 4, 5});
    const size_t half = content.size() / 2;
    Bytes joined = gzipMember(Bytes(content.begin(), content.begin() + half));
    const Bytes rest = gzipMember(Bytes(content.begin() + half, content.end()));
    joined.insert(joined.end(), rest.begin(), rest.end());
    for (const auto& [name, file] : {std::pair{"trailing.kvx", trailing}, {"joined.kvx", joined}}) {
        std::optional<LoadedPack> streamed = loadPack(put(name, file), PackScope::Findable);
        ASSERT_TRUE(streamed.has_value()) << name;
        EXPECT_FALSE(streamed->wholeBuffer) << name;
        ASSERT_EQ(streamed->image.size(), content.size()) << name;
        EXPECT_EQ(text(streamed->image, 0, content.size()),
                  std::string(content.begin(), content.end()))
            << name;
    }
}

TEST_F(PackLoadTest, DamagedCompressedDataIsUnreadable) {
    const Bytes content = patternedPack(4, 200000);
    Bytes badCrc = gzipMember(content);
    badCrc[badCrc.size() - 8] ^= 0x55;  // the CRC field of the trailer
    Bytes badData = gzipMember(content);
    for (size_t i = 2000; i < 2400; ++i) {
        badData[i] = static_cast<uint8_t>(i * 131);
    }
    for (const auto& [name, file] : {std::pair{"crc.kvx", badCrc}, {"data.kvx", badData}}) {
        PackError why = PackError::None;
        EXPECT_FALSE(loadPack(put(name, file), PackScope::Findable, &why).has_value()) << name;
        EXPECT_EQ(why, PackError::Unreadable) << name;
        Vfs::init((dir / name).c_str());
        EXPECT_FALSE(Vfs::packMode()) << name;
    }
}
