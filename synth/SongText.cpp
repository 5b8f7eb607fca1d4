// Song files byte for byte, and their text form (see SongText.h).
#include "synth/SongText.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"
#include "synth/Song.h"

namespace kvx::synth {

namespace {

constexpr char kMagic[] = "kvx::song";
constexpr int64_t kMaxDelta = 0x0FFFFFFF;  // what four delta bytes hold

// Channel messages 0x80..0xE0 by their high nibble.
const char* const kMessages[] = {"note-off", "note-on",          "key-pressure", "controller",
                                 "program",  "channel-pressure", "pitch-bend"};

bool isChannelMessage(uint8_t status) {
    return status >= 0x80 && status < 0xF0;
}

int shortestVlq(uint32_t value) {
    vfs::Bytes b;
    writeVlq(b, value);
    return static_cast<int>(b.size());
}

std::string hexText(const uint8_t* p, size_t n) {
    std::string s;
    char buf[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", p[i]);
        s += buf;
    }
    return s;
}

// Reads the text line by line into a SongFile.
class SongTextParser {
  public:
    SongTextParser(SongFile& out, std::string& error) : out_(out), error_(error) {}

    bool line(int number, const std::string& raw) {
        number_ = number;
        std::istringstream in(raw.substr(0, raw.find('#')));
        std::vector<std::string> words;
        for (std::string w; in >> w;) {
            words.push_back(w);
        }
        if (words.empty()) {
            return true;
        }
        if (tailSeen_) {
            return fail("nothing may follow the tail");
        }
        if (words[0] == "song") {
            return header(words);
        }
        if (words[0] == "tail") {
            tailSeen_ = true;
            return words.size() == 2 && words[1].rfind("hex=", 0) == 0
                       ? hexBytes(words[1].substr(4), out_.tail)
                       : fail("expected tail hex=...");
        }
        return event(words);
    }

  private:
    bool fail(const std::string& message) {
        error_ = "line " + std::to_string(number_) + ": " + message;
        return false;
    }

    bool number(const std::string& text, int64_t lo, int64_t hi, int64_t& out, int base = 10) {
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(text.c_str(), &end, base);
        if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi) {
            return fail("'" + text + "' is not a number in " + std::to_string(lo) + ".." +
                        std::to_string(hi));
        }
        out = v;
        return true;
    }

    bool hexBytes(const std::string& text, vfs::Bytes& out) {
        out.clear();
        if (text.size() % 2 != 0) {
            return fail("hex text of odd length");
        }
        for (size_t i = 0; i < text.size(); i += 2) {
            int64_t v = 0;
            if (text.find_first_not_of("0123456789abcdefABCDEF", i) < i + 2 ||
                !number(text.substr(i, 2), 0, 255, v, 16)) {
                return fail("'" + text.substr(i, 2) + "' is not a hex byte");
            }
            out.push_back(static_cast<uint8_t>(v));
        }
        return true;
    }

    // song pad=HHHH count=N
    bool header(const std::vector<std::string>& words) {
        for (size_t i = 1; i < words.size(); ++i) {
            const std::string& w = words[i];
            int64_t v = 0;
            vfs::Bytes pad;
            if (w.rfind("pad=", 0) == 0 && hexBytes(w.substr(4), pad) && pad.size() == 2) {
                out_.pad = {pad[0], pad[1]};
            } else if (w.rfind("count=", 0) == 0 && number(w.substr(6), 0, UINT32_MAX, v)) {
                out_.declaredCount = static_cast<uint32_t>(v);
            } else {
                return fail("expected song pad=HHHH count=N, got '" + w + "'");
            }
        }
        return true;
    }

    // The status byte from the channel and message words.
    bool status(const std::string& channel, const std::string& message, uint8_t& out) {
        int64_t v = 0;
        if (message.rfind("0x", 0) == 0) {
            if (channel != "-") {
                return fail("a raw status byte (" + message + ") takes the channel '-'");
            }
            if (!number(message, 0, 255, v, 16)) {
                return false;
            }
            out = static_cast<uint8_t>(v);
            return true;
        }
        for (int k = 0; k < 7; ++k) {
            if (message == kMessages[k]) {
                if (!number(channel, 0, 15, v)) {
                    return false;
                }
                out = static_cast<uint8_t>(0x80 + 16 * k + v);
                return true;
            }
        }
        return fail("unknown message '" + message + "'");
    }

    bool event(const std::vector<std::string>& words) {
        if (words.size() != 5 && words.size() != 6) {
            return fail("expected time channel message data1 data2 [vlq=N]");
        }
        SongFileEvent e;
        int64_t d1 = 0, d2 = 0, length = 0;
        const int64_t last = out_.events.empty() ? 0 : out_.events.back().time;
        if (!number(words[0], last, last + kMaxDelta, e.time)) {
            return fail("time " + words[0] + " must not lie before " + std::to_string(last) +
                        " nor more than " + std::to_string(kMaxDelta) + " ms after it");
        }
        if (!status(words[1], words[2], e.status) || !number(words[3], 0, 255, d1) ||
            !number(words[4], 0, 255, d2)) {
            return false;
        }
        const auto delta = static_cast<uint32_t>(e.time - last);
        if (words.size() == 6) {
            if (words[5].rfind("vlq=", 0) != 0 ||
                !number(words[5].substr(4), shortestVlq(delta), 4, length)) {
                return fail("vlq=N gives the delta's stored length, " +
                            std::to_string(shortestVlq(delta)) + "..4 bytes");
            }
        }
        e.data1 = static_cast<uint8_t>(d1);
        e.data2 = static_cast<uint8_t>(d2);
        e.vlqLength = length == shortestVlq(delta) ? 0 : static_cast<int>(length);
        out_.events.push_back(e);
        return true;
    }

    SongFile& out_;
    std::string& error_;
    int number_ = 0;
    bool tailSeen_ = false;
};

}  // namespace

bool readSongFile(const vfs::Bytes& bytes, SongFile& out, std::string& error) {
    out = SongFile{};
    Song probe;
    if (!probe.parse(bytes.data(), bytes.size())) {
        error = "not a song (no kvx::song magic)";
        return false;
    }
    core::ByteReader r(bytes.data(), bytes.size());
    r.skip(9);
    out.pad = {r.u8(), r.u8()};
    const uint32_t count = r.u32();
    size_t end = r.position();
    int64_t time = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t start = r.position();
        uint32_t delta = 0;
        if (!readVlq(r, delta)) {
            break;
        }
        const int length = static_cast<int>(r.position() - start);
        SongFileEvent e;
        e.status = r.u8();
        e.data1 = r.u8();
        e.data2 = r.u8();
        if (!r.ok()) {
            break;
        }
        time += delta;
        e.time = time;
        e.vlqLength = length == shortestVlq(delta) ? 0 : length;
        out.events.push_back(e);
        end = r.position();
    }
    if (count != out.events.size()) {
        out.declaredCount = count;
    }
    out.tail.assign(bytes.begin() + static_cast<std::ptrdiff_t>(end), bytes.end());
    return true;
}

vfs::Bytes buildSongFile(const SongFile& song) {
    vfs::Bytes out(kMagic, kMagic + 9);
    core::ByteWriter w(out);
    w.u8(song.pad[0]);
    w.u8(song.pad[1]);
    w.u32(song.declaredCount.value_or(static_cast<uint32_t>(song.events.size())));
    int64_t last = 0;
    for (const SongFileEvent& e : song.events) {
        writeVlq(out, static_cast<uint32_t>(e.time - last), e.vlqLength);
        last = e.time;
        w.u8(e.status);
        w.u8(e.data1);
        w.u8(e.data2);
    }
    w.bytes(song.tail);
    return out;
}

std::string songToText(const SongFile& song) {
    std::ostringstream o;
    o << "# kvx song: " << song.events.size() << " events";
    if (!song.events.empty()) {
        o << ", the last at " << song.events.back().time << " ms";
    }
    o << "\n# time_ms channel message data1 data2\n";
    if (song.pad != std::array<uint8_t, 2>{} || song.declaredCount) {
        o << "song pad=" << hexText(song.pad.data(), 2);
        if (song.declaredCount) {
            o << " count=" << *song.declaredCount;
        }
        o << "\n";
    }
    char status[8];
    for (const SongFileEvent& e : song.events) {
        o << e.time << " ";
        if (isChannelMessage(e.status)) {
            o << (e.status & 0x0F) << " " << kMessages[(e.status >> 4) - 8];
        } else {
            std::snprintf(status, sizeof status, "0x%02x", e.status);
            o << "- " << status;
        }
        o << " " << int(e.data1) << " " << int(e.data2);
        if (e.vlqLength != 0) {
            o << " vlq=" << e.vlqLength;
        }
        o << "\n";
    }
    if (!song.tail.empty()) {
        o << "# bytes after the last whole event\ntail hex="
          << hexText(song.tail.data(), song.tail.size()) << "\n";
    }
    return o.str();
}

bool parseSongText(const std::string& text, SongFile& out, std::string& error) {
    out = SongFile{};
    SongTextParser parser(out, error);
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        if (!parser.line(++number, raw)) {
            return false;
        }
    }
    return true;
}

}  // namespace kvx::synth
