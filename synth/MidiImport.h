// MidiImport: converts a Standard MIDI File (format 0 or 1) into song events.
//
// All tracks are merged by time; the tempo map (set-tempo meta events, from
// any track) turns ticks into milliseconds, and SMPTE time division is
// supported. Running status is honoured; meta and system-exclusive events
// are skipped. A note-on of velocity 0 becomes a note-off (the player would
// count it as a beat). Two-byte messages (program change, channel pressure) get a
// data2 of 0. Every length read from the file is checked against its bytes.
#pragma once

#include <string>
#include <vector>

#include "synth/Song.h"
#include "vfs/Vfs.h"

namespace kvx::synth {

// False with a message when the bytes are not a usable MIDI file.
bool importMidi(const vfs::Bytes& bytes, std::vector<SongEvent>& events, std::string& error);

// Writes a minimal format-0 MIDI file (tests and examples): one track of the
// given events with times in ticks at 480 ticks per beat, and the tempo in
// microseconds per beat.
vfs::Bytes makeMidi(const std::vector<SongEvent>& tickEvents, uint32_t microsPerBeat,
                    int format = 0);

}  // namespace kvx::synth
