// kvxskin: the skin it writes reads back as a launcher skin whose outline
// leaves every control usable, with its words where the plain dialog draws
// its labels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "launcher/LauncherLists.h"
#include "launcher/Skin.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

using namespace kvx::launcher;

namespace {

// Runs kvxskin with args and reads back what it wrote.
std::optional<SkinImage> kvxskin(const kvx::test::TempDir& dir, const std::string& args) {
    const std::string file = dir / "skin.tga";
    const std::string command =
        std::string(KVX_BIN_DIR) + "/kvxskin -o " + file + " " + args + " > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return std::nullopt;
    return parseSkin(kvx::test::readFileBytes(file));
}

int changed(const SkinImage& a, const SkinImage& b, const Rect& r) {
    int n = 0;
    for (int y = r.y; y < r.bottom(); ++y) {
        for (int x = r.x; x < r.right(); ++x)
            n += a.pixel(x, y)[0] != b.pixel(x, y)[0];
    }
    return n;
}

}  // namespace

TEST(Kvxskin, OutlineIsRoundedWithATitleTabAroundEveryControl) {
    kvx::test::TempDir dir;
    const auto skin = kvxskin(dir, "");
    ASSERT_TRUE(skin.has_value());
    EXPECT_EQ(skin->width, 500);
    EXPECT_EQ(skin->height, 200);
    EXPECT_TRUE(skin->hasAlpha());
    const std::vector<uint8_t> shape = buildShapeMask(*skin, kDialogWidth, kDialogHeight);
    auto inside = [&](int x, int y) { return shape[std::size_t(y * kDialogWidth + x)] != 0; };
    EXPECT_FALSE(inside(0, 0));    // beside the tab
    EXPECT_FALSE(inside(0, 199));  // rounded corners
    EXPECT_FALSE(inside(499, 199));
    EXPECT_FALSE(inside(499, 26));
    EXPECT_FALSE(inside(300, 5));
    EXPECT_TRUE(inside(70, 5));  // on the tab
    EXPECT_TRUE(inside(0, 100));
    EXPECT_TRUE(inside(250, 100));
    // Every control, both boxes with their dropped lists (the quality list
    // opens above its field), lies wholly inside.
    const Rect qualityList{kQualityBox.x, kQualityBox.y - (kQualityBox.h - kFieldHeight),
                           kQualityBox.w, kQualityBox.h - kFieldHeight};
    for (const Rect& r : {kModeBox, kQualityBox, kWindowedBox, kStartButton, qualityList}) {
        for (int y = r.y; y < std::min(r.bottom(), kDialogHeight); ++y) {
            for (int x = r.x; x < r.right(); ++x)
                ASSERT_TRUE(inside(x, y)) << x << "," << y;
        }
    }
}

TEST(Kvxskin, WordsArePaintedWhereTheDialogDrawsItsLabels) {
    if (!std::ifstream("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf").good())
        GTEST_SKIP() << "no DejaVu font installed";
    kvx::test::TempDir dir;
    const auto bare = kvxskin(dir, "--no-labels --title ''");
    const auto labelled = kvxskin(dir, "--no-labels");
    const auto full = kvxskin(dir, "");
    ASSERT_TRUE(bare && labelled && full);
    EXPECT_GT(changed(*bare, *labelled, {16, 0, 124, 26}), 20);  // the title on the tab
    EXPECT_EQ(changed(*bare, *labelled, {0, 30, 500, 170}), 0);  // and nothing else
    for (const Label& label : kLabels) {
        SCOPED_TRACE(label.text);
        EXPECT_GT(changed(*labelled, *full, {label.x, label.y, 40, 14}), 10);
    }
    EXPECT_EQ(changed(*labelled, *full, {360, 150, 100, 30}), 0);
    EXPECT_EQ(changed(*labelled, *full, {0, 0, 500, 30}), 0);
}
