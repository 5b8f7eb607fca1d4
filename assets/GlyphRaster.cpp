// FreeType glyph rendering into plain coverage bitmaps.
#include "assets/GlyphRaster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace kvx::assets {

struct GlyphRaster::Impl {
    struct LibraryDeleter {
        void operator()(FT_Library lib) const { FT_Done_FreeType(lib); }
    };
    struct FaceDeleter {
        void operator()(FT_Face face) const { FT_Done_Face(face); }
    };
    // Members are destroyed in reverse order: the face before its library.
    std::unique_ptr<FT_LibraryRec_, LibraryDeleter> library;
    std::unique_ptr<FT_FaceRec_, FaceDeleter> face;
};

namespace {

// Copies a FreeType bitmap (grey or one bit per pixel, either pitch sign)
// into coverage bytes, top row first.
void copyBitmap(const FT_Bitmap& bm, GlyphBitmap& out) {
    out.width = static_cast<int>(bm.width);
    out.rows = static_cast<int>(bm.rows);
    out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.rows), 0);
    if (bm.buffer == nullptr) {
        return;
    }
    for (int y = 0; y < out.rows; ++y) {
        const unsigned char* src = bm.buffer + static_cast<long>(y) * bm.pitch;
        for (int x = 0; x < out.width; ++x) {
            uint8_t v = 0;
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                v = (src[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
            } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
                v = src[x];
            }
            out.coverage[static_cast<size_t>(y) * static_cast<size_t>(out.width) +
                         static_cast<size_t>(x)] = v;
        }
    }
}

}  // namespace

GlyphRaster::GlyphRaster(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
    const FT_Size_Metrics& m = impl_->face->size->metrics;
    ascent_ = static_cast<int>((m.ascender + 63) >> 6);
    descent_ = static_cast<int>((-m.descender + 63) >> 6);
}

GlyphRaster::~GlyphRaster() = default;

std::unique_ptr<GlyphRaster> GlyphRaster::open(const std::string& path, int pixelSize) {
    auto impl = std::make_unique<Impl>();
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) {
        return nullptr;
    }
    impl->library.reset(lib);
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) {
        return nullptr;
    }
    impl->face.reset(face);
    const int size = std::clamp(pixelSize, 1, kMaxPixelSize);
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) {
        return nullptr;
    }
    return std::unique_ptr<GlyphRaster>(new GlyphRaster(std::move(impl)));
}

GlyphBitmap GlyphRaster::render(uint32_t code, bool mono) const {
    GlyphBitmap out;
    FT_Face face = impl_->face.get();
    const FT_Int32 flags = FT_LOAD_RENDER | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Char(face, code, flags) != 0) {
        return out;
    }
    const FT_GlyphSlot g = face->glyph;
    copyBitmap(g->bitmap, out);
    out.left = g->bitmap_left;
    out.top = g->bitmap_top;
    out.advance = static_cast<int>((g->advance.x + 32) >> 6);
    return out;
}

bool GlyphRaster::hasGlyph(uint32_t code) const {
    return FT_Get_Char_Index(impl_->face.get(), code) != 0;
}

}  // namespace kvx::assets
