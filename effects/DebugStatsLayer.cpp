// debugstats: running time and frame rate, from a font sheet or from
// bitmap display lists of a system font.
#include "effects/DebugStatsLayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <vector>

#include "assets/GlyphRaster.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

// A rendered glyph as the rows glBitmap takes: one bit per pixel, most
// significant bit first, bottom row first, rows padded to whole bytes.
void packBitmapRows(const assets::GlyphBitmap& g, std::vector<GLubyte>& bits) {
    const size_t rowBytes = static_cast<size_t>((g.width + 7) / 8);
    bits.assign(rowBytes * static_cast<size_t>(g.rows) + 1, 0);
    for (int y = 0; y < g.rows; ++y) {
        GLubyte* row = bits.data() + static_cast<size_t>(g.rows - 1 - y) * rowBytes;
        for (int x = 0; x < g.width; ++x) {
            if (g.at(x, y) >= 128) {
                row[x >> 3] |= static_cast<GLubyte>(0x80 >> (x & 7));
            }
        }
    }
}

}  // namespace

void DebugStatsLayer::formatTime(uint32_t ms, char* out, size_t size) {
    std::snprintf(out, size, "%" PRIu32 ":%" PRIu32 ":%" PRIu32, ms / 60000u, (ms / 1000u) % 60u,
                  ms % 1000u);
}

void DebugStatsLayer::formatRate(float framesPerMs, char* out, size_t size) {
    std::snprintf(out, size, "%4.2f fps", static_cast<double>(framesPerMs * 1000.0f));
}

bool DebugStatsLayer::loadParameters(const layers::LayerDesc& desc) {
    const layers::Track file = desc.findTrack("fontfile");
    if (!file.current().hasValue()) {
        return true;  // the system font
    }
    // Whatever kind the script gave: a missing count reads as 0.
    fontRows = intSlot(desc, "rows", 0);
    fontCols = intSlot(desc, "cols", 0);
    fontFirstChar = static_cast<uint8_t>(intSlot(desc, "offset", 0));
    fontFile = file.current().text;
    return true;
}

bool DebugStatsLayer::prepare() {
    assets::deleteBitmapFont(font);
    font = assets::makeBitmapFont(fontFile, fontRows, fontCols, fontFirstChar);
    if (font.texture == -1 && listBase == 0) {
        buildSystemFont();
    }
    return true;
}

bool DebugStatsLayer::buildSystemFont() {
    // The glyphs are pixels: size them for the buffer so that the lines at
    // y 20 and 40 keep their proportions at every quality.
    GLint viewport[4] = {0, 0, 512, 512};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int pixels =
        std::max(6, static_cast<int>(
                        std::lround(kSystemFontPixels * static_cast<double>(viewport[3]) / 512.0)));
    const auto raster = assets::GlyphRaster::open(systemFontFile, pixels);
    if (!raster) {
        return false;  // no font, no text
    }
    const GLuint base = glGenLists(kListCount);
    if (base == 0) {
        return false;
    }
    // Bitmap rows are unpacked when the list is compiled, byte-aligned.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    std::vector<GLubyte> bits;
    for (int i = 0; i < kListCount; ++i) {
        const assets::GlyphBitmap g =
            raster->render(static_cast<uint32_t>(kFirstListCode + i), true);
        packBitmapRows(g, bits);
        glNewList(base + static_cast<GLuint>(i), GL_COMPILE);
        glBitmap(g.width, g.rows, static_cast<float>(-g.left), static_cast<float>(g.rows - g.top),
                 static_cast<float>(g.advance), 0.0f, bits.data());
        glEndList();
    }
    glPopClientAttrib();
    listBase = base;
    return true;
}

void DebugStatsLayer::advance(unsigned dt) {
    runTimeMs += dt;
    windowMs += dt;
    if (windowMs > 1000u) {
        // Frames per millisecond over the whole window, in floating point.
        framesPerMs = static_cast<float>(frames) / static_cast<float>(windowMs);
        frames = 0;
        windowMs -= 1000u;
    }
}

void DebugStatsLayer::printLists(const char* text) const {
    // Only the codes 32..127 have a list; any other byte (the line feed)
    // would call whatever list happens to carry that name.
    GLubyte codes[80];
    GLsizei n = 0;
    for (const char* p = text; *p != '\0' && n < static_cast<GLsizei>(sizeof(codes)); ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= kFirstListCode && c < kFirstListCode + kListCount) {
            codes[n++] = c;
        }
    }
    glPushAttrib(GL_LIST_BIT);
    glListBase(listBase - kFirstListCode);
    glCallLists(n, GL_UNSIGNED_BYTE, codes);
    glPopAttrib();
}

void DebugStatsLayer::draw() {
    countFrame();
    const uint32_t m = runTimeMs;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    char timeText[40];
    char rateText[64];
    formatTime(m, timeText, sizeof(timeText));
    formatRate(framesPerMs, rateText, sizeof(rateText));
    if (font.texture == -1) {
        if (listBase != 0) {
            // Each line ends in a line feed; its own raster position places it.
            char line[80];
            std::snprintf(line, sizeof(line), "%s\n", timeText);
            glRasterPos2f(10.0f, 20.0f);
            printLists(line);
            std::snprintf(line, sizeof(line), "%s\n", rateText);
            glRasterPos2f(10.0f, 40.0f);
            printLists(line);
        }
    } else {
        glColor4fv(colour.data());
        sheetText_.set(timeText);
        sheetText_.append('\n');
        sheetText_.append(rateText);
        assets::drawText(font, sheetText_, 10.0f, 20.0f, -1.0f, -1.0f);
    }
    glEnable(GL_DEPTH_TEST);
}

bool DebugStatsLayer::release() {
    if (listBase != 0) {
        glDeleteLists(listBase, kListCount);
        listBase = 0;
    }
    assets::deleteBitmapFont(font);
    return true;
}

}  // namespace kvx::effects
