// FileIo: whole files of the host file system, read and written in one go,
// for the command-line tools. The show itself reads content only through
// Vfs; these functions know nothing of packs or the data directory.
#pragma once

#include <optional>
#include <string>

#include "vfs/Vfs.h"

namespace kvx::vfs {

// The file's bytes, or nothing when it cannot be opened or read.
std::optional<Bytes> readFile(const std::string& path);
// Writes (replaces) the file; false when it cannot be written completely.
bool writeFile(const std::string& path, const Bytes& data);

}  // namespace kvx::vfs
