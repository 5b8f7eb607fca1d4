// Font sheets from TrueType glyphs.
#include "tools/kvxfont/FontSheet.h"

#include <algorithm>

namespace kvx::tools {

namespace {

bool isControl(int code) {
    return code < 32 || (code >= 127 && code < 160);
}

// Copies a glyph into the sheet with its pen position at (penX, baseline),
// clipped to the cell at (cellX, cellY).
void blitGlyph(FontSheet& sheet, const assets::GlyphBitmap& g, int penX, int baseline, int cellX,
               int cellY, int cell) {
    for (int y = 0; y < g.rows; ++y) {
        const int sy = baseline - g.top + y;
        if (sy < cellY || sy >= cellY + cell) {
            continue;
        }
        for (int x = 0; x < g.width; ++x) {
            const int sx = penX + g.left + x;
            if (sx < cellX || sx >= cellX + cell) {
                continue;
            }
            uint8_t& px =
                sheet.coverage[static_cast<size_t>(sy) * static_cast<size_t>(sheet.width) +
                               static_cast<size_t>(sx)];
            px = std::max(px, g.at(x, y));
        }
    }
}

void putLe16(std::vector<uint8_t>& out, size_t at, int v) {
    out[at] = static_cast<uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

std::string checkOptions(const FontSheetOptions& o) {
    if (o.rows < 1 || o.cols < 1 || o.cell < 1) {
        return "rows, cols and cell must be at least 1";
    }
    if (o.rows * o.cols > kMaxCells) {
        return "at most 256 cells (rows x cols)";
    }
    if (o.cols * o.cell > kMaxSheetSide || o.rows * o.cell > kMaxSheetSide) {
        return "the sheet may be at most 1024 pixels on a side";
    }
    if (o.firstChar < 0 || o.firstChar > 255) {
        return "the first character code must lie in 0..255";
    }
    if (o.pixelSize < 0 || o.pixelSize > assets::GlyphRaster::kMaxPixelSize) {
        return "the glyph size must lie in 0..1024";
    }
    return {};
}

int fitPixelSize(const std::string& fontPath, int cell) {
    for (int size = cell; size > 1; --size) {
        const auto raster = assets::GlyphRaster::open(fontPath, size);
        if (!raster) {
            return 0;
        }
        if (raster->ascent() + raster->descent() <= cell) {
            return size;
        }
    }
    return 1;
}

FontSheet drawFontSheet(const std::string& fontPath, const FontSheetOptions& o) {
    FontSheet sheet;
    const int size = o.pixelSize > 0 ? o.pixelSize : fitPixelSize(fontPath, o.cell);
    const auto raster = size > 0 ? assets::GlyphRaster::open(fontPath, size) : nullptr;
    if (!raster) {
        return sheet;
    }
    sheet.pixelSize = size;
    sheet.width = o.cols * o.cell;
    sheet.height = o.rows * o.cell;
    sheet.coverage.assign(static_cast<size_t>(sheet.width) * static_cast<size_t>(sheet.height), 0);
    // One baseline for every cell: the line box centred in the cell.
    const int lineHeight = raster->ascent() + raster->descent();
    const int baselineInCell = (o.cell - lineHeight) / 2 + raster->ascent();
    for (int n = 0; n < o.rows * o.cols; ++n) {
        const int code = (o.firstChar + n) % 256;
        if (isControl(code)) {
            continue;
        }
        const assets::GlyphBitmap g = raster->render(static_cast<uint32_t>(code), false);
        const int cellX = (n % o.cols) * o.cell;
        const int cellY = (n / o.cols) * o.cell;
        const int penX = cellX + (o.cell - g.advance) / 2;
        blitGlyph(sheet, g, penX, cellY + baselineInCell, cellX, cellY, o.cell);
    }
    return sheet;
}

std::vector<uint8_t> encodeSheetTga(const FontSheet& sheet) {
    std::vector<uint8_t> out(18, 0);
    out[2] = 2;  // uncompressed true colour
    putLe16(out, 12, sheet.width);
    putLe16(out, 14, sheet.height);
    out[16] = 32;
    out[17] = 8;  // eight alpha bits, origin at the bottom left
    out.reserve(out.size() + sheet.coverage.size() * 4);
    for (int y = sheet.height - 1; y >= 0; --y) {
        for (int x = 0; x < sheet.width; ++x) {
            const uint8_t v =
                sheet.coverage[static_cast<size_t>(y) * static_cast<size_t>(sheet.width) +
                               static_cast<size_t>(x)];
            out.insert(out.end(), {v, v, v, v});  // blue, green, red, alpha
        }
    }
    return out;
}

}  // namespace kvx::tools
