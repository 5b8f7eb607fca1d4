// Standard MIDI File import (see MidiImport.h).
#include "synth/MidiImport.h"

#include <algorithm>
#include <cstring>

#include "core/ByteReader.h"

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

uint32_t be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

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
                m.micros = static_cast<uint32_t>(d[pos]) << 16 |
                           static_cast<uint32_t>(d[pos + 1]) << 8 | d[pos + 2];
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

}  // namespace

bool importMidi(const vfs::Bytes& bytes, std::vector<SongEvent>& events, std::string& error) {
    events.clear();
    const uint8_t* d = bytes.data();
    if (bytes.size() < 14 || std::memcmp(d, "MThd", 4) != 0 || be32(d + 4) < 6 ||
        be32(d + 4) > bytes.size() - 8) {
        error = "not a Standard MIDI File (no MThd header)";
        return false;
    }
    const int format = d[8] << 8 | d[9];
    const int tracks = d[10] << 8 | d[11];
    const int division = d[12] << 8 | d[13];
    if (format > 1) {
        error = "MIDI format " + std::to_string(format) + " is not supported (0 and 1 are)";
        return false;
    }
    if (division == 0) {
        error = "time division of 0";
        return false;
    }
    std::vector<TimedMessage> messages;
    size_t pos = 8 + be32(d + 4);
    int found = 0;
    while (found < tracks && bytes.size() - pos >= 8) {
        const uint32_t length = be32(d + pos + 4);
        if (length > bytes.size() - pos - 8) {
            error = "track " + std::to_string(found) + " runs past the end of the file";
            return false;
        }
        if (std::memcmp(d + pos, "MTrk", 4) == 0) {
            if (!readTrack(d + pos + 8, length, found, messages, error)) {
                return false;
            }
            ++found;
        }
        pos += 8 + length;  // chunks of other types are skipped
    }
    if (found < tracks) {
        error = "file holds " + std::to_string(found) + " of " + std::to_string(tracks) + " tracks";
        return false;
    }
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

vfs::Bytes makeMidi(const std::vector<SongEvent>& tickEvents, uint32_t microsPerBeat, int format) {
    vfs::Bytes track;
    auto meta = [&track](uint8_t type, std::initializer_list<uint8_t> data) {
        track.push_back(0xFF);
        track.push_back(type);
        track.push_back(static_cast<uint8_t>(data.size()));
        track.insert(track.end(), data.begin(), data.end());
    };
    track.push_back(0);
    meta(0x51, {static_cast<uint8_t>(microsPerBeat >> 16), static_cast<uint8_t>(microsPerBeat >> 8),
                static_cast<uint8_t>(microsPerBeat)});
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

    const auto len = static_cast<uint32_t>(track.size());
    const uint8_t header[] = {'M',
                              'T',
                              'h',
                              'd',
                              0,
                              0,
                              0,
                              6,
                              0,
                              static_cast<uint8_t>(format),
                              0,
                              1,
                              0x01,
                              0xE0,
                              'M',
                              'T',
                              'r',
                              'k',
                              static_cast<uint8_t>(len >> 24),
                              static_cast<uint8_t>(len >> 16),
                              static_cast<uint8_t>(len >> 8),
                              static_cast<uint8_t>(len)};
    vfs::Bytes out(sizeof header + track.size());
    std::memcpy(out.data(), header, sizeof header);
    std::memcpy(out.data() + sizeof header, track.data(), track.size());
    return out;
}

}  // namespace kvx::synth
