// DropDown: state, geometry and drawing of one launcher drop-down list.
#include "launcher/DropDown.h"

#include <algorithm>
#include <cassert>

#include "launcher/Font.h"
#include "launcher/Theme.h"

namespace kvx::launcher {

DropDown::DropDown(Rect control, std::vector<Item> items, std::size_t selected, int windowHeight)
    : control_(control),
      items_(std::move(items)),
      selected_(selected),
      windowHeight_(windowHeight) {
    assert(!items_.empty() && "a drop-down list needs items");
    assert(selected_ < items_.size() && "the selected item must exist");
    // The list's border takes one pixel above and below the items.
    const int room = std::max(control_.h - kFieldHeight - 2, kItemHeight);
    visible_ = std::min(items_.size(), static_cast<std::size_t>(room / kItemHeight));
}

Rect DropDown::list() const {
    const int h = static_cast<int>(visible_) * kItemHeight + 2;
    const int below = control_.y + kFieldHeight;
    const int y = (below + h > windowHeight_ && control_.y - h >= 0) ? control_.y - h : below;
    return {control_.x, y, control_.w, h};
}

Rect DropDown::scrollBar() const {
    if (!scrollable())
        return {};
    const Rect l = list();
    return {l.right() - 1 - kScrollBarWidth, l.y + 1, kScrollBarWidth, l.h - 2};
}

void DropDown::select(std::size_t i) {
    if (i < items_.size())
        selected_ = i;
}

void DropDown::open() {
    open_ = true;
    hot_ = -1;
    // Show the selected item, as close to the top as the list allows.
    top_ = std::min(selected_, items_.size() - visible_);
}

void DropDown::scroll(int delta) {
    const long maxTop = static_cast<long>(items_.size() - visible_);
    const long top = std::clamp(static_cast<long>(top_) + delta, 0L, maxTop);
    top_ = static_cast<std::size_t>(top);
}

int DropDown::itemAt(int x, int y) const {
    const Rect l = list();
    Rect items{l.x + 1, l.y + 1, l.w - 2, l.h - 2};
    if (scrollable())
        items.w -= kScrollBarWidth;
    if (!items.contains(x, y))
        return -1;
    const std::size_t i = top_ + static_cast<std::size_t>((y - items.y) / kItemHeight);
    return i < items_.size() ? static_cast<int>(i) : -1;
}

bool DropDown::pressInList(int x, int y) {
    if (!list().contains(x, y))
        return false;
    const Rect bar = scrollBar();
    if (bar.contains(x, y)) {
        // Upper half pages up, lower half pages down.
        const int page = static_cast<int>(visible_);
        scroll(y < bar.y + bar.h / 2 ? -page : page);
        return true;
    }
    const int i = itemAt(x, y);
    if (i >= 0) {
        selected_ = static_cast<std::size_t>(i);
        open_ = false;
    }
    return true;
}

void DropDown::drawField(Canvas& canvas, const Font* font) const {
    const Rect f = field();
    canvas.fill(f, theme::kWindow);
    theme::sunkenEdge(canvas, f);
    const Rect text{f.x + 2, f.y + 2, f.w - 4 - kArrowWidth, f.h - 4};
    if (font != nullptr) {
        const int ty = f.y + (f.h - font->lineHeight()) / 2;
        font->draw(canvas, text.x + 2, ty, selectedItem().text, theme::kText, text);
    }
    const Rect arrow{f.right() - 2 - kArrowWidth, f.y + 2, kArrowWidth, f.h - 4};
    theme::button(canvas, arrow, open_);
    theme::arrowDown(canvas, arrow.x + arrow.w / 2, arrow.y + arrow.h / 2, theme::kText);
}

void DropDown::drawList(Canvas& canvas, const Font* font) const {
    if (!open_)
        return;
    const Rect l = list();
    canvas.fill(l, theme::kWindow);
    canvas.frame(l, theme::kText);
    const int width = l.w - 2 - (scrollable() ? kScrollBarWidth : 0);
    const std::size_t highlighted = hot_ >= 0 ? static_cast<std::size_t>(hot_) : selected_;
    for (std::size_t k = 0; k < visible_; ++k) {
        const std::size_t i = top_ + k;
        const Rect row{l.x + 1, l.y + 1 + static_cast<int>(k) * kItemHeight, width, kItemHeight};
        const bool hi = i == highlighted;
        if (hi)
            canvas.fill(row, theme::kHighlight);
        if (font != nullptr) {
            const int ty = row.y + (row.h - font->lineHeight()) / 2;
            font->draw(canvas, row.x + 3, ty, items_[i].text,
                       hi ? theme::kHighlightText : theme::kText, row);
        }
    }
    if (scrollable()) {
        const Rect bar = scrollBar();
        canvas.fill(bar, theme::kTrack);
        // The thumb's size and place show which part of the list is visible.
        const int n = static_cast<int>(items_.size());
        const int thumbH = std::max(8, bar.h * static_cast<int>(visible_) / n);
        const int maxTop = n - static_cast<int>(visible_);
        const int thumbY =
            bar.y + (maxTop > 0 ? (bar.h - thumbH) * static_cast<int>(top_) / maxTop : 0);
        theme::button(canvas, {bar.x, thumbY, bar.w, thumbH}, false);
    }
}

}  // namespace kvx::launcher
