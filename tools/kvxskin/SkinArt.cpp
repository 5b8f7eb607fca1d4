// SkinArt: draws the launcher skin: outline, shading, ornament and words.
#include "tools/kvxskin/SkinArt.h"

#include <algorithm>
#include <cmath>

#include "launcher/Canvas.h"

namespace kvx::tools {
namespace {

constexpr int kTabLeft = 16;
constexpr int kTabWidth = 124;
constexpr int kTabHeight = 26;
constexpr int kBodyRadius = 22;
constexpr int kTabRadius = 10;

// Inside a rectangle whose corners are rounded with radius r.
bool insideRounded(int x, int y, int left, int top, int right, int bottom, int r) {
    if (x < left || y < top || x >= right || y >= bottom)
        return false;
    const int cx = std::clamp(x, left + r, right - 1 - r);
    const int cy = std::clamp(y, top + r, bottom - 1 - r);
    const int dx = x - cx;
    const int dy = y - cy;
    return dx * dx + dy * dy <= r * r;
}

float mixf(float a, float b, float t) {
    return a + (b - a) * t;
}

}  // namespace

bool insideOutline(int x, int y, int width, int height) {
    // The body starts below the tab; the tab reaches into the body so that
    // only its top corners are rounded.
    if (insideRounded(x, y, 0, kTabHeight, width, height, kBodyRadius))
        return true;
    return insideRounded(x, y, kTabLeft, 0, kTabLeft + kTabWidth, kTabHeight + kTabRadius * 2,
                         kTabRadius);
}

launcher::SkinImage drawSkin(const SkinArtOptions& options, const launcher::Font* labelFont,
                             const launcher::Font* titleFont) {
    const int w = options.width;
    const int h = options.height;
    launcher::Canvas canvas(w, h);

    // Shaded panel: deep blue, darker downwards, with a soft ring ornament on
    // the left where no control lies.
    const float ringX = 0.15f * static_cast<float>(w);
    const float ringY = 0.58f * static_cast<float>(h);
    for (int y = 0; y < h; ++y) {
        const float t = static_cast<float>(y) / static_cast<float>(std::max(h - 1, 1));
        for (int x = 0; x < w; ++x) {
            float r = mixf(38.0f, 12.0f, t);
            float g = mixf(52.0f, 16.0f, t);
            float b = mixf(104.0f, 40.0f, t);
            const float dx = static_cast<float>(x) - ringX;
            const float dy = static_cast<float>(y) - ringY;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float reach = 0.12f * static_cast<float>(w);
            if (d < reach) {
                const float wave =
                    0.5f + 0.5f * std::sin(d * 0.45f - static_cast<float>(x) * 0.05f);
                const float fade = 1.0f - d / reach;
                r += 70.0f * wave * fade;
                g += 110.0f * wave * fade;
                b += 120.0f * wave * fade;
            }
            canvas.set(x, y,
                       launcher::Color{static_cast<uint8_t>(std::min(r, 255.0f)),
                                       static_cast<uint8_t>(std::min(g, 255.0f)),
                                       static_cast<uint8_t>(std::min(b, 255.0f)), 255});
        }
    }

    // A light rim along the outline: inside pixels with an outside neighbour
    // within two pixels.
    const launcher::Color rim{120, 150, 230, 255};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!insideOutline(x, y, w, h))
                continue;
            bool edge = false;
            for (int dy = -2; dy <= 2 && !edge; ++dy) {
                for (int dx = -2; dx <= 2 && !edge; ++dx)
                    edge = !insideOutline(x + dx, y + dy, w, h);
            }
            if (edge)
                canvas.set(x, y, rim);
        }
    }

    const launcher::Color ink{222, 230, 255, 255};
    if (titleFont != nullptr && !options.title.empty()) {
        const int tw = titleFont->measure(options.title);
        const int tx = kTabLeft + (kTabWidth - tw) / 2;
        const int ty = 4 + (kTabHeight - 4 - titleFont->lineHeight()) / 2 + 1;
        titleFont->draw(canvas, tx, ty, options.title, ink);
    }
    if (labelFont != nullptr && options.labels) {
        // Where the launcher puts its labels when it has no skin.
        labelFont->draw(canvas, 150, 35, "mode", ink);
        labelFont->draw(canvas, 170, 84, "windowed", ink);
        labelFont->draw(canvas, 150, 105, "quality", ink);
    }

    launcher::SkinImage skin;
    skin.width = w;
    skin.height = h;
    skin.bits = 32;
    skin.rgba = canvas.pixels();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                                   static_cast<std::size_t>(x)) *
                                      4 +
                                  3;
            skin.rgba[i] = insideOutline(x, y, w, h) ? 255 : 0;
        }
    }
    return skin;
}

}  // namespace kvx::tools
