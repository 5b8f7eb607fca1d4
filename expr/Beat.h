// Beat detection: which note-on events of the synthesizer count as beats.
//
// The music thread calls detectBeat for every note-on a channel slot receives
// (through a plain function pointer, so the synthesizer needs no script
// headers). The beat event setting (BEATEVENT) is channel slot * 1000 + note,
// where note 0 means any note. A beat sets the pulse to 1.0 and counts one
// beat; the frame loop lets the pulse fall by the fall-off per millisecond.
// All values live in core::globals() as relaxed atomics.
#pragma once

namespace kvx::expr {

// Pure rule: whether a note-on is a beat for the given beat event setting.
bool isBeat(float beatEvent, int channelSlot, int note);

// Music thread: on a beat, pulse = 1.0 and count += 1.
void detectBeat(int channelSlot, int note);

// Frame loop: pulse -= dt * fall-off, never below 0.
void decayBeatPulse(unsigned dt);

using BeatCallback = void (*)(int channelSlot, int note);

}  // namespace kvx::expr
