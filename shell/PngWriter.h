// PngWriter: RGBA or RGB pictures to PNG files (libpng), for recordings and
// screenshots, and the read-back of the window's frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvx::shell {

// Writes width x height pixels of `channels` bytes (3 or 4), rows top first.
// Returns false (with a reason in error) when the file cannot be written.
bool writePng(const std::string& path, const uint8_t* pixels, int width, int height, int channels,
              std::string* error = nullptr);

// Reads the current drawable's colour buffer (the back buffer of the window,
// before the swap) as RGB rows top first into the first width * height * 3
// bytes of out; out is used as scratch space and grows only once.
void readFrame(int width, int height, std::vector<uint8_t>& out);

}  // namespace kvx::shell
