// Synthesizer benchmarks: real-time factor of block rendering, reported as
// the counter "ratio" (seconds of audio per second of CPU, one core).
//
//   BM_SynthTypicalSong  8 stereo channels, 2 generators per instrument,
//                        instrument filters and two channel filters, a new
//                        note on every channel each 250 ms (goal: 200x).
//   BM_SynthWorstCase    16 stereo channels x 8 sounding voices, 4
//                        generators each, one filter per instrument and one
//                        per channel (goal: 4x).
//   BM_SynthShowcaseSong the bundled show's song with its configuration
//                        (build/examples/showcase/), one second a round,
//                        from the start again after its end.
// Rendering allocates nothing per block; tests/synth/test_alloc.cpp proves
// it with a counting operator new.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "synth/AudioDevice.h"
#include "synth/ConfigText.h"
#include "synth/Player.h"

namespace {

using namespace kvx::synth;

std::unique_ptr<Player> makePlayer(const std::string& text) {
    ConfigDesc desc;
    std::string error;
    if (!parseConfigText(text, desc, error)) {
        return nullptr;
    }
    auto player =
        std::make_unique<Player>(std::make_unique<NullAudioDevice>(), Player::Mode::Lockstep);
    if (!player->parseConfig(buildConfig(desc)) || !player->headAccepted()) {
        return nullptr;
    }
    player->play();
    return player;
}

std::string head(int channels) {
    return "head stereo=1 channels=" + std::to_string(channels) +
           " tempo=120 version=3 master=100,100\n"
           "  gains 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60\n";
}

void send(Player& p, int status, int d1, int d2) {
    p.onMessage(SongEvent{0, static_cast<uint8_t>(status), static_cast<uint8_t>(d1),
                          static_cast<uint8_t>(d2)});
}

void BM_SynthTypicalSong(benchmark::State& state) {
    std::string text = head(8) + "cefx channel=0\n  effect type=eLPF hz=6000 res=10\n" +
                       "cefx channel=5\n  effect type=eMoogVCF hz=3000 res=20\n";
    const char* gens[] = {"gSaw", "gSquare", "gTriangle", "gSine", "gNoice"};
    for (int i = 0; i < 8; ++i) {
        text += "inst name=i" + std::to_string(i) + " index=" + std::to_string(i) +
                " channel=" + std::to_string(i) +
                " polyphony=4 lforate=60 lfodest=5 lfodepth=30\n"
                "  gen slot=0 type=" +
                gens[i % 5] +
                " level=100 spread=20\n"
                "  gen slot=1 type=gSine level=60 pitch=12\n"
                "  amp 10:1 200:0.5 200:0\n";
        if (i % 2 == 0) {
            text += "  fx slot=0 type=eLPF cutoff=30 resonance=20 cutdepth=10\n";
        }
    }
    auto player = makePlayer(text);
    if (!player) {
        state.SkipWithError("configuration did not load");
        return;
    }
    uint32_t now = 0;
    int step = 0;
    for (auto _ : state) {
        for (int c = 0; c < 8; ++c) {
            send(*player, 0x80 | c, 48 + (step + c * 5) % 24, 0);
            send(*player, 0x90 | c, 48 + (step + 1 + c * 5) % 24, 100);
        }
        ++step;
        now += 250;
        player->advanceTo(now);
    }
    state.counters["ratio"] = benchmark::Counter(static_cast<double>(state.iterations()) * 0.25,
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SynthTypicalSong)->Unit(benchmark::kMillisecond);

void BM_SynthWorstCase(benchmark::State& state) {
    std::string text = head(16);
    for (int c = 0; c < 16; ++c) {
        text += "cefx channel=" + std::to_string(c) + "\n  effect type=eMoogVCF hz=8000 res=15\n";
    }
    for (int i = 0; i < 16; ++i) {
        // No amplitude envelope: every voice sounds until it is taken.
        text +=
            "inst name=w index=" + std::to_string(i) + " channel=" + std::to_string(i) +
            " polyphony=8\n"
            "  gen slot=0 type=gSaw spread=30\n  gen slot=1 type=gSquare pitch=7\n"
            "  gen slot=2 type=gTriangle spread=10 pitch=-12\n  gen slot=3 type=gSine pitch=12\n"
            "  fx slot=0 type=eLPF cutoff=40 resonance=25\n";
    }
    auto player = makePlayer(text);
    if (!player) {
        state.SkipWithError("configuration did not load");
        return;
    }
    for (int c = 0; c < 16; ++c) {
        for (int v = 0; v < 8; ++v) {
            send(*player, 0x90 | c, 40 + v * 3, 100);
        }
    }
    uint32_t now = 0;
    for (auto _ : state) {
        now += 100;
        player->advanceTo(now);
    }
    int sounding = 0;
    for (const auto& in : player->instruments()) {
        for (const Voice& v : in->voices) {
            sounding += v.playingNote != 0 ? 1 : 0;
        }
    }
    state.counters["voices"] = sounding;
    state.counters["ratio"] = benchmark::Counter(static_cast<double>(state.iterations()) * 0.1,
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SynthWorstCase)->Unit(benchmark::kMillisecond);

kvx::vfs::Bytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return kvx::vfs::Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void BM_SynthShowcaseSong(benchmark::State& state) {
    const std::string dir = KVX_SHOWCASE_DIR;
    Player player(std::make_unique<NullAudioDevice>(), Player::Mode::Lockstep);
    if (!player.parseConfig(readFile(dir + "/config.sp")) || !player.headAccepted() ||
        !player.parseSong(readFile(dir + "/music.m")) || player.song().events().empty()) {
        state.SkipWithError("build/examples/showcase/ holds no song (build the showcase target)");
        return;
    }
    const auto end = static_cast<uint32_t>(player.song().events().back().time);
    player.play();
    uint32_t now = 0;
    for (auto _ : state) {
        now += 1000;
        player.advanceTo(now);
        if (now > end) {
            state.PauseTiming();
            player.stop(true);
            player.play();
            state.ResumeTiming();
        }
    }
    state.counters["ratio"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SynthShowcaseSong)->Unit(benchmark::kMillisecond);

}  // namespace
