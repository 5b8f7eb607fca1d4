// Text form of the synthesizer configuration (see ConfigText.h): writing
// and parsing the text. The binary side is in ConfigBinary.cpp.
//
// Sections: the writer has one function per chunk kind; the parser has one
// handler per section keyword ("config", "head", "cefx", "inst", "chunk")
// and one per detail line, chosen from two tables.
#include "synth/ConfigText.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

namespace kvx::synth {

namespace {

// ---- text writing ------------------------------------------------------------

std::string hex(const vfs::Bytes& b) {
    std::string s;
    char buf[3];
    for (uint8_t v : b) {
        std::snprintf(buf, sizeof buf, "%02x", v);
        s += buf;
    }
    return s;
}

bool isFilter(const std::string& type) {
    return type == "eLPF" || type == "eMoogVCF";
}

void writeParams(std::ostringstream& o, const std::string& type, const vfs::Bytes& params) {
    if (params.empty()) {
        return;
    }
    if (isFilter(type) && params.size() == 8) {
        core::ByteReader r(params.data(), params.size());
        const int32_t hz = r.i32();
        const int32_t res = r.i32();
        o << " hz=" << hz << " res=" << res;
    } else {
        o << " params=" << hex(params);
    }
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string floatText(float f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
    return buf;
}

void writeHead(std::ostringstream& o, const ChunkDesc& c) {
    o << "head stereo=" << int(c.stereo) << " channels=" << int(c.channels)
      << " tempo=" << int(c.tempo) << " version=" << int(c.version)
      << " master=" << int(c.masterLeft) << "," << int(c.masterRight) << "\n  map";
    for (uint8_t v : c.map) {
        o << " " << int(v);
    }
    o << "\n  gains";
    for (uint8_t v : c.gains) {
        o << " " << int(v);
    }
    o << "\n";
    if (c.version > 2) {
        o << "  ranges";
        for (int i = 0; i < 16; ++i) {
            o << " " << int(c.ranges[2 * i]) << "-" << int(c.ranges[2 * i + 1]);
        }
        o << "\n";
    }
}

void writeCefx(std::ostringstream& o, const ChunkDesc& c) {
    o << "cefx channel=" << int(c.channel) << "\n";
    for (const EffectDesc& e : c.effects) {
        o << "  effect slot=" << e.slot << " type=" << quoted(e.type);
        writeParams(o, e.type, e.params);
        o << "\n";
    }
}

void writeInstRecords(std::ostringstream& o, const ChunkDesc& c) {
    for (const GeneratorDesc& g : c.generators) {
        o << "  gen slot=" << g.slot << " type=" << quoted(g.type) << " level=" << g.level
          << " pan=" << g.pan << " spread=" << g.spread << " pitch=" << g.pitch;
        if (!g.params.empty()) {
            o << " params=" << hex(g.params);
        }
        o << "\n";
    }
    for (const EffectDesc& e : c.effects) {
        o << "  fx slot=" << e.slot << " type=" << quoted(e.type) << " aux=" << e.values[0]
          << " cutoff=" << e.values[1] << " resonance=" << e.values[2] << " unused=" << e.values[3]
          << " cutdepth=" << e.values[4] << " resdepth=" << e.values[5];
        writeParams(o, e.type, e.params);
        o << "\n";
    }
    for (const auto& [word, env] : {std::pair{"amp", &c.amp}, std::pair{"pan", &c.pan}}) {
        if (!env->points.empty()) {
            o << "  " << word;
            for (const auto& [ms, level] : env->points) {
                o << " " << ms << ":" << floatText(level);
            }
            o << "\n";
        }
    }
}

void writeInst(std::ostringstream& o, const ChunkDesc& c) {
    o << "inst name=" << quoted(c.name) << " index=" << c.index << " channel=" << int(c.channel)
      << " polyphony=" << int(c.polyphony) << " flags=" << int(c.flags)
      << " sustain=" << int(c.ampSustain) << " pansustain=" << int(c.panSustain)
      << " bend=" << int(c.bendDepth) << " wheel=" << int(c.wheelDepth) << " lforate=" << c.lfoRate
      << " lfodest=" << int(c.lfoDestination) << " velmode=" << int(c.velocityMode)
      << " lfodepth=" << int(c.lfoDepth) << " portamento=" << int(c.portamento) << "\n";
    if (c.seqLength != -1 || c.seqLoop != 0 || c.seqDuration != 0 ||
        c.steps != std::array<int32_t, 16>{}) {
        o << "  seq length=" << c.seqLength << " loop=" << c.seqLoop
          << " duration=" << c.seqDuration << "\n  steps";
        for (int32_t s : c.steps) {
            o << " " << s;
        }
        o << "\n";
    }
    writeInstRecords(o, c);
}

void writeRaw(std::ostringstream& o, const ChunkDesc& c) {
    if (std::all_of(c.tag.begin(), c.tag.end(),
                    [](char ch) { return ch > ' ' && ch < 127 && ch != '"'; })) {
        o << "chunk tag=" << quoted(c.tag);
    } else {
        o << "chunk taghex=" << hex(vfs::Bytes(c.tag.begin(), c.tag.end()));
    }
    o << " hex=" << hex(c.raw) << "\n";
}

// ---- text parsing ------------------------------------------------------------

using Pairs = std::map<std::string, std::string>;

struct Line {
    int number = 0;
    bool indented = false;
    std::vector<std::string> words;
};

bool splitWords(const std::string& text, std::vector<std::string>& words) {
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
            ++i;
            continue;
        }
        if (text[i] == '#') {
            break;
        }
        std::string w;
        bool inQuote = false;
        while (i < text.size() &&
               (inQuote || (text[i] != ' ' && text[i] != '\t' && text[i] != '\r'))) {
            if (text[i] == '"') {
                inQuote = !inQuote;
            } else {
                w += text[i];
            }
            ++i;
        }
        if (inQuote) {
            return false;
        }
        words.push_back(w);
    }
    return true;
}

// Fills a ConfigDesc line by line: section lines start a chunk, indented
// detail lines add to the chunk above. Every failure names its line.
class TextParser {
  public:
    TextParser(ConfigDesc& out, std::string& error) : out_(out), error_(error) {}

    bool line(const Line& l) {
        if (l.words.empty()) {
            return true;
        }
        return l.indented ? detail(l) : section(l);
    }

  private:
    using SectionHandler = bool (TextParser::*)(const Line&, Pairs&, ChunkDesc&);
    using DetailHandler = bool (TextParser::*)(const Line&, ChunkDesc&);

    bool fail(const Line& l, const std::string& message) {
        error_ = "line " + std::to_string(l.number) + ": " + message;
        return false;
    }

    // Integer value within [lo, hi].
    bool number(const Line& l, const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(text.c_str(), &end, 0);
        if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi) {
            return fail(l, "'" + text + "' is not a number in " + std::to_string(lo) + ".." +
                               std::to_string(hi));
        }
        out = v;
        return true;
    }

    template <typename T>
    bool field(const Line& l, const std::string& text, T& out, int64_t lo, int64_t hi) {
        int64_t v = 0;
        if (!number(l, text, lo, hi, v)) {
            return false;
        }
        out = static_cast<T>(v);
        return true;
    }
    bool i32(const Line& l, const std::string& t, int32_t& out) {
        return field(l, t, out, INT32_MIN, INT32_MAX);
    }
    bool u8(const Line& l, const std::string& t, uint8_t& out) { return field(l, t, out, 0, 255); }
    bool s8(const Line& l, const std::string& t, int8_t& out) {
        return field(l, t, out, -128, 127);
    }

    // Takes key out of kv into out (range-checked); an absent key leaves out
    // as it is.
    template <typename T>
    bool take(const Line& l, Pairs& kv, const char* key, T& out, int64_t lo, int64_t hi) {
        const auto it = kv.find(key);
        if (it == kv.end()) {
            return true;
        }
        const std::string text = it->second;
        kv.erase(it);
        return field(l, text, out, lo, hi);
    }
    bool take(const Line& l, Pairs& kv, const char* key, int32_t& out) {
        return take(l, kv, key, out, INT32_MIN, INT32_MAX);
    }
    bool take(const Line& l, Pairs& kv, const char* key, uint8_t& out) {
        return take(l, kv, key, out, 0, 255);
    }
    bool take(const Line& l, Pairs& kv, const char* key, int8_t& out) {
        return take(l, kv, key, out, -128, 127);
    }
    bool takeText(Pairs& kv, const char* key, std::string& out) {
        const auto it = kv.find(key);
        if (it == kv.end()) {
            return false;
        }
        out = it->second;
        kv.erase(it);
        return true;
    }

    bool hexBytes(const Line& l, const std::string& text, vfs::Bytes& out) {
        if (text.size() % 2 != 0) {
            return fail(l, "hex text of odd length");
        }
        out.clear();
        for (size_t i = 0; i < text.size(); i += 2) {
            char* end = nullptr;
            const std::string two = text.substr(i, 2);
            const long v = std::strtol(two.c_str(), &end, 16);
            if (*end != '\0') {
                return fail(l, "'" + two + "' is not a hex byte");
            }
            out.push_back(static_cast<uint8_t>(v));
        }
        return true;
    }

    // key=value pairs of a line from word `from` on; positional words are refused.
    bool pairs(const Line& l, size_t from, Pairs& out) {
        for (size_t i = from; i < l.words.size(); ++i) {
            const size_t eq = l.words[i].find('=');
            if (eq == std::string::npos) {
                return fail(l, "expected key=value, got '" + l.words[i] + "'");
            }
            out[l.words[i].substr(0, eq)] = l.words[i].substr(eq + 1);
        }
        return true;
    }

    // Params of a record: hz/res (two integers) or params=hex.
    bool params(const Line& l, Pairs& kv, vfs::Bytes& out) {
        std::string text;
        if (takeText(kv, "params", text) && !hexBytes(l, text, out)) {
            return false;
        }
        if (kv.count("hz") != 0 || kv.count("res") != 0) {
            int32_t hz = 0, res = 0;
            if (!take(l, kv, "hz", hz) || !take(l, kv, "res", res)) {
                return false;
            }
            out.clear();
            core::ByteWriter w(out);
            w.i32(hz);
            w.i32(res);
        }
        return true;
    }

    bool noneLeft(const Line& l, const Pairs& kv) {
        return kv.empty() || fail(l, "unknown key '" + kv.begin()->first + "'");
    }

    // A list of `count` words after the line's keyword.
    bool wordCount(const Line& l, size_t count, const char* what) {
        return l.words.size() == count + 1 || fail(l, what);
    }

    bool section(const Line& l) {
        static const struct {
            const char* word;
            SectionHandler handler;
        } kSections[] = {{"head", &TextParser::head},
                         {"cefx", &TextParser::cefx},
                         {"inst", &TextParser::inst},
                         {"chunk", &TextParser::rawChunk}};
        const std::string& key = l.words[0];
        Pairs kv;
        if (!pairs(l, 1, kv)) {
            return false;
        }
        if (tailSeen_) {
            return fail(l, "nothing may follow the tail");
        }
        if (key == "config") {
            chunk_ = nullptr;
            return configLine(l, kv);
        }
        if (key == "tail") {
            chunk_ = nullptr;
            tailSeen_ = true;
            std::string v;
            return (!takeText(kv, "hex", v) || hexBytes(l, v, out_.tail)) && noneLeft(l, kv);
        }
        for (const auto& s : kSections) {
            if (key == s.word) {
                out_.chunks.emplace_back();
                chunk_ = &out_.chunks.back();
                return (this->*s.handler)(l, kv, *chunk_) && noneLeft(l, kv);
            }
        }
        return fail(l, "unknown section '" + key + "' (head, cefx, inst, chunk, config, tail)");
    }

    bool configLine(const Line& l, Pairs& kv) {
        if (!take(l, kv, "version", out_.version) || !take(l, kv, "reserved", out_.reserved)) {
            return false;
        }
        if (kv.count("count") != 0) {
            int32_t count = 0;
            if (!take(l, kv, "count", count)) {
                return false;
            }
            out_.declaredCount = count;
        }
        return noneLeft(l, kv);
    }

    bool head(const Line& l, Pairs& kv, ChunkDesc& c) {
        c.kind = ChunkDesc::Kind::Head;
        for (int i = 0; i < 16; ++i) {
            c.map[i] = static_cast<uint8_t>(i);
            c.gains[i] = 101;
            c.ranges[2 * i] = 0;
            c.ranges[2 * i + 1] = 127;
        }
        if (!take(l, kv, "stereo", c.stereo) || !take(l, kv, "channels", c.channels) ||
            !take(l, kv, "tempo", c.tempo) || !take(l, kv, "version", c.version)) {
            return false;
        }
        std::string v;
        if (!takeText(kv, "master", v)) {
            return true;
        }
        const size_t comma = v.find(',');
        if (comma == std::string::npos) {
            return fail(l, "master=left,right");
        }
        return u8(l, v.substr(0, comma), c.masterLeft) && u8(l, v.substr(comma + 1), c.masterRight);
    }

    bool cefx(const Line& l, Pairs& kv, ChunkDesc& c) {
        c.kind = ChunkDesc::Kind::Cefx;
        return take(l, kv, "channel", c.channel);
    }

    bool inst(const Line& l, Pairs& kv, ChunkDesc& c) {
        c.kind = ChunkDesc::Kind::Inst;
        c.channel = -1;
        c.seqDuration = 0;
        takeText(kv, "name", c.name);
        const struct {
            const char* key;
            uint8_t* field;
        } bytes[] = {{"flags", &c.flags},           {"sustain", &c.ampSustain},
                     {"pansustain", &c.panSustain}, {"bend", &c.bendDepth},
                     {"wheel", &c.wheelDepth},      {"lfodest", &c.lfoDestination},
                     {"velmode", &c.velocityMode},  {"lfodepth", &c.lfoDepth},
                     {"portamento", &c.portamento}};
        for (const auto& b : bytes) {
            if (!take(l, kv, b.key, *b.field)) {
                return false;
            }
        }
        return take(l, kv, "index", c.index) && take(l, kv, "channel", c.channel) &&
               take(l, kv, "polyphony", c.polyphony) && take(l, kv, "lforate", c.lfoRate, 0, 65535);
    }

    bool rawChunk(const Line& l, Pairs& kv, ChunkDesc& c) {
        c.kind = ChunkDesc::Kind::Raw;
        std::string v;
        if (takeText(kv, "taghex", v)) {
            vfs::Bytes tag;
            if (!hexBytes(l, v, tag) || tag.size() != 4) {
                return fail(l, "taghex needs four bytes of hex");
            }
            c.tag.assign(tag.begin(), tag.end());
        } else if (!takeText(kv, "tag", c.tag) || c.tag.size() != 4) {
            return fail(l, "chunk needs tag=XXXX (four characters) or taghex=");
        }
        return !takeText(kv, "hex", v) || hexBytes(l, v, c.raw);
    }

    bool detail(const Line& l) {
        using Kind = ChunkDesc::Kind;
        static const struct {
            Kind kind;
            const char* word;
            DetailHandler handler;
        } kDetails[] = {{Kind::Head, "map", &TextParser::headBytes},
                        {Kind::Head, "gains", &TextParser::headBytes},
                        {Kind::Head, "ranges", &TextParser::headRanges},
                        {Kind::Cefx, "effect", &TextParser::effect},
                        {Kind::Inst, "fx", &TextParser::effect},
                        {Kind::Inst, "gen", &TextParser::generator},
                        {Kind::Inst, "seq", &TextParser::sequencer},
                        {Kind::Inst, "steps", &TextParser::steps},
                        {Kind::Inst, "amp", &TextParser::envelope},
                        {Kind::Inst, "pan", &TextParser::envelope}};
        if (chunk_ == nullptr) {
            return fail(l, "indented line outside a section");
        }
        for (const auto& d : kDetails) {
            if (chunk_->kind == d.kind && l.words[0] == d.word) {
                return (this->*d.handler)(l, *chunk_);
            }
        }
        return fail(l, "'" + l.words[0] + "' does not belong in this section");
    }

    bool headBytes(const Line& l, ChunkDesc& c) {
        const bool isMap = l.words[0] == "map";
        auto& values = isMap ? c.map : c.gains;
        if (!wordCount(l, 16, isMap ? "map needs 16 values" : "gains needs 16 values")) {
            return false;
        }
        for (size_t i = 0; i < 16; ++i) {
            if (!u8(l, l.words[i + 1], values[i])) {
                return false;
            }
        }
        return true;
    }

    bool headRanges(const Line& l, ChunkDesc& c) {
        if (!wordCount(l, 16, "ranges needs 16 low-high pairs")) {
            return false;
        }
        for (size_t i = 0; i < 16; ++i) {
            const std::string& w = l.words[i + 1];
            const size_t dash = w.find('-', 1);
            if (dash == std::string::npos) {
                return fail(l, "range '" + w + "' is not low-high");
            }
            if (!u8(l, w.substr(0, dash), c.ranges[2 * i]) ||
                !u8(l, w.substr(dash + 1), c.ranges[2 * i + 1])) {
                return false;
            }
        }
        return true;
    }

    // "effect" of a cefx section and "fx" of an inst (which adds the six values).
    bool effect(const Line& l, ChunkDesc& c) {
        static const char* const kValues[] = {"aux",    "cutoff",   "resonance",
                                              "unused", "cutdepth", "resdepth"};
        EffectDesc e;
        Pairs kv;
        if (!pairs(l, 1, kv) || !params(l, kv, e.params)) {
            return false;
        }
        for (int i = 0; i < 6 && c.kind == ChunkDesc::Kind::Inst; ++i) {
            if (!take(l, kv, kValues[i], e.values[i])) {
                return false;
            }
        }
        if (!take(l, kv, "slot", e.slot)) {
            return false;
        }
        if (!takeText(kv, "type", e.type)) {
            return fail(l, "effect needs type=");
        }
        if (!noneLeft(l, kv)) {
            return false;
        }
        c.effects.push_back(std::move(e));
        return true;
    }

    bool generator(const Line& l, ChunkDesc& c) {
        GeneratorDesc g;
        Pairs kv;
        std::string text;
        if (!pairs(l, 1, kv) || (takeText(kv, "params", text) && !hexBytes(l, text, g.params))) {
            return false;
        }
        if (!take(l, kv, "slot", g.slot) || !take(l, kv, "level", g.level) ||
            !take(l, kv, "pan", g.pan) || !take(l, kv, "spread", g.spread) ||
            !take(l, kv, "pitch", g.pitch)) {
            return false;
        }
        if (!takeText(kv, "type", g.type)) {
            return fail(l, "gen needs type=");
        }
        if (!noneLeft(l, kv)) {
            return false;
        }
        c.generators.push_back(std::move(g));
        return true;
    }

    bool sequencer(const Line& l, ChunkDesc& c) {
        c.seqLength = 4;
        c.seqLoop = 0;
        c.seqDuration = 10;
        c.steps.fill(63);  // a steps line below overrides
        Pairs kv;
        return pairs(l, 1, kv) && take(l, kv, "length", c.seqLength) &&
               take(l, kv, "loop", c.seqLoop) && take(l, kv, "duration", c.seqDuration) &&
               noneLeft(l, kv);
    }

    bool steps(const Line& l, ChunkDesc& c) {
        if (!wordCount(l, 16, "steps needs 16 values")) {
            return false;
        }
        for (size_t i = 0; i < 16; ++i) {
            if (!i32(l, l.words[i + 1], c.steps[i])) {
                return false;
            }
        }
        return true;
    }

    bool envelope(const Line& l, ChunkDesc& c) {
        EnvelopeDesc& env = l.words[0] == "amp" ? c.amp : c.pan;
        for (size_t i = 1; i < l.words.size(); ++i) {
            const std::string& w = l.words[i];
            const size_t colon = w.find(':');
            if (colon == std::string::npos) {
                return fail(l, "point '" + w + "' is not ms:level");
            }
            int32_t ms = 0;
            if (!i32(l, w.substr(0, colon), ms)) {
                return false;
            }
            const std::string lv = w.substr(colon + 1);
            char* end = nullptr;
            const float level = std::strtof(lv.c_str(), &end);
            if (lv.empty() || *end != '\0') {
                return fail(l, "level '" + lv + "' is not a number");
            }
            env.points.emplace_back(ms, level);
        }
        return true;
    }

    ConfigDesc& out_;
    std::string& error_;
    ChunkDesc* chunk_ = nullptr;
    bool tailSeen_ = false;
};

}  // namespace

bool textCanCarry(const ChunkDesc& c) {
    auto nameOk = [](const std::string& s) {
        return s.find_first_of("\"\n\r") == std::string::npos;
    };
    auto levelsOk = [](const EnvelopeDesc& env) {
        for (const auto& point : env.points) {
            const float back = std::strtof(floatText(point.second).c_str(), nullptr);
            if (std::memcmp(&back, &point.second, sizeof back) != 0) {
                return false;
            }
        }
        return true;
    };
    bool ok = nameOk(c.name) && levelsOk(c.amp) && levelsOk(c.pan);
    for (const GeneratorDesc& g : c.generators) {
        ok = ok && nameOk(g.type);
    }
    for (const EffectDesc& e : c.effects) {
        ok = ok && nameOk(e.type);
    }
    return ok;
}

std::string configToText(const ConfigDesc& config) {
    std::ostringstream o;
    o << "# kvx synthesizer configuration\n";
    o << "config version=" << config.version << " reserved=" << config.reserved;
    if (config.declaredCount) {
        o << " count=" << *config.declaredCount;
    }
    o << "\n";
    for (const ChunkDesc& c : config.chunks) {
        o << "\n";
        switch (c.kind) {
            case ChunkDesc::Kind::Head:
                writeHead(o, c);
                break;
            case ChunkDesc::Kind::Cefx:
                writeCefx(o, c);
                break;
            case ChunkDesc::Kind::Inst:
                writeInst(o, c);
                break;
            case ChunkDesc::Kind::Raw:
                writeRaw(o, c);
                break;
        }
    }
    if (!config.tail.empty()) {
        o << "\n# bytes after the chunks the header announces\ntail hex=" << hex(config.tail)
          << "\n";
    }
    return o.str();
}

bool parseConfigText(const std::string& text, ConfigDesc& out, std::string& error) {
    out = ConfigDesc{};
    TextParser parser(out, error);
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        Line l;
        l.number = ++number;
        l.indented = !raw.empty() && (raw[0] == ' ' || raw[0] == '\t');
        if (!splitWords(raw, l.words)) {
            error = "line " + std::to_string(l.number) + ": unterminated quote";
            return false;
        }
        if (!parser.line(l)) {
            return false;
        }
    }
    return true;
}

}  // namespace kvx::synth
