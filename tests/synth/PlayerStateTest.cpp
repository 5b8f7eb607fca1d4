// Saved player states: a player restored from a copy renders, sample for
// sample, what the original rendered after the copy; note-ons replay without
// sound; a live player can be held and handed a state.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/SynthTestUtil.h"
#include "synth/MusicThread.h"

namespace kvx::synth {
namespace {

vfs::Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return vfs::Bytes(std::istreambuf_iterator<char>(in), {});
}

// The example show's synthesizer: stereo, LFO-swept resonant filters, noise,
// phase spread and a step sequencer, so every kind of state is exercised.
struct Example {
    vfs::Bytes config = fileBytes(std::string(KVX_SOURCE_DIR) + "/examples/music/config.sp");
    vfs::Bytes song = fileBytes(std::string(KVX_SOURCE_DIR) + "/examples/music/music.m");

    std::unique_ptr<Player> player(MemoryAudioDevice** device = nullptr) const {
        auto dev = std::make_unique<MemoryAudioDevice>();
        if (device != nullptr) {
            *device = dev.get();
        }
        auto p = std::make_unique<Player>(std::move(dev), Player::Mode::Lockstep);
        EXPECT_TRUE(p->parseConfig(config));
        EXPECT_TRUE(p->headAccepted());
        EXPECT_TRUE(p->parseSong(song));
        p->play();
        return p;
    }
};

// Frame k of a 30 fps recording, in whole milliseconds.
uint32_t frameTime(uint64_t k) {
    return static_cast<uint32_t>(k * 1000 / 30);
}

// Advances through frames first..last (inclusive) and returns the samples.
std::vector<int16_t> play(Player& p, MemoryAudioDevice& d, uint64_t first, uint64_t last) {
    for (uint64_t k = first; k <= last; ++k) {
        p.advanceTo(frameTime(k));
    }
    return d.take();
}

TEST(PlayerState, AnotherPlayerRestoredFromACopyRendersTheSameSamples) {
    const Example example;
    MemoryAudioDevice* straightDevice = nullptr;
    auto straight = example.player(&straightDevice);
    std::vector<int16_t> head = play(*straight, *straightDevice, 0, 90);
    const std::unique_ptr<PlayerState> copy = straight->saveState();
    const std::vector<int16_t> tail = play(*straight, *straightDevice, 91, 240);
    ASSERT_GT(test::rms(tail), 500.0);  // there is music to compare

    MemoryAudioDevice* otherDevice = nullptr;
    auto other = example.player(&otherDevice);
    ASSERT_TRUE(other->restoreState(*copy));
    EXPECT_EQ(other->song().position(), copy->songPosition);
    EXPECT_EQ(play(*other, *otherDevice, 91, 240), tail);

    // The copy outlives its original and still restores.
    straight.reset();
    ASSERT_TRUE(other->restoreState(*copy));
    EXPECT_EQ(play(*other, *otherDevice, 91, 240), tail);
}

TEST(PlayerState, RestoringIntoTheSamePlayerGoesBackInTime) {
    const Example example;
    MemoryAudioDevice* device = nullptr;
    auto p = example.player(&device);
    play(*p, *device, 0, 45);
    const auto copy = p->saveState();
    const std::vector<int16_t> first = play(*p, *device, 46, 200);
    ASSERT_TRUE(p->restoreState(*copy));
    EXPECT_EQ(play(*p, *device, 46, 200), first);
}

TEST(PlayerState, AStateOfAnotherLayoutIsRefused) {
    const Example example;
    auto p = example.player();
    test::Rig small(test::monoHead(1) + "inst name=s index=0 channel=0\n  gen slot=0 type=gSine\n");
    const auto foreign = small.player->saveState();
    const auto before = p->saveState();
    EXPECT_FALSE(p->restoreState(*foreign));
    // Nothing was touched: the player's own copy still fits.
    EXPECT_TRUE(p->restoreState(*before));
}

struct NoteLog {
    static inline std::vector<std::pair<int, int>> calls;
    static void hook(int slot, int note) { calls.emplace_back(slot, note); }
};

TEST(PlayerState, NoteOnsReplayFrameByFrameAsTheyFireWhilePlaying) {
    const Example example;
    MemoryAudioDevice* device = nullptr;
    auto p = example.player(&device);
    p->setNoteOnHook(&NoteLog::hook);
    std::vector<std::vector<std::pair<int, int>>> fired;
    for (uint64_t k = 0; k <= 250; ++k) {
        NoteLog::calls.clear();
        p->advanceTo(frameTime(k));
        fired.push_back(NoteLog::calls);
    }
    auto replayer = example.player();
    replayer->setNoteOnHook(&NoteLog::hook);
    size_t cursor = 0;
    size_t total = 0;
    for (uint64_t k = 0; k <= 250; ++k) {
        NoteLog::calls.clear();
        replayer->replayNoteOns(cursor, frameTime(k));
        EXPECT_EQ(NoteLog::calls, fired[k]) << "frame " << k;
        total += NoteLog::calls.size();
    }
    EXPECT_GT(total, 10u);
    // Nothing was rendered and the song did not move.
    EXPECT_EQ(replayer->renderedFrames(), 0u);
    EXPECT_EQ(replayer->song().position(), 0u);
}

// Waits (in real time) until the music thread has rendered `frames`.
bool waitForFrames(const Player& p, uint64_t frames) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (p.renderedFrames() < frames && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return p.renderedFrames() >= frames;
}

TEST(PlayerState, AHeldLivePlayerQueuesSilenceAndTakesAHandedState) {
    core::ManualClock clock(1000);
    auto dev = std::make_unique<test::LockedAudioDevice>(&clock);
    test::LockedAudioDevice* d = dev.get();
    Player live(std::move(dev), Player::Mode::RealTime, clock);
    ASSERT_TRUE(live.parseConfig(
        test::compileText(test::monoHead() +
                          "inst name=s index=0 channel=0 polyphony=8\n  gen slot=0 type=gSine\n")));
    ASSERT_TRUE(live.parseSong(writeSong({{0, 0x90, 69, 127}, {5000, 0x80, 69, 0}})));
    const auto atStart = live.saveState();
    ASSERT_TRUE(startMusicThread(&live));
    live.play();
    // Let the virtual device play 100 ms: the note sounds in about 17 blocks.
    for (int i = 0; i < 10; ++i) {
        clock.advance(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    ASSERT_TRUE(waitForFrames(live, 17u * 256));
    EXPECT_EQ(live.song().position(), 1u);

    live.setHeld(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const uint64_t heldAt = live.renderedFrames();
    d->take();
    for (int i = 0; i < 10; ++i) {
        clock.advance(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // Held: the device got blocks, all silent, and no song frame was rendered.
    const std::vector<int16_t> held = d->take();
    EXPECT_GT(held.size(), 0u);
    EXPECT_EQ(test::rms(held), 0.0);
    EXPECT_EQ(live.renderedFrames(), heldAt);

    // Handing the state from before the first note takes the song back.
    live.requestRestore(live.saveState());  // replaced before it is taken
    live.requestRestore(std::make_unique<PlayerState>(*atStart));
    live.setHeld(false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (live.renderedFrames() >= heldAt && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_LT(live.renderedFrames(), heldAt);
    stopMusicThread(&live);
}

}  // namespace
}  // namespace kvx::synth
