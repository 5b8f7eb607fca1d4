// Box-filtered scaling and the tiling of a contact sheet.
#include "tools/kvxsheet/ContactSheet.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace kvx::tools {

namespace {

// The source span [first, last) that target pixel i of n covers in a source
// of size m; at least one pixel wide, so enlarging repeats pixels.
void span(int i, int n, int m, int& first, int& last) {
    first = static_cast<int>(static_cast<int64_t>(i) * m / n);
    last = static_cast<int>((static_cast<int64_t>(i) + 1) * m / n);
    last = std::max(last, first + 1);
}

void fill(RgbPicture& p, const std::array<uint8_t, 3>& c) {
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
        std::memcpy(&p.rgb[i], c.data(), 3);
    }
}

void blit(RgbPicture& dst, const RgbPicture& src, int left, int top) {
    for (int y = 0; y < src.height; ++y) {
        std::memcpy(dst.at(left, top + y), src.at(0, y), static_cast<size_t>(src.width) * 3);
    }
}

}  // namespace

RgbPicture scaleToWidth(const RgbPicture& in, int width) {
    assert(width >= 1 && in.width >= 1 && in.height >= 1 && "scale a non-empty picture");
    const int height =
        std::max(1, static_cast<int>((static_cast<int64_t>(in.height) * width * 2 + in.width) /
                                     (static_cast<int64_t>(in.width) * 2)));
    RgbPicture out(width, height);
    for (int y = 0; y < height; ++y) {
        int y0 = 0, y1 = 0;
        span(y, height, in.height, y0, y1);
        for (int x = 0; x < width; ++x) {
            int x0 = 0, x1 = 0;
            span(x, width, in.width, x0, x1);
            uint32_t sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    const uint8_t* p = in.at(sx, sy);
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const uint32_t count = static_cast<uint32_t>((y1 - y0) * (x1 - x0));
            uint8_t* q = out.at(x, y);
            for (int c = 0; c < 3; ++c) {
                q[c] = static_cast<uint8_t>((sum[c] + count / 2) / count);
            }
        }
    }
    return out;
}

RgbPicture makeContactSheet(const std::vector<RgbPicture>& pictures, const SheetLayout& layout) {
    if (pictures.empty()) {
        return RgbPicture();
    }
    const int cols = std::max(1, std::min(layout.cols, static_cast<int>(pictures.size())));
    const int rows = static_cast<int>((pictures.size() + static_cast<size_t>(cols) - 1) /
                                      static_cast<size_t>(cols));
    std::vector<RgbPicture> cells;
    cells.reserve(pictures.size());
    std::vector<int> rowHeight(static_cast<size_t>(rows), 0);
    for (size_t i = 0; i < pictures.size(); ++i) {
        cells.push_back(scaleToWidth(pictures[i], layout.cellWidth));
        int& h = rowHeight[i / static_cast<size_t>(cols)];
        h = std::max(h, cells.back().height);
    }
    int height = layout.gap;
    for (int h : rowHeight) {
        height += h + layout.gap;
    }
    RgbPicture sheet(cols * (layout.cellWidth + layout.gap) + layout.gap, height);
    fill(sheet, layout.background);
    int top = layout.gap;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const size_t i = static_cast<size_t>(r * cols + c);
            if (i < cells.size()) {
                blit(sheet, cells[i], layout.gap + c * (layout.cellWidth + layout.gap), top);
            }
        }
        top += rowHeight[static_cast<size_t>(r)] + layout.gap;
    }
    return sheet;
}

}  // namespace kvx::tools
