// Transport: the keys an author steers a running show with, and the show
// clock they move.
//
//   Space          pause / resume (picture and music together)
//   Left, Right    seek 1 s back / forward; with Shift 10 s
//   Home           back to the start
//   [  ]           the loop range starts / ends at the current time; once
//                  both are set (end after start), passing the end seeks
//                  back to the start, until Backspace clears the range
//   F1             the information overlay on / off
//
// The clock: show time runs with a clock reading (milliseconds) from a base
// that a seek moves, and stands while paused. Seeks are only asked for here
// (takeSeek); the show carries them out (Stage::seek) and then tells the
// clock where it landed (jump). Targets are clamped to 0 .. duration.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/video/Video.h"

namespace kvx::shell {

class Transport {
  public:
    static constexpr uint32_t kStepMs = 1000;
    static constexpr uint32_t kShiftStepMs = 10000;

    // The clock starts at show time 0 at clock reading now.
    Transport(uint32_t duration, uint32_t now);

    // Show time at clock reading now.
    uint32_t time(uint32_t now) const { return paused_ ? base_ : base_ + (now - baseNow_); }
    // The show is at showTime at clock reading now (after a seek).
    void jump(uint32_t showTime, uint32_t now);
    bool paused() const { return paused_; }
    // A pause holds the picture on screen: the show stands at `current`
    // (the time of the frame last shown) and goes on from there at resume.
    void setPaused(bool paused, uint32_t current, uint32_t now);

    // One key, pressed while the show is at `current`.
    void press(const platform::KeyPress& key, uint32_t current, uint32_t now);
    // After a frame at `time`: past the loop's end, a seek to its start.
    void frameShown(uint32_t time);
    // The seek asked for since the last call, if any.
    std::optional<uint32_t> takeSeek();

    bool overlay() const { return overlay_; }
    void setOverlay(bool on) { overlay_ = on; }
    bool looping() const { return loopStart_ && loopEnd_ && *loopEnd_ > *loopStart_; }
    std::optional<uint32_t> loopStart() const { return loopStart_; }
    std::optional<uint32_t> loopEnd() const { return loopEnd_; }

  private:
    void seekBy(int64_t deltaMs, uint32_t current);

    uint32_t duration_;
    uint32_t base_ = 0;
    uint32_t baseNow_;
    bool paused_ = false;
    bool overlay_ = false;
    std::optional<uint32_t> seek_;
    std::optional<uint32_t> loopStart_;
    std::optional<uint32_t> loopEnd_;
};

}  // namespace kvx::shell
