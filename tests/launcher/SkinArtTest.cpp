// Tests of the skin that kvxskin draws: its outline must leave every control
// of the launcher usable.
#include <gtest/gtest.h>

#include "launcher/LauncherDialog.h"
#include "tools/kvxskin/SkinArt.h"

using namespace kvx;

TEST(SkinArt, OutlineIsRoundedWithATitleTab) {
    EXPECT_FALSE(tools::insideOutline(0, 199, 500, 200));  // rounded corners
    EXPECT_FALSE(tools::insideOutline(499, 199, 500, 200));
    EXPECT_FALSE(tools::insideOutline(499, 26, 500, 200));
    EXPECT_FALSE(tools::insideOutline(300, 5, 500, 200));  // beside the tab
    EXPECT_TRUE(tools::insideOutline(70, 5, 500, 200));    // on the tab
    EXPECT_TRUE(tools::insideOutline(250, 100, 500, 200));
    EXPECT_TRUE(tools::insideOutline(0, 100, 500, 200));
    EXPECT_FALSE(tools::insideOutline(-1, 100, 500, 200));
    EXPECT_FALSE(tools::insideOutline(500, 100, 500, 200));
}

TEST(SkinArt, SkinShapesTheDialogAroundItsControls) {
    const launcher::SkinImage art = tools::drawSkin({}, nullptr, nullptr);
    ASSERT_EQ(art.width, 500);
    ASSERT_EQ(art.height, 200);
    // The file written for it reads back the same.
    const auto parsed = launcher::parseSkin(launcher::encodeSkin(art));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->rgba, art.rgba);

    launcher::LauncherDialog d({}, *parsed);
    ASSERT_FALSE(d.shapeMask().empty());
    EXPECT_FALSE(d.insideShape(0, 0));
    EXPECT_FALSE(d.insideShape(499, 199));
    // Every control, and both lists when open, lie wholly inside the shape.
    const launcher::Rect areas[] = {d.modeBox().field(),
                                    d.modeBox().list(),
                                    d.qualityBox().field(),
                                    d.qualityBox().list(),
                                    launcher::LauncherDialog::kWindowedBox,
                                    launcher::LauncherDialog::kStartButton};
    for (const launcher::Rect& r : areas) {
        for (int y = r.y; y < r.bottom(); ++y) {
            for (int x = r.x; x < r.right(); ++x)
                ASSERT_TRUE(d.insideShape(x, y)) << x << "," << y;
        }
    }
}

TEST(SkinArt, LabelsArePaintedWhereTheDialogWouldDrawThem) {
    const auto font = launcher::Font::loadDefault(12);
    if (!font)
        GTEST_SKIP() << "no DejaVu font installed";
    const launcher::SkinImage bare = tools::drawSkin({}, nullptr, nullptr);
    const launcher::SkinImage labelled = tools::drawSkin({}, font.get(), font.get());
    auto changed = [&](int x0, int y0, int w, int h) {
        int n = 0;
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) {
                n += bare.pixel(x, y)[0] != labelled.pixel(x, y)[0];
            }
        }
        return n;
    };
    EXPECT_GT(changed(150, 35, 40, 14), 10);   // "mode"
    EXPECT_GT(changed(170, 84, 60, 14), 10);   // "windowed"
    EXPECT_GT(changed(150, 105, 50, 14), 10);  // "quality"
    EXPECT_EQ(changed(360, 150, 100, 30), 0);  // nothing else
}
