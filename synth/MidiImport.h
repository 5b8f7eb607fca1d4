// MidiImport: converts a Standard MIDI File (format 0 or 1) into song events.
//
// All tracks are merged by time; the tempo map (set-tempo meta events, from
// any track) turns ticks into milliseconds, and SMPTE time division is
// supported. Running status is honoured; meta and system-exclusive events
// are skipped. A note-on of velocity 0 becomes a note-off (the player would
// count it as a beat). Two-byte messages (program change, channel pressure) get a
// data2 of 0. Every length read from the file is checked against its bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/Song.h"
#include "vfs/Vfs.h"

namespace kvx::synth {

// False with a message when the bytes are not a usable MIDI file.
bool importMidi(const vfs::Bytes& bytes, std::vector<SongEvent>& events, std::string& error);

// What an import does to the events before they become a song. A program
// change keeps its meaning in the song: it gives the channel the
// configuration's instrument of that number, so a General MIDI file's
// programs usually select instruments the configuration lacks (silencing
// the channel) unless they are dropped. The channel map moves a MIDI
// channel's messages to another channel, e.g. drums from 9 to one the
// configuration's mixer has.
struct MidiImportOptions {
    bool keepPrograms = true;
    std::array<uint8_t, 16> channelMap{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
};
void applyImportOptions(std::vector<SongEvent>& events, const MidiImportOptions& options);
// "FROM:TO,..." (channels 0-15) into map, which keeps its other entries;
// false with a message on bad text.
bool parseChannelMap(const std::string& text, std::array<uint8_t, 16>& map, std::string& error);

// What the events of each channel are: notes (note-ons with a velocity)
// and the programs selected, in order of first use.
struct ChannelUse {
    int notes = 0;
    std::vector<int> programs;
};
std::array<ChannelUse, 16> channelUse(const std::vector<SongEvent>& events);

// Writes a minimal format-0 MIDI file (tests and examples): one track of the
// given events with times in ticks at 480 ticks per beat, and the tempo in
// microseconds per beat.
vfs::Bytes makeMidi(const std::vector<SongEvent>& tickEvents, uint32_t microsPerBeat,
                    int format = 0);

}  // namespace kvx::synth
