// End to end: a text configuration compiled to a file, a MIDI file made here
// converted to a song, both loaded through the Vfs by the Player, rendered
// in lockstep into a WAV file, and the WAV checked for length and energy
// where the notes are.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/SynthTestUtil.h"
#include "synth/MidiImport.h"
#include "synth/WavWriter.h"
#include "vfs/Vfs.h"

namespace kvx::synth {
namespace {

void writeFile(const std::filesystem::path& p, const vfs::Bytes& b) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

TEST(EndToEnd, TextConfigAndMidiRenderToAWavWithNotesWhereExpected) {
    const auto dir = std::filesystem::temp_directory_path() / "kvx_synth_e2e";
    std::filesystem::create_directories(dir);

    // Stereo, two channels: a filtered saw lead and a sine bass.
    const std::string text =
        "head stereo=1 channels=2 tempo=120 version=3 master=127,127\n"
        "  gains 110 110 101 101 101 101 101 101 101 101 101 101 101 101 101 101\n"
        "cefx channel=0\n"
        "  effect slot=0 type=eLPF hz=6000 res=10\n"
        "inst name=lead index=0 channel=0 sustain=2\n"
        "  gen slot=0 type=gSaw level=90 spread=20\n"
        "  fx slot=0 type=eMoogVCF cutoff=30 resonance=20\n"
        "  amp 5:1 50:0.7 80:0\n"
        "inst name=bass index=1 channel=1 sustain=2\n"
        "  gen slot=0 type=gSine level=120\n"
        "  amp 5:1 10:1 40:0\n";
    writeFile(dir / "config.sp", test::compileText(text));

    // 120 bpm at 480 ticks per beat: one beat = 500 ms. Notes at beats 0 and
    // 2 (lead, channel 0) and beat 1 (bass, channel 1); silence from beat 3.
    const std::vector<SongEvent> ticks = {{0, 0x90, 72, 110},   {240, 0x80, 72, 0},
                                          {480, 0x91, 36, 120}, {720, 0x81, 36, 0},
                                          {960, 0x90, 76, 110}, {1200, 0x80, 76, 0}};
    std::vector<SongEvent> events;
    std::string error;
    ASSERT_TRUE(importMidi(makeMidi(ticks, 500000), events, error)) << error;
    writeFile(dir / "music.m", writeSong(events));

    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(dir.string());
    auto device = std::make_unique<MemoryAudioDevice>();
    MemoryAudioDevice* sink = device.get();
    Player player(std::move(device), Player::Mode::Lockstep);
    ASSERT_TRUE(player.loadConfig("config.sp"));
    ASSERT_TRUE(player.loadSong("music.m"));
    ASSERT_EQ(player.song().events().size(), 6u);
    player.play();
    for (uint32_t ms = 0; ms <= 2000; ms += 20) {  // as a 50 fps recorder would
        player.advanceTo(ms);
    }
    const vfs::Bytes wavBytes = makeWav(sink->take(), kSampleRate, 2);
    writeFile(dir / "out.wav", wavBytes);
    vfs::Vfs::setDataDirectory("data");

    std::ifstream in(dir / "out.wav", std::ios::binary);
    const vfs::Bytes back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    WavData wav;
    ASSERT_TRUE(parseWav(back, wav));
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 44100);
    const size_t frames = wav.samples.size() / 2;
    EXPECT_EQ(frames, 2000u * 44100 / 1000 / 256 * 256);

    auto energy = [&](int fromMs, int toMs) {
        return test::rms(wav.samples, static_cast<size_t>(fromMs) * 441 / 10 * 2,
                         static_cast<size_t>(toMs) * 441 / 10 * 2);
    };
    EXPECT_GT(energy(20, 200), 1500.0);     // lead note
    EXPECT_LT(energy(400, 490), 50.0);      // released and silent
    EXPECT_GT(energy(520, 700), 1500.0);    // bass note
    EXPECT_GT(energy(1020, 1200), 1500.0);  // second lead note
    EXPECT_LT(energy(1500, 2000), 1.0);     // the end is silent
    // The bass (a sine at note 36, 65 Hz) sits on channel 1 alone.
    std::vector<int16_t> bass(wav.samples.begin() + 560 * 441 / 10 * 2,
                              wav.samples.begin() + 700 * 441 / 10 * 2);
    EXPECT_NEAR(test::frequency(test::toFloat(bass, 2, 0), kSampleRate), 65.4, 1.0);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kvx::synth
