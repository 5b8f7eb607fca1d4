// Tests of the launcher's painting: canvas, text and the dialog's picture.
#include <gtest/gtest.h>

#include "launcher/Canvas.h"
#include "launcher/Font.h"
#include "launcher/LauncherDialog.h"
#include "launcher/Theme.h"

using namespace kvx::launcher;

namespace {

// Counts pixels in r that differ from c.
int countOther(const Canvas& canvas, const Rect& r, Color c) {
    int n = 0;
    for (int y = r.y; y < r.bottom(); ++y) {
        for (int x = r.x; x < r.right(); ++x)
            n += canvas.at(x, y) != c;
    }
    return n;
}

// Counts pixels in r that are dark (text or check marks on light faces).
int countDark(const Canvas& canvas, const Rect& r) {
    int n = 0;
    for (int y = r.y; y < r.bottom(); ++y) {
        for (int x = r.x; x < r.right(); ++x) {
            const Color c = canvas.at(x, y);
            n += c.r + c.g + c.b < 200;
        }
    }
    return n;
}

SkinImage gradientSkin(int w, int h) {
    SkinImage s;
    s.width = w;
    s.height = h;
    s.bits = 24;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            s.rgba.push_back(static_cast<uint8_t>(x));
            s.rgba.push_back(static_cast<uint8_t>(y));
            s.rgba.push_back(77);
            s.rgba.push_back(255);
        }
    }
    return s;
}

}  // namespace

TEST(Canvas, DrawingClipsToTheCanvas) {
    Canvas c(4, 3);
    EXPECT_EQ(c.pixels().size(), 48u);
    c.fill({-10, -10, 100, 100}, Color{1, 2, 3, 255});
    EXPECT_EQ(c.at(3, 2), (Color{1, 2, 3, 255}));
    EXPECT_EQ(c.at(4, 0), (Color{0, 0, 0, 0}));  // outside reads transparent
    EXPECT_EQ(c.at(-1, 0), (Color{0, 0, 0, 0}));
    c.set(7, 7, Color{9, 9, 9, 255});  // ignored, no write past the end
    c.frame({1, 1, 3, 2}, Color{200, 0, 0, 255});
    EXPECT_EQ(c.at(1, 1).r, 200);
    EXPECT_EQ(c.at(3, 2).r, 200);
    EXPECT_EQ(c.at(0, 0).r, 1);
    Canvas empty(-5, 3);
    EXPECT_EQ(empty.width(), 0);
    empty.fillAll(Color{});
}

TEST(Canvas, BlendMixesByCoverage) {
    Canvas c(1, 1);
    c.set(0, 0, Color{0, 100, 200, 255});
    c.blend(0, 0, Color{255, 100, 0, 255}, 0);
    EXPECT_EQ(c.at(0, 0), (Color{0, 100, 200, 255}));
    c.blend(0, 0, Color{255, 100, 0, 255}, 128);
    EXPECT_NEAR(c.at(0, 0).r, 128, 1);
    EXPECT_EQ(c.at(0, 0).g, 100);
    EXPECT_NEAR(c.at(0, 0).b, 100, 1);
    c.blend(0, 0, Color{7, 8, 9, 255}, 400);  // clamped to full
    EXPECT_EQ(c.at(0, 0), (Color{7, 8, 9, 255}));
}

TEST(Font, DecodesUtf8AndKeepsStrayBytes) {
    EXPECT_EQ(decodeUtf8("\xC3\x9C"
                         "ber"),
              (std::u32string{0xDC, 'b', 'e', 'r'}));
    EXPECT_EQ(decodeUtf8("\xE2\x82\xAC"), std::u32string{0x20AC});
    // Windows-1252 "Über" is not UTF-8: the byte stands for itself.
    EXPECT_EQ(decodeUtf8("\xDC"
                         "ber"),
              (std::u32string{0xDC, 'b', 'e', 'r'}));
    // A sequence cut off at the end does not read past it.
    EXPECT_EQ(decodeUtf8("a\xE2\x82"), (std::u32string{'a', 0xE2, 0x82}));
    EXPECT_TRUE(decodeUtf8("").empty());
}

TEST(Font, MeasuresAndDrawsInsideTheClip) {
    const auto font = Font::loadDefault(12);
    if (!font)
        GTEST_SKIP() << "no DejaVu font installed";
    EXPECT_GT(font->ascent(), 5);
    EXPECT_GE(font->lineHeight(), font->ascent());
    EXPECT_GT(font->measure("Go"), 8);
    EXPECT_GT(font->measure("WWWW"), font->measure("iiii"));
    EXPECT_EQ(font->measure(""), 0);

    Canvas c(60, 20);
    c.fillAll(Color{255, 255, 255, 255});
    const Rect clip{0, 0, 10, 20};
    font->draw(c, 2, 2, "Hello", Color{0, 0, 0, 255}, clip);
    EXPECT_GT(countDark(c, clip), 5);
    EXPECT_EQ(countOther(c, {10, 0, 50, 20}, Color{255, 255, 255, 255}), 0);

    EXPECT_FALSE(Font::load("/nonexistent/font.ttf", 12));
}

TEST(LauncherRender, PlainDialogHasFaceLabelsAndControls) {
    const auto font = Font::loadDefault(12);
    LauncherDialog d;
    Canvas c(LauncherDialog::kWidth, LauncherDialog::kHeight);
    d.render(c, font.get());
    EXPECT_EQ(c.at(10, 10), theme::kFace);
    EXPECT_EQ(c.at(490, 190), theme::kFace);
    // Field interiors are white, the check box is empty.
    EXPECT_EQ(c.at(340 - DropDown::kArrowWidth, 52 + 2), theme::kWindow);
    EXPECT_EQ(countDark(c, {153, 88, 9, 9}), 0);
    if (font) {
        EXPECT_GT(countDark(c, {150, 35, 40, 14}), 10);   // "mode"
        EXPECT_GT(countDark(c, {170, 84, 60, 14}), 10);   // "windowed"
        EXPECT_GT(countDark(c, {150, 105, 50, 14}), 10);  // "quality"
        EXPECT_GT(countDark(c, {312, 122, 36, 21}), 5);   // "Go"
        EXPECT_GT(countDark(c, {152, 52, 120, 17}), 20);  // "800 x 600, 32 bit"
    }
}

TEST(LauncherRender, CheckedBoxAndOpenListShow) {
    LauncherDialog d;
    Canvas before(LauncherDialog::kWidth, LauncherDialog::kHeight);
    d.render(before, nullptr);
    d.handle({LauncherInput::Type::MouseDown, 155, 90});
    d.handle({LauncherInput::Type::MouseUp, 155, 90});
    Canvas c(LauncherDialog::kWidth, LauncherDialog::kHeight);
    d.render(c, nullptr);
    EXPECT_GT(countDark(c, {153, 88, 9, 9}), 8);

    // Below the mode field lies the face until the list opens over it.
    EXPECT_EQ(c.at(200, 100), theme::kFace);
    d.handle({LauncherInput::Type::MouseDown, 160, 55});
    d.handle({LauncherInput::Type::MouseUp, 160, 55});
    d.render(c, nullptr);
    // Items other than the highlighted one are white, the selected item (800 x
    // 600, 32 bit, first visible) is highlighted.
    const Rect l = d.modeBox().list();
    EXPECT_EQ(c.at(l.x + 2, l.y + 2), theme::kHighlight);
    EXPECT_EQ(c.at(l.x + 2, l.y + 1 + DropDown::kItemHeight + 2), theme::kWindow);
    // The pointer over another item moves the highlight there.
    d.handle({LauncherInput::Type::MouseMove, l.x + 5, l.y + 1 + 2 * DropDown::kItemHeight + 4});
    d.render(c, nullptr);
    EXPECT_EQ(c.at(l.x + 2, l.y + 2), theme::kWindow);
    EXPECT_EQ(c.at(l.x + 2, l.y + 1 + 2 * DropDown::kItemHeight + 2), theme::kHighlight);
}

TEST(LauncherRender, SkinIsStretchedAndReplacesTheLabels) {
    const auto font = Font::loadDefault(12);
    LauncherDialog d({}, gradientSkin(250, 100));
    Canvas c(LauncherDialog::kWidth, LauncherDialog::kHeight);
    d.render(c, font.get());
    // Each image pixel covers a 2 x 2 block.
    EXPECT_EQ(c.at(0, 0), (Color{0, 0, 77, 255}));
    EXPECT_EQ(c.at(1, 1), (Color{0, 0, 77, 255}));
    EXPECT_EQ(c.at(2, 1), (Color{1, 0, 77, 255}));
    EXPECT_EQ(c.at(101, 41), (Color{50, 20, 77, 255}));
    EXPECT_EQ(c.at(499, 199), (Color{249, 99, 77, 255}));
    // No label is drawn over the skin.
    for (int y = 35; y < 48; ++y) {
        for (int x = 150; x < 190; ++x) {
            ASSERT_EQ(c.at(x, y),
                      (Color{static_cast<uint8_t>(x / 2), static_cast<uint8_t>(y / 2), 77, 255}));
        }
    }
    // The controls are still drawn on top.
    EXPECT_EQ(c.at(200, 55), theme::kWindow);
}
