// Rendering allocates nothing: a counting global operator new watches a
// player render a busy song after loading.
#include <gtest/gtest.h>

#include "support/SynthTestUtil.h"
#include "tests/support/CountingNew.h"

namespace kvx::synth {
namespace {

TEST(Allocation, RenderingAllocatesNothingPerBlock) {
    auto dev = std::make_unique<NullAudioDevice>();
    NullAudioDevice* d = dev.get();
    Player player(std::move(dev), Player::Mode::Lockstep);
    std::string text =
        test::monoHead(4, true) + "cefx channel=0\n  effect slot=0 type=eLPF hz=3000 res=20\n";
    for (int i = 0; i < 4; ++i) {
        text += "inst name=i index=" + std::to_string(i) + " channel=" + std::to_string(i) +
                " lforate=120 lfodest=5 lfodepth=30 flags=16\n"
                "  seq length=4\n  steps 63 4159 63 16777279 63 63 63 63 63 63 63 63 63 63 63 63\n"
                "  gen slot=0 type=gSaw spread=10\n  gen slot=1 type=gNoice level=20\n"
                "  gen slot=2 type=gTriangle\n  gen slot=3 type=gSquare pitch=7\n"
                "  fx slot=0 type=eMoogVCF cutoff=20 resonance=30 cutdepth=10\n"
                "  amp 10:1 100:0.5 200:0\n  pan 50:0.5 50:-0.5\n";
    }
    ASSERT_TRUE(player.parseConfig(test::compileText(text)));
    std::vector<SongEvent> events;
    for (int i = 0; i < 400; ++i) {
        events.push_back(
            {i * 5, static_cast<uint8_t>(0x90 | (i % 4)), static_cast<uint8_t>(40 + i % 30), 100});
        events.push_back(
            {i * 5 + 3, static_cast<uint8_t>(0xE0 | (i % 4)), 0, static_cast<uint8_t>(i % 128)});
        events.push_back({i * 5 + 4, static_cast<uint8_t>(0x80 | (i % 4)),
                          static_cast<uint8_t>(40 + (i + 7) % 30), 0});
    }
    ASSERT_TRUE(player.parseSong(writeSong(events)));
    player.play();
    player.advanceTo(50);  // first use of the tables
    const long before = kvx::test::allocationCount().load();
    player.advanceTo(2500);
    EXPECT_EQ(kvx::test::allocationCount().load(), before);
    EXPECT_GT(d->written(), 2000u * 88u);
}

}  // namespace
}  // namespace kvx::synth
