// Launcher: runs the launcher dialog and returns the user's choice.
//
// The caller must have initialised the Vfs: the skin "StandardConfig.tga" is
// read through it (a missing or unusable skin gives a plain dialog with
// labels). The dialog opens its own borderless window, runs its own event
// loop on the calling (main) thread and destroys the window before
// returning. Only one dialog can run at a time; a second call while one runs
// returns cancelled settings.
#pragma once

#include "launcher/LaunchSettings.h"

namespace kvx::shell {

// Shows the dialog and waits for "Go" (settings filled in) or Escape or a
// request to close the window (cancelled == true). Also returns cancelled
// when no window can be made, after a message box ("Window Registration
// Failed!" when there is no video at all, "Window Creation Failed!" when the
// window cannot be made, both captioned "Error!") and the reason on stderr.
launcher::LaunchSettings runLauncher();

}  // namespace kvx::shell
