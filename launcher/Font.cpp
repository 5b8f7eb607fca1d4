// Font: FreeType text for the launcher.
#include "launcher/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace kvx::launcher {

struct Font::Impl {
    struct LibraryDeleter {
        void operator()(FT_Library lib) const { FT_Done_FreeType(lib); }
    };
    struct FaceDeleter {
        void operator()(FT_Face face) const { FT_Done_Face(face); }
    };
    // The face must go before the library that made it: members are
    // destroyed in reverse order.
    std::unique_ptr<FT_LibraryRec_, LibraryDeleter> library;
    std::unique_ptr<FT_FaceRec_, FaceDeleter> face;
};

namespace {

const char* const kDefaultFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
};

}  // namespace

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = b0;
        if (b0 >= 0xF0 && b0 < 0xF8) {
            extra = 3;
            cp = b0 & 0x07;
        } else if (b0 >= 0xE0 && b0 < 0xF0) {
            extra = 2;
            cp = b0 & 0x0F;
        } else if (b0 >= 0xC2 && b0 < 0xE0) {
            extra = 1;
            cp = b0 & 0x1F;
        }
        bool ok = extra > 0;
        if (ok) {
            for (int k = 1; k <= extra; ++k) {
                if (i + static_cast<std::size_t>(k) >= text.size()) {
                    ok = false;
                    break;
                }
                const auto b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
                if ((b & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (b & 0x3F);
            }
        }
        if (ok) {
            out.push_back(cp);
            i += static_cast<std::size_t>(extra) + 1;
        } else {
            out.push_back(b0);  // plain ASCII, or a stray byte taken as Latin-1
            ++i;
        }
    }
    return out;
}

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
    const FT_Size_Metrics& m = impl_->face->size->metrics;
    ascent_ = static_cast<int>((m.ascender + 63) >> 6);
    lineHeight_ = static_cast<int>((m.height + 63) >> 6);
}

Font::~Font() = default;

std::unique_ptr<Font> Font::load(const std::string& path, int pixelSize) {
    auto impl = std::make_unique<Impl>();
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0)
        return nullptr;
    impl->library.reset(lib);
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0)
        return nullptr;
    impl->face.reset(face);
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(pixelSize, 1))) != 0)
        return nullptr;
    return std::unique_ptr<Font>(new Font(std::move(impl)));
}

std::unique_ptr<Font> Font::loadDefault(int pixelSize) {
    for (const char* path : kDefaultFonts) {
        if (auto font = load(path, pixelSize))
            return font;
    }
    return nullptr;
}

int Font::measure(std::string_view utf8) const {
    FT_Face face = impl_->face.get();
    long width = 0;
    for (char32_t cp : decodeUtf8(utf8)) {
        if (FT_Load_Char(face, cp, FT_LOAD_DEFAULT) != 0)
            continue;
        width += face->glyph->advance.x;
    }
    return static_cast<int>((width + 63) >> 6);
}

void Font::draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color, Rect clip) const {
    FT_Face face = impl_->face.get();
    if (clip.w <= 0 || clip.h <= 0)
        clip = Rect{0, 0, canvas.width(), canvas.height()};
    const int baseline = y + ascent_;
    long penX = static_cast<long>(x) << 6;
    for (char32_t cp : decodeUtf8(utf8)) {
        if (FT_Load_Char(face, cp, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot g = face->glyph;
        const FT_Bitmap& bm = g->bitmap;
        const int left = static_cast<int>(penX >> 6) + g->bitmap_left;
        const int top = baseline - g->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row) {
            const unsigned char* src = bm.buffer + static_cast<long>(row) * bm.pitch;
            for (unsigned col = 0; col < bm.width; ++col) {
                const int px = left + static_cast<int>(col);
                const int py = top + static_cast<int>(row);
                if (!clip.contains(px, py))
                    continue;
                canvas.blend(px, py, color, src[col]);
            }
        }
        penX += g->advance.x;
    }
}

}  // namespace kvx::launcher
