// kvxfont: draws a font sheet for the player's bitmap-font text.
//
//   kvxfont [-o font.tga] [--font FILE.ttf] [--rows 16] [--cols 16]
//           [--cell 16] [--size 0] [--first 0]
//
// Rasterises the glyphs of a TrueType font with FreeType into a grid of
// rows x cols cells of cell x cell pixels, one character code per cell from
// --first on, and writes a 32-bit TGA. A script uses the sheet with the
// parameters the tool prints, e.g. fontfile = "font.tga"; rows = 16;
// cols = 16; offset = 32;. Sheets whose sides are one power of two (16 x 16
// cells of 16 pixels: 256 x 256) load without resampling.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>

#include "tools/kvxfont/FontSheet.h"

namespace {

bool isPowerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Draws a font sheet (TGA) from a TrueType font"};
    std::string output = "font.tga";
    std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
    kvx::tools::FontSheetOptions options;
    app.add_option("-o,--output", output, "file to write");
    app.add_option("--font", font, "TrueType font file");
    app.add_option("--rows", options.rows, "rows of cells");
    app.add_option("--cols", options.cols, "cells per row");
    app.add_option("--cell", options.cell, "pixels per cell side");
    app.add_option("--size", options.pixelSize, "glyph em size in pixels (0: fit the cell)");
    app.add_option("--first", options.firstChar, "character code of the first cell (offset)");
    CLI11_PARSE(app, argc, argv);

    const std::string problem = kvx::tools::checkOptions(options);
    if (!problem.empty()) {
        std::fprintf(stderr, "kvxfont: %s\n", problem.c_str());
        return 2;
    }
    const kvx::tools::FontSheet sheet = kvx::tools::drawFontSheet(font, options);
    if (sheet.width == 0) {
        std::fprintf(stderr, "kvxfont: cannot read the font %s\n", font.c_str());
        return 1;
    }
    const std::vector<uint8_t> file = kvx::tools::encodeSheetTga(sheet);
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out.good()) {
        std::fprintf(stderr, "kvxfont: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("kvxfont: wrote %s (%d x %d pixels, %d x %d cells, glyphs of %d px)\n",
                output.c_str(), sheet.width, sheet.height, options.rows, options.cols,
                sheet.pixelSize);
    if (sheet.width != sheet.height || !isPowerOfTwo(sheet.width)) {
        std::printf("kvxfont: not a power-of-two square: the player resamples it\n");
    }
    std::printf("fontfile = \"%s\"; rows = %d; cols = %d; offset = %d;\n", output.c_str(),
                options.rows, options.cols, options.firstChar);
    return 0;
}
