// ContactSheet: tiles pictures into one, each scaled to the same width.
//
// Pictures are RGB, three bytes per pixel, top row first. Scaling averages
// every source pixel a target pixel covers (a box filter), which is what
// shrinking a video frame to a thumbnail needs; enlarging repeats pixels.
// Cells go left to right, top to bottom, `cols` to a row, with `gap` pixels
// of the background colour around and between them; a row is as tall as its
// tallest cell. Nothing here reads or writes files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvx::tools {

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes, top row first

    RgbPicture() = default;
    RgbPicture(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3) {}
    uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// The picture scaled to `width` pixels across, its height in proportion
// (rounded, at least 1). width must be at least 1 and the picture not empty.
RgbPicture scaleToWidth(const RgbPicture& in, int width);

struct SheetLayout {
    int cols = 4;
    int cellWidth = 320;
    int gap = 4;
    std::array<uint8_t, 3> background{0, 0, 0};
};

// The sheet of all pictures, each scaled to layout.cellWidth. An empty list
// gives an empty picture.
RgbPicture makeContactSheet(const std::vector<RgbPicture>& pictures, const SheetLayout& layout);

}  // namespace kvx::tools
