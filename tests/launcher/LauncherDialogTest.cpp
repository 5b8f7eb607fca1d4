// Tests of the launcher dialog's controls, input and result, without a window.
#include <gtest/gtest.h>

#include "launcher/LauncherDialog.h"
#include "launcher/LauncherLists.h"

using namespace kvx::launcher;

namespace {

using Type = LauncherInput::Type;

void click(LauncherDialog& d, int x, int y) {
    d.handle({Type::MouseDown, x, y});
    d.handle({Type::MouseUp, x, y});
}

// Picks item index (0-based within the list) of a drop-down by opening it,
// scrolling it into view and clicking the item's row.
void pick(LauncherDialog& d, DropDown& box, std::size_t index) {
    const Rect f = box.field();
    click(d, f.x + 5, f.y + 5);
    ASSERT_TRUE(box.isOpen());
    box.scroll(-100);
    box.scroll(static_cast<int>(index));
    const Rect l = box.list();
    const int row = static_cast<int>(index - box.firstVisible());
    click(d, l.x + 20, l.y + 1 + row * DropDown::kItemHeight + 3);
    ASSERT_FALSE(box.isOpen());
}

void pressGo(LauncherDialog& d) {
    click(d, 330, 130);
}

SkinImage skinWithAlpha(int w, int h, bool leftHalfTransparent) {
    SkinImage s;
    s.width = w;
    s.height = h;
    s.bits = 32;
    s.rgba.assign(static_cast<std::size_t>(w * h) * 4, 200);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            s.rgba[(static_cast<std::size_t>(y * w + x)) * 4 + 3] = leftHalfTransparent ? 0 : 255;
        }
    }
    return s;
}

}  // namespace

TEST(LauncherDialog, GoWithoutTouchingGivesTheDefaults) {
    LauncherDialog d;
    EXPECT_EQ(d.state(), DialogState::Running);
    pressGo(d);
    EXPECT_EQ(d.state(), DialogState::Started);
    const LaunchSettings s = d.settings();
    EXPECT_FALSE(s.cancelled);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.bits, 32);
    EXPECT_TRUE(s.fullScreen);
    EXPECT_FLOAT_EQ(s.quality, 1.0f);
    EXPECT_FLOAT_EQ(s.aspect, 4.0f / 3.0f);
}

TEST(LauncherDialog, ControlsSitWhereTheLayoutSays) {
    LauncherDialog d;
    EXPECT_EQ(d.hitTest(150, 50), Widget::ModeBox);
    EXPECT_EQ(d.hitTest(349, 50 + DropDown::kFieldHeight - 1), Widget::ModeBox);
    EXPECT_EQ(d.hitTest(350, 55), Widget::None);
    // Closed, a list is only its field: below it is free space.
    EXPECT_EQ(d.hitTest(200, 50 + DropDown::kFieldHeight + 2), Widget::None);
    EXPECT_EQ(d.hitTest(150, 120), Widget::QualityBox);
    EXPECT_EQ(d.hitTest(299, 125), Widget::QualityBox);
    EXPECT_EQ(d.hitTest(300, 125), Widget::None);
    EXPECT_EQ(d.hitTest(150, 85), Widget::WindowedBox);
    EXPECT_EQ(d.hitTest(164, 99), Widget::WindowedBox);
    EXPECT_EQ(d.hitTest(165, 99), Widget::None);
    EXPECT_EQ(d.hitTest(310, 120), Widget::StartButton);
    EXPECT_EQ(d.hitTest(349, 144), Widget::StartButton);
    EXPECT_EQ(d.hitTest(350, 144), Widget::None);
    EXPECT_EQ(d.hitTest(0, 0), Widget::None);
    EXPECT_EQ(d.modeBox().count(), 10u);
    EXPECT_EQ(d.modeBox().selectedItem().text, "800 x 600, 32 bit");
    EXPECT_EQ(d.qualityBox().selectedItem().text, "Normal");
}

TEST(LauncherDialog, PickingEveryModeAndQuality) {
    for (std::size_t row = 0; row < 10; ++row) {
        SCOPED_TRACE(row);
        LauncherDialog d;
        pick(d, d.modeBox(), row);
        pressGo(d);
        const LaunchSettings s = d.settings();
        EXPECT_EQ(s.width, modeRow(static_cast<int>(row)).width);
        EXPECT_EQ(s.height, modeRow(static_cast<int>(row)).height);
        EXPECT_EQ(s.bits, modeRow(static_cast<int>(row)).bits);
    }
    const float quality[] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
    for (std::size_t item = 0; item < 5; ++item) {
        SCOPED_TRACE(item);
        LauncherDialog d;
        pick(d, d.qualityBox(), item);
        pressGo(d);
        EXPECT_FLOAT_EQ(d.settings().quality, quality[item]);
    }
}

TEST(LauncherDialog, UberQualityIsFour) {
    LauncherDialog d;
    pick(d, d.qualityBox(), 4);
    EXPECT_EQ(d.qualityBox().selectedItem().text,
              "\xC3\x9C"
              "ber");
    pressGo(d);
    EXPECT_FLOAT_EQ(d.settings().quality, 4.0f);
}

TEST(LauncherDialog, WindowedBoxTogglesOnRelease) {
    LauncherDialog d;
    d.handle({Type::MouseDown, 155, 90});
    EXPECT_FALSE(d.windowedChecked());
    d.handle({Type::MouseUp, 155, 90});
    EXPECT_TRUE(d.windowedChecked());
    // Released elsewhere, the press is taken back.
    d.handle({Type::MouseDown, 155, 90});
    d.handle({Type::MouseMove, 400, 10});
    d.handle({Type::MouseUp, 400, 10});
    EXPECT_TRUE(d.windowedChecked());
    pressGo(d);
    EXPECT_FALSE(d.settings().fullScreen);
    EXPECT_TRUE(d.settings().windowed());
}

TEST(LauncherDialog, StartButtonActsOnlyWhenReleasedOverIt) {
    LauncherDialog d;
    d.handle({Type::MouseDown, 320, 130});
    EXPECT_TRUE(d.startPressed());
    d.handle({Type::MouseMove, 200, 10});
    EXPECT_FALSE(d.startPressed());
    d.handle({Type::MouseUp, 200, 10});
    EXPECT_EQ(d.state(), DialogState::Running);
    // A press elsewhere released over the button does not start either.
    d.handle({Type::MouseDown, 450, 180});
    d.handle({Type::MouseUp, 320, 130});
    EXPECT_EQ(d.state(), DialogState::Running);
    pressGo(d);
    EXPECT_EQ(d.state(), DialogState::Started);
}

TEST(LauncherDialog, EscapeCancelsAndFreezesTheDialog) {
    LauncherDialog d;
    pick(d, d.modeBox(), 0);
    d.handle({Type::Escape});
    EXPECT_EQ(d.state(), DialogState::Cancelled);
    pressGo(d);  // too late
    EXPECT_EQ(d.state(), DialogState::Cancelled);
    const LaunchSettings s = d.settings();
    EXPECT_TRUE(s.cancelled);
    // A cancelled dialog reports nothing of what was chosen.
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
}

TEST(LauncherDialog, PressOnNoControlDrags) {
    LauncherDialog d;
    d.handle({Type::MouseDown, 20, 20});
    EXPECT_TRUE(d.dragging());
    d.handle({Type::MouseMove, 60, 40});
    EXPECT_TRUE(d.dragging());
    d.handle({Type::MouseUp, 60, 40});
    EXPECT_FALSE(d.dragging());
    // Labels are no controls: "windowed" next to its box drags too.
    d.handle({Type::MouseDown, 180, 90});
    EXPECT_TRUE(d.dragging());
    d.handle({Type::MouseUp, 180, 90});
    // Presses on controls never drag.
    d.handle({Type::MouseDown, 155, 90});
    EXPECT_FALSE(d.dragging());
    d.handle({Type::MouseUp, 155, 90});
    d.handle({Type::Escape});
    EXPECT_FALSE(d.dragging());
}

TEST(LauncherDialog, OpenListTakesTheNextPress) {
    LauncherDialog d;
    click(d, 160, 55);
    ASSERT_TRUE(d.modeBox().isOpen());
    EXPECT_EQ(d.hitTest(160, d.modeBox().list().y + 3), Widget::ModeList);
    // A press outside closes the list and does nothing else: no drag.
    d.handle({Type::MouseDown, 450, 180});
    EXPECT_FALSE(d.modeBox().isOpen());
    EXPECT_FALSE(d.dragging());
    d.handle({Type::MouseUp, 450, 180});
    // The open list covers the start button: a press there picks an item
    // and does not start.
    click(d, 160, 55);
    click(d, 330, 130);
    EXPECT_FALSE(d.modeBox().isOpen());
    EXPECT_EQ(d.state(), DialogState::Running);
    EXPECT_EQ(d.modeBox().selectedItem().text, "640 x 480, 16 bit");
    d.modeBox().select(4);
    d.handle({Type::MouseDown, 10, 10});
    EXPECT_TRUE(d.dragging());  // the list is gone, so this one drags
    d.handle({Type::MouseUp, 10, 10});
    // Pressing the field again closes an open list.
    click(d, 160, 55);
    click(d, 160, 55);
    EXPECT_FALSE(d.modeBox().isOpen());
    EXPECT_EQ(d.modeBox().selectedItem().text, "800 x 600, 32 bit");
}

TEST(LauncherDialog, ListsStayInsideTheWindow) {
    LauncherDialog d;
    // The mode list opens below its field, the quality list would leave the
    // 200-pixel window below and opens above.
    const Rect mode = d.modeBox().list();
    EXPECT_EQ(mode.y, 50 + DropDown::kFieldHeight);
    EXPECT_LE(mode.bottom(), LauncherDialog::kHeight);
    const Rect quality = d.qualityBox().list();
    EXPECT_EQ(quality.bottom(), 120);
    EXPECT_GE(quality.y, 0);
    EXPECT_EQ(d.qualityBox().visibleCount(), 5u);
    EXPECT_FALSE(d.qualityBox().scrollable());
    // Ten modes do not fit in the mode box's 100 pixels: it scrolls.
    EXPECT_TRUE(d.modeBox().scrollable());
    EXPECT_LT(d.modeBox().visibleCount(), 10u);
}

TEST(LauncherDialog, ModeListScrollsByWheelAndBar) {
    LauncherDialog d;
    DropDown& box = d.modeBox();
    click(d, 160, 55);
    // Opening shows the selected item.
    EXPECT_EQ(box.firstVisible(), 4u);
    d.handle({Type::Wheel, 200, 80, 1});
    EXPECT_EQ(box.firstVisible(), 3u);
    d.handle({Type::Wheel, 200, 80, 100});
    EXPECT_EQ(box.firstVisible(), 0u);
    d.handle({Type::Wheel, 200, 80, -100});
    EXPECT_EQ(box.firstVisible(), 10u - box.visibleCount());
    // The bar's upper half pages up, and keeps the list open.
    const Rect bar = box.scrollBar();
    ASSERT_GT(bar.w, 0);
    click(d, bar.x + 2, bar.y + 2);
    EXPECT_TRUE(box.isOpen());
    EXPECT_EQ(box.firstVisible(), 0u);
    click(d, bar.x + 2, bar.bottom() - 2);
    EXPECT_EQ(box.firstVisible(), box.visibleCount());
    // Items are not picked by presses on the bar.
    EXPECT_EQ(box.selectedItem().text, "800 x 600, 32 bit");
    // The wheel does nothing with every list closed.
    d.handle({Type::Escape});
    LauncherDialog e;
    e.handle({Type::Wheel, 200, 80, 1});
    EXPECT_EQ(e.modeBox().firstVisible(), 0u);
}

TEST(LauncherDialog, OfferedRowsLimitTheModeList) {
    LauncherDialog d({2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(d.modeBox().count(), 8u);
    EXPECT_EQ(d.modeBox().selectedItem().data, 4);
    pick(d, d.modeBox(), 0);
    pressGo(d);
    EXPECT_EQ(d.settings().width, 1024);
    EXPECT_EQ(d.settings().height, 768);

    // Rows that do not exist are dropped; nothing valid means all ten.
    LauncherDialog bad({-1, 10, 99});
    EXPECT_EQ(bad.modeBox().count(), 10u);
    LauncherDialog small({8, 9});
    EXPECT_EQ(small.modeBox().selectedItem().text, "320 x 200, 32 bit");
    EXPECT_FALSE(small.modeBox().scrollable());
}

TEST(LauncherDialog, CutAwayPartsDoNotReactToTheMouse) {
    LauncherDialog d({}, skinWithAlpha(500, 200, true));
    ASSERT_EQ(d.shapeMask().size(), 500u * 200u);
    EXPECT_FALSE(d.insideShape(10, 10));
    EXPECT_TRUE(d.insideShape(400, 10));
    d.handle({Type::MouseDown, 10, 10});
    EXPECT_FALSE(d.dragging());
    // The windowed box lies in the cut half: a click there changes nothing.
    click(d, 155, 90);
    EXPECT_FALSE(d.windowedChecked());
    d.handle({Type::MouseDown, 400, 10});
    EXPECT_TRUE(d.dragging());
    d.handle({Type::MouseUp, 400, 10});
    // Outside the window is outside the shape too.
    EXPECT_FALSE(d.insideShape(-1, 0));
    EXPECT_FALSE(d.insideShape(500, 0));
}

TEST(LauncherDialog, SkinWithoutAlphaLeavesARectangle) {
    SkinImage s = skinWithAlpha(50, 20, true);
    s.bits = 24;
    LauncherDialog d({}, s);
    EXPECT_TRUE(d.shapeMask().empty());
    EXPECT_TRUE(d.insideShape(0, 0));
    EXPECT_TRUE(d.insideShape(499, 199));
}
