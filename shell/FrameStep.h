// FrameStep: the show times of a run at a fixed frame rate.
//
// A recording at N frames per second shows frame k at k x 1000 / N ms
// (whole milliseconds, rounded down) and advances every layer by the
// difference to the frame before (0 for frame 0). Everything that keeps
// state (tracks, particles, fire, the synthesizer, the beat count) is a
// function of that sequence, so a seek replays it from frame 0; a live show
// seeks along the sequence of kSeekFps, and lands exactly where a run at
// that rate would be.
#pragma once

#include <cstdint>

namespace kvx::shell {

struct FrameStep {
    // The frame rate a live (not recording) show seeks along.
    static constexpr int kSeekFps = 60;

    int fps = kSeekFps;

    uint32_t time(uint64_t frame) const {
        return static_cast<uint32_t>(frame * 1000u / static_cast<uint64_t>(fps));
    }
    // The time step into frame (0 for the first frame).
    uint32_t step(uint64_t frame) const { return frame == 0 ? 0 : time(frame) - time(frame - 1); }
    // The frame a seek to ms lands on: ms x fps / 1000, rounded down, whose
    // time is ms or up to one frame earlier.
    uint64_t frameAt(uint32_t ms) const {
        return static_cast<uint64_t>(ms) * static_cast<uint64_t>(fps) / 1000u;
    }
};

}  // namespace kvx::shell
