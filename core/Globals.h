// The few values the whole process shares, kept in one place.
//
// Threads: beatPulse and beatCount are written by the music thread (on a
// beat) and read by the frame loop and the expression evaluator; the frame
// loop also decays beatPulse. They are atomics with relaxed ordering: each is
// a single value, and nothing else is published through them. The other
// values are set on the main thread during start-up (beatEvent and
// beatFalloff when the script's declarations are read) and only read after
// the music thread has started, which orders them.
#pragma once

#include <atomic>

namespace kvx::core {

struct Globals {
    // Expression variable `beat`: 1.0 at a beat, falling linearly to 0.
    std::atomic<float> beatPulse{0.0f};
    // Expression variable `beatcount`: beats so far.
    std::atomic<int> beatCount{0};
    // Which note-ons are beats: channel slot * 1000 + note, note 0 = any.
    std::atomic<float> beatEvent{0.0f};
    // How much the beat pulse falls per millisecond.
    std::atomic<float> beatFalloff{0.005f};
    // Display aspect ratio chosen by the launcher, copied into every layer.
    std::atomic<float> aspectRatio{1.3333330f};
    // How deep material files may nest their levels.
    std::atomic<int> materialLevelLimit{2};
};

// The process's shared values.
inline Globals& globals() {
    static Globals g;
    return g;
}

}  // namespace kvx::core
