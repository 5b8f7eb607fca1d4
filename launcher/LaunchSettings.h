// LaunchSettings: what the launcher dialog hands to start-up.
//
// The member defaults are what the dialog returns when the user presses "Go"
// without touching anything, so a player started without the dialog behaves
// like a user who accepted every default.
#pragma once

namespace kvx::launcher {

struct LaunchSettings {
    // Display mode.
    int width = 800;
    int height = 600;
    int bits = 32;
    // False when the "windowed" box was checked.
    bool fullScreen = true;
    // Scale of the offscreen buffers, one of 0.25, 0.5, 1.0, 2.0, 4.0.
    float quality = 1.0f;
    // Display aspect ratio; the dialog never changes it.
    float aspect = 4.0f / 3.0f;
    // True when the user left with Escape (or the window could not be made);
    // start-up then ends the program. The other fields keep their defaults.
    bool cancelled = false;
};

}  // namespace kvx::launcher
