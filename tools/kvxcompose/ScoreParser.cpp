// Reading the score text (see Score.h and docs/score.md).
//
// The text is read line by line. A line that starts in column 0 is a
// statement (tempo, meter, step, track, pattern, section); an indented line
// belongs to the pattern or section opened last. Everything a line uses must
// be defined above it, so one pass suffices and every error names the line
// that caused it.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "Score.h"

namespace kvx::tools {

namespace {

std::vector<std::string> splitWords(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string w;
    while (in >> w) {
        words.push_back(w);
    }
    return words;
}

// '#' starts a comment at the start of a word, so "f#3" stays a note.
std::string stripComment(const std::string& line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1])))) {
            return line.substr(0, i);
        }
    }
    return line;
}

bool isName(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '_';
    });
}

// A whole decimal number within [lo, hi].
bool toInt(const std::string& s, long lo, long hi, int& out) {
    if (s.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < lo || v > hi) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// "N/D" as a number of ticks of a whole note; false unless whole and > 0.
bool toFraction(const std::string& s, int& ticks) {
    const size_t slash = s.find('/');
    int n = 0, d = 0;
    if (slash == std::string::npos || !toInt(s.substr(0, slash), 1, 64, n) ||
        !toInt(s.substr(slash + 1), 1, kWholeTicks, d) || (n * kWholeTicks) % d != 0) {
        return false;
    }
    ticks = n * kWholeTicks / d;
    return true;
}

bool isFraction(const std::string& s) {
    return !s.empty() && std::isdigit(static_cast<unsigned char>(s[0])) != 0 &&
           s.find('/') != std::string::npos;
}

// A run of grid characters: one step each.
bool isGridRun(const std::string& s) {
    return !s.empty() && s.find_first_not_of("xX.-") == std::string::npos;
}

// "c4", "f#3", "bb2" (C4 is 60) or a note number 0..127.
bool toNote(const std::string& s, int& note) {
    if (!s.empty() && std::isdigit(static_cast<unsigned char>(s[0])) != 0) {
        return toInt(s, 0, 127, note);
    }
    static const int kSemis[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    const char letter =
        static_cast<char>(std::tolower(static_cast<unsigned char>(s.empty() ? 0 : s[0])));
    if (letter < 'a' || letter > 'g') {
        return false;
    }
    int value = kSemis[letter - 'a'];
    size_t i = 1;
    if (i < s.size() && (s[i] == '#' || s[i] == 'b')) {
        value += s[i] == '#' ? 1 : -1;
        ++i;
    }
    int octave = 0;
    if (!toInt(s.substr(i), -1, 9, octave)) {
        return false;
    }
    note = (octave + 1) * 12 + value;
    return note >= 0 && note <= 127;
}

// key=value words after the first `skip` words.
bool keyValues(const std::vector<std::string>& words, size_t skip,
               std::map<std::string, std::string>& out, std::string& bad) {
    for (size_t i = skip; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        if (eq == std::string::npos || eq == 0) {
            bad = words[i];
            return false;
        }
        out[words[i].substr(0, eq)] = words[i].substr(eq + 1);
    }
    return true;
}

class Parser {
  public:
    Parser(Score& score, ScoreError& error) : s_(score), error_(error) {}

    bool run(const std::string& text);

  private:
    enum class Block { None, Pattern, Section };

    // A pattern line's extent, checked when the pattern is complete.
    struct LineEnd {
        int line = 0;
        int tick = 0;
    };

    bool fail(const std::string& message) {
        error_.line = line_;
        error_.message = message;
        return false;
    }

    bool statement(const std::vector<std::string>& w);
    bool tempo(const std::vector<std::string>& w);
    bool meter(const std::vector<std::string>& w);
    bool track(const std::vector<std::string>& w);
    bool pattern(const std::vector<std::string>& w);
    bool finishPattern();
    bool patternLine(const std::vector<std::string>& w);
    bool noteToken(const std::string& token, int trackIndex, int step, int& tick,
                   std::vector<int>& last, std::vector<int>& held);
    bool row(const std::vector<std::string>& w);
    bool placeToken(const std::string& token, int& pattern, int& transpose);
    int findTrack(const std::string& name) const;
    int findPattern(const std::string& name) const;

    Score& s_;
    ScoreError& error_;
    int line_ = 0;
    Block block_ = Block::None;
    int step_ = kWholeTicks / 16;
    bool tempoSet_ = false;
    int declaredBars_ = 0;  // bars= of the open pattern, 0 when left open
    std::vector<LineEnd> lineEnds_;
};

bool Parser::run(const std::string& text) {
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        ++line_;
        const std::string body = stripComment(raw);
        const std::vector<std::string> w = splitWords(body);
        if (w.empty()) {
            continue;
        }
        const bool indented = std::isspace(static_cast<unsigned char>(body[0])) != 0;
        bool ok = true;
        if (!indented) {
            ok = finishPattern() && statement(w);
        } else if (block_ == Block::Pattern) {
            ok = patternLine(w);
        } else if (block_ == Block::Section) {
            ok = row(w);
        } else {
            ok = fail("an indented line belongs under a pattern or a section");
        }
        if (!ok) {
            return false;
        }
    }
    ++line_;
    if (!finishPattern()) {
        return false;
    }
    if (s_.bars == 0) {
        return fail("the score plays nothing: no section plays a pattern");
    }
    return true;
}

bool Parser::statement(const std::vector<std::string>& w) {
    const std::string& key = w[0];
    block_ = Block::None;
    if (key == "tempo") {
        return tempo(w);
    }
    if (key == "meter") {
        return meter(w);
    }
    if (key == "step") {
        if (w.size() != 2 || !toFraction(w[1], step_)) {
            return fail("step needs one length such as 1/16");
        }
        return true;
    }
    if (key == "track") {
        return track(w);
    }
    if (key == "pattern") {
        return pattern(w);
    }
    if (key == "section") {
        if (w.size() != 2 || !isName(w[1])) {
            return fail("section needs one name (letters, digits, _)");
        }
        s_.sections.push_back(Section{w[1], s_.bars});
        block_ = Block::Section;
        return true;
    }
    return fail("unknown statement '" + key +
                "' (tempo, meter, step, track, pattern, section; indent the lines of a block)");
}

bool Parser::tempo(const std::vector<std::string>& w) {
    errno = 0;
    char* end = nullptr;
    const double bpm = w.size() == 2 ? std::strtod(w[1].c_str(), &end) : 0.0;
    if (w.size() != 2 || *end != '\0' || errno != 0 || !(bpm >= 4.0 && bpm <= 1000.0)) {
        return fail("tempo needs quarter notes per minute, 4 to 1000");
    }
    if (tempoSet_) {
        return fail("the tempo is set twice; a score keeps one tempo");
    }
    tempoSet_ = true;
    s_.bpm = bpm;
    return true;
}

bool Parser::meter(const std::vector<std::string>& w) {
    const size_t slash = w.size() == 2 ? w[1].find('/') : std::string::npos;
    int beats = 0, unit = 0;
    if (slash == std::string::npos || !toInt(w[1].substr(0, slash), 1, 32, beats) ||
        !toInt(w[1].substr(slash + 1), 1, 32, unit) || (unit & (unit - 1)) != 0) {
        return fail("meter needs beats/unit such as 4/4 (unit 1, 2, 4, 8, 16 or 32)");
    }
    if (!s_.patterns.empty()) {
        return fail("the meter must come before the first pattern");
    }
    s_.beatsPerBar = beats;
    s_.beatUnit = unit;
    return true;
}

bool Parser::track(const std::vector<std::string>& w) {
    if (w.size() < 2 || !isName(w[1])) {
        return fail("track needs a name (letters, digits, _)");
    }
    if (findTrack(w[1]) >= 0) {
        return fail("track '" + w[1] + "' is defined twice");
    }
    std::map<std::string, std::string> kv;
    std::string bad;
    if (!keyValues(w, 2, kv, bad)) {
        return fail("'" + bad + "' is not key=value");
    }
    ScoreTrack t;
    t.name = w[1];
    if (kv.count("channel") == 0) {
        return fail("track '" + t.name + "' needs channel=0..15");
    }
    struct Field {
        const char* key;
        int* value;
        int lo, hi;
    };
    const Field fields[] = {{"channel", &t.channel, 0, 15},
                            {"program", &t.program, 0, 127},
                            {"volume", &t.volume, 0, 127},
                            {"velocity", &t.velocity, 1, 127},
                            {"accent", &t.accent, 1, 127}};
    for (const Field& f : fields) {
        auto it = kv.find(f.key);
        if (it != kv.end() && !toInt(it->second, f.lo, f.hi, *f.value)) {
            return fail(std::string(f.key) + "=" + it->second + " is not in " +
                        std::to_string(f.lo) + ".." + std::to_string(f.hi));
        }
        kv.erase(f.key);
    }
    auto note = kv.find("note");
    if (note != kv.end()) {
        if (!toNote(note->second, t.note)) {
            return fail("note=" + note->second + " is not a note (c4, f#3, bb2 or 0..127)");
        }
        kv.erase(note);
    }
    if (!kv.empty()) {
        return fail("track has no key '" + kv.begin()->first + "'");
    }
    s_.tracks.push_back(t);
    return true;
}

bool Parser::pattern(const std::vector<std::string>& w) {
    if (w.size() < 2 || !isName(w[1])) {
        return fail("pattern needs a name (letters, digits, _)");
    }
    if (findPattern(w[1]) >= 0) {
        return fail("pattern '" + w[1] + "' is defined twice");
    }
    if (w[1].size() >= 2 && w[1][0] == 'x' &&
        w[1].find_first_not_of("0123456789", 1) == std::string::npos) {
        return fail("'" + w[1] + "' reads as a repeat count; choose another pattern name");
    }
    declaredBars_ = 0;
    if (w.size() > 3 || (w.size() == 3 && (w[2].rfind("bars=", 0) != 0 ||
                                           !toInt(w[2].substr(5), 1, 1024, declaredBars_)))) {
        return fail("pattern takes a name and optionally bars=1..1024");
    }
    s_.patterns.push_back(Pattern{w[1], declaredBars_, {}});
    lineEnds_.clear();
    block_ = Block::Pattern;
    return true;
}

// Sizes the pattern just read: its declared bars, or as many bars as its
// longest line needs.
bool Parser::finishPattern() {
    if (block_ != Block::Pattern) {
        return true;
    }
    block_ = Block::None;
    Pattern& p = s_.patterns.back();
    const int bar = s_.barTicks();
    int longest = 0;
    for (const LineEnd& e : lineEnds_) {
        if (declaredBars_ > 0 && e.tick > declaredBars_ * bar) {
            line_ = e.line;
            return fail("the line is longer than the pattern's " + std::to_string(declaredBars_) +
                        " bar(s)");
        }
        longest = std::max(longest, e.tick);
    }
    p.bars = declaredBars_ > 0 ? declaredBars_ : std::max(1, (longest + bar - 1) / bar);
    return true;
}

bool Parser::patternLine(const std::vector<std::string>& w) {
    const int trackIndex = findTrack(w[0]);
    if (trackIndex < 0) {
        return fail("unknown track '" + w[0] + "'");
    }
    int step = step_;
    int tick = 0;
    std::vector<int> last{s_.tracks[trackIndex].note};  // what "x" plays
    std::vector<int> held;  // notes a "-" lengthens (indices into the pattern)
    for (size_t i = 1; i < w.size(); ++i) {
        const std::string& t = w[i];
        if (t == "|") {
            if (tick % s_.barTicks() != 0) {
                return fail("'|' falls inside bar " + std::to_string(tick / s_.barTicks() + 1));
            }
        } else if (isFraction(t)) {
            if (!toFraction(t, step)) {
                return fail("'" + t + "' is not a step length such as 1/8 (of a whole note)");
            }
        } else if (!noteToken(t, trackIndex, step, tick, last, held)) {
            return false;
        }
    }
    lineEnds_.push_back(LineEnd{line_, tick});
    return true;
}

// One token of a pattern line: a run of grid characters, or a note or chord
// with an optional velocity ("a3+c4+e4!90"). Moves `tick` past it.
bool Parser::noteToken(const std::string& token, int trackIndex, int step, int& tick,
                       std::vector<int>& last, std::vector<int>& held) {
    Pattern& p = s_.patterns.back();
    const ScoreTrack& tr = s_.tracks[trackIndex];
    if (static_cast<int64_t>(tick) + step > 1024 * static_cast<int64_t>(s_.barTicks())) {
        return fail("the line is longer than 1024 bars");
    }
    auto start = [&](const std::vector<int>& notes, int velocity) {
        held.clear();
        for (int n : notes) {
            held.push_back(static_cast<int>(p.notes.size()));
            p.notes.push_back(ScoreNote{trackIndex, tick, step, n, velocity});
        }
        tick += step;
    };
    if (isGridRun(token)) {
        for (char c : token) {
            if (c == '.') {
                held.clear();
                tick += step;
            } else if (c == '-') {
                for (int k : held) {
                    p.notes[k].length += step;
                }
                tick += step;
            } else {
                start(last, c == 'X' ? tr.accent : tr.velocity);
            }
        }
        return true;
    }
    const size_t bang = token.find('!');
    const std::string body = token.substr(0, bang);
    int velocity = tr.velocity;
    if (bang != std::string::npos && !toInt(token.substr(bang + 1), 1, 127, velocity)) {
        return fail("'" + token + "': the velocity after '!' must be 1..127");
    }
    if (body == "x" || body == "X") {
        start(last, bang != std::string::npos ? velocity : body == "X" ? tr.accent : tr.velocity);
        return true;
    }
    std::vector<int> notes;
    std::istringstream parts(body);
    std::string part;
    while (std::getline(parts, part, '+')) {
        int n = 0;
        if (!toNote(part, n)) {
            return fail("'" + token + "' is not a note, chord, step or grid (see docs/score.md)");
        }
        notes.push_back(n);
    }
    if (notes.empty()) {
        return fail("'" + token + "' is not a note");
    }
    last = notes;
    start(notes, velocity);
    return true;
}

bool Parser::row(const std::vector<std::string>& w) {
    size_t count = w.size();
    int repeats = 1;
    if (count >= 2 && w.back().size() >= 2 && w.back()[0] == 'x' &&
        std::isdigit(static_cast<unsigned char>(w.back()[1])) != 0) {
        if (!toInt(w.back().substr(1), 1, 1024, repeats)) {
            return fail("'" + w.back() + "': repeat a row 1 to 1024 times");
        }
        --count;
    }
    std::vector<Placement> row;
    int length = 0;
    for (size_t i = 0; i < count; ++i) {
        Placement pl;
        if (!placeToken(w[i], pl.pattern, pl.transpose)) {
            return false;
        }
        length = std::max(length, s_.patterns[pl.pattern].bars);
        row.push_back(pl);
    }
    // A MIDI delta time holds at most 28 bits.
    if ((static_cast<int64_t>(s_.bars) + static_cast<int64_t>(length) * repeats) * s_.barTicks() >
        0x0FFFFFFF) {
        return fail("the song grows longer than a MIDI file can time");
    }
    // Shorter patterns play again and again until the row ends.
    for (const Placement& pl : row) {
        const Pattern& p = s_.patterns[pl.pattern];
        if (length % p.bars != 0) {
            return fail("pattern '" + p.name + "' (" + std::to_string(p.bars) +
                        " bars) does not fit a whole number of times into the row's " +
                        std::to_string(length) + " bars");
        }
    }
    for (int r = 0; r < repeats; ++r) {
        for (Placement pl : row) {
            const int bars = s_.patterns[pl.pattern].bars;
            for (int b = 0; b < length; b += bars) {
                pl.bar = s_.bars + b;
                s_.placements.push_back(pl);
            }
        }
        s_.bars += length;
    }
    return true;
}

// "name", "name+5" or "name-12"; the transposed notes must stay in 0..127.
bool Parser::placeToken(const std::string& token, int& pattern, int& transpose) {
    const size_t sign = token.find_first_of("+-");
    const std::string name = token.substr(0, sign);
    transpose = 0;
    if (sign != std::string::npos &&
        !toInt(token.substr(sign + (token[sign] == '+' ? 1 : 0)), -127, 127, transpose)) {
        return fail("'" + token + "': a transposition is +N or -N semitones");
    }
    pattern = findPattern(name);
    if (pattern < 0) {
        return fail("unknown pattern '" + name + "'");
    }
    for (const ScoreNote& n : s_.patterns[pattern].notes) {
        if (n.note + transpose < 0 || n.note + transpose > 127) {
            return fail("'" + token + "' moves note " + std::to_string(n.note) + " out of 0..127");
        }
    }
    return true;
}

int Parser::findTrack(const std::string& name) const {
    for (size_t i = 0; i < s_.tracks.size(); ++i) {
        if (s_.tracks[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int Parser::findPattern(const std::string& name) const {
    for (size_t i = 0; i < s_.patterns.size(); ++i) {
        if (s_.patterns[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

uint32_t Score::microsPerQuarter() const {
    return static_cast<uint32_t>(std::lround(60e6 / bpm));
}

int64_t Score::msAt(int64_t tick) const {
    // Rounded to the nearest millisecond, as song files store times.
    return (tick * microsPerQuarter() + kTicksPerQuarter * 500) / (kTicksPerQuarter * 1000);
}

bool parseScore(const std::string& text, Score& out, ScoreError& error) {
    out = Score{};
    error = ScoreError{};
    Parser parser(out, error);
    return parser.run(text);
}

}  // namespace kvx::tools
