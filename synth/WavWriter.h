// WavWriter: 16-bit PCM RIFF/WAVE files in memory, for offline renders.
//
// makeWav builds the whole file (44-byte header, then the samples
// little-endian); the caller writes the bytes where it wants. A recorder that
// streams: write makeWavHeader(0, ...), then appendWavSamples blocks as they
// come (e.g. the MemoryAudioDevice's take() after each advanceTo), and finally
// rewrite the header with the real count. parseWav reads
// such a file back (only the "fmt " and "data" chunks of 16-bit PCM), for
// tests and tools.
#pragma once

#include <cstdint>
#include <vector>

#include "vfs/Vfs.h"

namespace kvx::synth {

vfs::Bytes makeWav(const std::vector<int16_t>& samples, int sampleRate, int channels);

// The 44-byte header alone, for writers that stream the samples after it
// (little-endian 16-bit) and, once the count is known, write the header
// again at the start of the file.
vfs::Bytes makeWavHeader(size_t sampleCount, int sampleRate, int channels);
// Appends samples as little-endian 16-bit bytes.
void appendWavSamples(vfs::Bytes& out, const int16_t* samples, size_t count);

struct WavData {
    int sampleRate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
};

// False for anything that is not a 16-bit PCM wave file.
bool parseWav(const vfs::Bytes& bytes, WavData& out);

}  // namespace kvx::synth
