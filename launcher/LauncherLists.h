// LauncherLists: what the launcher dialog offers and where: the display-mode
// and quality lists, the dialog's layout, and the choice its controls hold.
//
// The rows keep their order and their exact texts (row 2 really has two
// blanks before "32"). A display-mode row is offered when some mode the
// display reports is at least as wide and as tall; a display that reports
// nothing, or nothing that large, gets every row.
#pragma once

#include <cstddef>
#include <vector>

#include "launcher/LaunchSettings.h"

namespace kvx::launcher {

struct ModeRow {
    const char* text;
    int width, height, bits;
};

struct QualityItem {
    const char* text;  // UTF-8
    int data;          // quality = data * 0.25
};

inline constexpr int kModeRowCount = 10;
inline constexpr int kDefaultModeRow = 4;  // "800 x 600, 32 bit"
inline constexpr int kQualityItemCount = 5;
inline constexpr int kDefaultQualityItem = 2;  // "Normal"

// The display-mode table, row by row, and the quality list.
inline constexpr ModeRow kModeRows[kModeRowCount] = {
    {"1280 x 1024, 32 bit", 1280, 1024, 32}, {"1280 x 1024, 16 bit", 1280, 1024, 16},
    {"1024 x 768,  32 bit", 1024, 768, 32},  {"1024 x 768, 16 bit", 1024, 768, 16},
    {"800 x 600, 32 bit", 800, 600, 32},     {"800 x 600, 16 bit", 800, 600, 16},
    {"640 x 480, 32 bit", 640, 480, 32},     {"640 x 480, 16 bit", 640, 480, 16},
    {"320 x 200, 32 bit", 320, 200, 32},     {"320 x 200, 16 bit", 320, 200, 16}};
inline constexpr QualityItem kQualityItems[kQualityItemCount] = {
    {"Terrible", 1}, {"Poor", 2}, {"Normal", 4}, {"High", 8}, {"\u00DCber", 16}};
inline float qualityForData(int data) {
    return static_cast<float>(data) * 0.25f;
}

// One mode as the display reports it.
struct DisplayMode {
    int width = 0, height = 0, bits = 0;
};

// The table rows to offer, in table order.
std::vector<int> offeredModeRows(const std::vector<DisplayMode>& displayModes);

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    int right() const { return x + w; }
    int bottom() const { return y + h; }
};

// The dialog's layout in window pixels. The heights of the two list boxes
// include their dropped list; closed, each shows only a kFieldHeight field.
// A dropped list's rows are kListRowHeight apart, inside a kListMargin.
inline constexpr int kDialogWidth = 500, kDialogHeight = 200;
inline constexpr int kFieldHeight = 21, kListRowHeight = 15, kListMargin = 2;
inline constexpr Rect kModeBox{150, 50, 200, 100};
inline constexpr Rect kQualityBox{150, 120, 150, 100};
inline constexpr Rect kWindowedBox{150, 85, 15, 15};
inline constexpr Rect kStartButton{310, 120, 40, 25};

// Words drawn with the top of their line at x, y when there is no skin (a
// skin's picture carries its own).
struct Label {
    const char* text;
    int x, y;
};
inline constexpr Label kLabels[] = {
    {"mode", 150, 35}, {"windowed", 170, 84}, {"quality", 150, 105}};

enum class DialogState { Running, Started, Cancelled };

// What the controls hold.
struct LauncherChoice {
    // offered: the mode rows to list; rows that do not exist are dropped,
    // and none left means all ten. The selections start at their defaults:
    // 800 x 600, 32 bit when offered (else the first row) and "Normal".
    explicit LauncherChoice(const std::vector<int>& offered = {});

    std::vector<int> modeRows;  // never empty
    std::size_t mode = 0;       // index into modeRows
    std::size_t quality = kDefaultQualityItem;
    bool windowed = false;
    DialogState state = DialogState::Running;

    // The choice as settings; once cancelled, the defaults with cancelled set.
    LaunchSettings settings() const;
};

}  // namespace kvx::launcher
