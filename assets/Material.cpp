// Material files: line parsing, the show's number and colour syntax, and
// texture references.
#include "assets/Material.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "assets/Texture.h"
#include "core/Globals.h"
#include "vfs/Vfs.h"

namespace kvx::assets {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The component before separator, and the text after it; a missing
// separator gives 0 and leaves the text as it was.
float takeComponent(std::string_view& text, char separator) {
    const size_t at = text.find(separator);
    if (at == std::string_view::npos) {
        return 0.0f;
    }
    const float value = parseMaterialNumber(text.substr(0, at));
    text.remove_prefix(at + 1);
    return value;
}

void applyKey(std::string_view key, std::string_view value, Material& m,
              const TextureLoader& load) {
    if (core::equalsIgnoreCase(key, "diffuse")) {
        m.diffuse = parseMaterialColour(value);
    } else if (core::equalsIgnoreCase(key, "specular")) {
        m.specular = parseMaterialColour(value);
    } else if (core::equalsIgnoreCase(key, "texture")) {
        m.texture = parseTextureReference(value, load);
    } else if (core::equalsIgnoreCase(key, "reflection")) {
        m.reflectionTexture = parseTextureReference(value, load);
        if (m.reflectionTexture != -1) {
            m.reflectiveness = 1.0f;  // a later "reflectiveness" line may lower it
        }
    } else if (core::equalsIgnoreCase(key, "reflectiveness")) {
        m.reflectiveness = parseMaterialNumber(value);
    } else if (core::equalsIgnoreCase(key, "shininess")) {
        m.shininess = parseMaterialNumber(value);
    }
}

}  // namespace

float parseMaterialNumber(std::string_view text) {
    text = trim(text);
    if (text.empty()) {
        return 0.0f;
    }
    // The first character as it is (sign, digit or anything), then digits,
    // then an optional fraction. No exponent: "2e3" reads as 2.
    std::string collected(1, text[0]);
    size_t i = 1;
    while (i < text.size() && isDigit(text[i])) {
        collected += text[i++];
    }
    if (i < text.size() && text[i] == '.') {
        collected += text[i++];
        while (i < text.size() && isDigit(text[i])) {
            collected += text[i++];
        }
    }
    return static_cast<float>(std::atof(collected.c_str()));
}

std::array<float, 4> parseMaterialColour(std::string_view text) {
    std::array<float, 4> c{0.0f, 0.0f, 0.0f, 0.0f};
    if (text.empty() || text.front() != '(') {
        return c;
    }
    text.remove_prefix(1);
    c[0] = takeComponent(text, ',');
    c[1] = takeComponent(text, ',');
    c[2] = takeComponent(text, ',');
    c[3] = takeComponent(text, ')');
    return c;
}

int parseTextureReference(std::string_view text, const TextureLoader& load) {
    // Exactly "$" and one character names a shared picture; any other text,
    // "$" alone or "$" with more characters included, is an image file name.
    if (text.size() == 2 && text.front() == '$') {
        const int n = text[1] - '0';
        const int limit = core::globals().materialLevelLimit.load(std::memory_order_relaxed);
        return n >= 0 && n <= limit ? offscreenTextureId(n) : -1;
    }
    return load ? load(core::String(text)) : -1;
}

int readMaterials(std::string_view text, Material* materials, int capacity,
                  const TextureLoader& load) {
    if (materials == nullptr || capacity < 0) {
        capacity = 0;
    }
    Material current;
    int stored = 0;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        const std::string_view raw = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);

        const std::string_view line = trim(raw);
        const size_t eq = line.find('=');
        const bool isEnd = core::equalsIgnoreCase(line, "end");
        if (line.empty() || line.front() == '#' || (eq == std::string_view::npos && !isEnd)) {
            continue;
        }
        const std::string_view key = isEnd ? line : trim(line.substr(0, eq));
        const std::string_view value = isEnd ? line : trim(line.substr(eq + 1));
        if (core::equalsIgnoreCase(key, "end")) {
            if (stored < capacity) {
                materials[stored++] = current;
            }
            current = Material();
            continue;
        }
        applyKey(key, value, current, load);
    }
    return stored;
}

void loadMaterials(const core::String& name, Material* materials, int capacity) {
    std::optional<vfs::Bytes> bytes = vfs::Vfs::readAll(name.text());
    if (!bytes) {
        return;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    readMaterials(text, materials, capacity,
                  [](const core::String& file) { return loadTexture(file); });
}

}  // namespace kvx::assets
