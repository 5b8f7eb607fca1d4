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
// Live authoring (see Transport.h, Stage.h):
//   keys      a show that is not recorded takes the transport keys: Space
//             pauses and resumes picture and music, Left/Right seek 1 s
//             (Shift: 10 s), Home goes to 0, [ and ] set a loop range that
//             repeats until Backspace clears it, F1 toggles the overlay.
//   seeks     exact: the show replays from 0 along a fixed frame step (the
//             recording's, or FrameStep::kSeekFps for a live show) without
//             drawing, so a seek lands on the frame and the sound a straight
//             run at that step reaches there.
//   startAt   starts the show at that time through the same seek; a
//             recording then holds the tail of the recording from 0, frame
//             for frame and sample for sample.
//   watch     the data folder (or the pack) is watched; a change reloads
//             the show at the next frame, keeping its time. A script that
//             does not parse keeps the last good show running and shows its
//             diagnostic over the picture (and on stderr) until it parses.
//
// The exit status is 0 when the show ran to its end or was left with
// Escape, and 1 on every path that reports an error; a screenshot asked for
// and never taken (the show ended or was left first) is one of them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "core/Timer.h"
#include "launcher/LaunchSettings.h"
#include "layers/LayerFactory.h"

namespace kvx::shell {

// What onFrame sees of each frame shown.
struct FrameInfo {
    uint64_t index = 0;  // frames shown so far in this run, paused ones included
    uint32_t time = 0;   // show time of the picture
    uint32_t dt = 0;     // time step into it (0 for a picture shown again)
    bool again = false;  // the previous picture shown again (paused, or no time passed)
    bool paused = false;
    bool overlay = false;     // the information overlay is on
    bool errorShown = false;  // a diagnostic is over the picture
    uint64_t seeks = 0;       // seeks carried out so far
    uint64_t reloads = 0;     // reloads taken so far
    uint64_t failedReloads = 0;
};

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
    // Start the show at this time (milliseconds) through an exact seek.
    uint32_t startAt = 0;
    // Watch the data folder or pack and reload what changed.
    bool watch = false;
    // Start with the information overlay on (also in recordings).
    bool overlay = false;
    // The show clock of a run that is not recorded (tests); null: the system's.
    const core::Clock* clock = nullptr;
    // Called for every frame shown, after it is composed (with its overlays)
    // into the window's back buffer and before the swap (tests, tools).
    std::function<void(const FrameInfo&)> onFrame;
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
    // Frames in which at least one layer of each type was drawn, indexed
    // like LayerFactory::keyword.
    std::array<uint64_t, layers::LayerFactory::kTypeCount> typeFrames{};
    bool escaped = false;
    bool prepareFailed = false;
    uint64_t seeks = 0;
    double lastSeekMs = 0;  // wall time of the last seek (replay and sound)
    double worstSeekMs = 0;
    uint64_t reloads = 0;
    uint64_t failedReloads = 0;
    std::string error;  // why the show did not run, if it did not
};

// Runs the whole show. The Vfs must be initialised. Returns the exit status.
int runShow(const ShowOptions& options, ShowStats* stats = nullptr);

// The one-line summary printed at the end of a headless run.
std::string formatSummary(const ShowStats& stats);
// Its second line: each layer type drawn and in how many frames, most
// frames first ("kvx: drawn: plasma 1520, fire 300"), or "nothing".
std::string formatDrawnSummary(const ShowStats& stats);

}  // namespace kvx::shell
