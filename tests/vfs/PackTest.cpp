// Pack mode: choosing the source, looking entries up, and surviving packs
// that lie about their own structure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "support/TempDir.h"
#include "vfs/PackWriter.h"
#include "vfs/Vfs.h"
#include "vfs/VfsFile.h"

using kvx::test::TempDir;
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

// A pack header with the given count and raw directory/data bytes after it.
Bytes rawPack(int32_t count, const Bytes& rest) {
    Bytes b = bytesOf("kvxvfs");
    b.push_back(0);
    b.push_back(0);
    putInt(b, count);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

class PackTest : public ::testing::Test {
  protected:
    void TearDown() override { Vfs::reset(); }

    std::string writePack(const std::vector<PackInput>& inputs, bool store) {
        std::optional<Bytes> image = buildPackImage(inputs, nullptr);
        EXPECT_TRUE(image.has_value());
        std::string path = dir / (store ? "show.kvx" : "showz.kvx");
        EXPECT_TRUE(writePackFile(path, *image, store, nullptr));
        return path;
    }

    std::string readWhole(const char* name) {
        VfsFile f(name);
        if (!f.good()) {
            return "<missing>";
        }
        std::string s(static_cast<size_t>(f.length()), '\0');
        f.read(s.data(), f.length());
        return s;
    }

    TempDir dir;
};

}  // namespace

TEST_F(PackTest, CompressedAndStoredPacksReadTheSame) {
    std::vector<PackInput> inputs = {{"script.zel", bytesOf("<zel/>")},
                                     {"gfx/logo.tga", bytesOf(std::string(5000, 'x'))},
                                     {"empty.bin", {}}};
    for (bool store : {false, true}) {
        Vfs::init(writePack(inputs, store).c_str());
        ASSERT_TRUE(Vfs::packMode());
        EXPECT_EQ(Vfs::entryCount(), 3);
        EXPECT_EQ(readWhole("script.zel"), "<zel/>");
        EXPECT_EQ(readWhole("gfx/logo.tga"), std::string(5000, 'x'));
        VfsFile empty("empty.bin");
        EXPECT_TRUE(empty.good());
        EXPECT_EQ(empty.length(), 0);
    }
}

TEST_F(PackTest, LookupIgnoresCaseAndFirstOfTwoWins) {
    Vfs::init(
        writePack({{"script.zel", bytesOf("first")}, {"SCRIPT.ZEL", bytesOf("second")}}, false)
            .c_str());
    EXPECT_EQ(readWhole("SCRIPT.ZEL"), "first");
    EXPECT_EQ(readWhole("Script.Zel"), "first");
    EXPECT_EQ(readWhole("other"), "<missing>");
}

TEST_F(PackTest, WrongMagicOrMissingFileMeansDirectoryMode) {
    dir.write("bad.kvx", std::string("kvxvfX\0\0\0\0\0\0", 12));
    Vfs::init((dir / "bad.kvx").c_str());
    EXPECT_FALSE(Vfs::packMode());
    Vfs::init((dir / "absent.kvx").c_str());
    EXPECT_FALSE(Vfs::packMode());
    Vfs::init(nullptr);
    EXPECT_FALSE(Vfs::packMode());
    dir.write("short.kvx", std::string("kvx"));
    Vfs::init((dir / "short.kvx").c_str());
    EXPECT_FALSE(Vfs::packMode());
}

TEST_F(PackTest, ModeIsCapturedWhenTheFileIsConstructed) {
    VfsFile before;
    Vfs::init(writePack({{"a", bytesOf("A")}}, true).c_str());
    EXPECT_FALSE(before.fromPack());
    VfsFile after;
    EXPECT_TRUE(after.fromPack());
}

TEST_F(PackTest, EntryWithOffsetZeroIsMissing) {
    Bytes dirBytes = bytesOf("a");
    dirBytes.push_back(0);
    putInt(dirBytes, 0);
    putInt(dirBytes, 4);
    dirBytes.insert(dirBytes.end(), {'d', 'a', 't', 'a'});
    dir.write("p.kvx", rawPack(1, dirBytes));
    Vfs::init((dir / "p.kvx").c_str());
    ASSERT_TRUE(Vfs::packMode());
    EXPECT_FALSE(VfsFile("a").good());
}

TEST_F(PackTest, LyingDirectoriesNeverReadPastThePack) {
    // Count far beyond what the file holds, with one complete entry and a
    // second whose name never ends: the complete entry is kept.
    Bytes d = bytesOf("ok");
    d.push_back(0);
    putInt(d, 12 + 11);
    putInt(d, 2);
    d.insert(d.end(), {'h', 'i'});
    d.insert(d.end(), {'n', 'o', 'e', 'n', 'd'});
    dir.write("count.kvx", rawPack(0x7FFFFFFF, d));
    Vfs::init((dir / "count.kvx").c_str());
    ASSERT_TRUE(Vfs::packMode());
    ASSERT_EQ(Vfs::entryCount(), 1);
    EXPECT_EQ(readWhole("ok"), "hi");

    // Negative count: an empty directory, still a pack.
    dir.write("neg.kvx", rawPack(-5, {}));
    Vfs::init((dir / "neg.kvx").c_str());
    EXPECT_TRUE(Vfs::packMode());
    EXPECT_EQ(Vfs::entryCount(), 0);

    // A directory cut inside the offset and size fields.
    Bytes cut = bytesOf("x");
    cut.push_back(0);
    cut.push_back(1);
    dir.write("cut.kvx", rawPack(1, cut));
    Vfs::init((dir / "cut.kvx").c_str());
    EXPECT_TRUE(Vfs::packMode());
    EXPECT_EQ(Vfs::entryCount(), 0);

    // Header ends before the count.
    dir.write("tiny.kvx", std::string("kvxvfs\0\0\1", 9));
    Vfs::init((dir / "tiny.kvx").c_str());
    EXPECT_TRUE(Vfs::packMode());
    EXPECT_EQ(Vfs::entryCount(), 0);
}

TEST_F(PackTest, EntriesPointingOutsideThePack) {
    Bytes d;
    auto entry = [&](const char* name, int32_t offset, int32_t size) {
        d.insert(d.end(), name, name + std::strlen(name) + 1);
        putInt(d, offset);
        putInt(d, size);
    };
    entry("beyond", 100000, 4);
    entry("negsize", 20, -1);
    entry("negoffset", -8, 4);
    entry("tail", 12 + 4 * 0, 1 << 30);  // runs past the end: what is there
    Bytes pack = rawPack(4, d);
    dir.write("odd.kvx", pack);
    Vfs::init((dir / "odd.kvx").c_str());
    ASSERT_EQ(Vfs::entryCount(), 4);
    EXPECT_FALSE(VfsFile("beyond").good());
    EXPECT_FALSE(VfsFile("negsize").good());
    EXPECT_FALSE(VfsFile("negoffset").good());
    VfsFile tail("tail");
    ASSERT_TRUE(tail.good());
    EXPECT_EQ(tail.length(), static_cast<int>(pack.size()) - 12);
    std::string all(static_cast<size_t>(tail.length()), '\0');
    EXPECT_EQ(tail.read(all.data(), 1 << 30), tail.length());
}

TEST_F(PackTest, GarbageAfterAValidGzipHeaderIsNotAPack) {
    // A gzip stream of random bytes: decompresses to no magic.
    Bytes noise(4096);
    uint32_t x = 12345;
    for (auto& b : noise) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    ASSERT_TRUE(writePackFile(dir / "noise.kvx", noise, false, nullptr));
    Vfs::init((dir / "noise.kvx").c_str());
    EXPECT_FALSE(Vfs::packMode());
}

TEST_F(PackTest, ReadsDeliverTheSameBytesWhereverTheBufferLies) {
    // The copy out of the pack changes its way with the distance between
    // the entry and the buffer modulo 4 KiB: every distance around the
    // switch, and counts around its piece size, deliver the entry's bytes.
    Bytes data(5000);
    for (size_t k = 0; k < data.size(); ++k) {
        data[k] = static_cast<uint8_t>(k * 7 + k / 251);
    }
    Vfs::init(writePack({{"e", data}}, true).c_str());
    ASSERT_TRUE(Vfs::packMode());
    const uint8_t* source = Vfs::packImage()->data() + Vfs::entries()[0].offset;
    Bytes room(data.size() + 8192);
    for (int count : {511, 512, 513, 1025, 5000}) {
        for (uintptr_t distance : {0u, 1u, 17u, 63u, 64u, 4095u}) {
            // The buffer start whose distance from the source is distance.
            const uintptr_t base = reinterpret_cast<uintptr_t>(room.data());
            const uintptr_t shift = (reinterpret_cast<uintptr_t>(source) + distance - base) & 4095u;
            uint8_t* buffer = room.data() + shift;
            std::fill(room.begin(), room.end(), uint8_t{0xEE});
            VfsFile f("e");
            ASSERT_EQ(f.read(buffer, count), count);
            EXPECT_TRUE(std::equal(buffer, buffer + count, data.begin()))
                << count << " bytes at distance " << distance;
            EXPECT_EQ(buffer[count], 0xEE) << count << " bytes at distance " << distance;
        }
    }
}

TEST(PackName, DerivedFromTheProgramPath) {
    EXPECT_EQ(packNameFor("/usr/local/bin/kvxplay"), "kvxplay.kvx");
    EXPECT_EQ(packNameFor("C:\\shows\\morvane.exe"), "morvane.kvx");
    EXPECT_EQ(packNameFor("show.final.exe"), "show.final.kvx");
    EXPECT_EQ(packNameFor("./dir.v2/player"), "player.kvx");
    EXPECT_EQ(packNameFor("demo"), "demo.kvx");
    EXPECT_EQ(packNameFor(""), ".kvx");
}

TEST(PackWriter, RefusesNamesWithNul) {
    std::string error;
    EXPECT_FALSE(buildPackImage({{std::string("a\0b", 3), {}}}, &error).has_value());
    EXPECT_FALSE(error.empty());
}
