// ByteReader and ByteWriter: every width and byte order round-trips, the
// byte layout is the one the file formats store, and a read past the end
// fails once and stays failed.
#include <gtest/gtest.h>

#include <vector>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

using kvx::core::ByteReader;
using kvx::core::ByteWriter;

TEST(ByteIo, WrittenFieldsHaveTheStoredLayoutAndReadBack) {
    std::vector<uint8_t> b;
    ByteWriter w(b);
    w.u8(0xAB);
    w.u16(0x1234);
    w.i32(-2);
    w.f32(1.5f);
    w.be16(0x1234);
    w.be24(0x07A120);
    w.be32(0x4D546864);
    w.zeros(2);
    const std::vector<uint8_t> want = {0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0x00,
                                       0x00, 0xC0, 0x3F, 0x12, 0x34, 0x07, 0xA1, 0x20,
                                       'M',  'T',  'h',  'd',  0x00, 0x00};
    ASSERT_EQ(b, want);
    ByteReader r(b.data(), b.size());
    EXPECT_EQ(r.u8(), 0xAB);
    EXPECT_EQ(r.u16(), 0x1234);
    EXPECT_EQ(r.i32(), -2);
    EXPECT_EQ(r.f32(), 1.5f);
    EXPECT_EQ(r.be16(), 0x1234);
    EXPECT_EQ(r.be24(), 0x07A120u);
    EXPECT_EQ(r.be32(), 0x4D546864u);
    EXPECT_TRUE(r.skip(2));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(ByteIo, ShortReadsFailAndTheReaderStaysFailed) {
    const uint8_t three[] = {1, 2, 3};
    ByteReader a(three, 3);
    a.skip(2);
    EXPECT_EQ(a.be16(), 0);  // one byte left
    EXPECT_FALSE(a.ok());
    EXPECT_EQ(a.u8(), 0) << "a failed reader reads nothing more";
    ByteReader b(three, 3);
    EXPECT_EQ(b.u32(), 0u);
    EXPECT_FALSE(b.ok());
    ByteReader c(three, 3);
    EXPECT_EQ(c.be24(), 0x010203u);
    EXPECT_TRUE(c.ok());
    EXPECT_EQ(c.u8(), 0);
    EXPECT_FALSE(c.ok());
}

TEST(ByteIo, StoreI32FillsFourBytesInPlace) {
    uint8_t b[6] = {9, 9, 9, 9, 9, 9};
    kvx::core::storeI32(b + 1, 0x11223344);
    EXPECT_EQ(std::vector<uint8_t>(b, b + 6), (std::vector<uint8_t>{9, 0x44, 0x33, 0x22, 0x11, 9}));
}
