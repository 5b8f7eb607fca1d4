// Tests of the launcher window under a headless video driver: its controls
// driven by queued mouse and keyboard input, and its picture read back.
#include <gtest/gtest.h>

#include "platform/launcher/LauncherWindow.h"
#include "platform/video/Video.h"
#include "support/LauncherInput.h"

using namespace kvx;
using namespace kvx::launcher;
using test::UserInput;
using Window = platform::LauncherWindow;

namespace {

constexpr uint8_t kFace[3] = {212, 208, 200};

SkinImage makeSkin(int w, int h, int bits, bool leftHalfTransparent) {
    SkinImage s;
    s.width = w;
    s.height = h;
    s.bits = bits;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool cut = leftHalfTransparent && x < w / 2;
            s.rgba.insert(s.rgba.end(), {uint8_t(x), uint8_t(y), 77, uint8_t(cut ? 0 : 255)});
        }
    }
    return s;
}

class LauncherWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!platform::initVideo())
            GTEST_SKIP() << "no video driver";
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override { SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT); }

    std::unique_ptr<Window> open(LauncherChoice choice = LauncherChoice(),
                                 std::optional<SkinImage> skin = std::nullopt) {
        std::string error;
        auto w = Window::create(std::move(choice), skin, error);
        EXPECT_TRUE(w) << error;
        return w;
    }
    // Queues the input and lets the window handle it.
    static DialogState feed(Window& w, const std::vector<UserInput>& input) {
        for (const UserInput& in : input)
            EXPECT_TRUE(test::push(in));
        return w.step(0);
    }
    static void press(Window& w, int x, int y) { feed(w, {{UserInput::Type::Down, x, y}}); }
    static void release(Window& w, int x, int y) { feed(w, {{UserInput::Type::Up, x, y}}); }

    // Picks the list row by the mouse: opens the list, scrolls it to its top
    // (or bottom, for the rows the top does not show) and clicks the row.
    static void pick(Window& w, const Rect& box, int row, int rows) {
        feed(w, test::click(box.x + 5, box.y + 5));
        const Rect list = w.view().openList;
        ASSERT_GT(list.h, 0);
        const int shown = (list.h - 2 * kListMargin) / kListRowHeight;
        const int x = list.x + 20;
        int y = list.y + kListMargin + row * kListRowHeight + kListRowHeight / 2;
        const bool fromBottom = row >= shown;
        if (fromBottom)
            y = list.bottom() - kListMargin - (rows - row) * kListRowHeight + kListRowHeight / 2;
        feed(w,
             {{UserInput::Type::Move, x, y}, {UserInput::Type::Wheel, 0, fromBottom ? -100 : 100}});
        feed(w, test::click(x, y));
        EXPECT_EQ(w.view().openList.h, 0);
    }
};

int countDark(const std::vector<uint8_t>& rgba, const Rect& r) {
    int n = 0;
    for (int y = r.y; y < r.bottom(); ++y) {
        for (int x = r.x; x < r.right(); ++x) {
            const uint8_t* p = &rgba[std::size_t(y * kDialogWidth + x) * 4];
            n += p[0] + p[1] + p[2] < 200;
        }
    }
    return n;
}

bool rgbIs(const std::vector<uint8_t>& rgba, int x, int y, int r, int g, int b) {
    const uint8_t* p = &rgba[std::size_t(y * kDialogWidth + x) * 4];
    return p[0] == r && p[1] == g && p[2] == b;
}

}  // namespace

TEST_F(LauncherWindowTest, GoWithoutTouchingGivesTheDefaults) {
    auto w = open();
    ASSERT_TRUE(w);
    EXPECT_EQ(feed(*w, test::click(330, 130)), DialogState::Started);
    const LaunchSettings s = w->view().choice.settings();
    EXPECT_FALSE(s.cancelled);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.bits, 32);
    EXPECT_TRUE(s.fullScreen);
    EXPECT_FLOAT_EQ(s.quality, 1.0f);
    EXPECT_FLOAT_EQ(s.aspect, 4.0f / 3.0f);
}

TEST_F(LauncherWindowTest, ControlsSitWhereTheLayoutSays) {
    auto w = open();
    ASSERT_TRUE(w);
    // The check box reacts from its first to its last pixel, not beyond.
    feed(*w, test::click(150, 85));
    EXPECT_TRUE(w->view().choice.windowed);
    feed(*w, test::click(164, 99));
    EXPECT_FALSE(w->view().choice.windowed);
    press(*w, 165, 99);
    EXPECT_TRUE(w->view().dragging);  // no control there
    release(*w, 165, 99);
    EXPECT_FALSE(w->view().choice.windowed);
    // Each list box opens from its field's corners; closed, below the field
    // is free space.
    for (const auto& [x, y, opens] :
         std::vector<std::tuple<int, int, bool>>{{150, 50, true},
                                                 {349, 70, true},
                                                 {350, 55, false},
                                                 {200, 50 + kFieldHeight + 2, false},
                                                 {150, 120, true},
                                                 {299, 140, true},
                                                 {300, 125, false}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        feed(*w, test::click(x, y));
        EXPECT_EQ(w->view().openList.h > 0, opens);
        if (opens)
            feed(*w, test::click(450, 190));  // closes it
        ASSERT_EQ(w->view().openList.h, 0);
    }
    EXPECT_EQ(feed(*w, test::click(350, 144)), DialogState::Running);
    EXPECT_EQ(feed(*w, test::click(349, 144)), DialogState::Started);
    auto again = open();
    ASSERT_TRUE(again);
    EXPECT_EQ(feed(*again, test::click(310, 120)), DialogState::Started);
}

TEST_F(LauncherWindowTest, PickingEveryModeAndQuality) {
    for (int row = 0; row < kModeRowCount; ++row) {
        SCOPED_TRACE(row);
        auto w = open();
        ASSERT_TRUE(w);
        pick(*w, kModeBox, row, kModeRowCount);
        EXPECT_EQ(feed(*w, test::click(330, 130)), DialogState::Started);
        const LaunchSettings s = w->view().choice.settings();
        EXPECT_EQ(s.width, kModeRows[row].width);
        EXPECT_EQ(s.height, kModeRows[row].height);
        EXPECT_EQ(s.bits, kModeRows[row].bits);
    }
    const float quality[] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
    for (int item = 0; item < kQualityItemCount; ++item) {
        SCOPED_TRACE(item);
        auto w = open();
        ASSERT_TRUE(w);
        pick(*w, kQualityBox, item, kQualityItemCount);
        feed(*w, test::click(330, 130));
        EXPECT_FLOAT_EQ(w->view().choice.settings().quality, quality[item]);
    }
}

TEST_F(LauncherWindowTest, OfferedRowsLimitTheModeList) {
    auto w = open(LauncherChoice({2, 3, 4, 5, 6, 7, 8, 9}));
    ASSERT_TRUE(w);
    pick(*w, kModeBox, 0, 8);
    feed(*w, test::click(330, 130));
    EXPECT_EQ(w->view().choice.settings().width, 1024);
    EXPECT_EQ(w->view().choice.settings().height, 768);
}

TEST_F(LauncherWindowTest, WindowedBoxTogglesOnRelease) {
    auto w = open();
    ASSERT_TRUE(w);
    press(*w, 155, 90);
    EXPECT_FALSE(w->view().choice.windowed);
    release(*w, 155, 90);
    EXPECT_TRUE(w->view().choice.windowed);
    // Released elsewhere, the press is taken back.
    feed(*w, {{UserInput::Type::Down, 155, 90},
              {UserInput::Type::Move, 400, 10},
              {UserInput::Type::Up, 400, 10}});
    EXPECT_TRUE(w->view().choice.windowed);
    feed(*w, test::click(330, 130));
    EXPECT_FALSE(w->view().choice.settings().fullScreen);
}

TEST_F(LauncherWindowTest, StartButtonActsOnlyWhenReleasedOverIt) {
    auto w = open();
    ASSERT_TRUE(w);
    feed(*w, {{UserInput::Type::Down, 320, 130},
              {UserInput::Type::Move, 200, 10},
              {UserInput::Type::Up, 200, 10}});
    EXPECT_EQ(w->step(0), DialogState::Running);
    // A press elsewhere released over the button does not start either.
    feed(*w, {{UserInput::Type::Down, 450, 180},
              {UserInput::Type::Move, 320, 130},
              {UserInput::Type::Up, 320, 130}});
    EXPECT_EQ(w->step(0), DialogState::Running);
    EXPECT_EQ(feed(*w, test::click(330, 130)), DialogState::Started);
}

TEST_F(LauncherWindowTest, EscapeCancelsAndFreezesTheDialog) {
    auto w = open();
    ASSERT_TRUE(w);
    pick(*w, kModeBox, 0, kModeRowCount);
    EXPECT_EQ(feed(*w, test::keys({SDLK_ESCAPE})), DialogState::Cancelled);
    EXPECT_EQ(feed(*w, test::click(330, 130)), DialogState::Cancelled);  // too late
    const LaunchSettings s = w->view().choice.settings();
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(s.width, 800);  // nothing chosen is reported
    EXPECT_EQ(s.height, 600);
}

TEST_F(LauncherWindowTest, PressOnNoControlDrags) {
    auto w = open();
    ASSERT_TRUE(w);
    press(*w, 20, 20);
    EXPECT_TRUE(w->view().dragging);
    feed(*w, {{UserInput::Type::Move, 60, 40}});
    EXPECT_TRUE(w->view().dragging);
    release(*w, 60, 40);
    EXPECT_FALSE(w->view().dragging);
    // Labels are no controls: "windowed" next to its box drags too.
    press(*w, 180, 90);
    EXPECT_TRUE(w->view().dragging);
    release(*w, 180, 90);
    // Presses on controls never drag.
    press(*w, 155, 90);
    EXPECT_FALSE(w->view().dragging);
    release(*w, 155, 90);
}

TEST_F(LauncherWindowTest, OpenListTakesTheNextPress) {
    auto w = open();
    ASSERT_TRUE(w);
    feed(*w, test::click(160, 55));
    ASSERT_GT(w->view().openList.h, 0);
    // A press outside closes the list and does nothing else: no drag, and
    // the check box under it keeps its state.
    press(*w, 450, 180);
    EXPECT_EQ(w->view().openList.h, 0);
    EXPECT_FALSE(w->view().dragging);
    release(*w, 450, 180);
    feed(*w, test::click(160, 55));
    feed(*w, test::click(155, 90));
    EXPECT_EQ(w->view().openList.h, 0);
    EXPECT_FALSE(w->view().choice.windowed);
    // The open list covers the start button: a press there picks a row and
    // does not start.
    feed(*w, test::click(160, 55));
    ASSERT_TRUE(w->view().openList.contains(330, 130));
    EXPECT_EQ(feed(*w, test::click(330, 130)), DialogState::Running);
    EXPECT_EQ(w->view().openList.h, 0);
    EXPECT_NE(w->view().choice.modeRows[w->view().choice.mode], kDefaultModeRow);
    // Pressing the field again closes an open list.
    feed(*w, test::click(160, 55));
    feed(*w, test::click(160, 55));
    EXPECT_EQ(w->view().openList.h, 0);
}

TEST_F(LauncherWindowTest, ListsStayInsideTheWindow) {
    auto w = open();
    ASSERT_TRUE(w);
    // The mode list opens below its field and scrolls: ten rows do not fit
    // in the box's 100 pixels.
    feed(*w, test::click(160, 55));
    const Rect mode = w->view().openList;
    EXPECT_EQ(mode.y, kModeBox.y + kFieldHeight);
    EXPECT_EQ(mode.x, kModeBox.x);
    EXPECT_EQ(mode.w, kModeBox.w);
    EXPECT_LE(mode.bottom(), kModeBox.bottom());
    EXPECT_LT(mode.h, kModeRowCount * kListRowHeight);
    feed(*w, test::click(450, 190));
    // The quality list would leave the window below and opens above, with
    // room for all five rows.
    feed(*w, test::click(160, 125));
    const Rect quality = w->view().openList;
    EXPECT_EQ(quality.bottom(), kQualityBox.y);
    EXPECT_GE(quality.y, 0);
    EXPECT_GE(quality.h, kQualityItemCount * kListRowHeight);
}

TEST_F(LauncherWindowTest, ModeListScrollsByWheelAndBar) {
    auto w = open();
    ASSERT_TRUE(w);
    feed(*w, test::click(160, 55));
    const Rect list = w->view().openList;
    const int firstRowY = list.y + kListMargin + kListRowHeight / 2;
    // Wheeled to the top, the first row is row 0.
    feed(*w, {{UserInput::Type::Move, 200, firstRowY}, {UserInput::Type::Wheel, 0, 100}});
    feed(*w, test::click(200, firstRowY));
    EXPECT_EQ(w->view().choice.mode, 0u);
    // A press low on the bar scrolls the list to its end, keeps it open and
    // picks nothing.
    feed(*w, test::click(160, 55));
    feed(*w, {{UserInput::Type::Move, 200, firstRowY}, {UserInput::Type::Wheel, 0, 100}});
    feed(*w, test::click(list.right() - kListMargin - 3, list.bottom() - kListMargin - 2));
    EXPECT_GT(w->view().openList.h, 0);
    EXPECT_EQ(w->view().choice.mode, 0u);
    const int lastRowY = list.bottom() - kListMargin - kListRowHeight / 2;
    feed(*w, test::click(200, lastRowY));
    EXPECT_EQ(w->view().choice.mode, 9u);
    // With every list closed the wheel moves nothing: "Go" is where it was.
    feed(*w, {{UserInput::Type::Move, 330, 130}, {UserInput::Type::Wheel, 0, -5}});
    EXPECT_EQ(feed(*w, test::click(330, 130)), DialogState::Started);
}

TEST_F(LauncherWindowTest, TabMovesBetweenControlsAndKeysActivate) {
    auto w = open();
    ASSERT_TRUE(w);
    // Tab: mode box, windowed box; Space ticks it.
    feed(*w, test::keys({SDLK_TAB, SDLK_TAB, SDLK_SPACE}));
    EXPECT_TRUE(w->view().choice.windowed);
    // Tab to the quality box, Enter opens it on "Normal", two rows down is
    // "Über", Enter picks it.
    feed(*w, test::keys({SDLK_TAB, SDLK_RETURN}));
    EXPECT_GT(w->view().openList.h, 0);
    feed(*w, test::keys({SDLK_DOWN, SDLK_DOWN, SDLK_RETURN}));
    EXPECT_EQ(w->view().openList.h, 0);
    EXPECT_EQ(w->view().choice.quality, 4u);
    // Tab to "Go", Enter starts.
    EXPECT_EQ(feed(*w, test::keys({SDLK_TAB, SDLK_RETURN})), DialogState::Started);
    const LaunchSettings s = w->view().choice.settings();
    EXPECT_FALSE(s.fullScreen);
    EXPECT_FLOAT_EQ(s.quality, 4.0f);
    EXPECT_EQ(s.width, 800);
}

TEST_F(LauncherWindowTest, ShiftTabGoesBackAndArrowsMoveInTheModeList) {
    auto w = open();
    ASSERT_TRUE(w);
    // Shift+Tab from nowhere lands on "Go", again on the quality box, again
    // on the windowed box, again on the mode box.
    feed(*w, test::keys({SDLK_TAB, SDLK_TAB, SDLK_TAB, SDLK_TAB}, true));
    feed(*w, test::keys({SDLK_SPACE}));
    ASSERT_GT(w->view().openList.h, 0);
    feed(*w, test::keys({SDLK_UP, SDLK_UP, SDLK_UP, SDLK_UP, SDLK_SPACE}));
    EXPECT_EQ(w->view().choice.mode, 0u);
    // The check box was passed over, not toggled; Tab wraps round to "Go".
    EXPECT_FALSE(w->view().choice.windowed);
    EXPECT_EQ(feed(*w, test::keys({SDLK_TAB, SDLK_TAB, SDLK_TAB, SDLK_SPACE})),
              DialogState::Started);
    EXPECT_EQ(w->view().choice.settings().width, 1280);
    EXPECT_EQ(w->view().choice.settings().bits, 32);
}

TEST_F(LauncherWindowTest, CutAwayPartsDoNotReactToTheMouse) {
    auto w = open(LauncherChoice(), makeSkin(500, 200, 32, true));
    ASSERT_TRUE(w);
    // The headless driver cannot shape windows; X11 (under xvfb-run) can.
    if (platform::headless() || platform::videoDriver() == "x11") {
        EXPECT_EQ(w->view().shaped, platform::videoDriver() == "x11");
    }
    press(*w, 10, 10);
    EXPECT_FALSE(w->view().dragging);
    release(*w, 10, 10);
    // The windowed box lies in the cut half: a click there changes nothing.
    feed(*w, test::click(155, 90));
    EXPECT_FALSE(w->view().choice.windowed);
    press(*w, 400, 10);
    EXPECT_TRUE(w->view().dragging);
    release(*w, 400, 10);
    // What the window shows is transparent where it is cut away.
    const std::vector<uint8_t> shown = w->pixels();
    EXPECT_EQ(shown[(100 * 500 + 10) * 4 + 3], 0);
    EXPECT_EQ(shown[(100 * 500 + 400) * 4 + 3], 255);
}

TEST_F(LauncherWindowTest, SkinWithoutAlphaLeavesARectangle) {
    auto w = open(LauncherChoice(), makeSkin(50, 20, 24, true));
    ASSERT_TRUE(w);
    press(*w, 0, 0);
    EXPECT_TRUE(w->view().dragging);
    release(*w, 0, 0);
    feed(*w, test::click(155, 90));
    EXPECT_TRUE(w->view().choice.windowed);
    EXPECT_EQ(w->pixels()[(199 * 500 + 0) * 4 + 3], 255);
}

TEST_F(LauncherWindowTest, PlainDialogHasFaceLabelsAndControls) {
    auto w = open();
    ASSERT_TRUE(w);
    const std::vector<uint8_t> shown = w->pixels();
    EXPECT_TRUE(rgbIs(shown, 10, 10, kFace[0], kFace[1], kFace[2]));
    EXPECT_TRUE(rgbIs(shown, 490, 190, kFace[0], kFace[1], kFace[2]));
    // Field interiors are white, the check box is empty.
    EXPECT_TRUE(rgbIs(shown, 300, 53, 255, 255, 255));
    EXPECT_TRUE(rgbIs(shown, 250, 123, 255, 255, 255));
    EXPECT_EQ(countDark(shown, {153, 88, 9, 9}), 0);
    EXPECT_GT(countDark(shown, {150, 35, 40, 14}), 10);   // "mode"
    EXPECT_GT(countDark(shown, {170, 84, 60, 14}), 10);   // "windowed"
    EXPECT_GT(countDark(shown, {150, 105, 50, 14}), 10);  // "quality"
    EXPECT_GT(countDark(shown, {312, 122, 36, 21}), 5);   // "Go"
    EXPECT_GT(countDark(shown, {152, 52, 120, 17}), 20);  // "800 x 600, 32 bit"
    EXPECT_EQ(countDark(shown, {360, 20, 130, 90}), 0);   // nothing else
}

TEST_F(LauncherWindowTest, CheckedBoxAndOpenListShow) {
    auto w = open();
    ASSERT_TRUE(w);
    const std::vector<uint8_t> before = w->pixels();
    feed(*w, test::click(155, 90));
    const std::vector<uint8_t> checked = w->pixels();
    int marked = 0;
    for (int y = 88; y < 97; ++y) {
        for (int x = 153; x < 162; ++x)
            marked += !rgbIs(checked, x, y, before[(y * 500 + x) * 4],
                             before[(y * 500 + x) * 4 + 1], before[(y * 500 + x) * 4 + 2]);
    }
    EXPECT_GT(marked, 8);
    // Below the mode field lies the face until the list opens over it.
    EXPECT_TRUE(rgbIs(checked, 300, 100, kFace[0], kFace[1], kFace[2]));
    feed(*w, test::click(160, 55));
    const std::vector<uint8_t> open = w->pixels();
    EXPECT_FALSE(rgbIs(open, 300, 100, kFace[0], kFace[1], kFace[2]));
    // The rows show their texts.
    const Rect list = w->view().openList;
    EXPECT_GT(countDark(open, {list.x + 2, list.y + 2, 100, list.h - 4}), 60);
}

TEST_F(LauncherWindowTest, SkinIsStretchedAndReplacesTheLabels) {
    auto w = open(LauncherChoice(), makeSkin(250, 100, 24, false));
    ASSERT_TRUE(w);
    const std::vector<uint8_t> shown = w->pixels();
    // Each image pixel covers a 2 x 2 block.
    EXPECT_TRUE(rgbIs(shown, 0, 0, 0, 0, 77));
    EXPECT_TRUE(rgbIs(shown, 1, 1, 0, 0, 77));
    EXPECT_TRUE(rgbIs(shown, 2, 1, 1, 0, 77));
    EXPECT_TRUE(rgbIs(shown, 101, 41, 50, 20, 77));
    EXPECT_TRUE(rgbIs(shown, 499, 199, 249, 99, 77));
    // No label is drawn over the skin.
    for (int y = 35; y < 48; ++y) {
        for (int x = 150; x < 190; ++x)
            ASSERT_TRUE(rgbIs(shown, x, y, x / 2, y / 2, 77)) << x << "," << y;
    }
    // The controls are still drawn on top.
    EXPECT_TRUE(rgbIs(shown, 300, 53, 255, 255, 255));
}

TEST(LauncherDisplay, ModesHaveASize) {
    if (!platform::initVideo())
        GTEST_SKIP() << "no video driver";
    for (const platform::DisplayMode& m : platform::displayModes()) {
        EXPECT_GT(m.width, 0);
        EXPECT_GT(m.height, 0);
    }
}
