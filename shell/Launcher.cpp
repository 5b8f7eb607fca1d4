// Launcher: runs the dialog in its own window until "Go" or Escape.
#include "shell/Launcher.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "launcher/Font.h"
#include "launcher/LauncherDialog.h"
#include "launcher/LauncherLists.h"
#include "platform/launcher/LauncherWindow.h"
#include "vfs/Vfs.h"

namespace kvx::shell {

using namespace launcher;
namespace {

constexpr const char* kSkinName = "StandardConfig.tga";
constexpr const char* kTitle = "Morvane";
constexpr int kFontPixels = 12;
// How long one wait for input may take; short, so that an Escape held down
// without a key event (pressed before the window had the focus) is seen.
constexpr int kPollMs = 30;

// Only one dialog may run at a time.
std::atomic<bool> running{false};

class SdlDisplayModes : public DisplayModeSource {
  public:
    std::vector<DisplayMode> modes() const override {
        std::vector<DisplayMode> out;
        for (const platform::VideoMode& m : platform::listVideoModes())
            out.push_back({m.width, m.height, m.bits});
        return out;
    }
};

LaunchSettings cancelled() {
    LaunchSettings s;
    s.cancelled = true;
    return s;
}

LauncherInput toInput(const platform::LauncherEvent& e) {
    using T = platform::LauncherEvent::Type;
    LauncherInput in;
    in.x = e.x;
    in.y = e.y;
    in.wheel = e.wheel;
    switch (e.type) {
        case T::MouseDown:
            in.type = LauncherInput::Type::MouseDown;
            break;
        case T::MouseUp:
            in.type = LauncherInput::Type::MouseUp;
            break;
        case T::Wheel:
            in.type = LauncherInput::Type::Wheel;
            break;
        case T::Escape:
        case T::Quit:
            in.type = LauncherInput::Type::Escape;
            break;
        case T::MouseMove:
        case T::Redraw:
            in.type = LauncherInput::Type::MouseMove;
            break;
    }
    return in;
}

LaunchSettings runDialog() {
    platform::VideoSession video;
    if (!video.ok()) {
        std::fprintf(stderr, "launcher: no video: %s\n", video.error().c_str());
        platform::showWarning("Error!", "Window Registration Failed!");
        return cancelled();
    }

    std::optional<SkinImage> skin;
    if (auto bytes = vfs::Vfs::readAll(kSkinName))
        skin = parseSkin(*bytes);
    LauncherDialog dialog(offeredModeRows(SdlDisplayModes().modes()), std::move(skin));

    std::string error;
    auto window = platform::LauncherWindow::create(
        kTitle, LauncherDialog::kWidth, LauncherDialog::kHeight, dialog.shapeMask(), error);
    if (!window) {
        std::fprintf(stderr, "launcher: %s\n", error.c_str());
        platform::showWarning("Error!", "Window Creation Failed!");
        return cancelled();
    }

    const std::unique_ptr<Font> font = Font::loadDefault(kFontPixels);
    Canvas canvas(LauncherDialog::kWidth, LauncherDialog::kHeight);
    bool dirty = true;
    while (dialog.state() == DialogState::Running) {
        if (window->escapeDown()) {
            dialog.handle({LauncherInput::Type::Escape});
            break;
        }
        if (dirty) {
            dialog.render(canvas, font.get());
            window->present(canvas.data());
            dirty = false;
        }
        platform::LauncherEvent event;
        if (!window->waitEvent(event, kPollMs))
            continue;
        const bool wasDragging = dialog.dragging();
        dialog.handle(toInput(event));
        if (dialog.dragging() && !wasDragging)
            window->beginDrag();
        if (!dialog.dragging() && wasDragging)
            window->endDrag();
        if (dialog.dragging() && event.type == platform::LauncherEvent::Type::MouseMove) {
            window->follow();
        } else {
            dirty = true;
        }
    }
    return dialog.settings();
}

}  // namespace

LaunchSettings runLauncher() {
    if (running.exchange(true))
        return cancelled();
    LaunchSettings result = runDialog();
    running.store(false);
    return result;
}

}  // namespace kvx::shell
