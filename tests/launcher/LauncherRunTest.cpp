// End-to-end tests of runLauncher: the real window under a headless video
// driver, the skin read through the Vfs, and input queued from a second
// thread as if a user made it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/launcher/LauncherWindow.h"
#include "platform/video/Video.h"
#include "shell/Launcher.h"
#include "support/LauncherInput.h"
#include "support/TgaBuilder.h"
#include "vfs/Vfs.h"

using namespace kvx;
using test::UserInput;

namespace {

// Waits for the dialog to run, then queues the input.
void postAll(const std::vector<UserInput>& input) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!shell::launcherRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (const UserInput& in : input)
        test::push(in);
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
        if (!platform::initVideo())
            GTEST_SKIP() << "no video driver";
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        vfs::Vfs::reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void writeSkin(const std::vector<uint8_t>& bytes) {
        std::ofstream out(dir_ / "StandardConfig.tga", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    launcher::LaunchSettings runWith(const std::vector<UserInput>& input) {
        std::thread user([input] { postAll(input); });
        const launcher::LaunchSettings s = shell::runLauncher();
        user.join();
        return s;
    }

    std::filesystem::path dir_;
};

}  // namespace

TEST_F(LauncherRun, GoGivesTheDefaults) {
    const launcher::LaunchSettings s = runWith(test::click(330, 130));
    EXPECT_FALSE(s.cancelled);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.bits, 32);
    EXPECT_TRUE(s.fullScreen);
    EXPECT_FLOAT_EQ(s.quality, 1.0f);
}

TEST_F(LauncherRun, WindowedUberAndGo) {
    // The quality list opens above its field; its last row is "Über".
    const int uberY =
        launcher::kQualityBox.y - launcher::kListMargin - launcher::kListRowHeight / 2;
    const launcher::LaunchSettings s = runWith(test::click(155, 90) + test::click(200, 125) +
                                               test::click(200, uberY) + test::click(330, 130));
    EXPECT_FALSE(s.cancelled);
    EXPECT_FALSE(s.fullScreen);
    EXPECT_FLOAT_EQ(s.quality, 4.0f);
}

TEST_F(LauncherRun, KeyboardAlone) {
    // Tab to the windowed box, Space, Shift+Tab back to the mode box, Enter
    // opens it, Down picks "800 x 600, 16 bit", then Tab three times to "Go".
    const launcher::LaunchSettings s =
        runWith(test::keys({SDLK_TAB, SDLK_TAB, SDLK_SPACE}) + test::keys({SDLK_TAB}, true) +
                test::keys({SDLK_RETURN, SDLK_DOWN, SDLK_RETURN, SDLK_TAB, SDLK_TAB, SDLK_TAB,
                            SDLK_RETURN}));
    EXPECT_FALSE(s.cancelled);
    EXPECT_FALSE(s.fullScreen);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.bits, 16);
}

TEST_F(LauncherRun, EscapeCancels) {
    const launcher::LaunchSettings s = runWith(test::click(155, 90) + test::keys({SDLK_ESCAPE}));
    EXPECT_TRUE(s.cancelled);
    EXPECT_TRUE(s.fullScreen);  // nothing chosen is reported
}

TEST_F(LauncherRun, EscapeBeforeTheWindowOpensClosesItAtOnce) {
    ASSERT_TRUE(test::push({UserInput::Type::Key, 0, 0, SDLK_ESCAPE}));
    EXPECT_TRUE(shell::runLauncher().cancelled);
}

TEST_F(LauncherRun, ClosingTheWindowCancels) {
    EXPECT_TRUE(runWith({{UserInput::Type::Quit}}).cancelled);
}

TEST_F(LauncherRun, SkinFromTheVfsShapesTheInput) {
    // 100 x 40, left half transparent: the windowed box there does not react.
    writeSkin(
        test::makeTga(100, 40, 32, [](int x, int, int c) { return c < 3 || x >= 50 ? 150 : 0; }));
    const launcher::LaunchSettings s = runWith(test::click(155, 90) + test::click(330, 130));
    EXPECT_FALSE(s.cancelled);
    EXPECT_TRUE(s.fullScreen);
}

TEST_F(LauncherRun, OnlyOneDialogAtATime) {
    launcher::LaunchSettings second;
    std::thread user([&second] {
        postAll({});  // waits for the first dialog
        second = shell::runLauncher();
        postAll(test::keys({SDLK_ESCAPE}));
    });
    const launcher::LaunchSettings first = shell::runLauncher();
    user.join();
    EXPECT_TRUE(second.cancelled);
    EXPECT_TRUE(first.cancelled);
}

TEST_F(LauncherRun, ScreenshotShowsTheDialog) {
    const std::filesystem::path png = dir_ / "launcher.png";
    std::string error;
    ASSERT_TRUE(shell::writeLauncherScreenshot(png.string(), &error)) << error;
    std::ifstream in(png, std::ios::binary);
    char magic[8] = {};
    in.read(magic, 8);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
    EXPECT_GT(std::filesystem::file_size(png), 1000u);
}
