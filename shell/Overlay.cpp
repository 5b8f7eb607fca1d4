// Text boxes over the picture (see Overlay.h).
#include "shell/Overlay.h"

#include <GL/gl.h>

#include <algorithm>

namespace kvx::shell {

namespace {

constexpr int kPadding = 6;  // pixels between a box's edge and its text
constexpr int kMargin = 8;   // pixels between a box and the window's edge

// A byte of text as a code point: the bytes 128..255 are Latin-1.
uint32_t codeOf(char c) {
    return static_cast<uint32_t>(static_cast<unsigned char>(c));
}

}  // namespace

Overlay::Overlay(int pixelSize, const std::string& fontFile)
    : raster_(assets::GlyphRaster::open(fontFile, pixelSize)) {
    if (raster_) {
        ascent_ = raster_->ascent();
        lineHeight_ = raster_->ascent() + raster_->descent() + 1;
    } else {
        lineHeight_ = pixelSize + 2;
    }
}

int Overlay::pixelsFor(int windowHeight) {
    return std::max(11, windowHeight / 36);
}

const assets::GlyphBitmap& Overlay::glyph(uint32_t code) const {
    auto it = glyphs_.find(code);
    if (it == glyphs_.end()) {
        it = glyphs_.emplace(code, raster_->render(code, false)).first;
    }
    return it->second;
}

std::vector<std::string> Overlay::wrap(const std::string& line, int maxWidth) const {
    std::vector<std::string> out(1);
    int pen = 0;
    for (char c : line) {
        const int advance = glyph(codeOf(c)).advance;
        if (pen + advance > maxWidth && !out.back().empty()) {
            out.emplace_back();
            pen = 0;
        }
        out.back() += c;
        pen += advance;
    }
    return out;
}

TextPicture Overlay::compose(const std::vector<std::string>& lines, int maxWidth) const {
    TextPicture picture;
    if (!raster_) {
        return picture;
    }
    std::vector<std::string> rows;
    for (const std::string& line : lines) {
        for (std::string& part : wrap(line, std::max(maxWidth, 1))) {
            rows.push_back(std::move(part));
        }
    }
    for (const std::string& row : rows) {
        int pen = 0;
        for (char c : row) {
            pen += glyph(codeOf(c)).advance;
        }
        picture.width = std::max(picture.width, pen);
    }
    picture.height = static_cast<int>(rows.size()) * lineHeight_;
    picture.coverage.assign(
        static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height), 0);
    for (size_t r = 0; r < rows.size(); ++r) {
        const int baseline = static_cast<int>(r) * lineHeight_ + ascent_;
        int pen = 0;
        for (char c : rows[r]) {
            const assets::GlyphBitmap& g = glyph(codeOf(c));
            for (int y = 0; y < g.rows; ++y) {
                const int py = baseline - g.top + y;
                for (int x = 0; x < g.width; ++x) {
                    const int px = pen + g.left + x;
                    if (px < 0 || px >= picture.width || py < 0 || py >= picture.height) {
                        continue;  // a glyph reaching past its line's box is cut
                    }
                    uint8_t& dst =
                        picture
                            .coverage[static_cast<size_t>(py) * static_cast<size_t>(picture.width) +
                                      static_cast<size_t>(px)];
                    dst = std::max(dst, g.at(x, y));
                }
            }
            pen += g.advance;
        }
    }
    return picture;
}

void Overlay::drawBox(const TextPicture& text, int x, int y, Colour back, Colour ink, int w,
                      int h) const {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);  // window pixels, y down
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const int boxW = text.width + 2 * kPadding;
    const int boxH = std::max(text.height, lineHeight_) + 2 * kPadding;
    glColor4f(back.r, back.g, back.b, back.a);
    glBegin(GL_QUADS);
    glVertex2i(x, y);
    glVertex2i(x + boxW, y);
    glVertex2i(x + boxW, y + boxH);
    glVertex2i(x, y + boxH);
    glEnd();

    if (text.width > 0 && text.height > 0) {
        // glDrawPixels takes the bottom row first; the raster position is
        // the picture's bottom-left corner, which must lie in the window.
        std::vector<uint8_t> rgba(static_cast<size_t>(text.width) *
                                  static_cast<size_t>(text.height) * 4u);
        for (int row = 0; row < text.height; ++row) {
            const int src = text.height - 1 - row;
            for (int col = 0; col < text.width; ++col) {
                uint8_t* p = &rgba[(static_cast<size_t>(row) * static_cast<size_t>(text.width) +
                                    static_cast<size_t>(col)) *
                                   4u];
                p[0] = static_cast<uint8_t>(ink.r * 255.0f);
                p[1] = static_cast<uint8_t>(ink.g * 255.0f);
                p[2] = static_cast<uint8_t>(ink.b * 255.0f);
                p[3] = text.at(col, src);
            }
        }
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glRasterPos2i(x + kPadding, std::min(y + kPadding + text.height, h - 1));
        glDrawPixels(text.width, text.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    }

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}

void Overlay::drawInfo(const std::vector<std::string>& lines, int w, int h) const {
    const TextPicture text = compose(lines, w - 2 * (kMargin + kPadding));
    drawBox(text, kMargin, kMargin, Colour{0.0f, 0.0f, 0.0f, 0.6f}, Colour{1.0f, 1.0f, 1.0f, 1.0f},
            w, h);
}

void Overlay::drawError(const std::string& text, int w, int h) const {
    const TextPicture picture = compose({text}, w - 2 * (kMargin + kPadding));
    const int boxH = std::max(picture.height, lineHeight_) + 2 * kPadding;
    drawBox(picture, kMargin, std::max(0, h - kMargin - boxH), Colour{0.55f, 0.0f, 0.0f, 0.85f},
            Colour{1.0f, 0.95f, 0.8f, 1.0f}, w, h);
}

}  // namespace kvx::shell
