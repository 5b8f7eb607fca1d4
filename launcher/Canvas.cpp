// Canvas: clipped pixel drawing for the launcher.
#include "launcher/Canvas.h"

#include <algorithm>
#include <cassert>

namespace kvx::launcher {

Canvas::Canvas(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4, 0) {}

Color Canvas::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return Color{0, 0, 0, 0};
    const uint8_t* p = &pixels_[offset(x, y)];
    return Color{p[0], p[1], p[2], p[3]};
}

void Canvas::set(int x, int y, Color c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    uint8_t* p = &pixels_[offset(x, y)];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = c.a;
}

void Canvas::blend(int x, int y, Color c, int coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage <= 0)
        return;
    const int k = std::min(coverage, 255);
    uint8_t* p = &pixels_[offset(x, y)];
    auto mix = [k](int dst, int src) {
        return static_cast<uint8_t>((src * k + dst * (255 - k) + 127) / 255);
    };
    p[0] = mix(p[0], c.r);
    p[1] = mix(p[1], c.g);
    p[2] = mix(p[2], c.b);
    p[3] = std::max<uint8_t>(p[3], static_cast<uint8_t>(k));
}

void Canvas::fill(const Rect& r, Color c) {
    const int x0 = std::max(r.x, 0);
    const int y0 = std::max(r.y, 0);
    const int x1 = std::min(r.right(), width_);
    const int y1 = std::min(r.bottom(), height_);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x)
            set(x, y, c);
    }
}

void Canvas::frame(const Rect& r, Color c) {
    if (r.w <= 0 || r.h <= 0)
        return;
    lineH(r.x, r.right() - 1, r.y, c);
    lineH(r.x, r.right() - 1, r.bottom() - 1, c);
    lineV(r.x, r.y, r.bottom() - 1, c);
    lineV(r.right() - 1, r.y, r.bottom() - 1, c);
}

void Canvas::lineH(int x0, int x1, int y, Color c) {
    for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x)
        set(x, y, c);
}

void Canvas::lineV(int x, int y0, int y1, Color c) {
    for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y)
        set(x, y, c);
}

}  // namespace kvx::launcher
