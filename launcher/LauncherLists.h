// LauncherLists: the fixed contents of the launcher's two drop-down lists and
// the rule that trims the display-mode list to what the screen can show.
//
// The rows keep their order and their exact texts (row 2 really has two
// blanks before "32"). Which rows are offered depends on the display: a row is
// kept when some mode the display reports is at least as wide and as tall.
// The display is asked through DisplayModeSource so that tests can inject a
// list; an empty answer (no display, or one that reports nothing) keeps every
// row, as does a display too small for any of them.
#pragma once

#include <cstddef>
#include <vector>

namespace kvx::launcher {

struct ModeRow {
    const char* text;
    int width;
    int height;
    int bits;
};

struct QualityItem {
    const char* text;  // UTF-8
    int data;          // quality = data * 0.25
};

inline constexpr int kModeRowCount = 10;
inline constexpr int kDefaultModeRow = 4;  // "800 x 600, 32 bit"
inline constexpr int kQualityItemCount = 5;
inline constexpr int kDefaultQualityItem = 2;  // "Normal"

// Row r of the display-mode table, 0 <= r < kModeRowCount.
const ModeRow& modeRow(int row);
// Item i of the quality list, 0 <= i < kQualityItemCount.
const QualityItem& qualityItem(int item);
// The quality an item's data stands for.
float qualityForData(int data);

// One mode as the display reports it.
struct DisplayMode {
    int width = 0;
    int height = 0;
    int bits = 0;
};

class DisplayModeSource {
  public:
    virtual ~DisplayModeSource() = default;
    // Every mode of the display the dialog opens on; empty when unknown.
    virtual std::vector<DisplayMode> modes() const = 0;
};

// A fixed list, for tests and for callers that already know the modes.
class FixedDisplayModes : public DisplayModeSource {
  public:
    explicit FixedDisplayModes(std::vector<DisplayMode> modes) : modes_(std::move(modes)) {}
    std::vector<DisplayMode> modes() const override { return modes_; }

  private:
    std::vector<DisplayMode> modes_;
};

// The table rows to offer, in table order (each entry is a row number, the
// item data of the mode box).
std::vector<int> offeredModeRows(const std::vector<DisplayMode>& displayModes);

// The index into offered that starts selected: the row of 800 x 600, 32 bit
// when offered, otherwise the first offered row. offered must not be empty.
std::size_t initialModeIndex(const std::vector<int>& offered);

}  // namespace kvx::launcher
