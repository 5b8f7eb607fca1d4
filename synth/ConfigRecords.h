// ConfigRecords: the fixed headers and records inside the configuration's
// CEFX and INST chunks, read one way for both of their readers: the player
// (PlayerConfig.cpp) and the text dump (ConfigBinary.cpp).
//
// Each reader takes one whole header or record from a ByteReader and says
// whether it fit; the values are kept as the file holds them. What they mean
// is the caller's business: the player clamps slots, looks the type names up
// and drops what it does not know, the dump keeps everything to write it
// back byte for byte.
#pragma once

#include <cstdint>

#include "core/ByteReader.h"
#include "synth/ConfigText.h"
#include "vfs/ChunkFile.h"

namespace kvx::synth {

constexpr int32_t kHeadTag = vfs::tagId("HEAD");
constexpr int32_t kCefxTag = vfs::tagId("CEFX");
constexpr int32_t kInstTag = vfs::tagId("INST");

// Where the records of a chunk start and how many there are of each kind.
// first is an offset from the chunk's start (CEFX) or from the end of the
// instrument's name (INST).
struct RecordLayout {
    int32_t first = 0;
    int generators = 0;
    int effects = 0;
};

// The fixed CEFX header: the channel into c.channel, the effect count into
// layout.effects.
bool readCefxHeader(core::ByteReader& r, ChunkDesc& c, RecordLayout& layout);
// The fixed INST header that follows the instrument's name: every field into
// c (the requested table index into c.index), the counts into layout.
bool readInstHeader(core::ByteReader& r, ChunkDesc& c, RecordLayout& layout);

// One generator record of an INST.
bool readGeneratorRecord(core::ByteReader& r, GeneratorDesc& g);
// One effect record of an INST: slot, type, the six values, parameters.
bool readInstEffectRecord(core::ByteReader& r, EffectDesc& e);
// One effect record of a CEFX: slot, type, parameters (no values).
bool readChannelEffectRecord(core::ByteReader& r, EffectDesc& e);

}  // namespace kvx::synth
