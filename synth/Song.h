// Song: the timed channel messages of a soundtrack, and the "kvx::song" file.
//
// File layout (little-endian): 9 magic bytes "kvx::song", two bytes without
// meaning, a 32-bit event count, then the events. An event is a delta time in
// milliseconds as a variable-length quantity (at most four bytes) followed by
// exactly three message bytes: status, data1, data2.
//
// Reading bad files: the count is bounded by what the bytes can hold (an
// event takes at least four bytes) before anything is allocated; a file that
// ends early keeps the events read so far; a delta longer than four bytes
// ends the song there; the running time saturates instead of overflowing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ByteReader.h"
#include "vfs/Vfs.h"

namespace kvx::synth {

struct SongEvent {
    int32_t time = 0;  // absolute, milliseconds
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

// Receives the events that become due.
class SongSink {
  public:
    virtual ~SongSink() = default;
    virtual void onMessage(const SongEvent& event) = 0;
};

class Song {
  public:
    // Parses a song file; false (and an empty song) when the magic is wrong.
    bool parse(const uint8_t* data, size_t size);
    void clear() {
        events_.clear();
        rewind();
    }

    // Adds ms to the elapsed time and hands every event that became due to
    // the sink, in order.
    void advance(uint32_t ms);
    void rewind() {
        elapsed_ = 0;
        position_ = 0;
    }
    // Puts the song back where a copy of its position and elapsed time says
    // (a player's saved state); a position past the end is the end.
    void restore(size_t position, int64_t elapsed) {
        position_ = position < events_.size() ? position : events_.size();
        elapsed_ = elapsed;
    }
    void setSink(SongSink* sink) { sink_ = sink; }

    const std::vector<SongEvent>& events() const { return events_; }
    size_t position() const { return position_; }
    int64_t elapsed() const { return elapsed_; }
    bool atEnd() const { return position_ >= events_.size(); }

  private:
    std::vector<SongEvent> events_;
    size_t position_ = 0;
    int64_t elapsed_ = 0;
    SongSink* sink_ = nullptr;
};

// Serialises events (absolute times, ascending) into a song file.
vfs::Bytes writeSong(const std::vector<SongEvent>& events);

// Reads one variable-length quantity of at most four bytes. Returns false
// when the bytes end or a fourth byte still has its top bit set.
bool readVlq(core::ByteReader& r, uint32_t& value);
bool readVlq(const uint8_t* data, size_t size, size_t& pos, uint32_t& value);
// Writes value (28 bits at most) in the fewest bytes, or in `length` bytes
// (1..4) when that is more: leading bytes of 0x80 add nothing to the value.
void writeVlq(vfs::Bytes& out, uint32_t value, int length = 0);

}  // namespace kvx::synth
