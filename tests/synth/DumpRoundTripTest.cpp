// The text forms of the configuration and of the song keep every file the
// player accepts: dump, then compile (or from-text), gives back the same
// bytes, for odd files made by hand and for a few hundred mutations of good
// ones. What the player refuses, the dump refuses too.
#include <gtest/gtest.h>

#include <random>

#include "support/SynthTestUtil.h"
#include "synth/SongText.h"
#include "vfs/ChunkFile.h"

namespace kvx::synth {
namespace {

const std::string kConfig = test::monoHead(2) +
                            "cefx channel=1\n  effect slot=2 type=eLPF hz=500 res=3\n"
                            "inst name=x index=0 channel=0 flags=16\n"
                            "  seq length=4\n"
                            "  steps 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63\n"
                            "  gen slot=0 type=gSine\n  gen slot=1 type=gSaw spread=30\n"
                            "  fx slot=0 type=eMoogVCF cutoff=20 resonance=40\n"
                            "  amp 5:1 50:0.3 100:0\n  pan 10:0.5\n"
                            "chunk tag=XTRA hex=0102\n";

// Dumps and compiles bytes; the compiled bytes, or a message.
testing::AssertionResult configSurvives(const vfs::Bytes& bytes) {
    ConfigDesc d, again;
    std::string error;
    if (!readConfig(bytes, d, error)) {
        return testing::AssertionFailure() << "dump refused: " << error;
    }
    const std::string text = configToText(d);
    if (!parseConfigText(text, again, error)) {
        return testing::AssertionFailure() << "compile refused: " << error << "\n" << text;
    }
    if (buildConfig(again) != bytes) {
        return testing::AssertionFailure() << "bytes differ after\n" << text;
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult songSurvives(const vfs::Bytes& bytes) {
    SongFile s, again;
    std::string error;
    if (!readSongFile(bytes, s, error)) {
        return testing::AssertionFailure() << "dump refused: " << error;
    }
    const std::string text = songToText(s);
    if (!parseSongText(text, again, error)) {
        return testing::AssertionFailure() << "from-text refused: " << error << "\n" << text;
    }
    if (buildSongFile(again) != bytes) {
        return testing::AssertionFailure() << "bytes differ after\n" << text;
    }
    return testing::AssertionSuccess();
}

vfs::Bytes withCount(vfs::Bytes b, int32_t count) {
    for (int i = 0; i < 4; ++i) {
        b[19 + i] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i));
    }
    return b;
}

TEST(ConfigDump, BytesAfterTheAnnouncedChunksAreKept) {
    const vfs::Bytes good = test::compileText(kConfig);  // four chunks
    // Fewer chunks announced than stored: the rest is the tail.
    for (int32_t count : {1, 0}) {
        const vfs::Bytes b = withCount(good, count);
        EXPECT_TRUE(configSurvives(b)) << "count " << count;
        ConfigDesc d;
        std::string error;
        ASSERT_TRUE(readConfig(b, d, error));
        EXPECT_EQ(d.chunks.size(), static_cast<size_t>(count));
        EXPECT_NE(configToText(d).find("tail hex="), std::string::npos);
    }
    // A count that no number of chunks can meet is written out.
    for (int32_t count : {-1, 9}) {
        const vfs::Bytes b = withCount(good, count);
        EXPECT_TRUE(configSurvives(b)) << "count " << count;
        ConfigDesc d;
        std::string error;
        ASSERT_TRUE(readConfig(b, d, error));
        EXPECT_EQ(d.declaredCount, count);
        EXPECT_NE(configToText(d).find("count=" + std::to_string(count)), std::string::npos);
    }
    // A tag with NUL bytes in it keeps all four bytes.
    vfs::ChunkWriter w(1);
    w.add(std::string_view("\0\0\x03\x01", 4), vfs::Bytes{});
    EXPECT_TRUE(configSurvives(w.finish()));
    vfs::Bytes extra = good;
    extra.insert(extra.end(), {0xde, 0xad, 0xbe});
    EXPECT_TRUE(configSurvives(extra));
    ConfigDesc d;
    std::string error;
    ASSERT_TRUE(readConfig(extra, d, error));
    EXPECT_NE(configToText(d).find("tail hex=deadbe"), std::string::npos);
    // A last chunk cut short: the player stops before it, the text keeps it.
    EXPECT_TRUE(configSurvives(vfs::Bytes(good.begin(), good.end() - 1)));
    // Only the header: no chunks at all.
    EXPECT_TRUE(configSurvives(vfs::Bytes(good.begin(), good.begin() + 23)));
}

TEST(ConfigDump, NaNLevelsWithAPayloadAreKeptAsHex) {
    ConfigDesc d;
    std::string error;
    ASSERT_TRUE(parseConfigText("inst name=a\n  amp 10:1\n", d, error));
    vfs::Bytes b = buildConfig(d);
    // The level is the file's last four bytes before the empty pan envelope.
    const size_t at = b.size() - 8;
    const uint8_t nan[] = {0x01, 0x00, 0xc0, 0x7f};
    std::copy(nan, nan + 4, b.begin() + static_cast<std::ptrdiff_t>(at));
    EXPECT_TRUE(configSurvives(b));
}

TEST(ConfigDump, EveryAcceptedMutationSurvivesDumpAndCompile) {
    const vfs::Bytes good = test::compileText(kConfig);
    std::mt19937 rng(20240611);
    int accepted = 0;
    for (int round = 0; round < 400; ++round) {
        vfs::Bytes b = good;
        switch (round % 4) {
            case 0:  // a few bytes changed anywhere
                for (int k = 0; k < 1 + static_cast<int>(rng() % 6); ++k) {
                    b[rng() % b.size()] = static_cast<uint8_t>(rng());
                }
                break;
            case 1:  // cut anywhere
                b.resize(rng() % (b.size() + 1));
                break;
            case 2:  // bytes appended, one changed
                for (int k = 0; k < 1 + static_cast<int>(rng() % 20); ++k) {
                    b.push_back(static_cast<uint8_t>(rng()));
                }
                b[23 + rng() % (b.size() - 23)] = static_cast<uint8_t>(rng());
                break;
            default:  // another chunk count, and a chunk size changed
                b = withCount(b, static_cast<int32_t>(rng() % 12) - 3);
                b[27 + rng() % 4] = static_cast<uint8_t>(rng());
                break;
        }
        Player player;
        const bool loads = player.parseConfig(b);
        ConfigDesc d;
        std::string error;
        ASSERT_EQ(readConfig(b, d, error), loads) << "round " << round;
        if (loads) {
            ++accepted;
            ASSERT_TRUE(configSurvives(b)) << "round " << round;
        }
    }
    EXPECT_GT(accepted, 300);
}

vfs::Bytes songBytes(std::initializer_list<uint8_t> body, uint32_t count) {
    vfs::Bytes b = {'k', 'v', 'x', ':', ':', 's', 'o', 'n', 'g', 0, 0};
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(count >> (8 * i)));
    }
    b.insert(b.end(), body);
    return b;
}

TEST(SongDump, EventsThePlainTextCouldNotSayAreKept) {
    const vfs::Bytes odd = songBytes(
        {
            0x00, 0x45, 200,  13,                 // a data byte as status, data above 127
            0x81, 0x00, 0xF0, 1,    2,            // a system status byte
            0x80, 0x80, 0x05, 0x90, 60,   255,    // a delta stored in three bytes
            0xFF, 0xFF, 0xFF, 0x7F, 0x80, 0,   0  // the longest delta
        },
        4);
    ASSERT_TRUE(songSurvives(odd));
    SongFile s;
    std::string error;
    ASSERT_TRUE(readSongFile(odd, s, error));
    const std::string text = songToText(s);
    EXPECT_NE(text.find("0 - 0x45 200 13\n"), std::string::npos) << text;
    EXPECT_NE(text.find("128 - 0xf0 1 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("133 0 note-on 60 255 vlq=3\n"), std::string::npos) << text;
    EXPECT_NE(text.find(std::to_string(133 + 0x0FFFFFFF) + " 0 note-off 0 0\n"), std::string::npos)
        << text;

    // The header's two free bytes, a count that says more or fewer events
    // than there are, bytes after the events, an event cut short.
    vfs::Bytes padded = songBytes({0x10, 0x90, 60, 100, 0x7F}, 1);
    padded[9] = 7;
    padded[10] = 9;
    EXPECT_TRUE(songSurvives(padded));
    EXPECT_TRUE(songSurvives(songBytes({0x10, 0x90, 60, 100, 0x05, 0x80}, 5)));
    EXPECT_TRUE(songSurvives(songBytes({}, 0)));
    EXPECT_TRUE(songSurvives(songBytes({0x10, 0x90}, 0)));
    // Four delta bytes that all carry a continuation bit: the song ends there.
    EXPECT_TRUE(songSurvives(songBytes({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 1, 1}, 1)));
}

TEST(SongDump, EveryAcceptedMutationSurvivesDumpAndFromText) {
    std::vector<SongEvent> events;
    for (int i = 0; i < 40; ++i) {
        events.push_back(
            {i * 37, static_cast<uint8_t>(0x90 | (i % 3)), static_cast<uint8_t>(40 + i), 100});
    }
    events.push_back({200000, 0xC1, 5, 0});
    const vfs::Bytes good = writeSong(events);
    std::mt19937 rng(99);
    int accepted = 0;
    for (int round = 0; round < 400; ++round) {
        vfs::Bytes b = good;
        const int changes = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < changes; ++k) {
            b[rng() % b.size()] = static_cast<uint8_t>(round % 3 == 0 ? 0x80 | rng() : rng());
        }
        if (round % 5 == 0) {
            b.resize(rng() % (b.size() + 1));
        }
        Song song;
        const bool loads = song.parse(b.data(), b.size());
        SongFile s;
        std::string error;
        ASSERT_EQ(readSongFile(b, s, error), loads) << "round " << round;
        if (loads) {
            ++accepted;
            ASSERT_TRUE(songSurvives(b)) << "round " << round;
        }
    }
    EXPECT_GT(accepted, 300);
}

TEST(SongText, BadLinesNameTheLine) {
    SongFile s;
    std::string error;
    const std::pair<const char*, const char*> bad[] = {
        {"10 0 note-on 60 100\n5 0 note-off 60 0\n", "line 2"},          // time runs back
        {"0 16 note-on 60 100\n", "line 1"},                             // no channel 16
        {"0 3 0x45 1 2\n", "takes the channel '-'"},                     // raw status, channel
        {"0 - note-on 1 2\n", "line 1"},                                 // name without channel
        {"0 0 note-on 60 256\n", "line 1"},                              // data above 255
        {"300 0 note-on 60 1 vlq=1\n", "vlq=N"},                         // 300 needs two bytes
        {"0 0 note-on 60 1\ntail hex=00\n0 0 note-on 1 1\n", "line 3"},  // after the tail
        {"268435456 0 note-on 1 1\n", "line 1"},                         // delta past 28 bits
        {"0 0 wobble 1 1\n", "unknown message"},
        {"song pad=123\n", "line 1"},
    };
    for (const auto& [text, want] : bad) {
        EXPECT_FALSE(parseSongText(text, s, error)) << text;
        EXPECT_NE(error.find(want), std::string::npos) << text << " -> " << error;
    }
    ASSERT_TRUE(parseSongText("# c\n\n5 1 program 3 0 # trailing\n", s, error)) << error;
    ASSERT_EQ(s.events.size(), 1u);
    EXPECT_EQ(s.events[0].status, 0xC1);
}

}  // namespace
}  // namespace kvx::synth
