// A score as a format-1 Standard MIDI File (see Score.h).
//
// Track 0 holds the tempo and the time signature; every score track becomes
// one MIDI track with its name, its program and volume at tick 0 and its
// notes. Within a track, events of one tick are written note-offs first, so
// a note that ends where the same note starts again does not cut the new one
// short. Every track ends at the end of the song. No running status is used.
#include <algorithm>

#include "Score.h"

namespace kvx::tools {

namespace {

struct TimedEvent {
    int64_t tick = 0;
    int order = 0;  // 0: note-off, 1: note-on, at equal ticks
    uint8_t status = 0, data1 = 0, data2 = 0;
};

void putVlq(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    while (n > 1) {
        out.push_back(static_cast<uint8_t>(bytes[--n] | 0x80));
    }
    out.push_back(bytes[0]);
}

void putBe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

void putMeta(std::vector<uint8_t>& out, uint8_t type, const std::vector<uint8_t>& data) {
    out.push_back(0xFF);
    out.push_back(type);
    putVlq(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

// Wraps a track body (events with deltas) into an MTrk chunk, adding the
// end-of-track event at `endTick`.
void putTrack(std::vector<uint8_t>& file, std::vector<uint8_t> body, int64_t lastTick,
              int64_t endTick) {
    putVlq(body, static_cast<uint32_t>(std::max<int64_t>(0, endTick - lastTick)));
    putMeta(body, 0x2F, {});
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    putBe(file, static_cast<uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
}

std::vector<TimedEvent> trackEvents(const Score& score, int trackIndex) {
    const ScoreTrack& t = score.tracks[trackIndex];
    const auto channel = static_cast<uint8_t>(t.channel);
    std::vector<TimedEvent> events;
    for (const Placement& pl : score.placements) {
        const int64_t start = static_cast<int64_t>(pl.bar) * score.barTicks();
        for (const ScoreNote& n : score.patterns[pl.pattern].notes) {
            if (n.track != trackIndex) {
                continue;
            }
            const auto note = static_cast<uint8_t>(n.note + pl.transpose);
            events.push_back({start + n.tick, 1, static_cast<uint8_t>(0x90 | channel), note,
                              static_cast<uint8_t>(n.velocity)});
            events.push_back(
                {start + n.tick + n.length, 0, static_cast<uint8_t>(0x80 | channel), note, 0});
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const TimedEvent& a, const TimedEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    return events;
}

void putScoreTrack(std::vector<uint8_t>& file, const Score& score, int trackIndex,
                   int64_t endTick) {
    const ScoreTrack& t = score.tracks[trackIndex];
    std::vector<uint8_t> body;
    body.push_back(0);
    putMeta(body, 0x03, std::vector<uint8_t>(t.name.begin(), t.name.end()));
    if (t.program >= 0) {
        body.insert(body.end(),
                    {0, static_cast<uint8_t>(0xC0 | t.channel), static_cast<uint8_t>(t.program)});
    }
    if (t.volume >= 0) {
        body.insert(body.end(),
                    {0, static_cast<uint8_t>(0xB0 | t.channel), 7, static_cast<uint8_t>(t.volume)});
    }
    int64_t last = 0;
    for (const TimedEvent& e : trackEvents(score, trackIndex)) {
        putVlq(body, static_cast<uint32_t>(e.tick - last));
        last = e.tick;
        body.insert(body.end(), {e.status, e.data1, e.data2});
    }
    putTrack(file, std::move(body), last, endTick);
}

}  // namespace

std::vector<uint8_t> writeMidi(const Score& score) {
    const int64_t endTick = static_cast<int64_t>(score.bars) * score.barTicks();
    std::vector<uint8_t> file{'M', 'T', 'h', 'd'};
    putBe(file, 6, 4);
    putBe(file, 1, 2);  // format 1: simultaneous tracks
    putBe(file, static_cast<uint32_t>(score.tracks.size() + 1), 2);
    putBe(file, kTicksPerQuarter, 2);

    std::vector<uint8_t> tempo;
    tempo.push_back(0);
    std::vector<uint8_t> micros;
    putBe(micros, score.microsPerQuarter(), 3);
    putMeta(tempo, 0x51, micros);
    tempo.push_back(0);
    uint8_t unitPower = 0;
    while ((1 << unitPower) < score.beatUnit) {
        ++unitPower;
    }
    // Time signature: beats, the beat unit as a power of two, 24 MIDI clocks
    // per metronome click, eight 32nd notes per quarter.
    putMeta(tempo, 0x58, {static_cast<uint8_t>(score.beatsPerBar), unitPower, 24, 8});
    putTrack(file, std::move(tempo), 0, endTick);

    for (size_t i = 0; i < score.tracks.size(); ++i) {
        putScoreTrack(file, score, static_cast<int>(i), endTick);
    }
    return file;
}

}  // namespace kvx::tools
