// GlyphRaster: single glyphs of a TrueType font as coverage bitmaps, through
// FreeType. Used where text must come from an installed font rather than a
// font sheet: the statistics overlay's fallback font and the font-sheet
// tool. No GL here.
//
// Character codes are taken as Unicode code points, so the bytes 128..255
// of a text are Latin-1. Failures are null or empty results: a missing font
// file is not an error for the show.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvx::assets {

// One rendered glyph. Rows are stored top row first, `width` bytes each.
struct GlyphBitmap {
    int width = 0;
    int rows = 0;
    int left = 0;                   // pixels from the pen position to the first column
    int top = 0;                    // pixels from the baseline up to the first row
    int advance = 0;                // pixels from this pen position to the next
    std::vector<uint8_t> coverage;  // 0 empty .. 255 covered; only 0 and 255 when mono
    uint8_t at(int x, int y) const {
        return coverage[static_cast<size_t>(y) * static_cast<size_t>(width) +
                        static_cast<size_t>(x)];
    }
};

class GlyphRaster {
  public:
    // Largest pixel size accepted; larger requests are clamped.
    static constexpr int kMaxPixelSize = 1024;

    // The first face of the font file at path, pixelSize pixels per em
    // (clamped to 1..kMaxPixelSize); null when FreeType or the file fail.
    static std::unique_ptr<GlyphRaster> open(const std::string& path, int pixelSize);

    ~GlyphRaster();
    GlyphRaster(const GlyphRaster&) = delete;
    GlyphRaster& operator=(const GlyphRaster&) = delete;

    // The glyph for a code point; mono renders one-bit glyphs (hinted for
    // bitmaps). A code the font lacks gives the font's missing-glyph box; a
    // failure gives an empty bitmap with no advance.
    GlyphBitmap render(uint32_t code, bool mono) const;
    // Whether the font maps the code point to a glyph of its own.
    bool hasGlyph(uint32_t code) const;

    // Pixels from the baseline up to the top of the line and down to its
    // bottom (both positive), from the face's scaled metrics.
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }

  private:
    struct Impl;
    explicit GlyphRaster(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    int ascent_ = 0;
    int descent_ = 0;
};

}  // namespace kvx::assets
