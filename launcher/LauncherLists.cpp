// LauncherLists: the display-mode and quality tables and the mode filter.
#include "launcher/LauncherLists.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace kvx::launcher {
namespace {

constexpr std::array<ModeRow, kModeRowCount> kModeRows{{
    {"1280 x 1024, 32 bit", 1280, 1024, 32},
    {"1280 x 1024, 16 bit", 1280, 1024, 16},
    {"1024 x 768,  32 bit", 1024, 768, 32},
    {"1024 x 768, 16 bit", 1024, 768, 16},
    {"800 x 600, 32 bit", 800, 600, 32},
    {"800 x 600, 16 bit", 800, 600, 16},
    {"640 x 480, 32 bit", 640, 480, 32},
    {"640 x 480, 16 bit", 640, 480, 16},
    {"320 x 200, 32 bit", 320, 200, 32},
    {"320 x 200, 16 bit", 320, 200, 16},
}};

constexpr std::array<QualityItem, kQualityItemCount> kQualityItems{{
    {"Terrible", 1},
    {"Poor", 2},
    {"Normal", 4},
    {"High", 8},
    {"\xC3\x9C"
     "ber",
     16},
}};

}  // namespace

const ModeRow& modeRow(int row) {
    assert(row >= 0 && row < kModeRowCount && "display-mode row out of range");
    return kModeRows[static_cast<std::size_t>(row)];
}

const QualityItem& qualityItem(int item) {
    assert(item >= 0 && item < kQualityItemCount && "quality item out of range");
    return kQualityItems[static_cast<std::size_t>(item)];
}

float qualityForData(int data) {
    return static_cast<float>(data) * 0.25f;
}

std::vector<int> offeredModeRows(const std::vector<DisplayMode>& displayModes) {
    std::vector<int> all;
    for (int r = 0; r < kModeRowCount; ++r)
        all.push_back(r);

    // A row fits when one reported mode is at least as wide and as tall: a
    // display that shows w x h can show a smaller mode scaled, or a smaller
    // window. Colour depth is not compared, since displays rarely list 16-bit
    // modes any more and the show renders either way.
    auto fits = [&](const ModeRow& row) {
        return std::any_of(displayModes.begin(), displayModes.end(), [&](const DisplayMode& m) {
            return row.width <= m.width && row.height <= m.height;
        });
    };
    std::vector<int> kept;
    for (int r : all) {
        if (fits(kModeRows[static_cast<std::size_t>(r)]))
            kept.push_back(r);
    }
    return kept.empty() ? all : kept;
}

std::size_t initialModeIndex(const std::vector<int>& offered) {
    assert(!offered.empty() && "the mode list is never empty");
    auto it = std::find(offered.begin(), offered.end(), kDefaultModeRow);
    return it == offered.end() ? 0 : static_cast<std::size_t>(it - offered.begin());
}

}  // namespace kvx::launcher
