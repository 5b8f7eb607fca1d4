// The player: channel messages, beat hook, instrument assignment, lockstep
// rendering and the music thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/Globals.h"
#include "support/SynthTestUtil.h"
#include "synth/MusicThread.h"

namespace kvx::synth {
namespace {

using test::monoHead;
using test::Rig;

const std::string kSine =
    "inst name=sine index=0 channel=0 polyphony=8\n"
    "  gen slot=0 type=gSine level=127\n";

// Records the note-on hook calls; the beat check itself belongs to the
// script, so this mirrors what it does with BEATEVENT.
struct HookLog {
    static inline std::vector<std::pair<int, int>> calls;
    static void hook(int slot, int note) {
        calls.emplace_back(slot, note);
        const int b = static_cast<int>(core::globals().beatEvent.load());
        if (slot == b / 1000 && (b % 1000 == 0 || note == b % 1000)) {
            core::globals().beatPulse.store(1.0f);
            core::globals().beatCount.fetch_add(1);
        }
    }
};

TEST(PlayerMessages, NoteOnHookSeesEveryNoteOnIncludingVelocityZero) {
    Rig rig(monoHead(2) + kSine);
    HookLog::calls.clear();
    rig.player->setNoteOnHook(&HookLog::hook);
    core::globals().beatEvent.store(1036.0f);
    core::globals().beatCount.store(0);
    // Map: slot i listens to channel i (the text default).
    rig.send(0x91, 36, 0);   // velocity 0 on slot 1: still a beat
    rig.send(0x91, 37, 90);  // other note: hook, no beat
    rig.send(0x81, 36, 0);   // note off: no hook
    rig.send(0x90, 36, 90);  // slot 0: no beat
    ASSERT_EQ(HookLog::calls.size(), 3u);
    EXPECT_EQ(HookLog::calls[0], (std::pair<int, int>{1, 36}));
    EXPECT_EQ(core::globals().beatCount.load(), 1);
    EXPECT_EQ(core::globals().beatPulse.load(), 1.0f);
    core::globals().beatEvent.store(0.0f);
    core::globals().beatCount.store(0);
}

TEST(PlayerMessages, ControllerSevenSetsChannelGain) {
    Rig rig(monoHead() + kSine);
    rig.send(0xB0, 7, 127);
    EXPECT_FLOAT_EQ(rig.player->mixer().channels[0].gain, 1.0f);
    rig.send(0x90, 69, 127);
    EXPECT_GT(test::rms(rig.render(100)), 1000.0);
    rig.send(0xB0, 7, 0);
    EXPECT_EQ(rig.player->mixer().channels[0].gain, 0.0f);
    rig.render(20);  // let the smoothing history pass
    EXPECT_EQ(test::rms(rig.render(100)), 0.0);
}

TEST(PlayerMessages, PitchBendMappingAndWheel) {
    Rig rig(monoHead() + kSine);
    Instrument& in = *rig.player->instruments()[0];
    const std::pair<int, int> cases[] = {{63, 0}, {64, 0}, {0, -63}, {127, 63}, {100, 36}};
    for (const auto& [data2, bend] : cases) {
        rig.send(0xE0, 99, data2);
        EXPECT_EQ(in.bend, bend) << data2;
    }
    rig.send(0xB0, 1, 77);
    EXPECT_EQ(in.wheel, 77);
}

TEST(PlayerMessages, ProgramChangeToMissingInstrumentSilencesAndCanReassign) {
    Rig rig(monoHead() + kSine);
    rig.send(0xC0, 5, 0);
    EXPECT_EQ(rig.player->mixer().channels[0].instrument, nullptr);
    rig.send(0x90, 69, 127);
    EXPECT_EQ(test::rms(rig.render(100)), 0.0);
    rig.send(0xC0, 0, 0);
    EXPECT_EQ(rig.player->mixer().channels[0].instrument, rig.player->instruments()[0].get());
}

TEST(PlayerMessages, NoteForMissingChannelSlotIsIgnored) {
    Rig rig(monoHead(1) + kSine);
    HookLog::calls.clear();
    rig.player->setNoteOnHook(&HookLog::hook);
    rig.send(0x95, 60, 100);  // slot 5 listens to channel 5, but only 1 channel exists
    EXPECT_EQ(test::rms(rig.render(50)), 0.0);
    EXPECT_EQ(HookLog::calls.size(), 1u);  // the beat hook still runs
}

TEST(PlayerMessages, KeyRangeFiltersNotes) {
    std::string head = monoHead(1);
    head +=
        "  ranges 60-70 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 0-127 "
        "0-127 0-127 0-127\n";
    Rig rig(head + kSine);
    rig.send(0x90, 72, 100);
    EXPECT_EQ(test::rms(rig.render(50)), 0.0);
    rig.send(0x90, 69, 100);
    EXPECT_GT(test::rms(rig.render(50)), 100.0);
}

TEST(PlayerMessages, SystemAndDataBytesAreIgnored) {
    Rig rig(monoHead() + kSine);
    rig.send(0xF0, 69, 127);
    rig.send(0x45, 69, 127);
    rig.send(0xA0, 69, 127);
    EXPECT_EQ(test::rms(rig.render(50)), 0.0);
}

TEST(PlayerMessages, SongWarnsOncePerCauseOfSilence) {
    // Four mixer channels; instruments 0 and 1 on channels 0 and 1,
    // channel 3 has none.
    Rig rig(monoHead(4) + kSine + "inst name=saw index=1 channel=1\n  gen slot=0 type=gSaw\n");
    std::vector<SongEvent> events = {
        {0, 0x90, 60, 100},   // heard
        {0, 0x99, 36, 100},   // drums: no mixer channel 9
        {10, 0x99, 38, 100},  // the same cause again
        {10, 0x93, 60, 100},  // channel 3 has no instrument
        {20, 0xC1, 40, 0},    // program 40: not in the configuration
        {30, 0x91, 60, 100},  // channel 1 is silent now
        {30, 0x99, 36, 0},    // velocity 0: a note-off, no cause
        {40, 0xC9, 0, 0},     // moves instrument 0 to a channel HEAD lacks
        {50, 0x90, 62, 100},  // so channel 0 lost its instrument
    };
    ASSERT_TRUE(rig.player->parseSong(writeSong(events)));
    const std::vector<std::string> want = {
        "channel 9: no mixer channel (HEAD has 4); its notes are silent",
        "channel 3: mixer channel 3 has no instrument; its notes there are silent",
        "channel 1: program 40 selects an instrument the configuration lacks (it has 0-1); the "
        "channel falls silent",
        "channel 1: mixer channel 1 has no instrument; its notes there are silent",
        "channel 9: program 0 moves instrument 0 to mixer channel 9, which HEAD lacks (HEAD has "
        "4)",
        "channel 0: mixer channel 0 has no instrument; its notes there are silent",
    };
    EXPECT_EQ(rig.player->warnings(), want);
    // A song that the configuration serves fully gives no lines, and the
    // lines of the previous song are gone.
    ASSERT_TRUE(rig.player->parseSong(writeSong({{0, 0x90, 60, 100}, {5, 0xC1, 0, 0}})));
    EXPECT_TRUE(rig.player->warnings().empty());
}

TEST(PlayerMessages, SongWarningsMatchWhatThePlayerDoes) {
    // The walk and the real message handling agree: after playing the song,
    // exactly the channels named silent have no instrument.
    Rig rig(monoHead(2) + kSine + "inst name=saw index=1 channel=1\n  gen slot=0 type=gSaw\n");
    ASSERT_TRUE(rig.player->parseSong(writeSong({{0, 0xC0, 1, 0}, {0, 0xC1, 7, 0}})));
    rig.render(20);
    const auto& ch = rig.player->mixer().channels;
    EXPECT_EQ(ch[0].instrument, rig.player->instruments()[1].get());
    EXPECT_EQ(ch[1].instrument, nullptr);
    const auto w = rig.player->warnings();
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].rfind("channel 1: program 7", 0), 0u) << w[0];
}

TEST(PlayerRendering, Note69RendersAt440Hz) {
    Rig rig(monoHead() + kSine);
    rig.send(0x90, 69, 127);
    const auto s = rig.render(1000);
    ASSERT_EQ(s.size(), 44100u / 256u * 256u);
    EXPECT_NEAR(test::frequency(test::toFloat(s), kSampleRate), 440.0, 0.5);
}

TEST(PlayerRendering, LockstepRendersWholeBlocksAndFiresEventsOnTime) {
    Rig rig(monoHead() + kSine);
    const std::vector<SongEvent> events = {{100, 0x90, 69, 127}, {300, 0x80, 69, 0}};
    ASSERT_TRUE(rig.player->parseSong(writeSong(events)));
    auto a = rig.render(99);
    EXPECT_EQ(a.size(), 99u * 44100 / 1000 / 256 * 256);
    EXPECT_EQ(test::rms(a), 0.0);
    auto b = rig.render(1);  // t = 100: the note-on is due now, its sound follows
    EXPECT_EQ(rig.player->song().position(), 1u);
    auto c = rig.render(100);
    EXPECT_GT(test::rms(c), 1000.0);
    EXPECT_EQ(rig.player->renderedFrames(), 200u * 44100 / 1000 / 256 * 256);
}

TEST(PlayerRendering, StereoBlocksAreInterleaved) {
    Rig rig(monoHead(1, true) + kSine);
    EXPECT_EQ(rig.player->settings().blockFloats, 512);
    EXPECT_TRUE(rig.device->stereo());
    rig.send(0x90, 69, 127);
    const auto s = rig.render(200);
    EXPECT_EQ(s.size() % 512, 0u);
    EXPECT_NEAR(test::rms(s, 0, SIZE_MAX, 2, 0), test::rms(s, 0, SIZE_MAX, 2, 1), 1.0);
}

TEST(PlayerRendering, ChannelEffectsRunInSlotOrder) {
    // Slot 0: a 200 Hz low-pass, slot 1: wide open. Swapping them changes
    // nothing for linear filters, so use the clipper: a loud input through
    // a low cutoff first differs from the other order.
    const std::string inst =
        "inst name=sq index=0 channel=0\n"
        "  gen slot=0 type=gSquare level=127\n";
    auto render = [&](const std::string& fx) {
        Rig rig(monoHead() + "cefx channel=0\n" + fx + inst);
        rig.send(0x90, 40, 127);
        return rig.render(200);
    };
    const auto ab = render(
        "  effect slot=0 type=eMoogVCF hz=300 res=45\n  effect slot=1 type=eLPF hz=20000 res=0\n");
    const auto ba = render(
        "  effect slot=1 type=eMoogVCF hz=300 res=45\n  effect slot=0 type=eLPF hz=20000 res=0\n");
    const auto same = render(
        "  effect slot=0 type=eMoogVCF hz=300 res=45\n  effect slot=1 type=eLPF hz=20000 res=0\n");
    EXPECT_EQ(ab, same);
    EXPECT_NE(ab, ba);
    EXPECT_GT(test::rms(ab), 100.0);
}

TEST(PlayerRendering, InstrumentEffectCutoffInHundreds) {
    Rig rig(monoHead() +
            "inst name=f index=0 channel=0\n"
            "  gen slot=0 type=gSaw level=127\n"
            "  fx slot=0 type=eLPF aux=127 cutoff=20 resonance=0\n");
    rig.send(0x90, 60, 127);
    rig.render(20);
    const auto& fx = rig.player->instruments()[0]->effects[0];
    auto* filter = dynamic_cast<Filter*>(fx.effect.get());
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->cutoff(), 2000);
}

TEST(PlayerDevice, NoDeviceLeavesHeadUnacceptedButBeatsRun) {
    Player player(nullptr, Player::Mode::Lockstep);
    ASSERT_TRUE(player.parseConfig(test::compileText(monoHead() + kSine)));
    EXPECT_FALSE(player.headAccepted());
    EXPECT_TRUE(player.instruments().empty());
    HookLog::calls.clear();
    player.setNoteOnHook(&HookLog::hook);
    ASSERT_TRUE(player.parseSong(writeSong({{10, 0x90, 36, 100}})));
    player.play();
    player.advanceTo(1000);
    EXPECT_EQ(HookLog::calls.size(), 1u);
    EXPECT_EQ(player.renderedFrames(), 0u);
}

TEST(PlayerDevice, FailedOpenIsLikeNoDevice) {
    auto dev = std::make_unique<MemoryAudioDevice>();
    dev->setFailOpen(true);
    Player player(std::move(dev));
    ASSERT_TRUE(player.parseConfig(test::compileText(monoHead() + kSine)));
    EXPECT_FALSE(player.headAccepted());
}

TEST(PlayerDevice, RealTimeModeQueuesTheSilentRing) {
    auto dev = std::make_unique<MemoryAudioDevice>();
    MemoryAudioDevice* d = dev.get();
    Player player(std::move(dev));
    ASSERT_TRUE(player.parseConfig(test::compileText(monoHead() + kSine)));
    EXPECT_EQ(d->samples().size(), 5120u);
}

// Lets the virtual device play 100 ms in steps of 10, giving the music
// thread time to follow each, then waits (5 seconds at most) until the
// player has rendered `frames`.
void playHundredMilliseconds(core::ManualClock& clock, const Player& player, uint64_t frames) {
    for (int i = 0; i < 10; ++i) {
        clock.advance(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (player.renderedFrames() < frames && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(MusicThread, RunFollowsTheDevicePositionAndStops) {
    core::ManualClock clock(1000);
    auto dev = std::make_unique<MemoryAudioDevice>(&clock);
    MemoryAudioDevice* d = dev.get();
    Player player(std::move(dev), Player::Mode::RealTime, clock);
    ASSERT_TRUE(player.parseConfig(test::compileText(monoHead() + kSine)));
    ASSERT_TRUE(player.parseSong(writeSong({{0, 0x90, 69, 127}})));
    EXPECT_FALSE(startMusicThread(nullptr));
    ASSERT_TRUE(startMusicThread(&player));
    EXPECT_FALSE(startMusicThread(&player));  // one music thread at a time
    player.play();
    // Blocks 0..17 get rendered behind the device.
    playHundredMilliseconds(clock, player, 17u * 256);
    stopMusicThread(&player);
    EXPECT_TRUE(player.hasFinished());
    EXPECT_FALSE(musicThreadRunning());
    EXPECT_GE(player.renderedFrames(), 17u * 256);
    EXPECT_LE(player.renderedFrames(), 19u * 256);  // never ahead of the device
    EXPECT_EQ(player.song().position(), 1u);
    // The ring of silence came first, the note after it.
    const auto& s = d->samples();
    ASSERT_GT(s.size(), 5120u + 4096u);
    EXPECT_EQ(test::rms(s, 0, 5120), 0.0);
    EXPECT_GT(test::rms(s, 5120 + 1024), 1000.0);
    stopMusicThread(&player);  // a second stop does nothing
}

// A device whose byte position starts just before its 32-bit counter wraps,
// as a device does after hours of playing.
class WrappingDevice final : public AudioDevice {
  public:
    WrappingDevice(MemoryAudioDevice* inner, uint32_t start) : inner_(inner), start_(start) {}
    bool open(int rate, bool stereo) override { return inner_->open(rate, stereo); }
    void write(const int16_t* s, size_t n) override { inner_->write(s, n); }
    bool position(uint32_t& bytes) override {
        if (!inner_->position(bytes)) {
            return false;
        }
        bytes += start_;  // modulo 2^32
        return true;
    }
    void reset() override { inner_->reset(); }
    void close() override { inner_->close(); }

  private:
    MemoryAudioDevice* inner_;
    uint32_t start_;
};

TEST(MusicThread, PositionWrapAroundKeepsRenderingInStep) {
    core::ManualClock clock(1000);
    auto memory = std::make_unique<MemoryAudioDevice>(&clock);
    // A whole number of rings (10240 bytes in mono) 4096 bytes, 8 blocks,
    // before 2^32: the wrap comes in the middle of the ring.
    const uint32_t start = 4294963200u;
    Player player(std::make_unique<WrappingDevice>(memory.get(), start), Player::Mode::RealTime,
                  clock);
    ASSERT_TRUE(player.parseConfig(test::compileText(monoHead() + kSine)));
    ASSERT_TRUE(startMusicThread(&player));
    // About 17 blocks played, the wrap after 8.
    playHundredMilliseconds(clock, player, 17u * 256);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stopMusicThread(&player);
    // Never more blocks rendered than the device played (plus the one under
    // the play position).
    EXPECT_GE(player.renderedFrames(), 17u * 256);
    EXPECT_LE(player.renderedFrames(), 19u * 256);
}

std::atomic<int> gHookCount{0};
void countHook(int, int) {
    gHookCount.fetch_add(1);
}

TEST(MusicThread, StopWithRewindWhileRunningReplaysTheSong) {
    core::ManualClock clock(0);
    Player player(std::make_unique<MemoryAudioDevice>(&clock), Player::Mode::RealTime, clock);
    ASSERT_TRUE(player.parseConfig(test::compileText(monoHead() + kSine)));
    ASSERT_TRUE(player.parseSong(writeSong({{5, 0x90, 69, 127}})));
    gHookCount.store(0);
    player.setNoteOnHook(&countHook);
    ASSERT_TRUE(startMusicThread(&player));
    auto waitFor = [](int n) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (gHookCount.load() < n && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return gHookCount.load();
    };
    while (!player.isRunning()) {  // the thread has read its clock
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    player.play();
    clock.advance(10);
    EXPECT_EQ(waitFor(1), 1);
    player.stop(true);
    EXPECT_FALSE(player.isPlaying());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    player.play();
    clock.advance(10);
    EXPECT_EQ(waitFor(2), 2);
    stopMusicThread(&player);
    EXPECT_TRUE(player.hasFinished());
}

TEST(MusicThread, StopWithoutThreadDoesNothingAndPlayerDestructsWithoutThread) {
    auto dev = std::make_unique<MemoryAudioDevice>();
    auto player = std::make_unique<Player>(std::move(dev));
    ASSERT_TRUE(player->parseConfig(test::compileText(monoHead() + kSine)));
    stopMusicThread(player.get());
    EXPECT_FALSE(player->hasFinished());
    // Must not wait for a thread that never ran: a hang here fails the test
    // by its time limit.
    player.reset();
}

TEST(MusicThread, DestroyingThePlayerOfARunningThreadEndsTheThread) {
    // The player's destructor stops its loop; the thread must then be joined
    // too, or it would outlive the player it points to and no new music
    // thread could start.
    auto player = std::make_unique<Player>();
    ASSERT_TRUE(startMusicThread(player.get()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!player->isRunning() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    player.reset();
    EXPECT_FALSE(musicThreadRunning());
    Player other;
    ASSERT_TRUE(startMusicThread(&other));
    stopMusicThread(&other);
    EXPECT_TRUE(other.hasFinished());
}

TEST(MusicThread, PriorityFunctionRunsOnTheNewThread) {
    static std::atomic<std::thread::id> seen;
    Player player;
    ASSERT_TRUE(startMusicThread(&player, [] { seen.store(std::this_thread::get_id()); }));
    stopMusicThread(&player);
    EXPECT_NE(seen.load(), std::this_thread::get_id());
    EXPECT_NE(seen.load(), std::thread::id());
    EXPECT_TRUE(player.hasFinished());
}

}  // namespace
}  // namespace kvx::synth
