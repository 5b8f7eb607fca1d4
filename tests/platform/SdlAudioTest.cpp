// The SDL2 queue device under the dummy driver: it opens, consumes what is
// queued in real time, and drives a live player on the music thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/audio/SdlAudio.h"
#include "support/SynthTestUtil.h"
#include "synth/MusicThread.h"

namespace kvx::synth {
namespace {

class SdlAudio : public ::testing::Test {
  protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 0); }
};

TEST_F(SdlAudio, QueueIsConsumedAndPositionAdvances) {
    auto dev = platform::makeSdlAudioDevice();
    ASSERT_TRUE(dev->open(kSampleRate, true));
    std::vector<int16_t> ring(10240, 0);
    dev->write(ring.data(), ring.size());
    uint32_t first = 0;
    ASSERT_TRUE(dev->position(first));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    uint32_t later = 0;
    ASSERT_TRUE(dev->position(later));
    EXPECT_GT(later, first);
    EXPECT_LE(later, 10240u * 2u + 1u);
    dev->reset();
    dev->close();
    uint32_t none = 0;
    EXPECT_FALSE(dev->position(none));
}

TEST_F(SdlAudio, StarvedQueueIsRefilledWithSilence) {
    auto dev = platform::makeSdlAudioDevice();
    ASSERT_TRUE(dev->open(kSampleRate, false));
    std::vector<int16_t> block(256, 0);
    dev->write(block.data(), block.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    uint32_t a = 0, b = 0;
    ASSERT_TRUE(dev->position(a));  // dry: a ring of silence is queued
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_TRUE(dev->position(b));
    EXPECT_GT(b, a);  // the device keeps playing
}

TEST_F(SdlAudio, LivePlayerRendersOnTheMusicThread) {
    Player player(platform::makeSdlAudioDevice());
    ASSERT_TRUE(player.parseConfig(
        test::compileText(test::monoHead() + "inst name=s index=0 channel=0\n  gen type=gSine\n")));
    ASSERT_TRUE(player.headAccepted());
    ASSERT_TRUE(player.parseSong(writeSong({{0, 0x90, 69, 127}, {100, 0x80, 69, 0}})));
    ASSERT_TRUE(startMusicThread(&player, &platform::raiseMusicThreadPriority));
    player.play();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(player.isPlaying());
    stopMusicThread(&player);
    EXPECT_TRUE(player.hasFinished());
    EXPECT_EQ(player.song().position(), 2u);
    // About 300 ms of blocks were rendered behind the device's position.
    EXPECT_GT(player.renderedFrames(), 30u * 256);
    EXPECT_LT(player.renderedFrames(), 80u * 256);
}

}  // namespace
}  // namespace kvx::synth
