// ShowRun: one run of the show, phase by phase (internal to runShow).
//
// Sections: start-up and shutdown are in Show.cpp; the frame loops (the
// recorder's and the live one), the transport keys, seeks, reloads and the
// overlays in ShowLoop.cpp.
//
// Every failure goes through fail(), which records the reason, says it on
// stderr and sets the exit status; a phase that fails returns false and the
// later phases are skipped, while the objects already made are torn down in
// reverse order of creation.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/watch/FileWatch.h"
#include "shell/Compositor.h"
#include "shell/FrameStep.h"
#include "shell/GlWindow.h"
#include "shell/LoadingBar.h"
#include "shell/Overlay.h"
#include "shell/Show.h"
#include "shell/Stage.h"
#include "shell/Transport.h"

namespace kvx::shell {

class ShowRun {
  public:
    using Clock = std::chrono::steady_clock;

    ShowRun(const ShowOptions& options, ShowStats& stats);
    int play();

  private:
    // Start-up (Show.cpp).
    bool checkOptions();
    bool chooseSettings();
    bool openWindow();
    bool loadScript();
    void loadSoundtrack();
    bool makeBuffers();
    bool prepareLayers();
    void openWatch();
    // Shutdown (Show.cpp).
    void shutDown();

    // The show (ShowLoop.cpp).
    void frameLoop();
    void recordLoop();
    void liveLoop();
    bool leaving();
    void handleKeys(Transport& transport, uint32_t now);
    // A change under watch reloads the show at frame; true when taken.
    bool reloadIfChanged(uint64_t frame);
    void seek(uint64_t frame);
    // Draws frame `time` (or, again, shows the last picture again without
    // moving the show: paused, or no time passed), the overlays, hands it
    // to onFrame, captures, swaps.
    void showFrame(uint32_t time, uint32_t dt, bool again);
    void drawOverlays(uint32_t time, bool paused);
    std::vector<std::string> infoLines(uint32_t time, bool paused) const;
    void countFrame(uint32_t time);
    void countDrawnTypes(uint32_t time);
    bool captureFrame();
    void finishRecording();
    void checkScreenshot();

    bool fail(const std::string& reason);
    bool screenshotDue(uint32_t time) const {
        return !options_.screenshot.empty() && !recording_ && time >= options_.screenshotAt;
    }

    const ShowOptions& options_;
    ShowStats& stats_;
    const bool recording_;
    const bool lockstep_;
    const FrameStep step_;
    int status_ = 0;
    bool screenshotWritten_ = false;
    launcher::LaunchSettings settings_;
    Clock::time_point entry_ = Clock::now();
    // In order of creation.
    std::unique_ptr<GlWindow> window_;
    std::unique_ptr<LoadingBar> bar_;
    std::unique_ptr<Stage> stage_;
    std::unique_ptr<Compositor> compositor_;
    std::unique_ptr<platform::FileWatch> watch_;
    std::string ignored_;  // a watched folder's part that the show writes to
    std::unique_ptr<Overlay> overlay_;
    std::vector<uint8_t> pixels_;  // a frame read back for a PNG

    Transport* transport_ = nullptr;  // the live loop's, while it runs
    bool overlayOn_ = false;
    uint64_t startFrame_ = 0;  // frame of the step the show started at
    uint32_t startTime_ = 0;
    uint32_t previous_ = 0;  // show time of the previous frame
    Clock::time_point loopStart_{};
    Clock::time_point frameStart_{};
    // Frame rate over windows of at least half a second of wall time.
    Clock::time_point rateStart_{};
    int rateFrames_ = 0;
    double rate_ = 0.0;
};

}  // namespace kvx::shell
