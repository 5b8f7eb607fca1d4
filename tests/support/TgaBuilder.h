// Builds TGA files in memory for the image tests.
#pragma once

#include <cstdint>
#include <vector>

namespace kvx::test {

// A type-2 TGA of width x height with bits per pixel; pixel(x, fileRow, c)
// gives component c (file order: blue, green, red, alpha) of the pixel in
// file row fileRow (row 0 is stored first).
template <typename F>
std::vector<uint8_t> makeTga(int width, int height, int bits, F pixel, uint8_t type = 2) {
    std::vector<uint8_t> out(18, 0);
    out[2] = type;
    out[12] = static_cast<uint8_t>(width & 0xFF);
    out[13] = static_cast<uint8_t>((width >> 8) & 0xFF);
    out[14] = static_cast<uint8_t>(height & 0xFF);
    out[15] = static_cast<uint8_t>((height >> 8) & 0xFF);
    out[16] = static_cast<uint8_t>(bits);
    const int bpp = bits / 8;
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < bpp; ++c) {
                out.push_back(static_cast<uint8_t>(pixel(x, row, c)));
            }
        }
    }
    return out;
}

}  // namespace kvx::test
