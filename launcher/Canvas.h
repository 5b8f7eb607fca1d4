// Canvas: the launcher's picture, drawn in memory and handed to the window.
//
// Plain 32-bit RGBA pixels, row 0 at the top. The dialog paints everything
// (skin, labels, controls) here, so what it looks like can be checked without
// a display. Every drawing operation clips to the canvas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvx::launcher {

struct Color {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Color& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Color& o) const { return !(*this == o); }
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    int right() const { return x + w; }
    int bottom() const { return y + h; }
};

class Canvas {
  public:
    Canvas(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    const uint8_t* data() const { return pixels_.data(); }
    const std::vector<uint8_t>& pixels() const { return pixels_; }

    // The colour at x, y; transparent black outside the canvas.
    Color at(int x, int y) const;
    void set(int x, int y, Color c);
    // Mixes c over the pixel with weight coverage (0..255).
    void blend(int x, int y, Color c, int coverage);

    void fill(const Rect& r, Color c);
    void fillAll(Color c) { fill({0, 0, width_, height_}, c); }
    // A one-pixel outline just inside r.
    void frame(const Rect& r, Color c);
    void lineH(int x0, int x1, int y, Color c);
    void lineV(int x, int y0, int y1, Color c);

  private:
    std::size_t offset(int x, int y) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(x)) *
               4;
    }

    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
};

}  // namespace kvx::launcher
