// End-to-end tests of runLauncher: the real window under a headless video
// driver, the skin read through the Vfs, and input queued from a second
// thread as if a user made it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "launcher/LauncherDialog.h"
#include "platform/launcher/LauncherWindow.h"
#include "shell/Launcher.h"
#include "vfs/Vfs.h"

using namespace kvx;
using Ev = platform::LauncherEvent;

namespace {

// Queues the events once the dialog's video is up (posting fails before).
void postAll(const std::vector<Ev>& events) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (const Ev& e : events) {
        while (!platform::postLauncherEvent(e)) {
            if (std::chrono::steady_clock::now() > deadline)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

std::vector<Ev> click(int x, int y) {
    return {{Ev::Type::MouseDown, x, y}, {Ev::Type::MouseUp, x, y}};
}

std::vector<Ev> operator+(std::vector<Ev> a, const std::vector<Ev>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A data directory of its own for every test, with or without a skin.
class LauncherRun : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("kvx_launcher_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.string());
        // Skip when there is no video at all.
        platform::VideoSession probe;
        if (!probe.ok())
            GTEST_SKIP() << "no video driver: " << probe.error();
    }
    void TearDown() override {
        vfs::Vfs::reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void writeSkin(const launcher::SkinImage& skin) {
        const std::vector<uint8_t> bytes = launcher::encodeSkin(skin);
        std::ofstream out(dir_ / "StandardConfig.tga", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    launcher::LaunchSettings runWith(const std::vector<Ev>& events) {
        std::thread user([events] { postAll(events); });
        const launcher::LaunchSettings s = shell::runLauncher();
        user.join();
        return s;
    }

    std::filesystem::path dir_;
};

}  // namespace

TEST_F(LauncherRun, GoGivesTheDefaults) {
    const launcher::LaunchSettings s = runWith(click(330, 130));
    EXPECT_FALSE(s.cancelled);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.bits, 32);
    EXPECT_TRUE(s.fullScreen);
    EXPECT_FLOAT_EQ(s.quality, 1.0f);
}

TEST_F(LauncherRun, WindowedUberAndGo) {
    // The quality list opens above its field; its last item is "Über".
    launcher::LauncherDialog layout;
    const launcher::Rect list = layout.qualityBox().list();
    const int uberY = list.y + 1 + 4 * launcher::DropDown::kItemHeight + 5;
    const launcher::LaunchSettings s =
        runWith(click(155, 90) + click(200, 125) + click(200, uberY) + click(330, 130));
    EXPECT_FALSE(s.cancelled);
    EXPECT_FALSE(s.fullScreen);
    EXPECT_FLOAT_EQ(s.quality, 4.0f);
}

TEST_F(LauncherRun, EscapeCancels) {
    const launcher::LaunchSettings s =
        runWith(click(155, 90) + std::vector<Ev>{{Ev::Type::Escape}});
    EXPECT_TRUE(s.cancelled);
    EXPECT_TRUE(s.fullScreen);  // nothing chosen is reported
}

TEST_F(LauncherRun, ClosingTheWindowCancels) {
    EXPECT_TRUE(runWith({{Ev::Type::Quit}}).cancelled);
}

TEST_F(LauncherRun, SkinFromTheVfsShapesTheInput) {
    // Left half transparent: the windowed box there does not react.
    launcher::SkinImage skin;
    skin.width = 100;
    skin.height = 40;
    skin.bits = 32;
    skin.rgba.assign(100u * 40u * 4u, 150);
    for (std::size_t y = 0; y < 40; ++y) {
        for (std::size_t x = 0; x < 50; ++x)
            skin.rgba[(y * 100 + x) * 4 + 3] = 0;
    }
    writeSkin(skin);
    const launcher::LaunchSettings s = runWith(click(155, 90) + click(330, 130));
    EXPECT_FALSE(s.cancelled);
    EXPECT_TRUE(s.fullScreen);
}

TEST_F(LauncherRun, OnlyOneDialogAtATime) {
    launcher::LaunchSettings second;
    std::thread user([&second] {
        // Once the first dialog's events are accepted it is running.
        postAll({{Ev::Type::MouseMove, 1, 1}});
        second = shell::runLauncher();
        postAll({{Ev::Type::Escape}});
    });
    const launcher::LaunchSettings first = shell::runLauncher();
    user.join();
    EXPECT_TRUE(second.cancelled);
    EXPECT_TRUE(first.cancelled);
}
