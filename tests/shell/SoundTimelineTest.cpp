// The sound timeline: the state it gives for any frame continues exactly as
// a player that played every frame of the step from 0.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "shell/SoundTimeline.h"
#include "synth/AudioDevice.h"
#include "synth/Player.h"

namespace kvx::shell {
namespace {

vfs::Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return vfs::Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Music {
    vfs::Bytes config = fileBytes(std::string(KVX_SOURCE_DIR) + "/examples/music/config.sp");
    vfs::Bytes song = fileBytes(std::string(KVX_SOURCE_DIR) + "/examples/music/music.m");

    std::unique_ptr<synth::Player> player(synth::MemoryAudioDevice*& device) const {
        auto d = std::make_unique<synth::MemoryAudioDevice>();
        device = d.get();
        auto p = std::make_unique<synth::Player>(std::move(d), synth::Player::Mode::Lockstep);
        EXPECT_TRUE(p->parseConfig(config));
        EXPECT_TRUE(p->parseSong(song));
        p->play();
        return p;
    }
};

TEST(SoundTimeline, TheStateBeforeAnyFrameGoesOnAsAStraightRun) {
    const Music music;
    const FrameStep step{30};
    const uint64_t last = 200;  // 6.6 s: three checkpoints and more
    synth::MemoryAudioDevice* device = nullptr;
    auto straight = music.player(device);
    for (uint64_t k = 0; k <= last; ++k) {
        straight->advanceTo(step.time(k));
    }
    const std::vector<int16_t> all = device->take();
    const size_t channels = device->stereo() ? 2 : 1;

    SoundTimeline timeline(music.config, music.song, step, step.time(last));
    ASSERT_FALSE(timeline.failed());
    for (uint64_t frame : {0u, 1u, 59u, 60u, 61u, 137u}) {
        auto player = music.player(device);
        const auto state = timeline.stateBefore(frame);
        ASSERT_NE(state, nullptr);
        ASSERT_TRUE(player->restoreState(*state));
        const size_t from = static_cast<size_t>(player->renderedFrames()) * channels;
        for (uint64_t k = frame; k <= last; ++k) {
            player->advanceTo(step.time(k));
        }
        const std::vector<int16_t> tail = device->take();
        ASSERT_EQ(from + tail.size(), all.size()) << "frame " << frame;
        EXPECT_TRUE(std::equal(tail.begin(), tail.end(), all.begin() + static_cast<long>(from)))
            << "frame " << frame;
    }
    timeline.waitRehearsed();
    // A checkpoint every two seconds of song, and one at the end.
    EXPECT_GE(timeline.checkpointCount(), 4u);
}

TEST(SoundTimeline, AConfigurationThatDoesNotLoadFails) {
    SoundTimeline timeline(vfs::Bytes{1, 2, 3}, vfs::Bytes{}, FrameStep{}, 1000);
    EXPECT_TRUE(timeline.failed());
    EXPECT_EQ(timeline.stateBefore(10), nullptr);
    timeline.waitRehearsed();  // returns at once
}

}  // namespace
}  // namespace kvx::shell
