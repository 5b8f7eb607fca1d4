// The transport keys and the show clock they steer.
#include <gtest/gtest.h>

#include "shell/Transport.h"

namespace kvx::shell {
namespace {

using platform::Key;
using platform::KeyPress;

TEST(Transport, TheClockStandsWhilePausedAndGoesOnFromTheHeldPicture) {
    Transport t(60000, 1000);  // show time 0 at clock reading 1000
    EXPECT_EQ(t.time(1000), 0u);
    EXPECT_EQ(t.time(1250), 250u);
    // Space while the picture of 240 ms is on screen.
    t.press(KeyPress{Key::Space}, 240, 1250);
    EXPECT_TRUE(t.paused());
    EXPECT_EQ(t.time(1250), 240u);
    EXPECT_EQ(t.time(9000), 240u);
    t.press(KeyPress{Key::Space}, 240, 9000);
    EXPECT_FALSE(t.paused());
    EXPECT_EQ(t.time(9000), 240u);
    EXPECT_EQ(t.time(9100), 340u);
    // A seek carried out: the clock goes on from where it landed.
    t.jump(5000, 9100);
    EXPECT_EQ(t.time(9150), 5050u);
}

TEST(Transport, SeeksAddUpAndStayInsideTheShow) {
    Transport t(30000, 0);
    EXPECT_FALSE(t.takeSeek());
    t.press(KeyPress{Key::Right}, 2000, 0);
    t.press(KeyPress{Key::Right, true}, 2000, 0);  // before the first was carried out
    EXPECT_EQ(t.takeSeek(), 13000u);
    EXPECT_FALSE(t.takeSeek());
    t.press(KeyPress{Key::Left}, 500, 0);
    EXPECT_EQ(t.takeSeek(), 0u);
    t.press(KeyPress{Key::Right, true}, 25000, 0);
    EXPECT_EQ(t.takeSeek(), 30000u);
    t.press(KeyPress{Key::Home}, 25000, 0);
    EXPECT_EQ(t.takeSeek(), 0u);
}

TEST(Transport, ALoopRangeSendsTheShowBackUntilClearedAndF1Toggles) {
    Transport t(30000, 0);
    t.frameShown(9000);
    EXPECT_FALSE(t.takeSeek());
    t.press(KeyPress{Key::LoopStart}, 4000, 0);
    EXPECT_FALSE(t.looping());  // no end yet
    t.frameShown(9000);
    EXPECT_FALSE(t.takeSeek());
    t.press(KeyPress{Key::LoopEnd}, 6000, 0);
    EXPECT_TRUE(t.looping());
    t.frameShown(5990);
    EXPECT_FALSE(t.takeSeek());
    t.frameShown(6000);
    EXPECT_EQ(t.takeSeek(), 4000u);
    // An end before the start is no loop.
    t.press(KeyPress{Key::LoopEnd}, 3000, 0);
    EXPECT_FALSE(t.looping());
    t.press(KeyPress{Key::LoopEnd}, 6000, 0);
    t.press(KeyPress{Key::Backspace}, 6000, 0);
    EXPECT_FALSE(t.loopStart());
    t.frameShown(7000);
    EXPECT_FALSE(t.takeSeek());

    EXPECT_FALSE(t.overlay());
    t.press(KeyPress{Key::F1}, 0, 0);
    EXPECT_TRUE(t.overlay());
    t.press(KeyPress{Key::F1}, 0, 0);
    EXPECT_FALSE(t.overlay());
}

}  // namespace
}  // namespace kvx::shell
