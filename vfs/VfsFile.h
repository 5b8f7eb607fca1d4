// VfsFile: one readable content file, from the pack or the data directory.
//
// The source is captured when the object is constructed, so Vfs::init must
// run before the first VfsFile exists. Reads never go past length: the read
// that would, delivers what is left; the next one delivers 0 and turns good
// false. Callers read whole files with one read of length bytes and then test
// good.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/String.h"
#include "vfs/Vfs.h"

namespace kvx::vfs {

class VfsFile {
  public:
    explicit VfsFile(const char* name = nullptr);
    ~VfsFile() = default;
    VfsFile(VfsFile&&) noexcept = default;
    VfsFile& operator=(VfsFile&&) noexcept = default;
    VfsFile(const VfsFile&) = delete;
    VfsFile& operator=(const VfsFile&) = delete;

    // Opens the named file; good() tells whether it worked (also returned).
    bool open(const char* name);
    // Copies up to count bytes; returns how many were delivered.
    int read(void* buffer, int count);
    // Bytes up to and including the next line feed, or up to the end.
    core::String readLine();
    void close();

    int length() const { return length_; }
    int position() const { return position_; }
    bool good() const { return good_; }
    bool fromPack() const { return fromPack_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* f) const {
            if (f != nullptr) {
                std::fclose(f);
            }
        }
    };

    // Directory mode.
    std::unique_ptr<std::FILE, FileCloser> stream_;
    // Pack mode: the pack image and where this entry starts in it.
    std::shared_ptr<const PackImage> image_;
    size_t start_ = 0;

    int32_t length_ = 0;
    int32_t position_ = 0;
    bool good_ = false;
    bool fromPack_ = false;
};

}  // namespace kvx::vfs
