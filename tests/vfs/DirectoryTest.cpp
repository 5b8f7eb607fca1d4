// Directory mode and the read contract every VfsFile keeps: reads bounded by
// the length, good turning false only on the read after the last byte.
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "vfs/Vfs.h"
#include "vfs/VfsFile.h"

using kvx::test::TempDir;
using namespace kvx::vfs;

namespace {

class DirectoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Vfs::reset();
        Vfs::setDataDirectory(dir.path().string());
    }
    void TearDown() override { Vfs::reset(); }
    TempDir dir;
};

}  // namespace

TEST_F(DirectoryTest, ReadPastTheEnd) {
    dir.write("ten.bin", "0123456789");
    VfsFile f("ten.bin");
    ASSERT_TRUE(f.good());
    EXPECT_FALSE(f.fromPack());
    EXPECT_EQ(f.length(), 10);
    char buf[16];
    EXPECT_EQ(f.read(buf, 10), 10);
    EXPECT_TRUE(f.good());
    EXPECT_EQ(f.read(buf, 10), 0);
    EXPECT_FALSE(f.good());
    EXPECT_EQ(f.read(buf, 1), 0);
}

TEST_F(DirectoryTest, ShortReadAndBadArguments) {
    dir.write("abc", "abcdef");
    VfsFile f("abc");
    char buf[16] = {};
    EXPECT_EQ(f.read(buf, 4), 4);
    EXPECT_EQ(f.read(buf, 100), 2);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_TRUE(f.good());
    EXPECT_EQ(f.read(nullptr, 4), 0);
    EXPECT_EQ(f.read(buf, 0), 0);
    EXPECT_EQ(f.read(buf, -3), 0);
    EXPECT_TRUE(f.good());
}

TEST_F(DirectoryTest, ReadLine) {
    dir.write("m.txt", "one\ntwo\nlast");
    VfsFile f("m.txt");
    EXPECT_EQ(f.readLine(), "one\n");
    EXPECT_EQ(f.readLine(), "two\n");
    EXPECT_EQ(f.readLine(), "last");
    EXPECT_FALSE(f.good());
    EXPECT_TRUE(f.readLine().empty());
}

TEST_F(DirectoryTest, MissingFileAndReopen) {
    VfsFile f("nothing");
    EXPECT_FALSE(f.good());
    char c;
    EXPECT_EQ(f.read(&c, 1), 0);
    dir.write("x", "x");
    EXPECT_TRUE(f.open("x"));
    EXPECT_EQ(f.read(&c, 1), 1);
    f.close();
    EXPECT_FALSE(f.good());
    EXPECT_EQ(f.length(), 0);
    EXPECT_TRUE(f.open("x"));
    EXPECT_EQ(f.position(), 0);
}

TEST_F(DirectoryTest, BackslashesAndCaseFallback) {
    dir.write("Meshes/Ship.MSH", "mesh");
    dir.write("exact.txt", "e");
    EXPECT_TRUE(VfsFile("Meshes\\Ship.MSH").good());
    EXPECT_TRUE(VfsFile("meshes\\ship.msh").good());
    EXPECT_TRUE(VfsFile("MESHES/SHIP.msh").good());
    EXPECT_TRUE(VfsFile("EXACT.TXT").good());
    EXPECT_FALSE(VfsFile("meshes").good());  // a folder is not a file
    EXPECT_FALSE(VfsFile("meshes/other").good());
    EXPECT_FALSE(VfsFile("").good());
    std::optional<Bytes> all = Vfs::readAll("MESHES/ship.msh");
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(std::string(all->begin(), all->end()), "mesh");
    EXPECT_FALSE(Vfs::readAll("absent").has_value());
}

TEST_F(DirectoryTest, DefaultDataDirectoryIsRelative) {
    Vfs::reset();
    EXPECT_EQ(Vfs::dataDirectory(), "data");
}
