// Reading the synthesizer configuration: chunk order, bad indices, records
// stepped over by their lengths, and chunks whose lengths lie.
#include <gtest/gtest.h>

#include <random>

#include "support/SynthTestUtil.h"
#include "vfs/ChunkFile.h"

namespace kvx::synth {
namespace {

using test::compileText;
using test::monoHead;

std::unique_ptr<Player> load(const vfs::Bytes& bytes) {
    auto p =
        std::make_unique<Player>(std::make_unique<MemoryAudioDevice>(), Player::Mode::Lockstep);
    EXPECT_TRUE(p->parseConfig(bytes));
    return p;
}

const char* kInst =
    "inst name=a index=0 channel=0\n"
    "  gen slot=0 type=gSine\n";

TEST(ConfigChunks, InstBeforeHeadIsSkippedAndHeadAccepted) {
    auto p = load(compileText(std::string(kInst) + monoHead() + kInst));
    EXPECT_TRUE(p->headAccepted());
    EXPECT_EQ(p->instruments().size(), 1u);
}

TEST(ConfigChunks, HeadWithZeroChannelsIsRefusedAndLaterChunksSkipped) {
    auto p = load(compileText("head channels=0\n" + std::string(kInst) +
                              "cefx channel=0\n  effect type=eLPF\n"));
    EXPECT_FALSE(p->headAccepted());
    EXPECT_TRUE(p->instruments().empty());
    // A later good HEAD is still accepted.
    auto q = load(compileText("head channels=0\n" + monoHead() + kInst));
    EXPECT_TRUE(q->headAccepted());
    EXPECT_EQ(q->instruments().size(), 1u);
}

TEST(ConfigChunks, TagZeroAndUnknownChunksAreSkippedNotTheEnd) {
    const vfs::Bytes bytes = compileText(monoHead() + "chunk taghex=00000000 hex=0102\n" +
                                         "chunk tag=XTRA hex=\n" + kInst);
    vfs::ChunkFile f;
    ASSERT_TRUE(f.openBytes(bytes));
    f.nextChunk();
    const vfs::Chunk zero = f.nextChunk();
    EXPECT_EQ(zero.tag(), 0);
    EXPECT_EQ(zero.size(), 2);
    EXPECT_FALSE(zero.isNone()) << "a stored chunk with tag 0 is a chunk, not the end";
    auto p = load(bytes);
    ASSERT_EQ(p->instruments().size(), 1u);
    EXPECT_EQ(p->mixer().channels[0].instrument, p->instruments()[0].get());
    // The text tools keep the chunk as it is.
    ConfigDesc d;
    std::string error;
    ASSERT_TRUE(readConfig(bytes, d, error)) << error;
    ASSERT_EQ(d.chunks.size(), 4u);
    EXPECT_EQ(buildConfig(d), bytes);
}

TEST(ConfigChunks, SecondHeadIsSkipped) {
    auto p = load(compileText(monoHead(2) + monoHead(5, true)));
    EXPECT_EQ(p->mixer().channels.size(), 2u);
    EXPECT_FALSE(p->settings().stereo);
}

TEST(ConfigChunks, HeadValues) {
    auto p =
        load(compileText("head stereo=1 channels=100 tempo=5 version=3 master=127,0\n"
                         "  map 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 9\n"
                         "  gains 127 0 127 127 127 127 127 127 127 127 127 127 127 127 127 127\n"
                         "  ranges 10-20 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 "
                         "0-127 0-127 0-127 0-127 0-127 0-127\n"));
    ASSERT_TRUE(p->headAccepted());
    EXPECT_EQ(p->mixer().channels.size(), 16u);  // clamped
    EXPECT_EQ(p->settings().tickLength,
              2 * 3 * 44100 / 20);  // tempo below 20 counts as 20, doubled in stereo
    EXPECT_EQ(p->mixer().masterRight, 0.0f);
    EXPECT_EQ(p->mixer().channels[1].gain, 0.0f);
    EXPECT_EQ(p->mixer().channels[0].lowest, 10);
    EXPECT_EQ(p->mixer().channels[0].highest, 20);
    EXPECT_EQ(p->channelMap()[15], 9);
}

TEST(ConfigChunks, ShortHeadIsNotAccepted) {
    vfs::ChunkWriter w(1);
    w.add("HEAD", vfs::Bytes(39, 1));
    auto p = load(w.finish());
    EXPECT_FALSE(p->headAccepted());
}

TEST(ConfigChunks, CefxForMissingChannelIsSkipped) {
    auto p = load(compileText(monoHead(2) + "cefx channel=3\n  effect slot=0 type=eLPF\n" +
                              "cefx channel=-1\n  effect slot=0 type=eLPF\n" +
                              "cefx channel=1\n  effect slot=0 type=eLPF hz=1000 res=5\n"));
    EXPECT_TRUE(p->mixer().channels[0].effects.empty());
    ASSERT_EQ(p->mixer().channels[1].effects.size(), 1u);
    auto* f = dynamic_cast<Filter*>(p->mixer().channels[1].effects[0].effect.get());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->cutoff(), 1000);
    EXPECT_EQ(f->resonance(), 5);
}

TEST(ConfigChunks, SlotTwentyGoesToFifteen) {
    auto p = load(compileText(monoHead() + "cefx channel=0\n  effect slot=20 type=eMoogVCF\n" +
                              "inst name=a index=0 channel=0\n"
                              "  gen slot=20 type=gSaw\n"
                              "  gen slot=-4 type=gSine\n"
                              "  fx slot=20 type=eLPF\n"));
    EXPECT_EQ(p->mixer().channels[0].effects.size(), 16u);
    EXPECT_EQ(p->mixer().channels[0].effects[15].type, EffectType::MoogVcf);
    const Instrument& in = *p->instruments()[0];
    ASSERT_EQ(in.generators.size(), 16u);
    EXPECT_EQ(in.generators[15].type, GeneratorType::Saw);
    EXPECT_EQ(in.generators[0].type, GeneratorType::Sine);
    ASSERT_EQ(in.effects.size(), 16u);
    EXPECT_NE(in.effects[15].effect, nullptr);
    EXPECT_EQ(in.effects[3].effect, nullptr);
}

TEST(ConfigChunks, UnknownGeneratorIsSkippedByItsLengths) {
    auto p =
        load(compileText(monoHead() +
                         "inst name=a index=0 channel=0\n"
                         "  gen slot=0 type=gWobble level=1 params=0102030405\n"
                         "  gen slot=1 type=gSquare level=99 pan=-5 spread=10 pitch=7 params=ff\n"
                         "  fx slot=0 type=eChorus params=00\n"
                         "  fx slot=1 type=eLPF cutoff=30\n"
                         "  amp 10:1 20:0.5\n"));
    const Instrument& in = *p->instruments()[0];
    ASSERT_EQ(in.generators.size(), 2u);
    EXPECT_FALSE(in.generators[0].type.has_value());
    EXPECT_EQ(in.voices[0].generators[0], nullptr);
    EXPECT_EQ(in.generators[1].type, GeneratorType::Square);
    EXPECT_EQ(in.generators[1].level, 99);
    EXPECT_EQ(in.generators[1].pan, -5);
    EXPECT_EQ(in.generators[1].phaseSpread, 10);
    EXPECT_EQ(in.generators[1].pitchOffset, 7);
    ASSERT_EQ(in.effects.size(), 2u);
    EXPECT_EQ(in.effects[0].effect, nullptr);
    EXPECT_EQ(in.effects[1].cutoff, 30);
    ASSERT_EQ(in.ampEnvelope.count(), 2);
    EXPECT_FLOAT_EQ(in.ampEnvelope.point(1).target, 0.5f);
}

TEST(ConfigChunks, SequencerOnlyWhenLengthIsNotMinusOne) {
    auto p =
        load(compileText(monoHead() + "inst name=a index=0 channel=0\n  gen type=gSine\n"
                                      "inst name=b index=1 channel=-1 flags=16\n  gen type=gSine\n"
                                      "  seq length=3 loop=1 duration=7\n"
                                      "  steps 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"));
    EXPECT_EQ(p->instruments()[0]->sequencer, nullptr);
    const auto& seq = p->instruments()[1]->sequencer;
    ASSERT_NE(seq, nullptr);
    EXPECT_EQ(seq->length, 3);
    EXPECT_EQ(seq->loopBack, 1);
    EXPECT_EQ(seq->duration, 7);
    EXPECT_EQ(seq->steps[15], 16);
    EXPECT_EQ(p->instruments()[1]->channel, -1);
}

TEST(ConfigChunks, InstrumentTablePlacement) {
    auto p = load(compileText(monoHead() + "inst name=five index=5 channel=-1\n"
                                           "inst name=zero index=3 channel=-1\n"
                                           "inst name=huge index=2147483647 channel=-1\n"
                                           "inst name=neg index=-7 channel=-1\n"));
    const auto& t = p->instruments();
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[5]->name, "five");
    EXPECT_EQ(t[0]->name, "zero");  // the first empty entry
    EXPECT_EQ(t[1]->name, "huge");
    EXPECT_EQ(t[2]->name, "neg");
}

TEST(ConfigChunks, RequestedIndexFrom128OnIsPlacedThere) {
    auto p = load(compileText(monoHead() + "inst name=far index=200 channel=0\n"));
    const auto& t = p->instruments();
    ASSERT_EQ(t.size(), 201u);
    ASSERT_NE(t[200], nullptr);
    EXPECT_EQ(t[200]->name, "far");
    EXPECT_EQ(t[0], nullptr);  // the entries between stay empty
    EXPECT_EQ(p->mixer().channels[0].instrument, t[200].get());
    EXPECT_TRUE(p->warnings().empty());
}

TEST(ConfigChunks, InstrumentsPastTheLimitStillLoadTakeTheirChannelAndWarn) {
    // 130 instruments: more than program changes can reach, all kept; the
    // last one's default channel is honoured. Then one whose index is past
    // the table's limit: appended, on its channel, with a warning.
    std::string text = monoHead(3);
    for (int i = 0; i < 130; ++i) {
        text += "inst name=i" + std::to_string(i) + " index=" + std::to_string(i) +
                " channel=" + std::to_string(i == 129 ? 1 : -1) + "\n";
    }
    text += "inst name=huge index=1000000 channel=2\n";
    auto p = load(compileText(text));
    const auto& t = p->instruments();
    ASSERT_EQ(t.size(), 131u);
    EXPECT_EQ(t[128]->name, "i128");
    EXPECT_EQ(t[129]->name, "i129");
    EXPECT_EQ(p->mixer().channels[1].instrument, t[129].get());
    EXPECT_EQ(t[130]->name, "huge");
    EXPECT_EQ(p->mixer().channels[2].instrument, t[130].get());
    const auto warnings = p->warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"huge\": index 1000000 is past the table's limit of 4096"),
              std::string::npos)
        << warnings[0];
    EXPECT_NE(warnings[0].find("takes index 130"), std::string::npos) << warnings[0];
}

TEST(ConfigChunks, LyingNameLengthEndsTheRecordsButKeepsTheInstrument) {
    ConfigDesc d;
    std::string error;
    ASSERT_TRUE(parseConfigText(monoHead() + kInst + "  gen slot=1 type=gSaw\n", d, error));
    vfs::Bytes bytes = buildConfig(d);
    // The second generator's name length: make it claim far more than the chunk.
    const char saw[] = "gSaw";
    auto it = std::search(bytes.begin(), bytes.end(), saw, saw + 4);
    ASSERT_NE(it, bytes.end());
    const size_t at = static_cast<size_t>(it - bytes.begin()) - 4;
    bytes[at + 3] = 0x7F;
    auto p = load(bytes);
    ASSERT_EQ(p->instruments().size(), 1u);
    EXPECT_EQ(p->instruments()[0]->generators.size(), 1u);
    EXPECT_EQ(p->mixer().channels[0].instrument, p->instruments()[0].get());
}

TEST(ConfigChunks, EnvelopeCountUsesItsLowByteAsSigned) {
    ConfigDesc d;
    std::string error;
    ASSERT_TRUE(parseConfigText(monoHead() + kInst + "  amp 10:1\n", d, error));
    vfs::Bytes bytes = buildConfig(d);
    // The amplitude envelope count sits 4 + 8 + 4 bytes before the end.
    const size_t at = bytes.size() - 16;
    ASSERT_EQ(bytes[at], 1);
    bytes[at + 1] = 0x01;  // 0x101: low byte 1, still one point
    auto p = load(bytes);
    EXPECT_EQ(p->instruments()[0]->ampEnvelope.count(), 1);
    bytes[at] = 0xFF;  // low byte -1: no points
    auto q = load(bytes);
    EXPECT_EQ(q->instruments()[0]->ampEnvelope.count(), 0);
}

TEST(ConfigChunks, NotAChunkFileFailsAndMissingFileFails) {
    Player p;
    EXPECT_FALSE(p.parseConfig(vfs::Bytes{'x', 'y'}));
    EXPECT_FALSE(p.loadConfig("no-such-config-file.sp"));
    EXPECT_FALSE(p.loadSong("no-such-song.m"));
}

TEST(ConfigChunks, TruncatedAndCorruptedFilesNeverCrash) {
    const vfs::Bytes good =
        compileText(monoHead(2) + "cefx channel=1\n  effect slot=2 type=eLPF hz=500 res=3\n" +
                    "inst name=x index=0 channel=0 flags=16\n"
                    "  seq length=4\n  steps 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63\n"
                    "  gen slot=0 type=gSine\n  gen slot=1 type=gSaw spread=30\n"
                    "  fx slot=0 type=eMoogVCF cutoff=20 resonance=40\n"
                    "  amp 5:1 50:0.3 100:0\n  pan 10:0.5\n");
    std::mt19937 rng(1234);
    for (size_t cut = 0; cut <= good.size(); cut += 3) {
        vfs::Bytes b(good.begin(), good.begin() + static_cast<long>(cut));
        Player p(std::make_unique<MemoryAudioDevice>(), Player::Mode::Lockstep);
        p.parseConfig(b);
    }
    for (int round = 0; round < 300; ++round) {
        vfs::Bytes b = good;
        for (int k = 0; k < 6; ++k) {
            b[rng() % b.size()] = static_cast<uint8_t>(rng());
        }
        Player p(std::make_unique<MemoryAudioDevice>(), Player::Mode::Lockstep);
        p.parseConfig(b);
        p.play();
        p.parseSong(writeSong(
            {{0, 0x90, 60, 100}, {0, 0x91, 200, 100}, {5, 0xE0, 0, 127}, {5, 0xC0, 77, 0}}));
        p.advanceTo(30);
        auto* dev = static_cast<MemoryAudioDevice*>(p.device());
        // Whatever was accepted renders exactly the blocks due by 30 ms.
        EXPECT_EQ(dev->samples().size(), p.headAccepted() ? 5u * p.settings().blockFloats : 0u);
        EXPECT_LE(p.mixer().channels.size(), 16u);
        // One INST chunk in the file: at most the table's limit plus it.
        EXPECT_LE(p.instruments().size(), Player::kInstrumentTableLimit + 1u);
    }
}

}  // namespace
}  // namespace kvx::synth
