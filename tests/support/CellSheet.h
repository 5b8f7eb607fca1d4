// A font sheet for the text tests: every cell filled with one colour that
// names the cell, so a pixel read back tells which cell was drawn there.
#pragma once

#include <cstdint>
#include <vector>

#include "support/TextureFolder.h"
#include "support/TgaBuilder.h"

namespace kvx::test {

// The colour of cell n as 8-bit red, green, blue.
struct CellColour {
    int r, g, b;
};
inline CellColour cellColour(int n) {
    return {n & 0xFF, 255 - (n & 0xFF), 160};
}

// A 32-bit TGA of rows x cols cells of cellPx pixels, cell 0 at the top left
// of the picture (the file stores the bottom row first), fully opaque.
inline std::vector<uint8_t> makeCellSheet(int rows, int cols, int cellPx) {
    const int w = cols * cellPx;
    const int h = rows * cellPx;
    return makeTga(w, h, 32, [=](int x, int fileRow, int c) {
        const int n = ((h - 1 - fileRow) / cellPx) * cols + x / cellPx;
        const CellColour k = cellColour(n);
        return c == 0 ? k.b : c == 1 ? k.g : c == 2 ? k.r : 255;
    });
}

// A data folder the Vfs reads from while it lives, holding "cells.tga":
// 16 x 16 cells of 16 pixels.
class CellSheetFolder : public TextureFolder {
  public:
    CellSheetFolder() { dir().write("cells.tga", makeCellSheet(16, 16, 16)); }
};

}  // namespace kvx::test
