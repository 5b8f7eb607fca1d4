// Show: the player's start-up, frame loop and shutdown.
//
// Start-up, in order: the launcher (when asked for), the window with a black
// frame and the loading bar, the script and its layers, the synthesizer with
// the music thread, the framebuffer entry points, the offscreen buffers, each
// layer's time-0 track evaluation and prepare, a one-second pause, then the
// player's play and the show clock. The frame loop runs until Escape or
// until the previous frame's show time has passed the script's duration (a
// frame at exactly the duration is still drawn). Shutdown releases the
// layers, the target buffers, stops the music thread, then the remaining
// buffers, the script and the window.
//
// Beyond the interactive show:
//   headless  offscreen GL, no audio device: the soundtrack is rendered in
//             lockstep with the frames (so beats still reach the pictures)
//             and thrown away; a progress line on a terminal and a summary.
//   record    every frame on a virtual clock (frame k at k * 1000 / fps ms),
//             written as numbered PNGs, and the soundtrack rendered in
//             lockstep into a WAV file; the same input gives the same files.
//
// The exit status is 0 when the show ran to its end or was left with
// Escape, and 1 on every path that reports an error; a screenshot asked for
// and never taken (the show ended or was left first) is one of them.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "launcher/LaunchSettings.h"

namespace kvx::shell {

struct ShowOptions {
    // Display mode, windowed flag, quality and aspect when no launcher runs.
    launcher::LaunchSettings settings;
    // Runs the launcher dialog; null skips it (settings are used as given).
    std::function<launcher::LaunchSettings()> launcher;
    bool headless = false;
    // Print a one-line progress (headless runs on a terminal).
    bool progress = false;
    // Record into this folder (PNG frames + soundtrack.wav) when not empty.
    std::string recordDir;
    int fps = 30;
    // Write the first frame at or after screenshotAt ms here, then end.
    // A show that ends before that time fails.
    std::string screenshot;
    uint32_t screenshotAt = 0;
    // The pause before the show starts (milliseconds).
    uint32_t pauseMs = 1000;
    // Stop after this many frames (0: no limit).
    uint64_t maxFrames = 0;
    const char* scriptName = "script.zel";
};

struct ShowStats {
    uint64_t frames = 0;
    uint32_t showTime = 0;  // show time of the last frame drawn (ms)
    double wallMs = 0;      // wall time of the frame loop
    double averageFrameMs = 0;
    double worstFrameMs = 0;
    int beats = 0;
    int layers = 0;
    double startupMs = 0;  // entry to first frame shown, minus the pause
    bool escaped = false;
    bool prepareFailed = false;
    std::string error;  // why the show did not run, if it did not
};

// Runs the whole show. The Vfs must be initialised. Returns the exit status.
int runShow(const ShowOptions& options, ShowStats* stats = nullptr);

// The one-line summary printed at the end of a headless run.
std::string formatSummary(const ShowStats& stats);

}  // namespace kvx::shell
