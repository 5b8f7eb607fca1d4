// Song file reading, variable-length deltas and sequencing.
#include <gtest/gtest.h>

#include <vector>

#include "synth/Song.h"

namespace kvx::synth {
namespace {

vfs::Bytes header(uint32_t count) {
    vfs::Bytes b = {'k', 'v', 'x', ':', ':', 's', 'o', 'n', 'g', 7, 9};
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(count >> (8 * i)));
    }
    return b;
}

struct Recorder : SongSink {
    std::vector<SongEvent> got;
    void onMessage(const SongEvent& e) override { got.push_back(e); }
};

TEST(SongVlq, OneAndTwoBytes) {
    const uint8_t a[] = {0x7F};
    size_t pos = 0;
    uint32_t v = 0;
    ASSERT_TRUE(readVlq(a, 1, pos, v));
    EXPECT_EQ(v, 127u);
    const uint8_t b[] = {0x81, 0x00};
    pos = 0;
    ASSERT_TRUE(readVlq(b, 2, pos, v));
    EXPECT_EQ(v, 128u);
    EXPECT_EQ(pos, 2u);
}

TEST(SongVlq, FourBytesAtMostAndShortInput) {
    const uint8_t max[] = {0xFF, 0xFF, 0xFF, 0x7F};
    size_t pos = 0;
    uint32_t v = 0;
    ASSERT_TRUE(readVlq(max, 4, pos, v));
    EXPECT_EQ(v, 0x0FFFFFFFu);
    const uint8_t five[] = {0x81, 0x81, 0x81, 0x81, 0x01};
    pos = 0;
    EXPECT_FALSE(readVlq(five, 5, pos, v));
    const uint8_t cut[] = {0x81};
    pos = 0;
    EXPECT_FALSE(readVlq(cut, 1, pos, v));
}

TEST(SongVlq, WriteReadRoundTrip) {
    for (uint32_t value : {0u, 1u, 127u, 128u, 16383u, 16384u, 2097151u, 2097152u, 0x0FFFFFFFu}) {
        vfs::Bytes b;
        writeVlq(b, value);
        size_t pos = 0;
        uint32_t v = 0;
        ASSERT_TRUE(readVlq(b.data(), b.size(), pos, v));
        EXPECT_EQ(v, value);
        EXPECT_EQ(pos, b.size());
    }
}

TEST(SongFile, ParsesAbsoluteTimes) {
    vfs::Bytes b = header(3);
    const uint8_t body[] = {0x7F, 0x90, 60, 100, 0x81, 0x00, 0x80, 60, 0, 0x00, 0xB0, 7, 127};
    b.insert(b.end(), body, body + sizeof body);
    Song s;
    ASSERT_TRUE(s.parse(b.data(), b.size()));
    ASSERT_EQ(s.events().size(), 3u);
    EXPECT_EQ(s.events()[0].time, 127);
    EXPECT_EQ(s.events()[1].time, 255);
    EXPECT_EQ(s.events()[1].status, 0x80);
    EXPECT_EQ(s.events()[2].time, 255);
    EXPECT_EQ(s.events()[2].data2, 127);
}

TEST(SongFile, WrongMagicAndTinyFilesFail) {
    vfs::Bytes b = header(0);
    b[0] = 'K';
    Song s;
    EXPECT_FALSE(s.parse(b.data(), b.size()));
    EXPECT_FALSE(s.parse(b.data(), 5));
    EXPECT_FALSE(s.parse(nullptr, 0));
}

TEST(SongFile, ZeroEventsLoadAndPlayNothing) {
    const vfs::Bytes b = header(0);
    Song s;
    Recorder r;
    s.setSink(&r);
    ASSERT_TRUE(s.parse(b.data(), b.size()));
    s.advance(100000);
    EXPECT_TRUE(r.got.empty());
    EXPECT_TRUE(s.atEnd());
}

TEST(SongFile, HugeCountIsBoundedByTheBytes) {
    vfs::Bytes b = header(0xFFFFFFFFu);
    const uint8_t body[] = {0x00, 0x90, 60, 100, 0x05, 0x80, 60, 0};
    b.insert(b.end(), body, body + sizeof body);
    Song s;
    ASSERT_TRUE(s.parse(b.data(), b.size()));
    EXPECT_EQ(s.events().size(), 2u);
    EXPECT_LE(s.events().capacity(), 2u);
}

TEST(SongFile, ShortFileKeepsCompleteEvents) {
    vfs::Bytes b = header(3);
    const uint8_t body[] = {0x00, 0x90, 60, 100, 0x05, 0x80};
    b.insert(b.end(), body, body + sizeof body);
    Song s;
    ASSERT_TRUE(s.parse(b.data(), b.size()));
    EXPECT_EQ(s.events().size(), 1u);
}

TEST(SongFile, OverlongDeltaEndsTheSong) {
    vfs::Bytes b = header(2);
    const uint8_t body[] = {0x00, 0x90, 60, 100, 0x81, 0x81, 0x81, 0x81, 0x01, 0x80, 60, 0};
    b.insert(b.end(), body, body + sizeof body);
    Song s;
    ASSERT_TRUE(s.parse(b.data(), b.size()));
    EXPECT_EQ(s.events().size(), 1u);
}

TEST(SongFile, RunningTimeSaturates) {
    vfs::Bytes b = header(20);
    for (int i = 0; i < 20; ++i) {
        const uint8_t e[] = {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 1};
        b.insert(b.end(), e, e + sizeof e);
    }
    Song s;
    ASSERT_TRUE(s.parse(b.data(), b.size()));
    ASSERT_EQ(s.events().size(), 20u);
    for (size_t i = 1; i < s.events().size(); ++i) {
        EXPECT_GE(s.events()[i].time, s.events()[i - 1].time);
    }
    EXPECT_EQ(s.events().back().time, INT32_MAX);
}

TEST(SongSequencing, AdvanceHandsDueEventsInOrderAndRewindRestarts) {
    const std::vector<SongEvent> events = {
        {0, 0x90, 1, 1}, {10, 0x90, 2, 1}, {10, 0x90, 3, 1}, {25, 0x90, 4, 1}};
    const vfs::Bytes b = writeSong(events);
    Song s;
    Recorder r;
    s.setSink(&r);
    ASSERT_TRUE(s.parse(b.data(), b.size()));
    s.advance(0);
    ASSERT_EQ(r.got.size(), 1u);
    s.advance(9);
    EXPECT_EQ(r.got.size(), 1u);
    s.advance(1);
    ASSERT_EQ(r.got.size(), 3u);
    EXPECT_EQ(r.got[2].data1, 3);
    s.advance(100);
    EXPECT_EQ(r.got.size(), 4u);
    s.rewind();
    s.advance(0);
    EXPECT_EQ(r.got.size(), 5u);
    EXPECT_EQ(r.got.back().data1, 1);
}

}  // namespace
}  // namespace kvx::synth
