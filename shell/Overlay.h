// Overlay: text boxes drawn over the show's picture in the window, after
// the accumulation buffer and outside every layer:
//   - the information box (F1), top left: show time, beat, frame rate, the
//     loop range and the names of the active layers;
//   - the error box, along the bottom: the diagnostic of a script that no
//     longer parses (file:line:column: error: ...), until the next good save.
//
// Text comes from an installed font through FreeType (DejaVu Sans Mono,
// from fonts-dejavu-core, as the statistics layer's fallback font does);
// without the font file no text is drawn, only the boxes. Lines wider than
// the window are wrapped. Glyphs are rendered once and kept.
//
// Threads: main thread; draw* need the window's context current.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "assets/GlyphRaster.h"

namespace kvx::shell {

// Lines of text as one coverage picture, rows top first.
struct TextPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;  // 0 empty .. 255 covered
    uint8_t at(int x, int y) const {
        return coverage[static_cast<size_t>(y) * static_cast<size_t>(width) +
                        static_cast<size_t>(x)];
    }
};

class Overlay {
  public:
    static constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

    // Text of pixelSize pixels per em; a window of h pixels gets pixelsFor(h).
    explicit Overlay(int pixelSize, const std::string& fontFile = kFontFile);
    static int pixelsFor(int windowHeight);
    bool hasFont() const { return raster_ != nullptr; }
    int lineHeight() const { return lineHeight_; }

    // The lines composed, each wrapped to at most maxWidth pixels.
    TextPicture compose(const std::vector<std::string>& lines, int maxWidth) const;

    // Into the current context, over a w x h window.
    void drawInfo(const std::vector<std::string>& lines, int w, int h) const;
    void drawError(const std::string& text, int w, int h) const;

  private:
    struct Colour {
        float r, g, b, a;
    };
    const assets::GlyphBitmap& glyph(uint32_t code) const;
    std::vector<std::string> wrap(const std::string& line, int maxWidth) const;
    // A box of the picture with its top-left corner at (x, y), y down.
    void drawBox(const TextPicture& text, int x, int y, Colour back, Colour ink, int w,
                 int h) const;

    std::unique_ptr<assets::GlyphRaster> raster_;
    int lineHeight_ = 0;
    int ascent_ = 0;
    mutable std::map<uint32_t, assets::GlyphBitmap> glyphs_;
};

}  // namespace kvx::shell
