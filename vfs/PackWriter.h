// PackWriter: building pack files, for the packer tool, tests and benchmarks.
//
// A pack's content is the magic "kvxvfs", two reserved bytes, the entry count
// and the directory (each name, a 0 byte, offset and size as 32-bit
// little-endian integers), followed by the entries' bytes in directory order.
// The file on disk is that content either gzip-compressed or stored as it
// is; the reader accepts both. Compressed, it is a series of gzip members of
// memberBytes of content each that record their lengths (GzipMembers.h), one
// gzip stream to every gzip reader, and members that a loader inflates side
// by side.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "vfs/GzipMembers.h"
#include "vfs/Vfs.h"

namespace kvx::vfs {

struct PackInput {
    std::string name;  // entry name, '/' between folders, no 0 byte
    Bytes data;
};

// The uncompressed pack content, or nothing (with a reason) when a name holds
// a 0 byte or the pack would not fit 32-bit offsets.
std::optional<Bytes> buildPackImage(const std::vector<PackInput>& inputs, std::string* error);

// Writes content to path, gzip-compressed (level 6) unless store is set.
bool writePackFile(const std::string& path, const Bytes& content, bool store, std::string* error,
                   size_t memberBytes = kPackMemberBytes);

}  // namespace kvx::vfs
