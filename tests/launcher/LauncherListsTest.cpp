// Tests of the launcher's list contents and the display-mode filter.
#include <gtest/gtest.h>

#include <string>

#include "launcher/LaunchSettings.h"
#include "launcher/LauncherLists.h"

using namespace kvx::launcher;

TEST(LauncherLists, ModeRowsKeepTheirOrderAndTexts) {
    const char* texts[kModeRowCount] = {
        "1280 x 1024, 32 bit", "1280 x 1024, 16 bit", "1024 x 768,  32 bit", "1024 x 768, 16 bit",
        "800 x 600, 32 bit",   "800 x 600, 16 bit",   "640 x 480, 32 bit",   "640 x 480, 16 bit",
        "320 x 200, 32 bit",   "320 x 200, 16 bit"};
    const int sizes[kModeRowCount][3] = {
        {1280, 1024, 32}, {1280, 1024, 16}, {1024, 768, 32}, {1024, 768, 16}, {800, 600, 32},
        {800, 600, 16},   {640, 480, 32},   {640, 480, 16},  {320, 200, 32},  {320, 200, 16}};
    for (int r = 0; r < kModeRowCount; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(std::string(kModeRows[r].text), texts[r]);
        EXPECT_EQ(kModeRows[r].width, sizes[r][0]);
        EXPECT_EQ(kModeRows[r].height, sizes[r][1]);
        EXPECT_EQ(kModeRows[r].bits, sizes[r][2]);
    }
    EXPECT_EQ(std::string(kModeRows[kDefaultModeRow].text), "800 x 600, 32 bit");
}

TEST(LauncherLists, QualityItemsScaleByAQuarter) {
    const char* texts[kQualityItemCount] = {"Terrible", "Poor", "Normal", "High",
                                            "\xC3\x9C"
                                            "ber"};
    const float quality[kQualityItemCount] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
    for (int i = 0; i < kQualityItemCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::string(kQualityItems[i].text), texts[i]);
        EXPECT_FLOAT_EQ(qualityForData(kQualityItems[i].data), quality[i]);
    }
    EXPECT_EQ(std::string(kQualityItems[kDefaultQualityItem].text), "Normal");
}

TEST(LauncherLists, UnknownDisplayOffersEveryRow) {
    const std::vector<int> rows = offeredModeRows({});
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kModeRowCount));
    for (int r = 0; r < kModeRowCount; ++r)
        EXPECT_EQ(rows[static_cast<std::size_t>(r)], r);
    EXPECT_EQ(LauncherChoice(rows).mode, 4u);
    // Modes without a size are no information either.
    EXPECT_EQ(offeredModeRows({{0, 0, 32}, {-5, 768, 32}}).size(),
              static_cast<std::size_t>(kModeRowCount));
}

TEST(LauncherLists, DisplayDropsRowsItCannotShow) {
    // A 1024 x 768 screen: both 1280 x 1024 rows go, the rest stay in order.
    const std::vector<int> rows = offeredModeRows({{1024, 768, 24}});
    EXPECT_EQ(rows, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(rows[LauncherChoice(rows).mode], kDefaultModeRow);

    // A row must fit one mode in both directions, not the widest and the
    // tallest of different modes.
    const std::vector<int> mixed = offeredModeRows({{1280, 720, 32}, {1024, 1024, 32}});
    EXPECT_EQ(mixed, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));

    // Colour depth does not matter; a larger mode keeps everything.
    EXPECT_EQ(offeredModeRows({{1920, 1080, 16}, {1280, 1024, 32}}).size(),
              static_cast<std::size_t>(kModeRowCount));
}

TEST(LauncherLists, SmallDisplayStartsOnItsLargestRow) {
    const std::vector<int> rows = offeredModeRows({{640, 480, 32}, {320, 240, 32}});
    EXPECT_EQ(rows, (std::vector<int>{6, 7, 8, 9}));
    EXPECT_EQ(LauncherChoice(rows).mode, 0u);  // 800 x 600 is not there
    // A display smaller than every row offers them all rather than none.
    EXPECT_EQ(offeredModeRows({{300, 150, 32}}).size(), static_cast<std::size_t>(kModeRowCount));
}

TEST(LauncherChoice, StartsOnTheDefaultsAndReportsWhatItHolds) {
    LauncherChoice c;
    ASSERT_EQ(c.modeRows.size(), static_cast<std::size_t>(kModeRowCount));
    EXPECT_EQ(c.modeRows[c.mode], kDefaultModeRow);
    EXPECT_EQ(c.quality, static_cast<std::size_t>(kDefaultQualityItem));
    const LaunchSettings untouched = c.settings();
    EXPECT_EQ(untouched.width, 800);
    EXPECT_EQ(untouched.height, 600);
    EXPECT_EQ(untouched.bits, 32);
    EXPECT_TRUE(untouched.fullScreen);
    EXPECT_FLOAT_EQ(untouched.quality, 1.0f);
    EXPECT_FALSE(untouched.cancelled);

    c.mode = 3;
    c.quality = 4;
    c.windowed = true;
    const LaunchSettings s = c.settings();
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 768);
    EXPECT_EQ(s.bits, 16);
    EXPECT_FLOAT_EQ(s.quality, 4.0f);
    EXPECT_FALSE(s.fullScreen);

    // A cancelled dialog reports nothing of what was chosen.
    c.state = DialogState::Cancelled;
    const LaunchSettings gone = c.settings();
    EXPECT_TRUE(gone.cancelled);
    EXPECT_EQ(gone.width, 800);
    EXPECT_TRUE(gone.fullScreen);
}

TEST(LauncherChoice, OfferedRowsLimitTheModeList) {
    const LauncherChoice some({2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(some.modeRows.size(), 8u);
    EXPECT_EQ(some.modeRows[some.mode], 4);
    // Rows that do not exist are dropped; nothing valid means all ten.
    EXPECT_EQ(LauncherChoice({-1, 10, 99}).modeRows.size(), 10u);
    const LauncherChoice small({8, 9});
    EXPECT_EQ(small.mode, 0u);
    EXPECT_EQ(small.settings().width, 320);
}

TEST(LaunchSettings, DefaultsAreAnUntouchedDialog) {
    const LaunchSettings s;
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.bits, 32);
    EXPECT_TRUE(s.fullScreen);

    EXPECT_FLOAT_EQ(s.quality, 1.0f);
    EXPECT_FLOAT_EQ(s.aspect, 1.3333334f);
    EXPECT_FALSE(s.cancelled);
}
