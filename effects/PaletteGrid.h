// PaletteGrid: the vertex grid and the 256-entry palette that the plasma and
// the fire share.
//
// Grid: N x N vertices, row-major (vertex (i, j) is entry i * N + j), at
// ((j - 1) * W / (N - 3), (i - 1) * H / (N - 3)). Column 1 lies at x = 0 and
// column N - 2 at x = W, likewise for rows; the outer ring lies one cell
// outside the area and is never drawn, so N = 4 draws one quad over the
// whole area and N <= 3 draws nothing. Palette: eight segments of 32 steps,
// entry 32 k + s running from key colour k towards key colour k + 1, so key
// 9 is only ever approached (entry 255 is key 8 plus 31/32 of the way).
#pragma once

#include <GL/gl.h>

#include <array>
#include <vector>

#include "layers/Keyframe.h"
#include "layers/LayerDesc.h"

namespace kvx::effects {

struct GridVertex {
    float x = 0.0f;
    float y = 0.0f;
};

constexpr int kPaletteSize = 256;
constexpr int kKeyColourCount = 9;
using KeyColours = std::array<layers::Colour, kKeyColourCount>;
using Palette = std::array<layers::Colour, kPaletteSize>;

// Black through dark blue, red, orange and yellow to white.
KeyColours defaultKeyColours();
// The defaults, each replaced by "color1" ... "color9" where the script
// gives that one as a colour. Read once; never animated.
KeyColours readKeyColours(const layers::LayerDesc& desc);
void buildPalette(const KeyColours& keys, Palette& palette);

// Resizes grid to n * n vertices (none for n <= 0) and places them; with
// n <= 3 there is no cell and every position stays 0.
void layOutGrid(int n, int width, int height, std::vector<GridVertex>& grid);

// Draws the (n - 3) x (n - 3) cells as quads of vertices k, k + 1,
// k + n + 1, k + n (k = i * n + j for i, j in 1 .. n - 3); colourAt(k)
// issues the colour of vertex k.
template <typename ColourAt>
void drawGridQuads(int n, const std::vector<GridVertex>& grid, ColourAt colourAt) {
    if (n <= 3) {
        return;
    }
    auto vertex = [&](int k) {
        colourAt(k);
        const GridVertex& v = grid[static_cast<size_t>(k)];
        glVertex3f(v.x, v.y, 0.0f);
    };
    glBegin(GL_QUADS);
    for (int i = 1; i <= n - 3; ++i) {
        for (int j = 1; j <= n - 3; ++j) {
            const int k = i * n + j;
            vertex(k);
            vertex(k + 1);
            vertex(k + n + 1);
            vertex(k + n);
        }
    }
    glEnd();
}

// White lines from every drawn vertex k to k + 1 and to k + n, without the
// depth test (which is on again afterwards).
void drawGridLines(int n, const std::vector<GridVertex>& grid);

}  // namespace kvx::effects
