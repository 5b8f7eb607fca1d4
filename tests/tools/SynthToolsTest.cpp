// The authoring tools as a user runs them: kvxsynth compile/dump/render and
// kvxsong from-midi/from-text/dump, their round trips, and their refusals.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "support/ToolRun.h"
#include "synth/MidiImport.h"
#include "synth/Song.h"
#include "synth/WavWriter.h"

namespace kvx::synth {
namespace {

namespace fs = std::filesystem;

class Tools : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvx_tools_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs a tool with its output in a file; returns the exit status.
    int run(const std::string& tool, const std::string& args) {
        const std::string cmd = std::string(KVX_BIN_DIR) + "/" + tool + " " + args + " > " +
                                path("out.txt") + " 2> " + path("err.txt");
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    vfs::Bytes read(const std::string& name) const { return test::readFileBytes(path(name)); }
    std::string text(const std::string& name) const {
        const vfs::Bytes b = read(name);
        return std::string(b.begin(), b.end());
    }
    void write(const std::string& name, const vfs::Bytes& b) const {
        std::ofstream f(dir_ / name, std::ios::binary);
        f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }

    fs::path dir_;
};

const std::string kExample = std::string(KVX_SOURCE_DIR) + "/examples/music/";

TEST_F(Tools, CompileDumpCompileIsByteExactAndTheShippedConfigIsCurrent) {
    ASSERT_EQ(run("kvxsynth", "compile " + kExample + "config.txt " + path("a.sp")), 0)
        << text("err.txt");
    EXPECT_EQ(read("a.sp"), test::readFileBytes(kExample + "config.sp"));
    ASSERT_EQ(run("kvxsynth", "dump " + path("a.sp")), 0);
    fs::copy_file(dir_ / "out.txt", dir_ / "dumped.txt");
    EXPECT_NE(text("dumped.txt").find("inst name=\"lead\""), std::string::npos);
    ASSERT_EQ(run("kvxsynth", "compile " + path("dumped.txt") + " " + path("b.sp")), 0)
        << text("err.txt");
    EXPECT_EQ(read("b.sp"), read("a.sp"));
}

TEST_F(Tools, SongFromMidiDumpAndFromTextRoundTrip) {
    write("in.mid", makeMidi({{0, 0x90, 60, 100}, {480, 0x80, 60, 0}, {960, 0xB0, 7, 90}}, 500000));
    ASSERT_EQ(run("kvxsong", "from-midi " + path("in.mid") + " " + path("a.m")), 0)
        << text("err.txt");
    Song s;
    const vfs::Bytes a = read("a.m");
    ASSERT_TRUE(s.parse(a.data(), a.size()));
    ASSERT_EQ(s.events().size(), 3u);
    EXPECT_EQ(s.events()[1].time, 500);
    ASSERT_EQ(run("kvxsong", "dump " + path("a.m")), 0);
    EXPECT_NE(text("out.txt").find("500 0 note-off 60 0"), std::string::npos);
    fs::copy_file(dir_ / "out.txt", dir_ / "song.txt");
    ASSERT_EQ(run("kvxsong", "from-text " + path("song.txt") + " " + path("b.m")), 0)
        << text("err.txt");
    EXPECT_EQ(read("b.m"), a);
    // The shipped song text makes the shipped song.
    ASSERT_EQ(run("kvxsong", "from-text " + kExample + "song.txt " + path("c.m")), 0)
        << text("err.txt");
    EXPECT_EQ(read("c.m"), test::readFileBytes(kExample + "music.m"));
}

TEST_F(Tools, RenderWritesTheRequestedLength) {
    ASSERT_EQ(run("kvxsynth", "render " + kExample + "config.txt " + kExample + "music.m " +
                                  path("o.wav") + " --seconds 1.5"),
              0)
        << text("err.txt");
    WavData w;
    ASSERT_TRUE(parseWav(read("o.wav"), w));
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.samples.size() / 2, 1500u * 44100 / 1000 / 256 * 256);
    long long energy = 0;
    for (int16_t v : w.samples) {
        energy += std::abs(v);
    }
    EXPECT_GT(energy, 1000000);
    EXPECT_NE(text("err.txt").find("real time"), std::string::npos);
}

TEST_F(Tools, DumpsKeepEveryByteThroughCompileAndFromText) {
    // A configuration with fewer chunks announced than stored and bytes
    // after them, and a song with what a plain event line cannot say.
    vfs::Bytes config = test::readFileBytes(kExample + "config.sp");
    config[19] = 2;
    config.insert(config.end(), {1, 2, 3});
    const vfs::Bytes song = {'k', 'v',  'x',  ':',  ':', 's', 'o',  'n',  'g',
                             4,   5,    3,    0,    0,   0,   0x00, 0x45, 200,
                             13,  0x80, 0x05, 0x90, 60,  100, 0x7F, 0xF8, 9};
    std::mt19937 rng(5);
    for (int round = 0; round < 12; ++round) {
        vfs::Bytes c = config, m = song;
        if (round > 0) {  // then mutations after the headers
            c[23 + rng() % (c.size() - 23)] = static_cast<uint8_t>(rng());
            m[15 + rng() % (m.size() - 15)] = static_cast<uint8_t>(rng());
        }
        write("in.sp", c);
        ASSERT_EQ(run("kvxsynth", "dump " + path("in.sp")), 0) << text("err.txt");
        fs::copy_file(dir_ / "out.txt", dir_ / "config.txt", fs::copy_options::overwrite_existing);
        ASSERT_EQ(run("kvxsynth", "compile " + path("config.txt") + " " + path("back.sp")), 0)
            << text("err.txt");
        EXPECT_EQ(read("back.sp"), c) << "round " << round << "\n" << text("config.txt");
        write("in.m", m);
        ASSERT_EQ(run("kvxsong", "dump " + path("in.m")), 0) << text("err.txt");
        fs::copy_file(dir_ / "out.txt", dir_ / "song.txt", fs::copy_options::overwrite_existing);
        ASSERT_EQ(run("kvxsong", "from-text " + path("song.txt") + " " + path("back.m")), 0)
            << text("err.txt");
        EXPECT_EQ(read("back.m"), m) << "round " << round << "\n" << text("song.txt");
    }
    ASSERT_EQ(run("kvxsong", "dump " + path("in.m")), 0);
    EXPECT_NE(text("out.txt").find("song pad=0405"), std::string::npos) << text("out.txt");
}

TEST_F(Tools, FromMidiSummarisesAndCanDropProgramsAndMoveChannels) {
    // Drums on channel 9 and General MIDI programs, as a real MIDI file has.
    write("in.mid", makeMidi({{0, 0xC0, 33, 0},
                              {0, 0x90, 40, 100},
                              {0, 0x99, 36, 100},
                              {240, 0x99, 38, 100},
                              {480, 0x80, 40, 0}},
                             500000));
    ASSERT_EQ(run("kvxsong", "from-midi " + path("in.mid") + " " + path("keep.m")), 0);
    EXPECT_NE(text("err.txt").find("channel 0: 1 note, programs 33\n"), std::string::npos)
        << text("err.txt");
    EXPECT_NE(text("err.txt").find("channel 9: 2 notes\n"), std::string::npos);
    EXPECT_NE(text("err.txt").find("--programs drop"), std::string::npos);
    ASSERT_EQ(run("kvxsong", "from-midi " + path("in.mid") + " " + path("drop.m") +
                                 " --programs drop --channel-map 9:2"),
              0)
        << text("err.txt");
    EXPECT_NE(text("err.txt").find("channel 9: 2 notes -> channel 2"), std::string::npos)
        << text("err.txt");
    Song s;
    const vfs::Bytes drop = read("drop.m");
    ASSERT_TRUE(s.parse(drop.data(), drop.size()));
    ASSERT_EQ(s.events().size(), 4u);  // the program change is gone
    EXPECT_EQ(s.events()[1].status, 0x92);
    EXPECT_EQ(s.events()[2].status, 0x92);
    EXPECT_NE(
        run("kvxsong", "from-midi " + path("in.mid") + " " + path("x.m") + " --channel-map 9:16"),
        0);
    EXPECT_NE(text("err.txt").find("channel map"), std::string::npos);
    EXPECT_NE(run("kvxsong", "from-midi " + path("in.mid") + " " + path("x.m") + " --programs x"),
              0);

    // The kept version played through the example configuration says why
    // channels are silent; the repaired one plays without a word.
    ASSERT_EQ(run("kvxsynth", "render " + kExample + "config.sp " + path("keep.m") + " " +
                                  path("o.wav") + " --seconds 0.5"),
              0);
    const std::string warned = text("err.txt");
    EXPECT_NE(warned.find("channel 9: no mixer channel (HEAD has 4); its notes are silent"),
              std::string::npos)
        << warned;
    EXPECT_NE(warned.find("program 33 selects an instrument the configuration lacks"),
              std::string::npos)
        << warned;
    ASSERT_EQ(run("kvxsynth", "render " + kExample + "config.sp " + path("drop.m") + " " +
                                  path("o.wav") + " --seconds 0.5"),
              0);
    EXPECT_EQ(text("err.txt").find("warning"), std::string::npos) << text("err.txt");
}

TEST_F(Tools, BadInputGivesAMessageAndNonZeroStatus) {
    write("bad.txt", vfs::Bytes{'h', 'e', 'a', 'd', ' ', 'c', 'h', 'a', 'n', 'n', 'e', 'l', 's',
                                '=', 'x', '\n'});
    EXPECT_NE(run("kvxsynth", "compile " + path("bad.txt") + " " + path("x.sp")), 0);
    EXPECT_NE(text("err.txt").find("line 1"), std::string::npos);
    EXPECT_NE(run("kvxsynth", "dump " + path("bad.txt")), 0);
    EXPECT_NE(run("kvxsynth",
                  "render " + path("missing.sp") + " " + path("missing.m") + " " + path("o.wav")),
              0);
    EXPECT_NE(text("err.txt").find("cannot open"), std::string::npos);
    EXPECT_NE(run("kvxsong", "from-midi " + path("bad.txt") + " " + path("x.m")), 0);
    EXPECT_NE(text("err.txt").find("MIDI"), std::string::npos);
    EXPECT_NE(run("kvxsong", "dump " + path("bad.txt")), 0);
    EXPECT_NE(run("kvxsynth", ""), 0);
    EXPECT_EQ(run("kvxsynth", "--help"), 0);
    EXPECT_NE(text("out.txt").find("render"), std::string::npos);
    EXPECT_EQ(run("kvxsong", "--help"), 0);
}

}  // namespace
}  // namespace kvx::synth
