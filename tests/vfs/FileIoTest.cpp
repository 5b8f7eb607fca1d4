// Whole-file reads and writes of the tools: bytes round-trip unchanged
// (zeros and high bytes included), and missing paths are reported.
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "vfs/FileIo.h"

namespace kvx::vfs {
namespace {

TEST(FileIo, WriteThenReadGivesTheSameBytes) {
    test::TempDir dir;
    Bytes data;
    for (int i = 0; i < 1000; ++i) {
        data.push_back(static_cast<uint8_t>(i * 7));
    }
    ASSERT_TRUE(writeFile(dir / "a.bin", data));
    const auto back = readFile(dir / "a.bin");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, data);
    // Writing again replaces the file instead of appending to it.
    ASSERT_TRUE(writeFile(dir / "a.bin", Bytes{1, 2}));
    EXPECT_EQ(readFile(dir / "a.bin"), Bytes({1, 2}));
}

TEST(FileIo, MissingFilesAndUnwritablePathsFail) {
    test::TempDir dir;
    EXPECT_FALSE(readFile(dir / "none.bin").has_value());
    EXPECT_FALSE(writeFile(dir / "no/such/folder/x.bin", Bytes{1}));
    const auto empty = (writeFile(dir / "empty", Bytes{}), readFile(dir / "empty"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

}  // namespace
}  // namespace kvx::vfs
