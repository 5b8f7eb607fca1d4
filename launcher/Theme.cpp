// Theme: bevels and small glyphs of the launcher's controls.
#include "launcher/Theme.h"

namespace kvx::launcher::theme {

void sunkenEdge(Canvas& canvas, const Rect& r) {
    if (r.w < 4 || r.h < 4)
        return;
    canvas.lineH(r.x, r.right() - 1, r.y, kShadow);
    canvas.lineV(r.x, r.y, r.bottom() - 1, kShadow);
    canvas.lineH(r.x + 1, r.right() - 2, r.y + 1, kDarkShadow);
    canvas.lineV(r.x + 1, r.y + 1, r.bottom() - 2, kDarkShadow);
    canvas.lineH(r.x, r.right() - 1, r.bottom() - 1, kLight);
    canvas.lineV(r.right() - 1, r.y, r.bottom() - 1, kLight);
    canvas.lineH(r.x + 1, r.right() - 2, r.bottom() - 2, kFace);
    canvas.lineV(r.right() - 2, r.y + 1, r.bottom() - 2, kFace);
}

void button(Canvas& canvas, const Rect& r, bool pressed) {
    canvas.fill(r, kFace);
    if (r.w < 2 || r.h < 2)
        return;
    if (pressed) {
        canvas.frame(r, kShadow);
        return;
    }
    canvas.lineH(r.x, r.right() - 1, r.y, kLight);
    canvas.lineV(r.x, r.y, r.bottom() - 1, kLight);
    canvas.lineH(r.x, r.right() - 1, r.bottom() - 1, kDarkShadow);
    canvas.lineV(r.right() - 1, r.y, r.bottom() - 1, kDarkShadow);
    if (r.w < 4 || r.h < 4)
        return;
    canvas.lineH(r.x + 1, r.right() - 2, r.bottom() - 2, kShadow);
    canvas.lineV(r.right() - 2, r.y + 1, r.bottom() - 2, kShadow);
}

void arrowDown(Canvas& canvas, int cx, int cy, Color c) {
    for (int row = 0; row < 4; ++row) {
        canvas.lineH(cx - 3 + row, cx + 3 - row, cy - 2 + row, c);
    }
}

void checkMark(Canvas& canvas, const Rect& r, Color c) {
    // Two strokes, three pixels thick: down-right from the left middle to the
    // bottom third, then up-right to the top right.
    const int x0 = r.x + 3;
    const int y0 = r.y + r.h / 2 - 1;
    const int low = r.w / 3;
    for (int i = 0; i <= low; ++i)
        canvas.lineV(x0 + i, y0 + i, y0 + i + 2, c);
    const int x1 = x0 + low;
    const int y1 = y0 + low;
    for (int i = 1; x1 + i < r.right() - 3; ++i)
        canvas.lineV(x1 + i, y1 - i, y1 - i + 2, c);
}

}  // namespace kvx::launcher::theme
