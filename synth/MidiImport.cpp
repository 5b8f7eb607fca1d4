// Standard MIDI File import (see MidiImport.h).
#include "synth/MidiImport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

namespace kvx::synth {

using core::ByteReader;

namespace {

struct TimedMessage {
    uint64_t tick = 0;
    int track = 0;
    size_t order = 0;  // position in its track, keeps equal ticks stable
    bool tempo = false;
    uint32_t micros = 0;  // tempo only
    uint8_t status = 0, data1 = 0, data2 = 0;
};

int dataBytes(uint8_t status) {
    const int kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

bool readTrack(const uint8_t* d, size_t size, int track, std::vector<TimedMessage>& out,
               std::string& error) {
    size_t pos = 0;
    uint64_t tick = 0;
    uint8_t running = 0;
    size_t order = 0;
    while (pos < size) {
        uint32_t delta = 0;
        if (!readVlq(d, size, pos, delta)) {
            error = "track " + std::to_string(track) + ": bad delta time";
            return false;
        }
        tick += delta;
        if (pos >= size) {
            break;
        }
        uint8_t status = d[pos];
        if (status == 0xFF) {  // meta: type, length, data
            if (size - pos < 2) {
                break;
            }
            const uint8_t type = d[pos + 1];
            pos += 2;
            uint32_t length = 0;
            if (!readVlq(d, size, pos, length) || length > size - pos) {
                error = "track " + std::to_string(track) + ": meta event runs past the track";
                return false;
            }
            if (type == 0x51 && length == 3) {
                TimedMessage m;
                m.tick = tick;
                m.track = track;
                m.order = order++;
                m.tempo = true;
                ByteReader tempo(d + pos, length);
                m.micros = tempo.be24();
                out.push_back(m);
            }
            pos += length;
            if (type == 0x2F) {
                break;  // end of track
            }
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {  // sysex: length, data
            ++pos;
            uint32_t length = 0;
            if (!readVlq(d, size, pos, length) || length > size - pos) {
                error = "track " + std::to_string(track) + ": sysex runs past the track";
                return false;
            }
            pos += length;
            running = 0;
            continue;
        }
        if (status >= 0x80) {
            if (status >= 0xF0) {
                error = "track " + std::to_string(track) + ": unexpected system message";
                return false;
            }
            running = status;
            ++pos;
        } else if (running == 0) {
            error = "track " + std::to_string(track) + ": data byte without a status";
            return false;
        } else {
            status = running;
        }
        const int n = dataBytes(status);
        if (size - pos < static_cast<size_t>(n)) {
            error = "track " + std::to_string(track) + ": message cut short";
            return false;
        }
        TimedMessage m;
        m.tick = tick;
        m.track = track;
        m.order = order++;
        m.status = status;
        m.data1 = d[pos] & 0x7F;
        m.data2 = n == 2 ? d[pos + 1] & 0x7F : 0;
        if ((status & 0xF0) == 0x90 && m.data2 == 0) {
            // A note-on of velocity 0 is MIDI's usual note-off. The player
            // counts every note-on as a possible beat, so it becomes one.
            m.status = static_cast<uint8_t>(0x80 | (status & 0x0F));
        }
        pos += static_cast<size_t>(n);
        out.push_back(m);
    }
    return true;
}

// The header chunk: format, track count and time division.
struct MidiHeader {
    int format = 0;
    int tracks = 0;
    int division = 0;
};

bool readHeader(ByteReader& r, MidiHeader& h, std::string& error) {
    const uint8_t* magic = r.bytes(4);
    const uint32_t length = r.be32();
    if (!r.ok() || std::memcmp(magic, "MThd", 4) != 0 || length < 6 || length > r.remaining()) {
        error = "not a Standard MIDI File (no MThd header)";
        return false;
    }
    const size_t end = r.position() + length;
    h.format = r.be16();
    h.tracks = r.be16();
    h.division = r.be16();
    r.seek(static_cast<int64_t>(end));
    if (h.format > 1) {
        error = "MIDI format " + std::to_string(h.format) + " is not supported (0 and 1 are)";
        return false;
    }
    if (h.division == 0) {
        error = "time division of 0";
        return false;
    }
    return true;
}

// Every MTrk chunk's messages; chunks of other types are skipped.
bool readTracks(ByteReader& r, int tracks, std::vector<TimedMessage>& messages,
                std::string& error) {
    int found = 0;
    while (found < tracks && r.remaining() >= 8) {
        const uint8_t* type = r.bytes(4);
        const uint32_t length = r.be32();
        const uint8_t* body = r.bytes(static_cast<int32_t>(std::min<uint32_t>(length, INT32_MAX)));
        if (body == nullptr) {
            error = "track " + std::to_string(found) + " runs past the end of the file";
            return false;
        }
        if (std::memcmp(type, "MTrk", 4) == 0) {
            if (!readTrack(body, length, found, messages, error)) {
                return false;
            }
            ++found;
        }
    }
    if (found < tracks) {
        error = "file holds " + std::to_string(found) + " of " + std::to_string(tracks) + " tracks";
        return false;
    }
    return true;
}

}  // namespace

bool importMidi(const vfs::Bytes& bytes, std::vector<SongEvent>& events, std::string& error) {
    events.clear();
    ByteReader r(bytes.data(), bytes.size());
    MidiHeader header;
    std::vector<TimedMessage> messages;
    if (!readHeader(r, header, error) || !readTracks(r, header.tracks, messages, error)) {
        return false;
    }
    const int division = header.division;
    std::stable_sort(messages.begin(), messages.end(),
                     [](const TimedMessage& a, const TimedMessage& b) {
                         if (a.tick != b.tick) {
                             return a.tick < b.tick;
                         }
                         if (a.tempo != b.tempo) {
                             return a.tempo;  // a tempo change applies to events at its own tick
                         }
                         return a.track != b.track ? a.track < b.track : a.order < b.order;
                     });

    // Ticks to milliseconds through the tempo map (in microseconds, exact).
    const bool smpte = (division & 0x8000) != 0;
    double micros = 0.0;
    uint64_t lastTick = 0;
    uint32_t tempo = 500000;
    double microsPerTick = 0.0;
    if (smpte) {
        const int fps = 256 - (division >> 8);
        const int perFrame = division & 0xFF;
        microsPerTick = fps > 0 && perFrame > 0 ? 1e6 / (fps * perFrame) : 0.0;
    }
    for (const TimedMessage& m : messages) {
        const double perTick = smpte ? microsPerTick : static_cast<double>(tempo) / division;
        micros += static_cast<double>(m.tick - lastTick) * perTick;
        lastTick = m.tick;
        if (m.tempo) {
            tempo = m.micros == 0 ? tempo : m.micros;
            continue;
        }
        const double ms = std::min(micros / 1000.0, 2147483647.0);
        events.push_back(SongEvent{static_cast<int32_t>(ms + 0.5), m.status, m.data1, m.data2});
    }
    return true;
}

void applyImportOptions(std::vector<SongEvent>& events, const MidiImportOptions& options) {
    std::vector<SongEvent> kept;
    kept.reserve(events.size());
    for (SongEvent e : events) {
        if ((e.status & 0xF0) == 0xC0 && !options.keepPrograms) {
            continue;
        }
        const int to = options.channelMap[e.status & 0x0F] & 0x0F;
        e.status = static_cast<uint8_t>((e.status & 0xF0) | to);
        kept.push_back(e);
    }
    events = std::move(kept);
}

bool parseChannelMap(const std::string& text, std::array<uint8_t, 16>& map, std::string& error) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string pair = text.substr(start, comma - start);
        int from = -1, to = -1;
        char rest = 0;
        if (std::sscanf(pair.c_str(), "%d:%d%c", &from, &to, &rest) != 2 || from < 0 || from > 15 ||
            to < 0 || to > 15) {
            error = "channel map entry '" + pair + "' is not FROM:TO with channels 0-15";
            return false;
        }
        map[static_cast<size_t>(from)] = static_cast<uint8_t>(to);
        start = comma + 1;
    }
    return true;
}

std::array<ChannelUse, 16> channelUse(const std::vector<SongEvent>& events) {
    std::array<ChannelUse, 16> use;
    for (const SongEvent& e : events) {
        ChannelUse& u = use[e.status & 0x0F];
        if ((e.status & 0xF0) == 0x90 && e.data2 != 0) {
            ++u.notes;
        } else if ((e.status & 0xF0) == 0xC0 &&
                   std::find(u.programs.begin(), u.programs.end(), e.data1) == u.programs.end()) {
            u.programs.push_back(e.data1);
        }
    }
    return use;
}

vfs::Bytes makeMidi(const std::vector<SongEvent>& tickEvents, uint32_t microsPerBeat, int format) {
    vfs::Bytes track;
    auto meta = [&track](uint8_t type, std::initializer_list<uint8_t> data) {
        track.push_back(0xFF);
        track.push_back(type);
        track.push_back(static_cast<uint8_t>(data.size()));
        track.insert(track.end(), data.begin(), data.end());
    };
    track.push_back(0);
    vfs::Bytes tempo;
    core::ByteWriter(tempo).be24(microsPerBeat);
    meta(0x51, {tempo[0], tempo[1], tempo[2]});
    int32_t last = 0;
    uint8_t running = 0;
    for (const SongEvent& e : tickEvents) {
        writeVlq(track, static_cast<uint32_t>(std::max(0, e.time - last)));
        last = std::max(last, e.time);
        if (e.status != running) {  // running status where it can be used
            track.push_back(e.status);
            running = e.status;
        }
        track.push_back(e.data1);
        if (dataBytes(e.status) == 2) {
            track.push_back(e.data2);
        }
    }
    track.push_back(0);
    meta(0x2F, {});

    vfs::Bytes out;
    core::ByteWriter w(out);
    w.bytes(reinterpret_cast<const uint8_t*>("MThd"), 4);
    w.be32(6);
    w.be16(static_cast<uint16_t>(format));
    w.be16(1);    // one track
    w.be16(480);  // ticks per beat
    w.bytes(reinterpret_cast<const uint8_t*>("MTrk"), 4);
    w.be32(static_cast<uint32_t>(track.size()));
    w.bytes(track);
    return out;
}

}  // namespace kvx::synth
