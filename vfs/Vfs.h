// Vfs: where every content file of a show comes from.
//
// Lookup order. The source is chosen once, at start-up, before any file is
// opened, and never changes afterwards:
//   1. Pack mode. Vfs::init(path) opens the pack file through zlib's gzip
//      reader (a pack may be one gzip stream or stored as it is), checks the
//      magic "kvxvfs" and reads its directory. Names are looked up ignoring
//      ASCII case, with '\' and '/' alike; of two equal names the first in
//      the directory wins. The decompressed pack stays in memory, so opening
//      an entry costs a lookup and reading it a copy, instead of a
//      decompression from the start. Only as much of the pack is
//      decompressed as the entries that a lookup can find reach; a pack
//      written by the packer, in several gzip members, is decompressed on
//      several threads (GzipMembers.h).
//   2. Directory mode, when there is no pack or it is not one. The file named
//      n is <data directory>/n (the data directory is "data" unless a caller
//      sets another). A backslash in a name is a path separator. When the exact
//      path does not exist, each path component is matched ignoring case,
//      because shows are authored on a case-insensitive file system.
//
// Bad packs never crash the reader: a directory that ends early (or passes
// the directory bounds) keeps the entries that were complete, counts and
// sizes are checked against the bytes that are really there, an entry that
// points outside the pack is missing, and a small file that would expand to
// gigabytes is decompressed only as far as its entries reach.
//
// Threads: init/reset on the main thread before files are opened; afterwards
// the state is only read, and each VfsFile is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/String.h"
#include "vfs/PackImage.h"

namespace kvx::vfs {

using Bytes = std::vector<uint8_t>;

class Vfs {
  public:
    // Chooses the source: pack mode when path names a readable pack with the
    // right magic, directory mode otherwise (also for a null path).
    static void init(const char* packPath);
    // Back to directory mode over "data", forgetting any pack.
    static void reset();
    // The folder that directory mode reads from ("data" by default).
    static void setDataDirectory(std::string dir);
    static const std::string& dataDirectory();

    static bool packMode();
    static const std::string& packPath();
    static const std::vector<PackEntry>& entries();
    static int entryCount() { return static_cast<int>(entries().size()); }
    // The decompressed pack, shared with the files that read from it.
    static std::shared_ptr<const PackImage> packImage();

    // Directory mode: the real path of name (backslashes turned into
    // separators, case fallback per component), or nothing if it is missing.
    static std::optional<std::string> resolvePath(std::string_view name);

    // Convenience for whole-file readers: the file's bytes, or nothing when it
    // is missing or cannot be read completely.
    static std::optional<Bytes> readAll(const char* name);
};

// The pack name a program at programPath looks for: the file name after the
// last '/' or '\', cut at its last '.', with ".kvx" appended. The pack is
// looked up relative to the current directory, not beside the program.
std::string packNameFor(std::string_view programPath);

}  // namespace kvx::vfs
