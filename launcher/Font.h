// Font: draws the launcher's few words with FreeType.
//
// One face at one pixel size, grey-scale anti-aliased glyphs blended onto a
// Canvas. Texts are UTF-8 ("Über"). The launcher works without a font (it
// then shows no words), so loading failures are a null result, not an error.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "launcher/Canvas.h"

namespace kvx::launcher {

class Font {
  public:
    // The face in the font file at path, at pixelSize pixels per em; null
    // when FreeType or the file are not usable.
    static std::unique_ptr<Font> load(const std::string& path, int pixelSize);
    // The first of the usual system sans-serif fonts that loads.
    static std::unique_ptr<Font> loadDefault(int pixelSize);

    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Pixels from the top of a line to its baseline, and the line height.
    int ascent() const { return ascent_; }
    int lineHeight() const { return lineHeight_; }
    // Advance width of text in pixels.
    int measure(std::string_view utf8) const;
    // Draws text with the top of its line at y; clipped to the canvas and,
    // when clip has a size, to clip.
    void draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color,
              Rect clip = {}) const;

  private:
    struct Impl;
    explicit Font(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> impl_;
    int ascent_ = 0;
    int lineHeight_ = 0;
};

// Code points of a UTF-8 text; a malformed byte stands for itself (so
// Windows-1252 text still shows something).
std::u32string decodeUtf8(std::string_view text);

}  // namespace kvx::launcher
