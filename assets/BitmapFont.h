// BitmapFont: text drawn from a font sheet, one image holding the glyphs in
// a grid of equal cells, `cols` across and `rows` down, in character-code
// order starting at `firstChar`.
//
// The sheet is loaded as a texture (Texture.h) and used as the image loader
// delivers it: buffer row 0 (the picture's top row) lies at t = 0, so cell
// row 0 is the top row of the picture. A character is drawn as two textured
// triangles of one cell size; a line feed starts the next line one cell
// lower (y grows downwards in the layers' projection).
//
// A sheet that cannot be used (missing or unreadable file, a pixel size the
// texture maker refuses, or no cell grid) leaves `texture` at -1: glyphRect
// then maps nothing and drawText draws nothing. Needs a GL context for
// makeBitmapFont and drawText; the cell mapping is pure arithmetic.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/String.h"

namespace kvx::assets {

struct BitmapFont {
    int32_t cellWidth = 0;   // default drawn width of one character: 2 x cols
    int32_t cellHeight = 0;  // default drawn height of one character: 2 x rows
    int32_t texture = 0;     // GL texture name of the sheet, -1 when it could not be loaded
    uint32_t cols = 0;       // cells per row of the sheet
    uint32_t rows = 0;       // rows of cells
    uint8_t firstChar = 0;   // character code of cell 0
};

// Largest grid side taken from a script: a sheet is at most 1024 pixels
// square (Image.h), so more cells than that would be less than a pixel each.
// Larger counts are clamped; counts below 0 mean no grid.
constexpr int kMaxFontGrid = 1024;

// The record for a rows x cols sheet whose cell 0 shows firstChar, with the
// sheet loaded as a texture (the caller owns it). A failed load, or a grid
// of 0 cells either way (nothing is loaded then), leaves texture at -1 and
// the other fields as computed.
BitmapFont makeBitmapFont(const core::String& fileName, int rows, int cols, uint8_t firstChar);

// The texture rectangle of the cell that shows ch: cell n = (ch - firstChar)
// modulo 256, counted row by row. False, with the outputs untouched, when
// the font has no texture or no grid.
bool glyphRect(const BitmapFont& font, uint8_t ch, float& s0, float& t0, float& s1, float& t1);

// Draws text with its top-left corner at (x, y), each character width x
// height units; -1 for either selects the font's cellWidth or cellHeight.
// Colour, blending and projection are the caller's; the enable state is
// restored. Draws nothing when the sheet did not load.
void drawText(const BitmapFont& font, std::string_view text, float x, float y, float width,
              float height);
inline void drawText(const BitmapFont& font, const core::String& text, float x, float y,
                     float width, float height) {
    drawText(font, text.view(), x, y, width, height);
}

// Releases the sheet's texture (when there is one) and sets texture to -1.
void deleteBitmapFont(BitmapFont& font);

}  // namespace kvx::assets
