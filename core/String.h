// String: the owning byte string that names, keywords and values travel in.
//
// A String is either unset (never given a text) or holds a NUL-terminated copy
// of a text. Unset and "" are both "empty" and every operation treats them
// alike. Storage is a std::string; the class keeps the small, forgiving
// interface the rest of the program was written against: out-of-range access
// yields NUL, substring of a bad start yields "", nothing throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvx::core {

class String {
  public:
    String() = default;
    String(const char* text);  // NOLINT: implicit by design, like a literal
    String(std::string_view text);
    explicit String(char c);
    // The integer written in the given radix (2..36). A negative value in
    // radix 10 gets a minus sign; in any other radix its 32-bit two's
    // complement pattern is written, as the C runtime's itoa does.
    String(int value, int radix);

    String(const String&) = default;
    String(String&&) noexcept = default;
    String& operator=(const String&) = default;
    String& operator=(String&&) noexcept = default;
    String& operator=(const char* text);
    String& operator=(char c);

    // Replaces the text; a null text changes nothing.
    void set(const char* text);
    void set(std::string_view text);
    // Appends in place; a null text changes nothing.
    String& append(const char* text);
    String& append(char c);
    String& operator+=(const char* text) { return append(text); }
    String& operator+=(const String& other) { return append(other.text()); }
    String& operator+=(char c) { return append(c); }

    String operator+(const char* text) const;
    String operator+(const String& other) const;
    String operator+(char c) const;
    String operator+(int value) const;

    // The character at index, or NUL for an index below 0 or not below length.
    char at(int index) const;
    char operator[](int index) const { return at(index); }

    // Case-sensitive; a null text equals an empty string.
    bool equals(const char* text) const;
    bool equals(const String& other) const { return equals(other.text()); }
    // ASCII case-insensitive; a null text equals an empty string.
    bool equalsIgnoreCase(const char* text) const;
    bool equalsIgnoreCase(const String& other) const { return equalsIgnoreCase(other.text()); }
    bool operator==(const char* text) const { return equals(text); }
    bool operator==(const String& other) const { return equals(other.text()); }
    bool operator!=(const String& other) const { return !equals(other.text()); }

    // At most count characters from start; count -1 (or any negative) means to
    // the end. A start below 0 or not below length gives "".
    String substring(int start, int count = -1) const;
    // First index of other, -1 if none; an empty other is found at 0.
    int indexOf(const String& other) const;
    // Without leading and trailing blanks, tabs, line feeds and carriage returns.
    String trimmed() const;
    // Every occurrence of c removed.
    String without(char c) const;
    // Every occurrence of find replaced, searching again from the start after
    // each replacement. An empty find, or a replacement that contains find
    // (which would never end), replaces each original occurrence only once.
    String replaceAll(const String& find, const String& replacement) const;

    // Never null: an unset string reads as "".
    const char* text() const { return text_.c_str(); }
    std::string_view view() const { return text_; }
    const std::string& str() const { return text_; }
    int length() const { return static_cast<int>(text_.size()); }
    bool empty() const { return text_.empty(); }

  private:
    std::string text_;
};

// ASCII case-insensitive comparison of two NUL-terminated texts, returning
// <0, 0 or >0 like the C runtime's stricmp (letters compare as lower case).
int compareIgnoreCase(const char* a, const char* b);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace kvx::core
