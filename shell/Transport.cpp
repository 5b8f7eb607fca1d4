// Keys to pause, seek, loop and overlay; the show clock (see Transport.h).
#include "shell/Transport.h"

#include <algorithm>

namespace kvx::shell {

Transport::Transport(uint32_t duration, uint32_t now) : duration_(duration), baseNow_(now) {}

void Transport::jump(uint32_t showTime, uint32_t now) {
    base_ = showTime;
    baseNow_ = now;
}

void Transport::setPaused(bool paused, uint32_t current, uint32_t now) {
    if (paused == paused_) {
        return;
    }
    if (paused) {
        base_ = current;
    } else {
        baseNow_ = now;  // the time stood still meanwhile
    }
    paused_ = paused;
}

// Several seek keys before the show carries them out add up.
void Transport::seekBy(int64_t deltaMs, uint32_t current) {
    const int64_t from = seek_ ? *seek_ : current;
    seek_ = static_cast<uint32_t>(std::clamp<int64_t>(from + deltaMs, 0, duration_));
}

void Transport::press(const platform::KeyPress& key, uint32_t current, uint32_t now) {
    using platform::Key;
    const int64_t step = key.shift ? kShiftStepMs : kStepMs;
    switch (key.key) {
        case Key::Space:
            setPaused(!paused_, current, now);
            break;
        case Key::Left:
            seekBy(-step, current);
            break;
        case Key::Right:
            seekBy(step, current);
            break;
        case Key::Home:
            seek_ = 0;
            break;
        case Key::LoopStart:
            loopStart_ = current;
            break;
        case Key::LoopEnd:
            loopEnd_ = current;
            break;
        case Key::Backspace:
            loopStart_.reset();
            loopEnd_.reset();
            break;
        case Key::F1:
            overlay_ = !overlay_;
            break;
    }
}

void Transport::frameShown(uint32_t time) {
    if (looping() && time >= *loopEnd_ && !seek_) {
        seek_ = *loopStart_;
    }
}

std::optional<uint32_t> Transport::takeSeek() {
    std::optional<uint32_t> s = seek_;
    seek_.reset();
    return s;
}

}  // namespace kvx::shell
