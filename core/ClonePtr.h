// ClonePtr: a unique_ptr that copies what it points to.
//
// An object that owns polymorphic parts (an instrument's generators, a
// channel's effects) becomes copyable by holding them in ClonePtrs: copying
// the owner deep-copies each part through its clone() (for a type that has
// one) or its copy constructor. Everything else is a plain unique_ptr, so it
// takes make_unique results and is used through get(), -> and bool as before.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace kvx::core {

namespace detail {

template <typename T, typename = void>
struct HasClone : std::false_type {};
template <typename T>
struct HasClone<T, std::void_t<decltype(std::declval<const T&>().clone())>> : std::true_type {};

template <typename T>
std::unique_ptr<T> cloneOf(const T& value) {
    if constexpr (HasClone<T>::value) {
        return value.clone();
    } else {
        return std::make_unique<T>(value);
    }
}

}  // namespace detail

template <typename T>
class ClonePtr : public std::unique_ptr<T> {
  public:
    ClonePtr() = default;
    ClonePtr(std::nullptr_t) {}
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ClonePtr(std::unique_ptr<U>&& p) noexcept : std::unique_ptr<T>(std::move(p)) {}
    ClonePtr(const ClonePtr& other)
        : std::unique_ptr<T>(other ? detail::cloneOf<T>(*other) : nullptr) {}
    ClonePtr(ClonePtr&&) noexcept = default;
    ~ClonePtr() = default;

    ClonePtr& operator=(const ClonePtr& other) {
        if (this != &other) {
            this->reset(other ? detail::cloneOf<T>(*other).release() : nullptr);
        }
        return *this;
    }
    ClonePtr& operator=(ClonePtr&&) noexcept = default;
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ClonePtr& operator=(std::unique_ptr<U>&& p) noexcept {
        std::unique_ptr<T>::operator=(std::move(p));
        return *this;
    }
};

}  // namespace kvx::core
