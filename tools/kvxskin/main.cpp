// kvxskin: writes the launcher skin "StandardConfig.tga".
//
//   kvxskin [-o StandardConfig.tga] [--title Morvane] [--no-labels]
//
// A 500 x 200, 32-bit rounded panel with a title tab, alpha 0 outside it so
// that the launcher window takes this shape, and the controls' labels where
// the launcher draws them without a skin (over one it draws none). Words are
// drawn with FreeType, one byte per character.
#include <ft2build.h>
#include <CLI/CLI.hpp>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "launcher/LauncherLists.h"
#include "launcher/Skin.h"

namespace {

using kvx::launcher::SkinImage;

constexpr const char* kLabelFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kTitleFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kWidth = 500, kHeight = 200;
constexpr int kTabLeft = 16, kTabWidth = 124, kTabHeight = 26;
constexpr int kBodyRadius = 22, kTabRadius = 10;
constexpr uint8_t kInk[3] = {222, 230, 255};
constexpr uint8_t kRim[3] = {120, 150, 230};

// Inside a rectangle whose corners are rounded with radius r.
bool insideRounded(int x, int y, int left, int top, int right, int bottom, int r) {
    if (x < left || y < top || x >= right || y >= bottom)
        return false;
    const int dx = x - std::clamp(x, left + r, right - 1 - r);
    const int dy = y - std::clamp(y, top + r, bottom - 1 - r);
    return dx * dx + dy * dy <= r * r;
}

// The body starts below the tab; the tab reaches into the body so that only
// its top corners are rounded.
bool insideOutline(int x, int y) {
    return insideRounded(x, y, 0, kTabHeight, kWidth, kHeight, kBodyRadius) ||
           insideRounded(x, y, kTabLeft, 0, kTabLeft + kTabWidth, kTabHeight + 2 * kTabRadius,
                         kTabRadius);
}

// Deep blue, darker downwards, with a soft ring ornament on the left where
// no control lies, and a light rim just inside the outline.
SkinImage paintPanel() {
    SkinImage skin{kWidth, kHeight, 32, std::vector<uint8_t>(std::size_t(kWidth * kHeight) * 4)};
    const float ringX = 0.15f * kWidth, ringY = 0.58f * kHeight, reach = 0.12f * kWidth;
    for (int y = 0; y < kHeight; ++y) {
        const float t = float(y) / float(kHeight - 1);
        for (int x = 0; x < kWidth; ++x) {
            const float d = std::hypot(float(x) - ringX, float(y) - ringY);
            const float glow = d >= reach ? 0.0f
                                          : (0.5f + 0.5f * std::sin(d * 0.45f - float(x) * 0.05f)) *
                                                (1.0f - d / reach);
            const float rgb[3] = {38 - 26 * t + 70 * glow, 52 - 36 * t + 110 * glow,
                                  104 - 64 * t + 120 * glow};
            const bool inside = insideOutline(x, y);
            bool rim = false;
            for (int dy = -2; dy <= 2 && inside; ++dy) {
                for (int dx = -2; dx <= 2; ++dx)
                    rim = rim || !insideOutline(x + dx, y + dy);
            }
            uint8_t* p = &skin.rgba[std::size_t(y * kWidth + x) * 4];
            for (int k = 0; k < 3; ++k)
                p[k] = rim ? kRim[k] : uint8_t(std::min(rgb[k], 255.0f));
            p[3] = inside ? 255 : 0;
        }
    }
    return skin;
}

// Writes text with the top of its line at y, from x or (centre) centred on
// x; false when the font does not load.
bool write(SkinImage& skin, const char* font, int pixels, int x, int y, const std::string& text,
           bool centre = false) {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return false;
    const bool ok = FT_New_Face(library, font, 0, &face) == 0;
    if (ok) {
        FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels));
        // A first pass measures the text when it is to be centred.
        for (int pass = centre ? 0 : 1; pass < 2; ++pass) {
            int pen = x;
            for (unsigned char c : text) {
                if (FT_Load_Char(face, c, pass == 0 ? FT_LOAD_DEFAULT : FT_LOAD_RENDER) != 0)
                    continue;
                const FT_GlyphSlot g = face->glyph;
                const int top = y + int(face->size->metrics.ascender >> 6) - g->bitmap_top;
                for (int row = 0; pass == 1 && row < int(g->bitmap.rows); ++row) {
                    for (int col = 0; col < int(g->bitmap.width); ++col) {
                        const int px = pen + g->bitmap_left + col, py = top + row;
                        if (px < 0 || py < 0 || px >= skin.width || py >= skin.height)
                            continue;
                        const int a = g->bitmap.buffer[row * g->bitmap.pitch + col];
                        uint8_t* p = &skin.rgba[std::size_t(py * skin.width + px) * 4];
                        for (int k = 0; k < 3; ++k)
                            p[k] = uint8_t((p[k] * (255 - a) + kInk[k] * a) / 255);
                    }
                }
                pen += int(g->advance.x >> 6);
            }
            x -= (pen - x) / 2;
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Draws the launcher skin StandardConfig.tga"};
    std::string output = "StandardConfig.tga";
    std::string title = "Morvane";
    bool noLabels = false;
    app.add_option("-o,--output", output, "file to write");
    app.add_option("--title", title, "text on the title tab");
    app.add_flag("--no-labels", noLabels, "leave out the control labels");
    CLI11_PARSE(app, argc, argv);

    SkinImage skin = paintPanel();
    bool words = write(skin, kTitleFont, 14, kTabLeft + kTabWidth / 2, 8, title, true);
    for (const kvx::launcher::Label& label : kvx::launcher::kLabels) {
        if (!noLabels)
            words = write(skin, kLabelFont, 12, label.x, label.y, label.text) && words;
    }
    if (!words)
        std::fprintf(stderr, "kvxskin: a DejaVu font is missing; words are left out\n");

    // Type 2, 500 x 200, 32 bits with 8 of alpha; rows bottom-up in
    // blue-green-red-alpha order.
    static_assert(kWidth == 500 && kHeight == 200, "the header spells the size out");
    std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF4, 0x01, 0xC8, 0, 32, 8};
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = skin.pixel(x, y);
            file.insert(file.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    if (!out.good()) {
        std::fprintf(stderr, "kvxskin: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("kvxskin: wrote %s (%d x %d, 32 bit)\n", output.c_str(), skin.width, skin.height);
    return 0;
}
