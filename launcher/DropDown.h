// DropDown: one drop-down list of the launcher (a closed field showing the
// selected item; pressed, it opens a list of items to pick from).
//
// Geometry follows the control rectangle the dialog gives it: the field is
// the top kFieldHeight pixels, and the open list uses the rest of the
// rectangle's height. The list opens below the field, or above it when below
// would leave the window. When it holds more items than fit, a scroll bar on
// its right edge and the mouse wheel move through them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "launcher/Canvas.h"

namespace kvx::launcher {

class Font;

class DropDown {
  public:
    static constexpr int kFieldHeight = 21;
    static constexpr int kItemHeight = 15;
    static constexpr int kScrollBarWidth = 14;
    static constexpr int kArrowWidth = 17;

    struct Item {
        std::string text;
        int data = 0;
    };

    // control: the rectangle of the whole control, open list included;
    // windowHeight: the height the open list must stay within.
    DropDown(Rect control, std::vector<Item> items, std::size_t selected, int windowHeight);

    const Rect& control() const { return control_; }
    Rect field() const { return {control_.x, control_.y, control_.w, kFieldHeight}; }
    // The open list's rectangle (meaningful also while closed).
    Rect list() const;
    Rect scrollBar() const;

    std::size_t count() const { return items_.size(); }
    const Item& item(std::size_t i) const { return items_[i]; }
    std::size_t selected() const { return selected_; }
    const Item& selectedItem() const { return items_[selected_]; }
    void select(std::size_t i);

    bool isOpen() const { return open_; }
    void open();
    void close() { open_ = false; }

    // How many items the open list shows at once, the first one shown, and
    // whether the list scrolls.
    std::size_t visibleCount() const { return visible_; }
    std::size_t firstVisible() const { return top_; }
    bool scrollable() const { return visible_ < items_.size(); }
    // Moves the visible window by delta items (negative: up), clamped.
    void scroll(int delta);

    // The item under x, y in the open list, or -1.
    int itemAt(int x, int y) const;
    // The item the pointer is over (drawn highlighted); -1 for the selected.
    void setHot(int item) { hot_ = item; }

    // A press inside the open list: picks an item (and closes) or scrolls.
    // Returns false when x, y is outside the list.
    bool pressInList(int x, int y);

    void drawField(Canvas& canvas, const Font* font) const;
    void drawList(Canvas& canvas, const Font* font) const;

  private:
    Rect control_;
    std::vector<Item> items_;
    std::size_t selected_;
    int windowHeight_;
    std::size_t visible_;
    std::size_t top_ = 0;
    bool open_ = false;
    int hot_ = -1;
};

}  // namespace kvx::launcher
