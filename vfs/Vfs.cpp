// Vfs: choosing the source, reading the pack directory, and directory-mode
// path resolution. The lookup order is described in Vfs.h.
#include "vfs/Vfs.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "vfs/VfsFile.h"

namespace kvx::vfs {

namespace {

namespace fs = std::filesystem;

struct State {
    bool packMode = false;
    std::string packPath;
    std::vector<PackEntry> entries;
    std::shared_ptr<const PackImage> image;
    std::string dataDirectory = "data";
};

State& state() {
    static State s;
    return s;
}

int32_t readInt32(const uint8_t* b, size_t pos) {
    uint32_t v = static_cast<uint32_t>(b[pos]) | static_cast<uint32_t>(b[pos + 1]) << 8 |
                 static_cast<uint32_t>(b[pos + 2]) << 16 | static_cast<uint32_t>(b[pos + 3]) << 24;
    return static_cast<int32_t>(v);
}

// The entry of dir whose name equals name ignoring case, if any.
std::optional<fs::path> findIgnoringCase(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (core::equalsIgnoreCase(candidate, name)) {
            return it->path();
        }
    }
    return std::nullopt;
}

}  // namespace

bool parsePackDirectory(const uint8_t* image, size_t size, std::vector<PackEntry>& entries) {
    entries.clear();
    static const char kMagic[6] = {'k', 'v', 'x', 'v', 'f', 's'};
    if (size < sizeof(kMagic) || std::memcmp(image, kMagic, sizeof(kMagic)) != 0) {
        return false;
    }
    // Magic, two reserved bytes, the entry count.
    if (size < 12) {
        return true;  // a pack whose directory ends before the count: empty
    }
    int32_t count = readInt32(image, 8);
    size_t pos = 12;
    // Each entry needs at least its terminating 0 and two integers, so the
    // count cannot exceed what the remaining bytes could hold.
    size_t fits = (size - pos) / 9;
    size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
    entries.reserve(wanted < fits ? wanted : fits);
    for (size_t i = 0; i < wanted; ++i) {
        const uint8_t* begin = image + pos;
        const void* nul = std::memchr(begin, 0, size - pos);
        if (nul == nullptr) {
            break;  // the name runs to the end of the pack
        }
        size_t nameLength = static_cast<size_t>(static_cast<const uint8_t*>(nul) - begin);
        size_t after = pos + nameLength + 1;
        if (size - after < 8) {
            break;  // offset and size are cut off
        }
        PackEntry entry;
        entry.name.set(std::string_view(reinterpret_cast<const char*>(begin), nameLength));
        entry.offset = readInt32(image, after);
        entry.size = readInt32(image, after + 4);
        entries.push_back(std::move(entry));
        pos = after + 8;
    }
    return true;
}

void Vfs::init(const char* packPath) {
    State& s = state();
    s.packMode = false;
    s.entries.clear();
    s.image.reset();
    s.packPath.clear();
    if (packPath == nullptr) {
        return;
    }
    std::optional<PackImage> image = readPackImage(packPath);
    if (!image) {
        return;
    }
    std::vector<PackEntry> entries;
    if (!parsePackDirectory(image->data(), image->size(), entries)) {
        return;
    }
    s.packPath = packPath;
    s.entries = std::move(entries);
    s.image = std::make_shared<const PackImage>(std::move(*image));
    s.packMode = true;
}

void Vfs::reset() {
    State& s = state();
    s.packMode = false;
    s.packPath.clear();
    s.entries.clear();
    s.image.reset();
    s.dataDirectory = "data";
}

void Vfs::setDataDirectory(std::string dir) {
    state().dataDirectory = std::move(dir);
}
const std::string& Vfs::dataDirectory() {
    return state().dataDirectory;
}
bool Vfs::packMode() {
    return state().packMode;
}
const std::string& Vfs::packPath() {
    return state().packPath;
}
const std::vector<PackEntry>& Vfs::entries() {
    return state().entries;
}
std::shared_ptr<const PackImage> Vfs::packImage() {
    return state().image;
}

std::optional<std::string> Vfs::resolvePath(std::string_view name) {
    if (name.empty()) {
        return std::nullopt;
    }
    std::string relative(name);
    for (char& c : relative) {
        if (c == '\\') {
            c = '/';
        }
    }
    fs::path exact = fs::path(state().dataDirectory) / relative;
    std::error_code ec;
    if (fs::is_regular_file(exact, ec)) {
        return exact.string();
    }
    // Walk the components, taking the exact name where it exists and a
    // case-insensitive match where it does not.
    fs::path current = state().dataDirectory;
    if (!fs::is_directory(current, ec)) {
        return std::nullopt;
    }
    fs::path rel(relative);
    for (const fs::path& part : rel) {
        std::string component = part.string();
        if (component.empty() || component == ".") {
            continue;
        }
        fs::path next = current / component;
        if (!fs::exists(next, ec)) {
            std::optional<fs::path> found = findIgnoringCase(current, component);
            if (!found) {
                return std::nullopt;
            }
            next = *found;
        }
        current = next;
    }
    if (!fs::is_regular_file(current, ec)) {
        return std::nullopt;
    }
    return current.string();
}

std::optional<Bytes> Vfs::readAll(const char* name) {
    VfsFile file(name);
    if (!file.good()) {
        return std::nullopt;
    }
    Bytes bytes(static_cast<size_t>(file.length()));
    if (!bytes.empty() && file.read(bytes.data(), file.length()) != file.length()) {
        return std::nullopt;
    }
    return bytes;
}

std::string packNameFor(std::string_view programPath) {
    size_t slash = programPath.find_last_of("/\\");
    size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::string_view fileName = programPath.substr(nameStart);
    size_t dot = fileName.find_last_of('.');
    if (dot != std::string_view::npos) {
        fileName = fileName.substr(0, dot);
    }
    std::string result(fileName);
    result += ".kvx";
    return result;
}

}  // namespace kvx::vfs
