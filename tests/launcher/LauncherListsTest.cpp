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
        EXPECT_EQ(std::string(modeRow(r).text), texts[r]);
        EXPECT_EQ(modeRow(r).width, sizes[r][0]);
        EXPECT_EQ(modeRow(r).height, sizes[r][1]);
        EXPECT_EQ(modeRow(r).bits, sizes[r][2]);
    }
    EXPECT_EQ(std::string(modeRow(kDefaultModeRow).text), "800 x 600, 32 bit");
}

TEST(LauncherLists, QualityItemsScaleByAQuarter) {
    const char* texts[kQualityItemCount] = {"Terrible", "Poor", "Normal", "High",
                                            "\xC3\x9C"
                                            "ber"};
    const float quality[kQualityItemCount] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
    for (int i = 0; i < kQualityItemCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::string(qualityItem(i).text), texts[i]);
        EXPECT_FLOAT_EQ(qualityForData(qualityItem(i).data), quality[i]);
    }
    EXPECT_EQ(std::string(qualityItem(kDefaultQualityItem).text), "Normal");
}

TEST(LauncherLists, UnknownDisplayOffersEveryRow) {
    const std::vector<int> rows = offeredModeRows({});
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kModeRowCount));
    for (int r = 0; r < kModeRowCount; ++r)
        EXPECT_EQ(rows[static_cast<std::size_t>(r)], r);
    EXPECT_EQ(initialModeIndex(rows), 4u);
    // Modes without a size are no information either.
    EXPECT_EQ(offeredModeRows({{0, 0, 32}, {-5, 768, 32}}).size(),
              static_cast<std::size_t>(kModeRowCount));
}

TEST(LauncherLists, DisplayDropsRowsItCannotShow) {
    // A 1024 x 768 screen: both 1280 x 1024 rows go, the rest stay in order.
    const std::vector<int> rows = offeredModeRows({{1024, 768, 24}});
    EXPECT_EQ(rows, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(rows[initialModeIndex(rows)], kDefaultModeRow);

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
    EXPECT_EQ(initialModeIndex(rows), 0u);  // 800 x 600 is not there
    // A display smaller than every row offers them all rather than none.
    EXPECT_EQ(offeredModeRows({{300, 150, 32}}).size(), static_cast<std::size_t>(kModeRowCount));
}

TEST(LauncherLists, FixedSourceReturnsItsModes) {
    FixedDisplayModes source({{800, 600, 32}, {640, 480, 16}});
    const auto modes = source.modes();
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[1].width, 640);
    EXPECT_EQ(modes[1].bits, 16);
}

TEST(LaunchSettings, DefaultsAreAnUntouchedDialog) {
    const LaunchSettings s = defaultLaunchSettings();
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.bits, 32);
    EXPECT_TRUE(s.fullScreen);
    EXPECT_FALSE(s.windowed());
    EXPECT_FLOAT_EQ(s.quality, 1.0f);
    EXPECT_FLOAT_EQ(s.aspect, 1.3333334f);
    EXPECT_FALSE(s.cancelled);
}
