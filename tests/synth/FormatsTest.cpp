// The authoring formats: text configuration round trips, MIDI import and
// WAV files.
#include <gtest/gtest.h>

#include <random>

#include "support/SynthTestUtil.h"
#include "synth/MidiImport.h"
#include "synth/WavWriter.h"
#include "vfs/ChunkFile.h"

namespace kvx::synth {
namespace {

const char* kFull =
    "config version=2 reserved=7\n"
    "head stereo=1 channels=3 tempo=140 version=3 master=120,110\n"
    "  map 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n"
    "  gains 100 90 80 101 101 101 101 101 101 101 101 101 101 101 101 101\n"
    "  ranges 0-127 36-60 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 "
    "0-127 0-127\n"
    "cefx channel=1\n"
    "  effect slot=0 type=\"eLPF\" hz=3000 res=12\n"
    "  effect slot=3 type=\"eMoogVCF\" params=0102\n"
    "inst name=\"lead synth\" index=2 channel=1 polyphony=6 flags=16 sustain=2 pansustain=1 "
    "bend=12 wheel=30 "
    "lforate=300 lfodest=5 velmode=2 lfodepth=40 portamento=9\n"
    "  seq length=8 loop=2 duration=5\n"
    "  steps 63 -1 4660 65535 0 1 2 3 4 5 6 7 8 9 10 2147483647\n"
    "  gen slot=0 type=\"gSaw\" level=100 pan=-20 spread=15 pitch=-12\n"
    "  gen slot=1 type=\"gNoice\" level=5 pan=0 spread=0 pitch=0 params=aabb\n"
    "  fx slot=0 type=\"eMoogVCF\" aux=127 cutoff=40 resonance=20 unused=1 cutdepth=-3 resdepth=4 "
    "hz=4000 res=10\n"
    "  amp 10:1 200:0.333333343 -5:0\n"
    "  pan 100:-0.5\n"
    "chunk tag=\"XTRA\" hex=00ff10\n";

TEST(ConfigText, TextBinaryTextRoundTripIsExact) {
    ConfigDesc d;
    std::string error;
    ASSERT_TRUE(parseConfigText(kFull, d, error)) << error;
    const vfs::Bytes bin = buildConfig(d);
    ConfigDesc back;
    ASSERT_TRUE(readConfig(bin, back, error)) << error;
    const std::string text = configToText(back);
    ConfigDesc again;
    ASSERT_TRUE(parseConfigText(text, again, error)) << error << "\n" << text;
    EXPECT_EQ(buildConfig(again), bin);
    EXPECT_EQ(configToText(again), text);
    EXPECT_NE(text.find("name=\"lead synth\""), std::string::npos);
    EXPECT_NE(text.find("hz=3000 res=12"), std::string::npos);
    EXPECT_NE(text.find("params=0102"), std::string::npos);
    EXPECT_EQ(back.version, 2);
    EXPECT_EQ(back.reserved, 7);
}

TEST(ConfigText, CompiledFileLoadsWithTheGivenValues) {
    auto p =
        std::make_unique<Player>(std::make_unique<MemoryAudioDevice>(), Player::Mode::Lockstep);
    ASSERT_TRUE(p->parseConfig(test::compileText(kFull)));
    ASSERT_TRUE(p->headAccepted());
    ASSERT_EQ(p->instruments().size(), 3u);
    const Instrument& in = *p->instruments()[2];
    EXPECT_EQ(in.name, "lead synth");
    EXPECT_EQ(in.polyphony, 6);
    EXPECT_EQ(in.bendDepth, 12);
    EXPECT_EQ(in.lfoRate, 300);
    EXPECT_EQ(in.portamento, 9);
    EXPECT_EQ(in.generators[0].pitchOffset, -12);
    EXPECT_EQ(in.effects[0].resonanceDepth, 4);
    EXPECT_EQ(in.panEnvelope.point(0).target, -0.5f);
    EXPECT_EQ(p->mixer().channels[1].instrument, &in);
    EXPECT_EQ(p->mixer().channels[1].lowest, 36);
}

TEST(ConfigText, NonCanonicalChunksAreKeptByteForByte) {
    vfs::ChunkWriter w(1);
    vfs::Bytes head(72, 0);
    head[1] = 1;
    head[3] = 3;
    head[22] = 0x55;  // an "unused" byte that is not zero
    w.add("HEAD", head);
    w.add(std::string_view("\x01 \"x", 4), vfs::Bytes{1, 2});  // a tag the text cannot quote
    ConfigDesc named;
    std::string err;
    ASSERT_TRUE(parseConfigText("inst name=a\n", named, err));
    named.chunks[0].name = "say \"hi\"";  // a name the text cannot quote
    const vfs::Bytes inst = buildConfig(named);
    vfs::ChunkFile innerFile;
    ASSERT_TRUE(innerFile.openBytes(inst));
    w.add("INST", innerFile.nextChunk().data());
    const vfs::Bytes bin = w.finish();
    ConfigDesc d;
    std::string error;
    ASSERT_TRUE(readConfig(bin, d, error));
    ASSERT_EQ(d.chunks.size(), 3u);
    for (const ChunkDesc& c : d.chunks) {
        EXPECT_EQ(c.kind, ChunkDesc::Kind::Raw);
    }
    ConfigDesc again;
    ASSERT_TRUE(parseConfigText(configToText(d), again, error)) << error;
    EXPECT_EQ(buildConfig(again), bin);
}

TEST(ConfigText, ErrorsNameTheLine) {
    ConfigDesc d;
    std::string error;
    EXPECT_FALSE(parseConfigText("head channels=1\n  gains 1 2 3\n", d, error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_FALSE(parseConfigText("head channels=300\n", d, error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
    EXPECT_FALSE(parseConfigText("  gen type=gSine\n", d, error));
    EXPECT_FALSE(parseConfigText("wobble\n", d, error));
    EXPECT_FALSE(parseConfigText("inst name=\"open\n", d, error));
    EXPECT_FALSE(parseConfigText("inst\n  amp 10-1\n", d, error));
    EXPECT_FALSE(parseConfigText("inst bogus=1\n", d, error));
    EXPECT_FALSE(readConfig(vfs::Bytes{1, 2, 3}, d, error));
}

TEST(MidiImport, TempoMapRunningStatusAndSkippedEvents) {
    // Format 1: track 0 holds tempo changes, track 1 the notes.
    auto be32 = [](vfs::Bytes& b, uint32_t v) {
        for (int i = 3; i >= 0; --i) {
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    vfs::Bytes midi = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0, 100};  // 100 ticks per beat
    const vfs::Bytes t0 = {0x00, 0xFF, 0x51, 3,    0x07, 0xA1, 0x20,         // 500000 us per beat
                           0x81, 0x48, 0xFF, 0x51, 3,    0x0F, 0x42, 0x40,   // at tick 200: 1000000
                           0x00, 0xFF, 0x2F, 0x00};
    const vfs::Bytes t1 = {0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7,  // sysex, skipped
                           0x00, 0x91, 60,   100,               // tick 0
                           0x64, 62,   90,                      // running status, tick 100
                           0x00, 0xFF, 0x01, 0x02, 'h',  'i',   // text meta, skipped
                           0x81, 0x48, 0xC1, 5,  // tick 300: program change, 1 data byte
                           0x64, 0x91, 60,   0,  // tick 400: velocity 0 is a note-off
                           0x00, 0xFF, 0x2F, 0x00};
    midi.insert(midi.end(), {'M', 'T', 'r', 'k'});
    be32(midi, static_cast<uint32_t>(t0.size()));
    midi.insert(midi.end(), t0.begin(), t0.end());
    midi.insert(midi.end(), {'M', 'T', 'r', 'k'});
    be32(midi, static_cast<uint32_t>(t1.size()));
    midi.insert(midi.end(), t1.begin(), t1.end());

    std::vector<SongEvent> ev;
    std::string error;
    ASSERT_TRUE(importMidi(midi, ev, error)) << error;
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].time, 0);
    EXPECT_EQ(ev[0].status, 0x91);
    EXPECT_EQ(ev[1].time, 500);  // 100 ticks at 5 ms
    EXPECT_EQ(ev[1].status, 0x91);
    EXPECT_EQ(ev[1].data1, 62);
    EXPECT_EQ(ev[2].time, 2000);  // 200 ticks at 5 ms, then 100 at 10 ms
    EXPECT_EQ(ev[2].status, 0xC1);
    EXPECT_EQ(ev[2].data1, 5);
    EXPECT_EQ(ev[2].data2, 0);
    EXPECT_EQ(ev[3].time, 3000);
    EXPECT_EQ(ev[3].status, 0x81);
}

TEST(MidiImport, MakeMidiRoundTripsThroughImport) {
    const std::vector<SongEvent> ticks = {
        {0, 0x90, 60, 100}, {480, 0x80, 60, 0}, {480, 0x90, 64, 100}, {960, 0x80, 64, 0}};
    std::vector<SongEvent> ev;
    std::string error;
    ASSERT_TRUE(importMidi(makeMidi(ticks, 250000), ev, error)) << error;
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[1].time, 250);
    EXPECT_EQ(ev[3].time, 500);
}

TEST(MidiImport, BadFilesAreRefusedWithAReason) {
    std::vector<SongEvent> ev;
    std::string error;
    EXPECT_FALSE(importMidi(vfs::Bytes{'R', 'I', 'F', 'F'}, ev, error));
    EXPECT_FALSE(error.empty());
    vfs::Bytes midi = makeMidi({{0, 0x90, 60, 100}}, 500000);
    vfs::Bytes cut(midi.begin(), midi.end() - 6);
    EXPECT_FALSE(importMidi(cut, ev, error));
    vfs::Bytes format2 = midi;
    format2[9] = 2;
    EXPECT_FALSE(importMidi(format2, ev, error));
    EXPECT_NE(error.find("format"), std::string::npos);
    vfs::Bytes noStatus = midi;
    // The first event after the tempo meta: replace its status by a data byte.
    noStatus[22 + 7 + 1] = 0x40;
    EXPECT_FALSE(importMidi(noStatus, ev, error));
}

TEST(MidiImport, CorruptedFilesNeverCrashAndKeepTimeOrder) {
    std::vector<SongEvent> ticks;
    for (int i = 0; i < 40; ++i) {
        ticks.push_back(
            {i * 120, static_cast<uint8_t>(0x90 | (i % 3)), static_cast<uint8_t>(40 + i), 90});
        ticks.push_back(
            {i * 120 + 60, static_cast<uint8_t>(0x80 | (i % 3)), static_cast<uint8_t>(40 + i), 0});
    }
    const vfs::Bytes good = makeMidi(ticks, 400000);
    std::mt19937 rng(99);
    int accepted = 0;
    for (int round = 0; round < 500; ++round) {
        vfs::Bytes b = good;
        for (int k = 0; k < 4; ++k) {
            b[rng() % b.size()] = static_cast<uint8_t>(rng());
        }
        if (round % 5 == 0) {
            b.resize(rng() % b.size());
        }
        std::vector<SongEvent> ev;
        std::string error;
        if (importMidi(b, ev, error)) {
            ++accepted;
            for (size_t i = 1; i < ev.size(); ++i) {
                ASSERT_LE(ev[i - 1].time, ev[i].time);
            }
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_GT(accepted, 0);
}

TEST(MidiImport, OptionsDropProgramsMoveChannelsAndCountUse) {
    std::array<uint8_t, 16> map{};
    for (int i = 0; i < 16; ++i) {
        map[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    }
    std::string error;
    ASSERT_TRUE(parseChannelMap("9:3,10:4", map, error)) << error;
    EXPECT_EQ(map[9], 3);
    EXPECT_EQ(map[10], 4);
    EXPECT_EQ(map[0], 0);
    for (const char* bad : {"", "9:3,", "16:1", "1:16", "-1:2", "x", "1:2:3", "1-2"}) {
        auto m = map;
        EXPECT_FALSE(parseChannelMap(bad, m, error)) << bad;
        EXPECT_NE(error.find("FROM:TO"), std::string::npos) << bad;
    }
    const std::vector<SongEvent> events = {
        {0, 0xC9, 3, 0}, {0, 0x99, 36, 90}, {5, 0x99, 36, 0}, {9, 0xC9, 3, 0}, {9, 0xC9, 8, 0}};
    const auto use = channelUse(events);
    EXPECT_EQ(use[9].notes, 1);  // velocity 0 is a note-off
    EXPECT_EQ(use[9].programs, (std::vector<int>{3, 8}));
    MidiImportOptions options;
    options.keepPrograms = false;
    options.channelMap = map;
    std::vector<SongEvent> moved = events;
    applyImportOptions(moved, options);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[0].status, 0x93);
    EXPECT_EQ(moved[1].status, 0x93);
    EXPECT_EQ(moved[1].time, 5);
}

TEST(SongFileFuzz, RandomBytesAfterTheMagic) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        vfs::Bytes b = {'k', 'v', 'x', ':', ':', 's', 'o', 'n', 'g'};
        const size_t n = rng() % 200;
        for (size_t i = 0; i < n; ++i) {
            b.push_back(static_cast<uint8_t>(rng()));
        }
        Song s;
        if (!s.parse(b.data(), b.size())) {
            EXPECT_LT(b.size(), 15u);
            continue;
        }
        EXPECT_LE(s.events().size(), (b.size() - 15) / 4);
        for (size_t i = 1; i < s.events().size(); ++i) {
            ASSERT_LE(s.events()[i - 1].time, s.events()[i].time);
        }
    }
}

TEST(Wav, WriteAndReadBack) {
    const std::vector<int16_t> s = {0, 1, -1, 32767, -32768, 1234};
    const vfs::Bytes b = makeWav(s, 44100, 2);
    EXPECT_EQ(b.size(), 44u + 12u);
    WavData w;
    ASSERT_TRUE(parseWav(b, w));
    EXPECT_EQ(w.sampleRate, 44100);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.samples, s);
    // Streaming: header first, samples appended, the same file.
    vfs::Bytes streamed = makeWavHeader(s.size(), 44100, 2);
    appendWavSamples(streamed, s.data(), 2);
    appendWavSamples(streamed, s.data() + 2, 4);
    EXPECT_EQ(streamed, b);
    vfs::Bytes bad = b;
    bad[34] = 8;  // 8-bit
    EXPECT_FALSE(parseWav(bad, w));
    EXPECT_FALSE(parseWav(vfs::Bytes(b.begin(), b.begin() + 20), w));
}

}  // namespace
}  // namespace kvx::synth
