// Text form of the synthesizer configuration (see ConfigText.h): writing
// and parsing the text. The binary side is in ConfigBinary.cpp.
#include "synth/ConfigText.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

namespace kvx::synth {

namespace {

void put32(vfs::Bytes& b, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(u >> (8 * i)));
    }
}

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

int32_t le32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

void writeParams(std::ostringstream& o, const std::string& type, const vfs::Bytes& params) {
    if (params.empty()) {
        return;
    }
    if (isFilter(type) && params.size() == 8) {
        o << " hz=" << le32(params.data()) << " res=" << le32(params.data() + 4);
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

// ---- text parsing ------------------------------------------------------------

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

class Parser {
  public:
    explicit Parser(std::string& error) : error_(error) {}

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
    bool pairs(const Line& l, size_t from, std::map<std::string, std::string>& out) {
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
    bool params(const Line& l, std::map<std::string, std::string>& kv, vfs::Bytes& out) {
        if (kv.count("params") != 0) {
            if (!hexBytes(l, kv["params"], out)) {
                return false;
            }
            kv.erase("params");
        }
        if (kv.count("hz") != 0 || kv.count("res") != 0) {
            int32_t hz = 0, res = 0;
            if (!i32(l, kv.count("hz") ? kv["hz"] : "0", hz) ||
                !i32(l, kv.count("res") ? kv["res"] : "0", res)) {
                return false;
            }
            out.clear();
            put32(out, hz);
            put32(out, res);
            kv.erase("hz");
            kv.erase("res");
        }
        return true;
    }

    bool noneLeft(const Line& l, const std::map<std::string, std::string>& kv) {
        return kv.empty() || fail(l, "unknown key '" + kv.begin()->first + "'");
    }

  private:
    std::string& error_;
};

}  // namespace

std::string configToText(const ConfigDesc& config) {
    std::ostringstream o;
    o << "# kvx synthesizer configuration\n";
    o << "config version=" << config.version << " reserved=" << config.reserved << "\n";
    for (const ChunkDesc& c : config.chunks) {
        o << "\n";
        switch (c.kind) {
            case ChunkDesc::Kind::Head:
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
                break;
            case ChunkDesc::Kind::Cefx:
                o << "cefx channel=" << int(c.channel) << "\n";
                for (const EffectDesc& e : c.effects) {
                    o << "  effect slot=" << e.slot << " type=" << quoted(e.type);
                    writeParams(o, e.type, e.params);
                    o << "\n";
                }
                break;
            case ChunkDesc::Kind::Inst:
                o << "inst name=" << quoted(c.name) << " index=" << c.index
                  << " channel=" << int(c.channel) << " polyphony=" << int(c.polyphony)
                  << " flags=" << int(c.flags) << " sustain=" << int(c.ampSustain)
                  << " pansustain=" << int(c.panSustain) << " bend=" << int(c.bendDepth)
                  << " wheel=" << int(c.wheelDepth) << " lforate=" << c.lfoRate
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
                for (const GeneratorDesc& g : c.generators) {
                    o << "  gen slot=" << g.slot << " type=" << quoted(g.type)
                      << " level=" << g.level << " pan=" << g.pan << " spread=" << g.spread
                      << " pitch=" << g.pitch;
                    if (!g.params.empty()) {
                        o << " params=" << hex(g.params);
                    }
                    o << "\n";
                }
                for (const EffectDesc& e : c.effects) {
                    o << "  fx slot=" << e.slot << " type=" << quoted(e.type)
                      << " aux=" << e.values[0] << " cutoff=" << e.values[1]
                      << " resonance=" << e.values[2] << " unused=" << e.values[3]
                      << " cutdepth=" << e.values[4] << " resdepth=" << e.values[5];
                    writeParams(o, e.type, e.params);
                    o << "\n";
                }
                for (const auto& [word, env] :
                     {std::pair{"amp", &c.amp}, std::pair{"pan", &c.pan}}) {
                    if (!env->points.empty()) {
                        o << "  " << word;
                        for (const auto& [ms, level] : env->points) {
                            o << " " << ms << ":" << floatText(level);
                        }
                        o << "\n";
                    }
                }
                break;
            case ChunkDesc::Kind::Raw:
                if (std::all_of(c.tag.begin(), c.tag.end(),
                                [](char ch) { return ch > ' ' && ch < 127 && ch != '"'; })) {
                    o << "chunk tag=" << quoted(c.tag);
                } else {
                    o << "chunk taghex=" << hex(vfs::Bytes(c.tag.begin(), c.tag.end()));
                }
                o << " hex=" << hex(c.raw) << "\n";
                break;
        }
    }
    return o.str();
}

bool parseConfigText(const std::string& text, ConfigDesc& out, std::string& error) {
    out = ConfigDesc{};
    Parser p(error);
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    ChunkDesc* chunk = nullptr;
    while (std::getline(in, raw)) {
        Line l;
        l.number = ++number;
        l.indented = !raw.empty() && (raw[0] == ' ' || raw[0] == '\t');
        if (!splitWords(raw, l.words)) {
            return p.fail(l, "unterminated quote");
        }
        if (l.words.empty()) {
            continue;
        }
        const std::string& key = l.words[0];
        std::map<std::string, std::string> kv;
        if (!l.indented) {
            if (key == "config") {
                if (!p.pairs(l, 1, kv)) {
                    return false;
                }
                if ((kv.count("version") && !p.i32(l, kv["version"], out.version)) ||
                    (kv.count("reserved") && !p.i32(l, kv["reserved"], out.reserved))) {
                    return false;
                }
                kv.erase("version");
                kv.erase("reserved");
                if (!p.noneLeft(l, kv)) {
                    return false;
                }
                chunk = nullptr;
                continue;
            }
            out.chunks.emplace_back();
            chunk = &out.chunks.back();
            ChunkDesc& c = *chunk;
            if (!p.pairs(l, 1, kv)) {
                return false;
            }
            auto take = [&kv](const char* k, std::string& v) {
                auto it = kv.find(k);
                if (it == kv.end()) {
                    return false;
                }
                v = it->second;
                kv.erase(it);
                return true;
            };
            std::string v;
            if (key == "head") {
                c.kind = ChunkDesc::Kind::Head;
                for (int i = 0; i < 16; ++i) {
                    c.map[i] = static_cast<uint8_t>(i);
                    c.gains[i] = 101;
                    c.ranges[2 * i] = 0;
                    c.ranges[2 * i + 1] = 127;
                }
                if ((take("stereo", v) && !p.u8(l, v, c.stereo)) ||
                    (take("channels", v) && !p.s8(l, v, c.channels)) ||
                    (take("tempo", v) && !p.u8(l, v, c.tempo)) ||
                    (take("version", v) && !p.u8(l, v, c.version))) {
                    return false;
                }
                if (take("master", v)) {
                    const size_t comma = v.find(',');
                    if (comma == std::string::npos || !p.u8(l, v.substr(0, comma), c.masterLeft) ||
                        !p.u8(l, v.substr(comma + 1), c.masterRight)) {
                        return comma == std::string::npos ? p.fail(l, "master=left,right") : false;
                    }
                }
            } else if (key == "cefx") {
                c.kind = ChunkDesc::Kind::Cefx;
                if (take("channel", v) && !p.s8(l, v, c.channel)) {
                    return false;
                }
            } else if (key == "inst") {
                c.kind = ChunkDesc::Kind::Inst;
                c.channel = -1;
                c.seqDuration = 0;
                take("name", c.name);
                const struct {
                    const char* key;
                    uint8_t* field;
                } bytes[] = {{"flags", &c.flags},           {"sustain", &c.ampSustain},
                             {"pansustain", &c.panSustain}, {"bend", &c.bendDepth},
                             {"wheel", &c.wheelDepth},      {"lfodest", &c.lfoDestination},
                             {"velmode", &c.velocityMode},  {"lfodepth", &c.lfoDepth},
                             {"portamento", &c.portamento}};
                for (const auto& b : bytes) {
                    if (take(b.key, v) && !p.u8(l, v, *b.field)) {
                        return false;
                    }
                }
                if ((take("index", v) && !p.i32(l, v, c.index)) ||
                    (take("channel", v) && !p.s8(l, v, c.channel)) ||
                    (take("polyphony", v) && !p.s8(l, v, c.polyphony)) ||
                    (take("lforate", v) && !p.field(l, v, c.lfoRate, 0, 65535))) {
                    return false;
                }
            } else if (key == "chunk") {
                c.kind = ChunkDesc::Kind::Raw;
                if (take("taghex", v)) {
                    vfs::Bytes tag;
                    if (!p.hexBytes(l, v, tag) || tag.size() != 4) {
                        return p.fail(l, "taghex needs four bytes of hex");
                    }
                    c.tag.assign(tag.begin(), tag.end());
                } else if (!take("tag", c.tag) || c.tag.size() != 4) {
                    return p.fail(l, "chunk needs tag=XXXX (four characters) or taghex=");
                }
                if (take("hex", v) && !p.hexBytes(l, v, c.raw)) {
                    return false;
                }
            } else {
                return p.fail(l, "unknown section '" + key + "' (head, cefx, inst, chunk, config)");
            }
            if (!p.noneLeft(l, kv)) {
                return false;
            }
            continue;
        }

        // Indented lines belong to the chunk above.
        if (chunk == nullptr) {
            return p.fail(l, "indented line outside a section");
        }
        ChunkDesc& c = *chunk;
        const size_t n = l.words.size() - 1;
        if (c.kind == ChunkDesc::Kind::Head && (key == "map" || key == "gains")) {
            auto& arr = key == "map" ? c.map : c.gains;
            if (n != 16) {
                return p.fail(l, key + " needs 16 values");
            }
            for (size_t i = 0; i < 16; ++i) {
                if (!p.u8(l, l.words[i + 1], arr[i])) {
                    return false;
                }
            }
        } else if (c.kind == ChunkDesc::Kind::Head && key == "ranges") {
            if (n != 16) {
                return p.fail(l, "ranges needs 16 low-high pairs");
            }
            for (size_t i = 0; i < 16; ++i) {
                const std::string& w = l.words[i + 1];
                const size_t dash = w.find('-', 1);
                if (dash == std::string::npos) {
                    return p.fail(l, "range '" + w + "' is not low-high");
                }
                if (!p.u8(l, w.substr(0, dash), c.ranges[2 * i]) ||
                    !p.u8(l, w.substr(dash + 1), c.ranges[2 * i + 1])) {
                    return false;
                }
            }
        } else if ((c.kind == ChunkDesc::Kind::Cefx && key == "effect") ||
                   (c.kind == ChunkDesc::Kind::Inst && key == "fx")) {
            EffectDesc e;
            if (!p.pairs(l, 1, kv) || !p.params(l, kv, e.params)) {
                return false;
            }
            const char* keys[] = {"aux", "cutoff", "resonance", "unused", "cutdepth", "resdepth"};
            for (int i = 0; i < 6; ++i) {
                if (c.kind == ChunkDesc::Kind::Inst && kv.count(keys[i]) != 0) {
                    if (!p.i32(l, kv[keys[i]], e.values[i])) {
                        return false;
                    }
                    kv.erase(keys[i]);
                }
            }
            if (kv.count("slot") != 0 && !p.i32(l, kv["slot"], e.slot)) {
                return false;
            }
            if (kv.count("type") == 0) {
                return p.fail(l, "effect needs type=");
            }
            e.type = kv["type"];
            kv.erase("slot");
            kv.erase("type");
            if (!p.noneLeft(l, kv)) {
                return false;
            }
            c.effects.push_back(std::move(e));
        } else if (c.kind == ChunkDesc::Kind::Inst && key == "gen") {
            GeneratorDesc g;
            if (!p.pairs(l, 1, kv)) {
                return false;
            }
            if (kv.count("params") != 0 && !p.hexBytes(l, kv["params"], g.params)) {
                return false;
            }
            const struct {
                const char* key;
                int32_t* field;
            } fields[] = {{"slot", &g.slot},
                          {"level", &g.level},
                          {"pan", &g.pan},
                          {"spread", &g.spread},
                          {"pitch", &g.pitch}};
            for (const auto& f : fields) {
                if (kv.count(f.key) != 0 && !p.i32(l, kv[f.key], *f.field)) {
                    return false;
                }
                kv.erase(f.key);
            }
            if (kv.count("type") == 0) {
                return p.fail(l, "gen needs type=");
            }
            g.type = kv["type"];
            kv.erase("type");
            kv.erase("params");
            if (!p.noneLeft(l, kv)) {
                return false;
            }
            c.generators.push_back(std::move(g));
        } else if (c.kind == ChunkDesc::Kind::Inst && key == "seq") {
            c.seqLength = 4;
            c.seqLoop = 0;
            c.seqDuration = 10;
            c.steps.fill(63);  // a steps line below overrides
            if (!p.pairs(l, 1, kv) ||
                (kv.count("length") && !p.i32(l, kv["length"], c.seqLength)) ||
                (kv.count("loop") && !p.i32(l, kv["loop"], c.seqLoop)) ||
                (kv.count("duration") && !p.i32(l, kv["duration"], c.seqDuration))) {
                return false;
            }
            kv.erase("length");
            kv.erase("loop");
            kv.erase("duration");
            if (!p.noneLeft(l, kv)) {
                return false;
            }
        } else if (c.kind == ChunkDesc::Kind::Inst && key == "steps") {
            if (n != 16) {
                return p.fail(l, "steps needs 16 values");
            }
            for (size_t i = 0; i < 16; ++i) {
                if (!p.i32(l, l.words[i + 1], c.steps[i])) {
                    return false;
                }
            }
        } else if (c.kind == ChunkDesc::Kind::Inst && (key == "amp" || key == "pan")) {
            EnvelopeDesc& env = key == "amp" ? c.amp : c.pan;
            for (size_t i = 1; i < l.words.size(); ++i) {
                const std::string& w = l.words[i];
                const size_t colon = w.find(':');
                int32_t ms = 0;
                if (colon == std::string::npos || !p.i32(l, w.substr(0, colon), ms)) {
                    return colon == std::string::npos
                               ? p.fail(l, "point '" + w + "' is not ms:level")
                               : false;
                }
                const std::string lv = w.substr(colon + 1);
                char* end = nullptr;
                const float level = std::strtof(lv.c_str(), &end);
                if (lv.empty() || *end != '\0') {
                    return p.fail(l, "level '" + lv + "' is not a number");
                }
                env.points.emplace_back(ms, level);
            }
        } else {
            return p.fail(l, "'" + key + "' does not belong in this section");
        }
    }
    return true;
}

}  // namespace kvx::synth
