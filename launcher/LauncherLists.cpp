// LauncherLists: the display-mode filter and the settings a choice stands for.
#include "launcher/LauncherLists.h"

#include <algorithm>

namespace kvx::launcher {

std::vector<int> offeredModeRows(const std::vector<DisplayMode>& displayModes) {
    // A display that shows w x h can show a smaller mode scaled, or a smaller
    // window. Colour depth is not compared: displays rarely list 16-bit modes
    // any more, and the show renders either way.
    std::vector<int> all, kept;
    for (int r = 0; r < kModeRowCount; ++r) {
        all.push_back(r);
        const ModeRow& row = kModeRows[r];
        if (std::any_of(displayModes.begin(), displayModes.end(), [&](const DisplayMode& m) {
                return row.width <= m.width && row.height <= m.height;
            }))
            kept.push_back(r);
    }
    return kept.empty() ? all : kept;
}

LauncherChoice::LauncherChoice(const std::vector<int>& offered) {
    for (int r : offered) {
        if (r >= 0 && r < kModeRowCount)
            modeRows.push_back(r);
    }
    if (modeRows.empty())
        modeRows = offeredModeRows({});
    const auto it = std::find(modeRows.begin(), modeRows.end(), kDefaultModeRow);
    mode = it == modeRows.end() ? 0 : std::size_t(it - modeRows.begin());
}

LaunchSettings LauncherChoice::settings() const {
    LaunchSettings s;
    if (state == DialogState::Cancelled) {
        s.cancelled = true;
        return s;
    }
    const ModeRow& row = kModeRows[modeRows[mode]];
    s.width = row.width;
    s.height = row.height;
    s.bits = row.bits;
    s.quality = qualityForData(kQualityItems[quality].data);
    s.fullScreen = !windowed;
    return s;
}

}  // namespace kvx::launcher
