// LauncherDialog: input handling and painting of the launcher's controls.
#include "launcher/LauncherDialog.h"

#include "launcher/Font.h"
#include "launcher/LauncherLists.h"
#include "launcher/Theme.h"

namespace kvx::launcher {
namespace {

DropDown makeModeBox(const std::vector<int>& offered, int windowHeight) {
    std::vector<int> rows;
    for (int r : offered) {
        if (r >= 0 && r < kModeRowCount)
            rows.push_back(r);
    }
    if (rows.empty())
        rows = offeredModeRows({});
    std::vector<DropDown::Item> items;
    for (int r : rows)
        items.push_back({modeRow(r).text, r});
    return DropDown(LauncherDialog::kModeBox, std::move(items), initialModeIndex(rows),
                    windowHeight);
}

std::vector<DropDown::Item> qualityItems() {
    std::vector<DropDown::Item> items;
    for (int i = 0; i < kQualityItemCount; ++i)
        items.push_back({qualityItem(i).text, qualityItem(i).data});
    return items;
}

}  // namespace

LauncherDialog::LauncherDialog(std::vector<int> offeredModeRows, std::optional<SkinImage> skin)
    : skin_(std::move(skin)),
      mode_(makeModeBox(offeredModeRows, kHeight)),
      quality_(kQualityBox, qualityItems(), kDefaultQualityItem, kHeight) {
    if (skin_)
        shape_ = buildShapeMask(*skin_, kWidth, kHeight);
}

bool LauncherDialog::insideShape(int x, int y) const {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight)
        return false;
    if (shape_.empty())
        return true;
    return shape_[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)] != 0;
}

DropDown* LauncherDialog::openList() {
    if (mode_.isOpen())
        return &mode_;
    if (quality_.isOpen())
        return &quality_;
    return nullptr;
}

Widget LauncherDialog::hitTest(int x, int y) const {
    if (mode_.isOpen() && mode_.list().contains(x, y))
        return Widget::ModeList;
    if (quality_.isOpen() && quality_.list().contains(x, y))
        return Widget::QualityList;
    if (mode_.field().contains(x, y))
        return Widget::ModeBox;
    if (quality_.field().contains(x, y))
        return Widget::QualityBox;
    if (kWindowedBox.contains(x, y))
        return Widget::WindowedBox;
    if (kStartButton.contains(x, y))
        return Widget::StartButton;
    return Widget::None;
}

void LauncherDialog::handle(const LauncherInput& input) {
    if (state_ != DialogState::Running)
        return;
    switch (input.type) {
        case LauncherInput::Type::Escape:
            state_ = DialogState::Cancelled;
            dragging_ = false;
            break;
        case LauncherInput::Type::MouseDown:
            mouseDown(input.x, input.y);
            break;
        case LauncherInput::Type::MouseUp:
            mouseUp(input.x, input.y);
            break;
        case LauncherInput::Type::MouseMove:
            mouseMove(input.x, input.y);
            break;
        case LauncherInput::Type::Wheel:
            if (DropDown* list = openList())
                list->scroll(-input.wheel);
            break;
    }
}

void LauncherDialog::mouseDown(int x, int y) {
    if (DropDown* list = openList()) {
        // An open list takes the next press: inside it picks or scrolls,
        // anywhere else it only closes the list.
        if (!list->pressInList(x, y))
            list->close();
        return;
    }
    if (!insideShape(x, y))
        return;
    switch (hitTest(x, y)) {
        case Widget::ModeBox:
            mode_.open();
            break;
        case Widget::QualityBox:
            quality_.open();
            break;
        case Widget::WindowedBox:
        case Widget::StartButton:
            pressed_ = hitTest(x, y);
            overPressed_ = true;
            break;
        case Widget::None:
            dragging_ = true;
            break;
        case Widget::ModeList:
        case Widget::QualityList:
            break;  // closed lists are never hit
    }
}

void LauncherDialog::mouseUp(int x, int y) {
    dragging_ = false;
    const Widget pressed = pressed_;
    pressed_ = Widget::None;
    overPressed_ = false;
    if (pressed == Widget::None || hitTest(x, y) != pressed)
        return;
    if (pressed == Widget::WindowedBox)
        windowed_ = !windowed_;
    if (pressed == Widget::StartButton)
        state_ = DialogState::Started;
}

void LauncherDialog::mouseMove(int x, int y) {
    if (pressed_ != Widget::None)
        overPressed_ = hitTest(x, y) == pressed_;
    if (DropDown* list = openList())
        list->setHot(list->itemAt(x, y));
}

LaunchSettings LauncherDialog::settings() const {
    LaunchSettings s;
    if (state_ == DialogState::Cancelled) {
        s.cancelled = true;
        return s;
    }
    const ModeRow& row = modeRow(mode_.selectedItem().data);
    s.width = row.width;
    s.height = row.height;
    s.bits = row.bits;
    s.quality = qualityForData(quality_.selectedItem().data);
    s.fullScreen = !windowed_;
    return s;
}

void LauncherDialog::render(Canvas& canvas, const Font* font) const {
    if (skin_) {
        // The picture is stretched over the window, nearest pixel.
        for (int y = 0; y < canvas.height(); ++y) {
            const int sy = stretchSampleIndex(y, skin_->height, canvas.height());
            for (int x = 0; x < canvas.width(); ++x) {
                const uint8_t* p =
                    skin_->pixel(stretchSampleIndex(x, skin_->width, canvas.width()), sy);
                canvas.set(x, y, Color{p[0], p[1], p[2], 255});
            }
        }
    } else {
        canvas.fillAll(theme::kFace);
        if (font != nullptr) {
            font->draw(canvas, 150, 35, "mode", theme::kText);
            font->draw(canvas, 170, 84, "windowed", theme::kText);
            font->draw(canvas, 150, 105, "quality", theme::kText);
        }
    }

    mode_.drawField(canvas, font);
    quality_.drawField(canvas, font);

    canvas.fill(kWindowedBox, theme::kWindow);
    theme::sunkenEdge(canvas, kWindowedBox);
    if (windowed_)
        theme::checkMark(canvas, kWindowedBox, theme::kText);

    const bool down = startPressed();
    theme::button(canvas, kStartButton, down);
    if (font != nullptr) {
        const int tw = font->measure("Go");
        const int tx = kStartButton.x + (kStartButton.w - tw) / 2 + (down ? 1 : 0);
        const int ty = kStartButton.y + (kStartButton.h - font->lineHeight()) / 2 + (down ? 1 : 0);
        font->draw(canvas, tx, ty, "Go", theme::kText, kStartButton);
    }

    // Open lists lie above everything else.
    mode_.drawList(canvas, font);
    quality_.drawList(canvas, font);
}

}  // namespace kvx::launcher
