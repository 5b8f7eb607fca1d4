// LauncherDialog: everything the launcher window shows and does, without a
// window. The platform side feeds it input and shows what render() paints.
//
// The dialog is 500 x 200 pixels. Controls (x, y, w, h):
//   mode box       150,  50, 200, 100   drop-down list of display modes
//   quality box    150, 120, 150, 100   drop-down list of quality levels
//   windowed box   150,  85,  15,  15   check box, unchecked
//   start button   310, 120,  40,  25   "Go"
// The heights of the two lists include their open part; closed, each shows
// only its field. Without a skin the labels "mode", "windowed" and "quality"
// are drawn; with one the stretched skin replaces the grey face and the
// labels (the picture carries its own).
//
// Input: Escape ends the dialog as cancelled at any moment. A press on no
// control drags the window; a press where a skin's shape cuts the window
// away does nothing (a shaped window gets no such presses anyway, a plain
// fallback window does). The check box and the start button act when the
// button is released over them, so a press can still be taken back.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "launcher/Canvas.h"
#include "launcher/DropDown.h"
#include "launcher/LaunchSettings.h"
#include "launcher/Skin.h"

namespace kvx::launcher {

class Font;

struct LauncherInput {
    enum class Type { MouseDown, MouseUp, MouseMove, Wheel, Escape };
    Type type = Type::MouseMove;
    int x = 0;
    int y = 0;
    int wheel = 0;  // notches; positive scrolls up
};

enum class Widget { None, ModeBox, QualityBox, WindowedBox, StartButton, ModeList, QualityList };

enum class DialogState { Running, Started, Cancelled };

class LauncherDialog {
  public:
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 200;
    static constexpr Rect kModeBox{150, 50, 200, 100};
    static constexpr Rect kQualityBox{150, 120, 150, 100};
    static constexpr Rect kWindowedBox{150, 85, 15, 15};
    static constexpr Rect kStartButton{310, 120, 40, 25};

    // offeredModeRows: the display-mode rows to list (see LauncherLists.h);
    // empty means all ten.
    explicit LauncherDialog(std::vector<int> offeredModeRows = {},
                            std::optional<SkinImage> skin = std::nullopt);

    const std::optional<SkinImage>& skin() const { return skin_; }
    // The window's shape (kWidth * kHeight bytes, 1 = inside), or empty for a
    // plain rectangle.
    const std::vector<uint8_t>& shapeMask() const { return shape_; }
    bool insideShape(int x, int y) const;

    // The control under x, y; an open list is above every other control.
    Widget hitTest(int x, int y) const;

    void handle(const LauncherInput& input);
    DialogState state() const { return state_; }
    // True from a press on no control until the button is released; the
    // window follows the pointer meanwhile.
    bool dragging() const { return dragging_; }

    // The choice as the controls show it now, with cancelled set when the
    // dialog was cancelled (the other fields then keep their defaults).
    LaunchSettings settings() const;

    // Paints the whole dialog into a kWidth x kHeight canvas; without a font
    // no words are drawn.
    void render(Canvas& canvas, const Font* font) const;

    DropDown& modeBox() { return mode_; }
    const DropDown& modeBox() const { return mode_; }
    DropDown& qualityBox() { return quality_; }
    const DropDown& qualityBox() const { return quality_; }
    bool windowedChecked() const { return windowed_; }
    bool startPressed() const { return pressed_ == Widget::StartButton && overPressed_; }

  private:
    void mouseDown(int x, int y);
    void mouseUp(int x, int y);
    void mouseMove(int x, int y);
    DropDown* openList();

    std::optional<SkinImage> skin_;
    std::vector<uint8_t> shape_;
    DropDown mode_;
    DropDown quality_;
    bool windowed_ = false;
    DialogState state_ = DialogState::Running;
    bool dragging_ = false;
    Widget pressed_ = Widget::None;  // check box or start button held down
    bool overPressed_ = false;       // the pointer is still over it
};

}  // namespace kvx::launcher
