// The bundled show's music as the build makes it (build/examples/showcase/):
// rendered with kvxsynth like a user would, measured section by section, and
// its kick channel checked as the source of the show's beats.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "expr/Beat.h"
#include "support/TempDir.h"
#include "synth/AudioDevice.h"
#include "synth/Player.h"
#include "synth/WavWriter.h"

namespace {

using kvx::test::TempDir;

const std::string kShow = KVX_SHOWCASE_DIR;
const std::string kScore = std::string(KVX_SOURCE_DIR) + "/examples/showcase/music/score.txt";
// Channel slot 0 carries the kick; the show's script says BEATEVENT 0.
constexpr float kBeatEvent = 0.0f;
constexpr int kKickChannel = 0;

kvx::vfs::Bytes readBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return kvx::vfs::Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Runs a tool; returns its exit status and fills `out` with its stdout.
int runTool(const std::string& commandLine, std::string& out) {
    FILE* pipe = popen((std::string(KVX_BIN_DIR) + "/" + commandLine).c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buf[512];
    while (fgets(buf, sizeof(buf), pipe) != nullptr) {
        out += buf;
    }
    const int raw = pclose(pipe);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

struct Section {
    std::string name;
    int bar = 0;
    int startMs = 0;
};

// The sections as kvxcompose lists them; the last entry is "end".
std::vector<Section> sections() {
    std::string text;
    EXPECT_EQ(runTool("kvxcompose " + kScore + " --sections", text), 0);
    std::vector<Section> list;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        Section s;
        if (line.empty() || line[0] == '#' || !(words >> s.name >> s.bar >> s.startMs)) {
            continue;
        }
        list.push_back(s);
    }
    return list;
}

kvx::synth::Song loadSong() {
    kvx::synth::Song song;
    const kvx::vfs::Bytes bytes = readBytes(kShow + "/music.m");
    EXPECT_TRUE(song.parse(bytes.data(), bytes.size()));
    return song;
}

bool isKick(const kvx::synth::SongEvent& e) {
    return e.status == (0x90 | kKickChannel) && e.data2 > 0;
}

TEST(ShowcaseMusic, LastsNinetyToOneHundredTenSecondsInSectionsOfWholeBars) {
    const kvx::synth::Song song = loadSong();
    ASSERT_FALSE(song.events().empty());
    const int lengthMs = song.events().back().time;
    EXPECT_GE(lengthMs, 90000);
    EXPECT_LE(lengthMs, 110000);
    const std::vector<Section> list = sections();
    ASSERT_GE(list.size(), 6u) << "intro, build, main, break, return, ending";
    EXPECT_EQ(list.back().name, "end");
    EXPECT_EQ(list.back().startMs, lengthMs);
    for (size_t i = 0; i + 1 < list.size(); ++i) {
        const int bars = list[i + 1].bar - list[i].bar;
        EXPECT_TRUE(bars % 4 == 0) << list[i].name << " lasts " << bars << " bars";
    }
}

TEST(ShowcaseMusic, RendersWithEverySectionSoundingAndNoClipping) {
    TempDir dir;
    std::string log;
    ASSERT_EQ(runTool("kvxsynth render " + kShow + "/config.sp " + kShow + "/music.m " +
                          dir / "music.wav" + " 2>&1",
                      log),
              0)
        << log;
    kvx::synth::WavData wav;
    ASSERT_TRUE(kvx::synth::parseWav(readBytes(dir / "music.wav"), wav));
    ASSERT_EQ(wav.channels, 2);
    const std::vector<Section> list = sections();
    ASSERT_GE(list.size(), 2u);
    ASSERT_GE(wav.samples.size() / 2, static_cast<size_t>(list.back().startMs) * 44100 / 1000);

    // Peak below full scale, with a little headroom.
    int peak = 0;
    for (int16_t v : wav.samples) {
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    EXPECT_LT(peak, 29491) << "peaks within 1 dB of full scale";

    std::vector<double> rms;
    for (size_t i = 0; i + 1 < list.size(); ++i) {
        const size_t from = static_cast<size_t>(list[i].startMs) * 441 / 10 * 2;
        const size_t to = static_cast<size_t>(list[i + 1].startMs) * 441 / 10 * 2;
        double sum = 0.0;
        for (size_t k = from; k < to; ++k) {
            sum += static_cast<double>(wav.samples[k]) * wav.samples[k];
        }
        rms.push_back(std::sqrt(sum / static_cast<double>(to - from)) / 32768.0);
        EXPECT_GT(rms.back(), 0.03) << list[i].name << " is (nearly) silent";
    }
    // The break is clearly quieter than the main part around it.
    auto level = [&](const std::string& name) {
        for (size_t i = 0; i + 1 < list.size(); ++i) {
            if (list[i].name == name) {
                return rms[i];
            }
        }
        ADD_FAILURE() << "no section " << name;
        return 0.0;
    };
    EXPECT_GT(level("main"), level("break") * 1.25);
}

TEST(ShowcaseMusic, EveryKickIsABeatOnTheGridAndNothingElseIs) {
    const kvx::synth::Song song = loadSong();
    // The player with the show's configuration receives every message; its
    // note-on hook is the show's beat detection.
    kvx::synth::Player player(std::make_unique<kvx::synth::MemoryAudioDevice>(),
                              kvx::synth::Player::Mode::Lockstep);
    ASSERT_TRUE(player.parseConfig(readBytes(kShow + "/config.sp")));
    ASSERT_TRUE(player.headAccepted());
    kvx::core::globals().beatEvent = kBeatEvent;
    kvx::core::globals().beatCount = 0;
    player.setNoteOnHook(&kvx::expr::detectBeat);
    int kicks = 0, noteOns = 0, kicksInMain = 0;
    const std::vector<Section> list = sections();
    int mainFrom = 0, mainTo = 0;
    for (size_t i = 0; i + 1 < list.size(); ++i) {
        if (list[i].name == "main") {
            mainFrom = list[i].startMs;
            mainTo = list[i + 1].startMs;
        }
    }
    for (const kvx::synth::SongEvent& e : song.events()) {
        player.onMessage(e);
        noteOns += (e.status & 0xF0) == 0x90 ? 1 : 0;
        if (isKick(e)) {
            ++kicks;
            // 125 bpm: a sixteenth is 120 ms.
            EXPECT_EQ(e.time % 120, 0) << "kick off the grid at " << e.time << " ms";
            kicksInMain += e.time >= mainFrom && e.time < mainTo ? 1 : 0;
        }
    }
    EXPECT_GT(kicks, 0);
    EXPECT_GT(noteOns, 2 * kicks) << "the other instruments play too";
    EXPECT_EQ(kvx::core::globals().beatCount.load(), kicks);
    // Four on the floor through the main part: a bar is 1920 ms.
    EXPECT_GE(kicksInMain, 4 * (mainTo - mainFrom) / 1920);
}

}  // namespace
