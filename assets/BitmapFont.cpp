// Font sheets: the cell mapping and textured-triangle text.
#include "assets/BitmapFont.h"

#include <GL/gl.h>

#include "assets/Texture.h"

namespace kvx::assets {

namespace {

uint32_t gridCount(int n) {
    if (n < 0) {
        return 0;
    }
    return static_cast<uint32_t>(n > kMaxFontGrid ? kMaxFontGrid : n);
}

// cols x 0.0625 x 32 in single precision, truncated: two units per cell.
int32_t defaultCellSize(uint32_t cells) {
    return static_cast<int32_t>(static_cast<float>(cells) * 0.0625f * 32.0f);
}

bool hasSheet(const BitmapFont& font) {
    return font.texture != -1 && font.cols != 0 && font.rows != 0;
}

}  // namespace

BitmapFont makeBitmapFont(const core::String& fileName, int rows, int cols, uint8_t firstChar) {
    BitmapFont font;
    font.cols = gridCount(cols);
    font.rows = gridCount(rows);
    font.cellWidth = defaultCellSize(font.cols);
    font.cellHeight = defaultCellSize(font.rows);
    font.firstChar = firstChar;
    font.texture = -1;
    if (font.cols == 0 || font.rows == 0) {
        return font;  // without a grid no character could be found on it
    }
    const int name = loadTexture(fileName);
    // 0 is a picture of a pixel size GL cannot take: no texture was made.
    font.texture = name > 0 ? name : -1;
    return font;
}

bool glyphRect(const BitmapFont& font, uint8_t ch, float& s0, float& t0, float& s1, float& t1) {
    if (!hasSheet(font)) {
        return false;
    }
    const uint32_t n = static_cast<uint8_t>(ch - font.firstChar);
    const float cellS = 1.0f / static_cast<float>(font.cols);
    const float cellT = 1.0f / static_cast<float>(font.rows);
    s0 = static_cast<float>(n % font.cols) / static_cast<float>(font.cols);
    s1 = s0 + cellS;
    t0 = static_cast<float>(n / font.cols) * cellT;
    t1 = t0 + cellT;
    return true;
}

void drawText(const BitmapFont& font, std::string_view text, float x, float y, float width,
              float height) {
    if (!hasSheet(font)) {
        return;  // nothing to take the glyphs from
    }
    glPushAttrib(GL_ENABLE_BIT);
    const float w = width == -1.0f ? static_cast<float>(font.cellWidth) : width;
    const float h = height == -1.0f ? static_cast<float>(font.cellHeight) : height;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(font.texture));
    float left = x;
    float right = x + w;
    float top = y;
    float bottom = y + h;
    glBegin(GL_TRIANGLES);
    for (const char c : text) {
        float s0 = 0.0f;
        float t0 = 0.0f;
        float s1 = 0.0f;
        float t1 = 0.0f;
        glyphRect(font, static_cast<uint8_t>(c), s0, t0, s1, t1);
        if (c == '\n') {
            left = x;
            right = x + w;
            top = bottom;
            bottom = top + h;
            continue;
        }
        glTexCoord2f(s0, t0);
        glVertex2f(left, top);
        glTexCoord2f(s1, t0);
        glVertex2f(right, top);
        glTexCoord2f(s0, t1);
        glVertex2f(left, bottom);
        glTexCoord2f(s0, t1);
        glVertex2f(left, bottom);
        glTexCoord2f(s1, t0);
        glVertex2f(right, top);
        glTexCoord2f(s1, t1);
        glVertex2f(right, bottom);
        left += w;
        right += w;
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glPopAttrib();
}

void deleteBitmapFont(BitmapFont& font) {
    if (font.texture > 0) {
        const GLuint name = static_cast<GLuint>(font.texture);
        glDeleteTextures(1, &name);
    }
    font.texture = -1;
}

}  // namespace kvx::assets
