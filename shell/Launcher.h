// Launcher: runs the launcher dialog and returns the user's choice.
//
// The caller must have set up the Vfs: the skin "StandardConfig.tga" is read
// through it (a missing or unusable skin gives a plain dialog with labels).
// The dialog opens its own window, runs its own event loop on the calling
// (main) thread and destroys the window before returning. Only one dialog
// can run at a time; a second call while one runs returns cancelled settings.
#pragma once

#include <string>

#include "launcher/LaunchSettings.h"

namespace kvx::shell {

// Shows the dialog and waits for "Go" (settings filled in), Escape or a
// request to close the window (cancelled). Also returns cancelled when no
// window can be made, after a warning box ("Window Registration Failed!"
// when there is no video at all, "Window Creation Failed!" when the window
// cannot be made, both captioned "Error!").
launcher::LaunchSettings runLauncher();

// Whether runLauncher is running now (any thread may ask).
bool launcherRunning();

// Opens the dialog as runLauncher would, and writes what its window shows as
// a PNG (cut-away parts transparent) instead of waiting for the user.
bool writeLauncherScreenshot(const std::string& path, std::string* error = nullptr);

}  // namespace kvx::shell
