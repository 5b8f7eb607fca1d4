// SongText: a song file as it is stored, byte for byte, and its readable
// text form, for the kvxsong tool (dump and from-text) and for tests.
//
// The text has one event per line, "time_ms channel message data1 data2",
// times absolute and never decreasing, message one of note-off, note-on,
// key-pressure, controller, program, channel-pressure, pitch-bend; '#'
// starts a comment. What the player reads but a plain event line cannot
// say is written as well, so that every file the player accepts survives
// dump then from-text unchanged:
//   - a status byte that is no channel message: channel "-" and the byte in
//     hex as the message ("120 - 0x45 200 13"); data bytes run 0..255;
//   - a delta time stored in more bytes than it needs: "vlq=N" after the
//     event (leading bytes of 0x80);
//   - the two header bytes after the magic, and an event count that is not
//     the number of events: a "song pad=HHHH count=N" line;
//   - bytes after the last whole event (a cut-off event, anything after the
//     announced events): a last "tail hex=..." line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vfs/Vfs.h"

namespace kvx::synth {

struct SongFileEvent {
    int64_t time = 0;  // absolute, milliseconds (not saturated)
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    int vlqLength = 0;  // bytes of the stored delta; 0: the fewest that hold it
};

struct SongFile {
    std::array<uint8_t, 2> pad{};           // the two header bytes after the magic
    std::optional<uint32_t> declaredCount;  // when not the number of events
    std::vector<SongFileEvent> events;
    vfs::Bytes tail;  // after the last whole event
};

// Reads what Song::parse reads; false with a message when it refuses.
bool readSongFile(const vfs::Bytes& bytes, SongFile& out, std::string& error);
vfs::Bytes buildSongFile(const SongFile& song);
std::string songToText(const SongFile& song);
// False with a message naming the line on bad input.
bool parseSongText(const std::string& text, SongFile& out, std::string& error);

}  // namespace kvx::synth
