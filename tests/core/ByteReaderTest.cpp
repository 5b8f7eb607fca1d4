// ByteReader: little-endian values, NUL-terminated names, and a reader that
// fails once and stays failed.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "core/ByteReader.h"

namespace kvx::core {
namespace {

TEST(ByteReader, ReadsLittleEndianValues) {
    const std::vector<uint8_t> b = {0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF, 0xFF,
                                    0xFF, 0x00, 0x00, 0x80, 0x3F, 0x34, 0x12};
    ByteReader r(b.data(), b.size());
    EXPECT_EQ(r.u32(), 0x04030201u);
    EXPECT_EQ(r.i32(), -2);
    EXPECT_EQ(r.f32(), 1.0f);
    EXPECT_EQ(r.u16(), 0x1234);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(ByteReader, CStringStopsAtTheZeroByte) {
    const std::string_view bytes("script.zel\0gfx/a.tga\0tail", 25);
    ByteReader r(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::string_view name;
    ASSERT_TRUE(r.cString(name));
    EXPECT_EQ(name, "script.zel");
    ASSERT_TRUE(r.cString(name));
    EXPECT_EQ(name, "gfx/a.tga");
    EXPECT_EQ(r.position(), 21u);
    // No 0 byte left: the read fails, consumes nothing, and fails the reader.
    EXPECT_FALSE(r.cString(name));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.position(), 21u);

    ByteReader empty(nullptr, 0);
    EXPECT_FALSE(empty.cString(name));
}

TEST(ByteReader, AShortReadFailsEveryReadAfterIt) {
    const std::vector<uint8_t> b = {1, 2, 3, 4, 5, 6};
    ByteReader r(b.data(), b.size());
    EXPECT_EQ(r.i32(), 0x04030201);
    EXPECT_EQ(r.u32(), 0u);  // two bytes left: fails, reads nothing
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.u8(), 0);  // would fit, but the reader has failed
    EXPECT_EQ(r.position(), 4u);
    EXPECT_EQ(r.bytes(1), nullptr);

    ByteReader s(b.data(), b.size());
    EXPECT_FALSE(s.seek(7));
    ByteReader t(b.data(), b.size());
    EXPECT_TRUE(t.seek(6));
    EXPECT_NE(t.bytes(0), nullptr);  // an empty span at the end is fine
    EXPECT_EQ(t.bytes(-1), nullptr);
}

}  // namespace
}  // namespace kvx::core
