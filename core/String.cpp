// String: see String.h. All storage lives in std::string; this file only
// carries the forgiving semantics (null texts, out-of-range indices).
#include "core/String.h"

#include <cstring>

namespace kvx::core {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isTrimmable(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

String::String(const char* text) {
    if (text != nullptr) {
        text_ = text;
    }
}

String::String(std::string_view text) : text_(text) {}

String::String(char c) : text_(1, c) {}

String::String(int value, int radix) {
    if (radix < 2 || radix > 36) {
        return;
    }
    const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    bool negative = radix == 10 && value < 0;
    // Other radices write the 32-bit pattern unsigned.
    unsigned magnitude =
        negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    char buffer[40];
    int pos = sizeof(buffer);
    do {
        buffer[--pos] = digits[magnitude % static_cast<unsigned>(radix)];
        magnitude /= static_cast<unsigned>(radix);
    } while (magnitude != 0);
    if (negative) {
        buffer[--pos] = '-';
    }
    text_.assign(buffer + pos, sizeof(buffer) - static_cast<size_t>(pos));
}

String& String::operator=(const char* text) {
    set(text);
    return *this;
}

String& String::operator=(char c) {
    text_.assign(1, c);
    return *this;
}

void String::set(const char* text) {
    if (text == nullptr || text == text_.c_str()) {
        return;
    }
    text_ = text;
}

void String::set(std::string_view text) {
    text_.assign(text.data(), text.size());
}

String& String::append(const char* text) {
    if (text != nullptr) {
        text_ += text;
    }
    return *this;
}

String& String::append(char c) {
    text_ += c;
    return *this;
}

String String::operator+(const char* text) const {
    String result(*this);
    result.append(text);
    return result;
}

String String::operator+(const String& other) const {
    return *this + other.text();
}

String String::operator+(char c) const {
    String result(*this);
    result.append(c);
    return result;
}

String String::operator+(int value) const {
    return *this + String(value, 10);
}

char String::at(int index) const {
    if (index < 0 || index >= length()) {
        return '\0';
    }
    return text_[static_cast<size_t>(index)];
}

bool String::equals(const char* text) const {
    if (text == nullptr) {
        return empty();
    }
    return std::strcmp(text_.c_str(), text) == 0;
}

bool String::equalsIgnoreCase(const char* text) const {
    if (text == nullptr) {
        return empty();
    }
    return compareIgnoreCase(text_.c_str(), text) == 0;
}

String String::substring(int start, int count) const {
    if (start < 0 || start >= length()) {
        return String();
    }
    size_t n = count < 0 ? std::string::npos : static_cast<size_t>(count);
    return String(std::string_view(text_).substr(static_cast<size_t>(start), n));
}

int String::indexOf(const String& other) const {
    size_t pos = text_.find(other.text_);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

String String::trimmed() const {
    size_t begin = 0;
    size_t end = text_.size();
    while (begin < end && isTrimmable(text_[begin])) {
        ++begin;
    }
    while (end > begin && isTrimmable(text_[end - 1])) {
        --end;
    }
    return String(std::string_view(text_).substr(begin, end - begin));
}

String String::without(char c) const {
    String result;
    result.text_.reserve(text_.size());
    for (char ch : text_) {
        if (ch != c) {
            result.text_ += ch;
        }
    }
    return result;
}

String String::replaceAll(const String& find, const String& replacement) const {
    if (find.empty()) {
        return *this;
    }
    std::string result = text_;
    if (replacement.text_.find(find.text_) != std::string::npos) {
        // Searching from the start again would never end: replace each
        // occurrence once, left to right.
        std::string out;
        size_t pos = 0;
        size_t hit;
        while ((hit = result.find(find.text_, pos)) != std::string::npos) {
            out.append(result, pos, hit - pos);
            out += replacement.text_;
            pos = hit + find.text_.size();
        }
        out.append(result, pos, std::string::npos);
        return String(std::string_view(out));
    }
    // The search restarts at the earliest place a new occurrence can begin:
    // a shorter replacement can join text before and after it into a new
    // match, so step back by find's length from the replaced spot.
    size_t from = 0;
    size_t hit;
    while ((hit = result.find(find.text_, from)) != std::string::npos) {
        result.replace(hit, find.text_.size(), replacement.text_);
        from = hit >= find.text_.size() ? hit - find.text_.size() + 1 : 0;
    }
    return String(std::string_view(result));
}

int compareIgnoreCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char ca = lowerAscii(*a);
        char cb = lowerAscii(*b);
        if (ca != cb || ca == '\0') {
            return static_cast<unsigned char>(ca) - static_cast<unsigned char>(cb);
        }
    }
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace kvx::core
