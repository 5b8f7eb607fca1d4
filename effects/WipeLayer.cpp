// wipe: target buffer 1 in turning tiles.
#include "effects/WipeLayer.h"

#include <GL/gl.h>

#include "effects/EffectGl.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

bool WipeLayer::loadParameters(const layers::LayerDesc& desc) {
    // Everything is read once; nothing is animated.
    tiles.clear();
    const int n = intSlot(desc, "n_quads", 1);
    tilesPerSide = n < 1 ? 1 : (n > kMaxTilesPerSide ? kMaxTilesPerSide : n);
    fov = fieldOfView(floatSlot(desc, "fov", 45.0f), 45.0f, 10.0f, 179.0f);
    tanHalfFov = halfAngleTangent(fov);
    angleSpeed = floatSlot(desc, "anglespeed", 0.0f);
    drawGrid = readSwitch(desc, "drawgrid");
    return true;
}

bool WipeLayer::prepare() {
    const int n = tilesPerSide;
    const float cw = static_cast<float>(width) / static_cast<float>(n);
    const float ch = static_cast<float>(height) / static_cast<float>(n);
    const float e = 1.0f / static_cast<float>(n);
    tiles.assign(static_cast<size_t>(n) * static_cast<size_t>(n), WipeTile{});
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            WipeTile& tile = tiles[static_cast<size_t>(i * n + j)];
            const float x0 = static_cast<float>(j) * cw;
            const float x1 = static_cast<float>(j + 1) * cw;
            const float y0 = static_cast<float>(i) * ch;
            const float y1 = static_cast<float>(i + 1) * ch;
            const float s0 = static_cast<float>(j) * e;
            const float s1 = e * static_cast<float>(j + 1);
            const float t0 = e * static_cast<float>(n - i);
            const float t1 = e * static_cast<float>(n - i - 1);
            tile.corners = {{{x0, y0, 0.0f, s0, t0},
                             {x1, y0, 0.0f, s1, t0},
                             {x1, y1, 0.0f, s1, t1},
                             {x0, y1, 0.0f, s0, t1}}};
            tile.axis = {1.0f, 1.0f, 0.0f};
            tile.angle = 0.0f;
        }
    }
    return true;
}

void WipeLayer::advance(unsigned) {
    // Per frame, not per millisecond.
    for (WipeTile& tile : tiles) {
        tile.angle += angleSpeed;
    }
}

void WipeLayer::drawTiles(float w, float h) const {
    const WipeTile& first = tiles.front();
    const float hw = (first.corners[1].x - first.corners[0].x) / 2.0f;
    const float hh = (first.corners[3].y - first.corners[0].y) / 2.0f;
    for (const WipeTile& tile : tiles) {
        glLoadIdentity();
        glTranslatef(-w / 2.0f, -h / 2.0f, 0.0f);
        glTranslatef(tile.corners[0].x, tile.corners[0].y, tile.corners[0].z);
        glTranslatef(hw, hh, 0.0f);
        glRotatef(tile.angle, tile.axis[0], tile.axis[1], tile.axis[2]);
        // A tile-sized rectangle centred on the tile's centre.
        glBegin(GL_TRIANGLES);
        for (int k : {0, 1, 2, 0, 2, 3}) {
            const WipeTile::Corner& c = tile.corners[static_cast<size_t>(k)];
            const WipeTile::Corner& at = first.corners[static_cast<size_t>(k)];
            glTexCoord2f(c.s, c.t);
            glVertex3f(at.x - hw, at.y - hh, c.z);
        }
        glEnd();
    }
}

void WipeLayer::drawOutlines(float w, float h) const {
    const WipeTile& first = tiles.front();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    for (const WipeTile& tile : tiles) {
        glLoadIdentity();
        glTranslatef(-w / 2.0f, -h / 2.0f, 0.0f);
        glTranslatef(tile.corners[0].x, tile.corners[0].y, tile.corners[0].z);
        glRotatef(tile.angle, tile.axis[0], tile.axis[1], tile.axis[2]);
        glBegin(GL_LINES);
        for (int k = 0; k < 4; ++k) {
            const WipeTile::Corner& a = first.corners[static_cast<size_t>(k)];
            const WipeTile::Corner& b = first.corners[static_cast<size_t>((k + 1) % 4)];
            glVertex3f(a.x, a.y, a.z);
            glVertex3f(b.x, b.y, b.z);
        }
        glEnd();
    }
    glEnable(GL_DEPTH_TEST);
}

void WipeLayer::draw() {
    if (tiles.empty()) {
        return;  // prepare has not run
    }
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const double eye = w * 0.5 / tanHalfFov;
    planeCamera(fov, eye, 1000.0, PlaneY::Up);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
    bindTargetTexture(1);
    drawTiles(w, h);
    releaseTargetTexture(1);
    if (drawGrid) {
        drawOutlines(w, h);
    }
}

bool WipeLayer::release() {
    tiles.clear();
    tiles.shrink_to_fit();
    return true;
}

}  // namespace kvx::effects
