// Whole-file reading and writing for the tools (see FileIo.h).
#include "vfs/FileIo.h"

#include <fstream>
#include <iterator>

namespace kvx::vfs {

std::optional<Bytes> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    Bytes out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return out;
}

bool writeFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace kvx::vfs
