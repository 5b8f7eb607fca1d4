// SoundTimeline: the synthesizer's state at any frame of a fixed frame step,
// without rendering the song from its start for every seek.
//
// The sound a lockstep player makes depends on its whole past (voices,
// envelopes, filters, LFOs, the smoothing history) and even on the times it
// is advanced to, since the notes due by a frame start before the block
// that follows it. So the state at frame k is only the state of a player
// that was advanced to frame 0, 1, ..., k of the same step.
//
// A rehearsal thread does exactly that on a player of its own, silently and
// as fast as it can (a few hundred times faster than real time), and keeps a
// copy of the state every kInterval ms of song: the checkpoints. stateBefore
// (frame) then restores the nearest checkpoint at or before frame - 1 into a
// third player, advances it over the few frames that remain and returns its
// state, which any player loaded from the same files can take. The
// rehearsal runs once, to the end of the show, and stops early when the
// timeline is destroyed; a seek beyond where it has got waits for it, which
// costs no more than rendering there itself would.
//
// Threads: the rehearsal thread owns its player; stateBefore is called from
// one other thread (the main thread) at a time. The checkpoints are shared
// under a mutex; no audio thread ever waits on it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "shell/FrameStep.h"
#include "vfs/Vfs.h"

namespace kvx::synth {
class Player;
struct PlayerState;
}  // namespace kvx::synth

namespace kvx::shell {

class SoundTimeline {
  public:
    // Song time between two checkpoints (milliseconds).
    static constexpr uint32_t kInterval = 2000;

    // Players for config and song; the rehearsal starts at once and runs to
    // endMs of show time. failed() when the configuration is not accepted.
    SoundTimeline(const vfs::Bytes& config, const vfs::Bytes& song, FrameStep step, uint32_t endMs);
    ~SoundTimeline();
    SoundTimeline(const SoundTimeline&) = delete;
    SoundTimeline& operator=(const SoundTimeline&) = delete;

    bool failed() const { return failed_; }
    const FrameStep& step() const { return step_; }

    // The state of a player of this step after frames 0 .. frame - 1 (for
    // frame 0, the state before any), playing from time 0. Null when failed.
    std::unique_ptr<synth::PlayerState> stateBefore(uint64_t frame);

    // Waits until the rehearsal has reached its end (benchmarks, tests).
    void waitRehearsed();
    size_t checkpointCount() const;

  private:
    std::unique_ptr<synth::Player> makePlayer(const vfs::Bytes& config, const vfs::Bytes& song);
    void rehearse(uint32_t endMs);
    // The checkpoint at or before frame, waiting for the rehearsal to pass
    // frame first; the frame it was taken after comes back in taken.
    std::shared_ptr<const synth::PlayerState> checkpointAtOrBefore(uint64_t frame, uint64_t& taken);

    FrameStep step_;
    bool failed_ = false;
    std::unique_ptr<synth::Player> rehearsal_;
    std::unique_ptr<synth::Player> seeker_;
    std::unique_ptr<synth::PlayerState> initial_;

    mutable std::mutex mutex_;
    std::condition_variable progress_;
    // Frame index -> the state after that frame.
    std::map<uint64_t, std::shared_ptr<const synth::PlayerState>> checkpoints_;
    uint64_t reached_ = 0;  // frames rehearsed so far (under mutex_)
    bool done_ = false;     // the rehearsal has ended (under mutex_)
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace kvx::shell
