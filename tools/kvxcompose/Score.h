// Score: the text notation of a piece of music, and its Standard MIDI File.
//
// A score names tracks (a MIDI channel each, with an optional program and
// volume), defines patterns (a few bars of notes for some tracks, written on
// a grid of steps) and lists sections, whose rows play patterns side by side,
// optionally transposed and repeated. docs/score.md describes the notation.
//
// Time inside the tool is in MIDI ticks, 480 to the quarter note; the tempo
// is constant over the piece, so a tick is also a fixed number of
// microseconds. writeMidi() gives a format-1 file: a tempo track (tempo and
// time signature) and one track per score track, each ending at the end of
// the song. parseScore() reads text only; files are the caller's business.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvx::tools {

constexpr int kTicksPerQuarter = 480;
// A whole note: steps and bar lengths are fractions of it.
constexpr int kWholeTicks = 4 * kTicksPerQuarter;

struct ScoreTrack {
    std::string name;
    int channel = 0;
    int program = -1;  // -1: no program change
    int volume = -1;   // -1: no channel volume (controller 7)
    int note = 60;     // what "x" plays before a line names a note
    int velocity = 100;
    int accent = 127;  // velocity of "X"
};

// One note of a pattern, in ticks from the pattern's start.
struct ScoreNote {
    int track = 0;
    int tick = 0;
    int length = 0;
    int note = 60;
    int velocity = 100;
};

struct Pattern {
    std::string name;
    int bars = 0;
    std::vector<ScoreNote> notes;
};

// A pattern played once, from a bar of the song, with a transposition.
struct Placement {
    int pattern = 0;
    int bar = 0;  // first bar, counted from 0
    int transpose = 0;
};

struct Section {
    std::string name;
    int bar = 0;  // first bar, counted from 0
};

struct Score {
    double bpm = 120.0;  // quarter notes per minute
    int beatsPerBar = 4;
    int beatUnit = 4;  // the note value of a beat: 4 is a quarter
    std::vector<ScoreTrack> tracks;
    std::vector<Pattern> patterns;
    std::vector<Placement> placements;
    std::vector<Section> sections;
    int bars = 0;  // length of the song

    int barTicks() const { return beatsPerBar * kWholeTicks / beatUnit; }
    // The tempo as the MIDI file stores it.
    uint32_t microsPerQuarter() const;
    // Milliseconds from the start of the song to a tick, rounded.
    int64_t msAt(int64_t tick) const;
};

struct ScoreError {
    int line = 0;
    std::string message;
};

// False with the first error (1-based line number and text) when the score
// is not valid; `out` is then unspecified.
bool parseScore(const std::string& text, Score& out, ScoreError& error);

// The score as a format-1 Standard MIDI File.
std::vector<uint8_t> writeMidi(const Score& score);

}  // namespace kvx::tools
