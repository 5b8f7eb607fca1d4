// FontSheet: lays out the glyphs of a TrueType font in a grid of equal
// cells, one character code per cell in code order, and encodes the result
// as the font-sheet TGA that the player's bitmap fonts read.
//
// Cell n (row by row) shows code (firstChar + n) modulo 256, taken as
// Latin-1; control codes (0..31, 127..159) stay empty. Each glyph is centred
// across its cell on its advance width and stands on one baseline shared by
// all cells. Pixels are white coverage: red, green, blue and alpha all equal
// the glyph's coverage, so the sheet shows white-on-black unblended and
// carries its shape in alpha for blended drawing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/GlyphRaster.h"

namespace kvx::tools {

struct FontSheetOptions {
    int rows = 16;
    int cols = 16;
    int cell = 16;      // pixels per cell side
    int pixelSize = 0;  // em size of the glyphs; 0 picks the largest that fits a cell
    int firstChar = 0;  // code of cell 0
};

struct FontSheet {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;  // width x height, top row first
    int pixelSize = 0;              // the em size used
};

// Limits on the options: a sheet larger than 1024 pixels would be shrunk
// by the image loader; more than 256 cells would repeat codes.
constexpr int kMaxSheetSide = 1024;
constexpr int kMaxCells = 256;

// An empty string when the options can make a sheet, else why not.
std::string checkOptions(const FontSheetOptions& options);

// The largest em size (at most one cell) whose line fits a cell's height.
int fitPixelSize(const std::string& fontPath, int cell);

// Draws the sheet; an empty sheet (width 0) when the font cannot be opened.
FontSheet drawFontSheet(const std::string& fontPath, const FontSheetOptions& options);

// The sheet as a 32-bit uncompressed TGA, bottom row first.
std::vector<uint8_t> encodeSheetTga(const FontSheet& sheet);

}  // namespace kvx::tools
