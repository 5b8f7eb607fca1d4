// Launcher: joins the launcher's lists and skin to its window.
#include "shell/Launcher.h"

#include <atomic>
#include <cstdio>

#include "platform/launcher/LauncherWindow.h"
#include "platform/video/Video.h"
#include "shell/PngWriter.h"
#include "vfs/Vfs.h"

namespace kvx::shell {
namespace {

using launcher::LaunchSettings;

constexpr const char* kSkinName = "StandardConfig.tga";
// How long one wait for input may take: short, so that an Escape held down
// without a key event (pressed before the window had the focus) is seen.
constexpr int kPollMs = 30;

std::atomic<bool> running{false};

LaunchSettings cancelled() {
    LaunchSettings s;
    s.cancelled = true;
    return s;
}

std::unique_ptr<platform::LauncherWindow> openDialog() {
    if (!platform::initVideo()) {
        platform::messageBox("Error!", "Window Registration Failed!", true);
        return nullptr;
    }
    std::optional<launcher::SkinImage> skin;
    if (auto bytes = vfs::Vfs::readAll(kSkinName))
        skin = launcher::parseSkin(*bytes);
    std::vector<launcher::DisplayMode> modes;
    for (const platform::DisplayMode& m : platform::displayModes())
        modes.push_back({m.width, m.height, m.bits});
    std::string error;
    auto window = platform::LauncherWindow::create(
        launcher::LauncherChoice(launcher::offeredModeRows(modes)), skin, error);
    if (!window) {
        std::fprintf(stderr, "launcher: %s\n", error.c_str());
        platform::messageBox("Error!", "Window Creation Failed!", true);
    }
    return window;
}

}  // namespace

LaunchSettings runLauncher() {
    if (running.exchange(true))
        return cancelled();
    LaunchSettings result = cancelled();
    if (auto window = openDialog()) {
        while (window->step(kPollMs) == launcher::DialogState::Running) {
        }
        result = window->view().choice.settings();
    }
    running.store(false);
    return result;
}

bool launcherRunning() {
    return running.load();
}

bool writeLauncherScreenshot(const std::string& path, std::string* error) {
    auto window = openDialog();
    if (!window) {
        if (error != nullptr)
            *error = "no launcher window";
        return false;
    }
    // Let the window come up (and the window manager draw it) first.
    for (int i = 0; i < 10; ++i)
        window->step(20);
    const std::vector<uint8_t> rgba = window->pixels();
    return writePng(path, rgba.data(), launcher::kDialogWidth, launcher::kDialogHeight, 4, error);
}

}  // namespace kvx::shell
