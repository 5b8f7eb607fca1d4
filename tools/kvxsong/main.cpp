// kvxsong: the song tool.
//
//   kvxsong from-midi IN.mid OUT.m [--programs keep|drop]
//                                  [--channel-map FROM:TO,...]
//                                    Standard MIDI File (format 0 or 1) ->
//                                    song, with a summary of the channels
//                                    and programs it saw
//   kvxsong dump SONG.m              the song as text, one event per line
//   kvxsong from-text IN.txt OUT.m   the text back into a song
//
// The text form is described in synth/SongText.h; every song the player
// accepts survives dump then from-text byte for byte.
#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string>

#include "synth/MidiImport.h"
#include "synth/SongText.h"
#include "vfs/FileIo.h"

namespace {

using kvx::vfs::Bytes;

bool readFile(const std::string& path, Bytes& out) {
    std::optional<Bytes> bytes = kvx::vfs::readFile(path);
    if (!bytes) {
        std::cerr << "kvxsong: cannot open " << path << "\n";
        return false;
    }
    out = std::move(*bytes);
    return true;
}

bool writeFile(const std::string& path, const Bytes& data) {
    if (!kvx::vfs::writeFile(path, data)) {
        std::cerr << "kvxsong: cannot write " << path << "\n";
        return false;
    }
    return true;
}

std::string list(const std::vector<int>& values) {
    std::string s;
    for (int v : values) {
        s += (s.empty() ? "" : ", ") + std::to_string(v);
    }
    return s;
}

// The channels and programs of the MIDI file, and where the options send them.
void printSummary(const std::vector<kvx::synth::SongEvent>& midi,
                  const kvx::synth::MidiImportOptions& options) {
    const auto use = kvx::synth::channelUse(midi);
    bool programs = false;
    for (int c = 0; c < 16; ++c) {
        const auto& u = use[static_cast<size_t>(c)];
        if (u.notes == 0 && u.programs.empty()) {
            continue;
        }
        std::cerr << "kvxsong:   channel " << c << ": " << u.notes
                  << (u.notes == 1 ? " note" : " notes");
        if (!u.programs.empty()) {
            std::cerr << ", programs " << list(u.programs)
                      << (options.keepPrograms ? "" : " (dropped)");
            programs = true;
        }
        if (options.channelMap[static_cast<size_t>(c)] != c) {
            std::cerr << " -> channel " << int(options.channelMap[static_cast<size_t>(c)]);
        }
        std::cerr << "\n";
    }
    if (programs && options.keepPrograms) {
        std::cerr << "kvxsong: a program change selects the configuration's instrument of that "
                     "number; --programs drop keeps each channel's own instrument\n";
    }
}

int fromMidi(const std::string& in, const std::string& out, const std::string& programs,
             const std::string& channelMap) {
    kvx::synth::MidiImportOptions options;
    options.keepPrograms = programs != "drop";
    std::string error;
    if (!channelMap.empty() &&
        !kvx::synth::parseChannelMap(channelMap, options.channelMap, error)) {
        std::cerr << "kvxsong: --channel-map: " << error << "\n";
        return 1;
    }
    Bytes midi;
    if (!readFile(in, midi)) {
        return 1;
    }
    std::vector<kvx::synth::SongEvent> events;
    if (!kvx::synth::importMidi(midi, events, error)) {
        std::cerr << "kvxsong: " << in << ": " << error << "\n";
        return 1;
    }
    std::cerr << "kvxsong: " << in << " uses:\n";
    printSummary(events, options);
    kvx::synth::applyImportOptions(events, options);
    if (!writeFile(out, kvx::synth::writeSong(events))) {
        return 1;
    }
    std::cerr << "kvxsong: " << events.size() << " events, "
              << (events.empty() ? 0 : events.back().time) << " ms -> " << out << "\n";
    return 0;
}

int fromText(const std::string& in, const std::string& out) {
    Bytes text;
    if (!readFile(in, text)) {
        return 1;
    }
    kvx::synth::SongFile song;
    std::string error;
    if (!kvx::synth::parseSongText(std::string(text.begin(), text.end()), song, error)) {
        std::cerr << "kvxsong: " << in << ": " << error << "\n";
        return 1;
    }
    return writeFile(out, kvx::synth::buildSongFile(song)) ? 0 : 1;
}

int dump(const std::string& in) {
    Bytes bytes;
    if (!readFile(in, bytes)) {
        return 1;
    }
    kvx::synth::SongFile song;
    std::string error;
    if (!kvx::synth::readSongFile(bytes, song, error)) {
        std::cerr << "kvxsong: " << in << ": " << error << "\n";
        return 1;
    }
    std::cout << kvx::synth::songToText(song);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvxsong: convert MIDI files into kvx songs and print songs"};
    app.require_subcommand(1);
    std::string in, out, programs = "keep", channelMap;
    auto* m =
        app.add_subcommand("from-midi", "convert a Standard MIDI File (format 0 or 1) into a song");
    m->add_option("IN.mid", in, "MIDI file")->required();
    m->add_option("OUT.m", out, "song file to write")->required();
    m->add_option("--programs", programs,
                  "keep: program changes select the configuration's instruments; drop: leave "
                  "them out")
        ->check(CLI::IsMember({"keep", "drop"}));
    m->add_option("--channel-map", channelMap,
                  "move channels, e.g. 9:3,10:4 (MIDI channels 0-15, as dump prints them)");
    auto* d = app.add_subcommand("dump", "print a song as text");
    d->add_option("SONG.m", in, "song file")->required();
    auto* t = app.add_subcommand("from-text", "make a song from the text form that dump prints");
    t->add_option("IN.txt", in, "text events")->required();
    t->add_option("OUT.m", out, "song file to write")->required();
    CLI11_PARSE(app, argc, argv);
    if (m->parsed()) {
        return fromMidi(in, out, programs, channelMap);
    }
    return t->parsed() ? fromText(in, out) : dump(in);
}
