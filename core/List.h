// List: the counted, front-inserting list that parameter names, tracks and
// parsed layers are kept in.
//
// Elements are pushed at the front, so a list filled in reading order holds
// them in reverse. Callers that index two lists by position (names and
// tracks) push and remove in pairs so that equal indices stay paired.
// Storage is a vector kept back to front: the head is the last element, which
// makes push-front O(1) and element access O(1).
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace kvx::core {

template <typename T>
class List {
  public:
    int count() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }

    // A copy of the element becomes the new head.
    void pushFront(const T& element) { items_.push_back(element); }
    void pushFront(T&& element) { items_.push_back(std::move(element)); }

    // A copy of the i-th element from the head, or a default element for an
    // index out of range.
    T elementAt(int i) const {
        if (i < 0 || i >= count()) {
            return T();
        }
        return items_[slot(i)];
    }

    // Direct access for callers that have checked the index themselves.
    T& ref(int i) { return items_[slot(i)]; }
    const T& ref(int i) const { return items_[slot(i)]; }

    // Unlinks the i-th element; an index out of range is ignored.
    void removeAt(int i) {
        if (i < 0 || i >= count()) {
            return;
        }
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(slot(i)));
    }

    void clear() { items_.clear(); }

    // Copying keeps the order: the copy's i-th element is the original's i-th.
    List() = default;
    List(const List&) = default;
    List(List&&) noexcept = default;
    List& operator=(const List&) = default;
    List& operator=(List&&) noexcept = default;

    // Visits the elements from the head (index 0) to the last.
    template <typename F>
    void forEach(F&& visit) const {
        for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
            visit(*it);
        }
    }

  private:
    size_t slot(int i) const { return items_.size() - 1 - static_cast<size_t>(i); }

    std::vector<T> items_;  // back of the vector = head of the list
};

}  // namespace kvx::core
