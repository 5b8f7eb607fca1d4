// kvxcompose: a text score to a Standard MIDI File.
//
//   kvxcompose SCORE.txt OUT.mid     writes the song as a format-1 MIDI file
//   kvxcompose SCORE.txt --sections  prints each section's first bar and start
//                                    time in milliseconds
//
// The MIDI file then becomes a song with `kvxsong from-midi`. Errors in the
// score are printed as "SCORE.txt:LINE: error: ..." and end with status 1.
// docs/score.md describes the notation.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "Score.h"

namespace {

using kvx::tools::Score;

bool readText(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        return false;
    }
    std::ostringstream s;
    s << f.rdbuf();
    out = s.str();
    return true;
}

void printSections(const Score& score) {
    std::printf("# section first_bar start_ms (tempo %g, %d/%d)\n", score.bpm, score.beatsPerBar,
                score.beatUnit);
    for (const kvx::tools::Section& s : score.sections) {
        std::printf(
            "%s %d %lld\n", s.name.c_str(), s.bar + 1,
            static_cast<long long>(score.msAt(static_cast<int64_t>(s.bar) * score.barTicks())));
    }
    std::printf(
        "end %d %lld\n", score.bars + 1,
        static_cast<long long>(score.msAt(static_cast<int64_t>(score.bars) * score.barTicks())));
}

int compose(const std::string& in, const std::string& out, bool sections) {
    std::string text;
    if (!readText(in, text)) {
        std::cerr << "kvxcompose: cannot open " << in << "\n";
        return 1;
    }
    Score score;
    kvx::tools::ScoreError error;
    if (!kvx::tools::parseScore(text, score, error)) {
        std::cerr << in << ":" << error.line << ": error: " << error.message << "\n";
        return 1;
    }
    if (sections) {
        printSections(score);
    }
    if (out.empty()) {
        return 0;
    }
    const std::vector<uint8_t> midi = kvx::tools::writeMidi(score);
    std::ofstream f(out, std::ios::binary);
    f.write(reinterpret_cast<const char*>(midi.data()), static_cast<std::streamsize>(midi.size()));
    if (!f) {
        std::cerr << "kvxcompose: cannot write " << out << "\n";
        return 1;
    }
    size_t notes = 0;
    for (const kvx::tools::Placement& p : score.placements) {
        notes += score.patterns[p.pattern].notes.size();
    }
    std::cerr << "kvxcompose: " << score.tracks.size() << " tracks, " << score.bars << " bars, "
              << notes << " notes, "
              << score.msAt(static_cast<int64_t>(score.bars) * score.barTicks()) << " ms -> " << out
              << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvxcompose: turn a text score into a Standard MIDI File (format 1)"};
    std::string in, out;
    bool sections = false;
    app.add_option("SCORE.txt", in, "score in the notation of docs/score.md")->required();
    app.add_option("OUT.mid", out, "MIDI file to write");
    app.add_flag("--sections", sections, "print each section's first bar and start time (ms)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 1;
    }
    if (out.empty() && !sections) {
        std::cerr << "kvxcompose: give OUT.mid, --sections, or both\n";
        return 1;
    }
    return compose(in, out, sections);
}
