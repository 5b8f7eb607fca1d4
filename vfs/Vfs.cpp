// Vfs: choosing the source, reading the pack directory, and directory-mode
// path resolution. The lookup order is described in Vfs.h.
#include "vfs/Vfs.h"

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

void Vfs::init(const char* packPath) {
    State& s = state();
    s.packMode = false;
    s.entries.clear();
    s.image.reset();
    s.packPath.clear();
    if (packPath == nullptr) {
        return;
    }
    // A directory that is cut off keeps the entries that were complete.
    std::optional<LoadedPack> pack = loadPack(packPath, PackScope::Findable);
    if (!pack) {
        return;
    }
    s.packPath = packPath;
    s.entries = std::move(pack->directory.entries);
    s.image = std::make_shared<const PackImage>(std::move(pack->image));
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
