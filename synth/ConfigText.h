// ConfigText: the readable text form of a synthesizer configuration, for the
// kvxsynth tool (compile and dump) and for tests.
//
// The text is a list of chunks in file order; each starts with a keyword at
// the start of a line ("head", "cefx", "inst", "chunk") and continues with
// indented lines. Values are key=value words; names may be quoted. '#' starts
// a comment. docs/synth-config.md describes every key.
//
// Round trip: compile(dump(b)) == b for every file that the player accepts
// (the magic and a whole header), and dump(compile(t)) is the canonical form
// of t. Offsets inside records are written canonically (records right after
// their fixed header), names with one terminating NUL; a chunk of another
// tag or in another layout is kept as hex, and so are the bytes after the
// chunks that the header announces.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "vfs/Vfs.h"

namespace kvx::synth {

struct GeneratorDesc {
    int32_t slot = 0;
    std::string type;
    int32_t level = 127, pan = 0, spread = 0, pitch = 0;
    vfs::Bytes params;
};

struct EffectDesc {
    int32_t slot = 0;
    std::string type;
    // Instrument effects only: aux, cutoff (100 Hz), resonance, unused,
    // cutoff depth, resonance depth.
    std::array<int32_t, 6> values{127, 0, 0, 0, 0, 0};
    vfs::Bytes params;
};

struct EnvelopeDesc {
    std::vector<std::pair<int32_t, float>> points;
};

struct ChunkDesc {
    enum class Kind { Head, Cefx, Inst, Raw } kind = Kind::Raw;
    std::string tag;  // Raw only
    vfs::Bytes raw;   // Raw only

    // head
    uint8_t stereo = 0;
    int8_t channels = 1;
    uint8_t tempo = 120;
    uint8_t version = 3;
    std::array<uint8_t, 16> map{};
    uint8_t masterLeft = 127, masterRight = 127;
    std::array<uint8_t, 16> gains{};
    std::array<uint8_t, 32> ranges{};

    // cefx (channel) and inst (channel = default mixer channel)
    int8_t channel = 0;
    std::vector<EffectDesc> effects;

    // inst
    std::string name;
    int32_t index = 0;
    int8_t polyphony = 8;
    uint8_t flags = 0;
    uint8_t ampSustain = 0, panSustain = 0;
    uint8_t bendDepth = 2, wheelDepth = 6;
    uint16_t lfoRate = 0;
    int32_t seqLength = -1, seqLoop = 0, seqDuration = 10;
    std::array<int32_t, 16> steps{};
    uint8_t lfoDestination = 3, velocityMode = 1, lfoDepth = 0, portamento = 0;
    std::vector<GeneratorDesc> generators;
    EnvelopeDesc amp, pan;
};

struct ConfigDesc {
    int32_t version = 1;
    int32_t reserved = 0;
    // The header's chunk count when it is not the number of chunks (a file
    // may announce fewer chunks than it holds, or more, or none).
    std::optional<int32_t> declaredCount;
    std::vector<ChunkDesc> chunks;
    // Bytes after the last chunk the reader delivers (chunks beyond the
    // announced count, a chunk cut short, anything else); kept as they are.
    vfs::Bytes tail;
};

// Text to model; false with a message naming the line on bad input.
bool parseConfigText(const std::string& text, ConfigDesc& out, std::string& error);
// Model to text (canonical form).
std::string configToText(const ConfigDesc& config);
// Model to the binary chunk file.
vfs::Bytes buildConfig(const ConfigDesc& config);
// Whether the text can write the chunk's names and values so that they read
// back the same: not names with quotes or line breaks, not a NaN whose
// payload the text does not show.
bool textCanCarry(const ChunkDesc& chunk);
// Binary chunk file to model; false with a message when it is not one.
bool readConfig(const vfs::Bytes& bytes, ConfigDesc& out, std::string& error);

}  // namespace kvx::synth
