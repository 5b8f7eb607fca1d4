// The plasma's and the fire's grid and palette.
#include "effects/PaletteGrid.h"

#include "effects/EffectParams.h"

namespace kvx::effects {

KeyColours defaultKeyColours() {
    return {{
        {0.0f, 0.0f, 0.0f, 1.0f},
        {0.0f, 0.0f, 0.1f, 1.0f},
        {0.4f, 0.0f, 0.05f, 1.0f},
        {0.8f, 0.0f, 0.0f, 1.0f},
        {1.0f, 0.5f, 0.0f, 1.0f},
        {1.0f, 1.0f, 0.0f, 1.0f},
        {1.0f, 1.0f, 1.0f / 3.0f, 1.0f},
        {1.0f, 1.0f, 2.0f / 3.0f, 1.0f},
        {1.0f, 1.0f, 1.0f, 1.0f},
    }};
}

KeyColours readKeyColours(const layers::LayerDesc& desc) {
    KeyColours keys = defaultKeyColours();
    for (int k = 0; k < kKeyColourCount; ++k) {
        readColour(desc, core::String("color") + (k + 1), &keys[static_cast<size_t>(k)]);
    }
    return keys;
}

void buildPalette(const KeyColours& keys, Palette& palette) {
    for (size_t k = 0; k + 1 < keys.size(); ++k) {
        const layers::Colour& a = keys[k];
        const layers::Colour& b = keys[k + 1];
        for (size_t s = 0; s < 32; ++s) {
            layers::Colour& p = palette[32 * k + s];
            for (size_t c = 0; c < 4; ++c) {
                p[c] = a[c] + static_cast<float>(s) * (b[c] - a[c]) * 0.03125f;
            }
        }
    }
}

void layOutGrid(int n, int width, int height, std::vector<GridVertex>& grid) {
    const size_t side = n > 0 ? static_cast<size_t>(n) : 0;
    grid.assign(side * side, GridVertex{});
    if (n <= 3) {
        return;
    }
    const float dx = static_cast<float>(width) / static_cast<float>(n - 3);
    const float dy = static_cast<float>(height) / static_cast<float>(n - 3);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            GridVertex& v = grid[static_cast<size_t>(i * n + j)];
            v.x = static_cast<float>(j - 1) * dx;
            v.y = static_cast<float>(i - 1) * dy;
        }
    }
}

void drawGridLines(int n, const std::vector<GridVertex>& grid) {
    if (n <= 3) {
        return;
    }
    glDisable(GL_DEPTH_TEST);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_LINES);
    for (int i = 1; i <= n - 3; ++i) {
        for (int j = 1; j <= n - 3; ++j) {
            const int k = i * n + j;
            const GridVertex& a = grid[static_cast<size_t>(k)];
            const GridVertex& b = grid[static_cast<size_t>(k + 1)];
            const GridVertex& c = grid[static_cast<size_t>(k + n)];
            glVertex3f(a.x, a.y, 0.0f);
            glVertex3f(b.x, b.y, 0.0f);
            glVertex3f(a.x, a.y, 0.0f);
            glVertex3f(c.x, c.y, 0.0f);
        }
    }
    glEnd();
    glEnable(GL_DEPTH_TEST);
}

}  // namespace kvx::effects
