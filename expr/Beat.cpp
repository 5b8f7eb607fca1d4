// Beat detection and the fall of the beat pulse; see Beat.h.
#include "expr/Beat.h"

#include <cmath>

#include "core/Globals.h"

namespace kvx::expr {

bool isBeat(float beatEvent, int channelSlot, int note) {
    // A setting outside the int range (or NaN) matches nothing rather than
    // overflowing the conversion.
    if (!(beatEvent > -2147483520.0f && beatEvent < 2147483520.0f)) {
        return false;
    }
    const int e = static_cast<int>(beatEvent);
    const int slot = e / 1000;
    const int wanted = e % 1000;
    return channelSlot == slot && (wanted == 0 || note == wanted);
}

void detectBeat(int channelSlot, int note) {
    auto& g = core::globals();
    if (isBeat(g.beatEvent.load(std::memory_order_relaxed), channelSlot, note)) {
        g.beatPulse.store(1.0f, std::memory_order_relaxed);
        g.beatCount.fetch_add(1, std::memory_order_relaxed);
    }
}

void decayBeatPulse(unsigned dt) {
    auto& g = core::globals();
    float pulse = g.beatPulse.load(std::memory_order_relaxed);
    if (pulse > 0.0f) {
        float next = pulse - static_cast<float>(dt) * g.beatFalloff.load(std::memory_order_relaxed);
        next = next > 0.0f ? next : 0.0f;
        // If the music thread struck a new beat since the load, its 1.0 wins
        // instead of being overwritten by the decayed old value.
        g.beatPulse.compare_exchange_strong(pulse, next, std::memory_order_relaxed);
    }
}

}  // namespace kvx::expr
