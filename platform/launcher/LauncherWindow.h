// LauncherWindow: the launcher dialog on screen.
//
// A borderless window of the dialog's size, centred on the first display,
// in which Dear ImGui draws the lists, the check box and "Go" where
// launcher/LauncherLists.h puts them, over the skin stretched across the
// window or, without one, a grey face with labels. A skin with alpha shapes
// the window where the video driver can (shaped() tells), and presses where
// it cuts the window away are ignored either way.
//
// Mouse: a press on no control drags the window; the check box and "Go" act
// when released over them; an open list takes the next press. Keyboard: Tab
// and Shift+Tab move between the controls, the arrows in an open list, and
// Enter or Space activate (a list opens or picks, the box toggles, "Go"
// starts). Escape, at any moment, and closing the window cancel.
//
// Main thread only, after platform::initVideo(); one window at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "launcher/LauncherLists.h"
#include "launcher/Skin.h"

namespace kvx::platform {

class LauncherWindow {
  public:
    // Null, with the reason in error, when no window can be made.
    static std::unique_ptr<LauncherWindow> create(launcher::LauncherChoice choice,
                                                  const std::optional<launcher::SkinImage>& skin,
                                                  std::string& error);
    ~LauncherWindow();
    LauncherWindow(const LauncherWindow&) = delete;
    LauncherWindow& operator=(const LauncherWindow&) = delete;

    // Waits up to timeoutMs for input, handles all that is queued, redraws,
    // and returns the dialog's state.
    launcher::DialogState step(int timeoutMs);

    // What the window shows: the choice, whether it is shaped and being
    // dragged, and the open list (empty when every list is closed).
    struct View {
        launcher::LauncherChoice choice;
        bool shaped = false, dragging = false;
        launcher::Rect openList;
    };
    const View& view() const;
    // Draws a frame and returns it: RGBA rows, top first, alpha 0 where the
    // shape cuts the window away.
    std::vector<uint8_t> pixels();

  private:
    struct Impl;
    explicit LauncherWindow(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kvx::platform
