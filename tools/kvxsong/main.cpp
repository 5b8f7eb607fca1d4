// kvxsong: the song tool.
//
//   kvxsong from-midi IN.mid OUT.m   Standard MIDI File (format 0 or 1) -> song
//   kvxsong dump SONG.m              one line per event: time, message, bytes
//   kvxsong from-text IN.txt OUT.m   the dump's text form back into a song
//
// The text form: one event per line, "time_ms channel message data1 data2",
// message one of note-on, note-off, controller, program, pitch-bend,
// key-pressure, channel-pressure; '#' starts a comment. Times are absolute
// and must not decrease.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "synth/MidiImport.h"
#include "synth/Song.h"
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

const char* kindName(uint8_t status) {
    switch (status & 0xF0) {
        case 0x80:
            return "note-off";
        case 0x90:
            return "note-on";
        case 0xA0:
            return "key-pressure";
        case 0xB0:
            return "controller";
        case 0xC0:
            return "program";
        case 0xD0:
            return "channel-pressure";
        case 0xE0:
            return "pitch-bend";
        default:
            return status >= 0xF0 ? "system" : "data";
    }
}

int fromMidi(const std::string& in, const std::string& out) {
    Bytes midi;
    if (!readFile(in, midi)) {
        return 1;
    }
    std::vector<kvx::synth::SongEvent> events;
    std::string error;
    if (!kvx::synth::importMidi(midi, events, error)) {
        std::cerr << "kvxsong: " << in << ": " << error << "\n";
        return 1;
    }
    if (!writeFile(out, kvx::synth::writeSong(events))) {
        return 1;
    }
    std::cerr << "kvxsong: " << events.size() << " events, "
              << (events.empty() ? 0 : events.back().time) << " ms -> " << out << "\n";
    return 0;
}

int fromText(const std::string& in, const std::string& out) {
    std::ifstream f(in);
    if (!f) {
        std::cerr << "kvxsong: cannot open " << in << "\n";
        return 1;
    }
    const char* kinds[] = {"note-off", "note-on",          "key-pressure", "controller",
                           "program",  "channel-pressure", "pitch-bend"};
    std::vector<kvx::synth::SongEvent> events;
    std::string line;
    int number = 0;
    while (std::getline(f, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string kind;
        long time = 0, channel = 0, d1 = 0, d2 = 0;
        if (!(words >> time)) {
            continue;  // blank or comment
        }
        std::string rest;
        if (!(words >> channel >> kind >> d1 >> d2) || (words >> rest)) {
            std::cerr << "kvxsong: " << in << ": line " << number
                      << ": expected time channel message data1 data2\n";
            return 1;
        }
        int k = -1;
        for (int i = 0; i < 7; ++i) {
            k = kind == kinds[i] ? i : k;
        }
        if (k < 0 || time < 0 || time > INT32_MAX || channel < 0 || channel > 15 || d1 < 0 ||
            d1 > 127 || d2 < 0 || d2 > 127 || (!events.empty() && time < events.back().time)) {
            std::cerr << "kvxsong: " << in << ": line " << number << ": bad value (message " << kind
                      << ", channel 0-15, data 0-127, times rising)\n";
            return 1;
        }
        events.push_back({static_cast<int32_t>(time), static_cast<uint8_t>(0x80 + 16 * k + channel),
                          static_cast<uint8_t>(d1), static_cast<uint8_t>(d2)});
    }
    return writeFile(out, kvx::synth::writeSong(events)) ? 0 : 1;
}

int dump(const std::string& in) {
    Bytes bytes;
    if (!readFile(in, bytes)) {
        return 1;
    }
    kvx::synth::Song song;
    if (!song.parse(bytes.data(), bytes.size())) {
        std::cerr << "kvxsong: " << in << " is not a song (no kvx::song magic)\n";
        return 1;
    }
    kvx::core::ByteReader header(bytes.data(), bytes.size());
    header.skip(11);
    const uint32_t declared = header.u32();
    std::printf("# %zu events (header says %u)\n# time_ms channel message data1 data2\n",
                song.events().size(), declared);
    for (const auto& e : song.events()) {
        std::printf("%d %d %s %d %d\n", e.time, e.status & 0x0F, kindName(e.status), e.data1,
                    e.data2);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvxsong: convert MIDI files into kvx songs and print songs"};
    app.require_subcommand(1);
    std::string in, out;
    auto* m =
        app.add_subcommand("from-midi", "convert a Standard MIDI File (format 0 or 1) into a song");
    m->add_option("IN.mid", in, "MIDI file")->required();
    m->add_option("OUT.m", out, "song file to write")->required();
    auto* d = app.add_subcommand("dump", "print the events of a song");
    d->add_option("SONG.m", in, "song file")->required();
    auto* t = app.add_subcommand("from-text", "make a song from the text form that dump prints");
    t->add_option("IN.txt", in, "text events")->required();
    t->add_option("OUT.m", out, "song file to write")->required();
    CLI11_PARSE(app, argc, argv);
    if (m->parsed()) {
        return fromMidi(in, out);
    }
    return t->parsed() ? fromText(in, out) : dump(in);
}
