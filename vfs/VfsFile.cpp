// VfsFile: reading one content file from the pack image or the data
// directory, with the length bound and the good flag described in VfsFile.h.
#include "vfs/VfsFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace kvx::vfs {

namespace {

// Copies count bytes out of the pack image. Large memcpy calls use the
// processor's string-move instruction, which on some processors (AMD Zen 3
// and 4) runs up to ten times slower when the destination lies 1 to 63
// bytes past the source modulo 4 KiB, as if the two overlapped; where a
// pack entry and the caller's buffer happen to sit like that, copying in
// pieces below memcpy's threshold for that instruction keeps vector moves.
void copyOut(void* to, const uint8_t* from, size_t count) {
    constexpr size_t kPiece = 512;
    const auto distance =
        (reinterpret_cast<uintptr_t>(to) - reinterpret_cast<uintptr_t>(from)) & 4095u;
    if (distance == 0 || distance >= 64 || count <= kPiece) {
        std::memcpy(to, from, count);
        return;
    }
    auto* out = static_cast<uint8_t*>(to);
    for (size_t done = 0; done < count; done += kPiece) {
        std::memcpy(out + done, from + done, std::min(kPiece, count - done));
    }
}

}  // namespace

VfsFile::VfsFile(const char* name) : fromPack_(Vfs::packMode()) {
    if (name != nullptr) {
        open(name);
    }
}

bool VfsFile::open(const char* name) {
    stream_.reset();
    image_.reset();
    start_ = 0;
    length_ = 0;
    position_ = 0;
    good_ = false;
    if (name == nullptr) {
        return false;
    }
    if (fromPack_) {
        std::shared_ptr<const PackImage> image = Vfs::packImage();
        if (!image) {
            return false;
        }
        const PackEntry* found = nullptr;
        for (const PackEntry& entry : Vfs::entries()) {
            if (sameEntryName(entry.name.view(), name)) {
                found = &entry;
                break;
            }
        }
        // Offset 0 means missing; an entry outside the pack or with a
        // negative size is missing too.
        if (found == nullptr || found->offset <= 0 || found->size < 0 ||
            static_cast<size_t>(found->offset) > image->size()) {
            return false;
        }
        size_t available = image->size() - static_cast<size_t>(found->offset);
        // An entry cut off by the end of the pack delivers what is there.
        size_t size = static_cast<size_t>(found->size);
        length_ = static_cast<int32_t>(size < available ? size : available);
        start_ = static_cast<size_t>(found->offset);
        image_ = std::move(image);
        good_ = true;
        return true;
    }
    std::optional<std::string> path = Vfs::resolvePath(name);
    if (!path) {
        return false;
    }
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(*path, ec);
    if (ec || size > static_cast<std::uintmax_t>(std::numeric_limits<int32_t>::max())) {
        return false;
    }
    stream_.reset(std::fopen(path->c_str(), "rb"));
    if (!stream_) {
        return false;
    }
    length_ = static_cast<int32_t>(size);
    good_ = true;
    return true;
}

int VfsFile::read(void* buffer, int count) {
    if (count <= 0 || buffer == nullptr || !good_) {
        return 0;
    }
    int32_t left = length_ - position_;
    if (count > left) {
        count = left;
    }
    if (count <= 0) {
        good_ = false;  // the end of the file has been passed
        return 0;
    }
    if (fromPack_) {
        copyOut(buffer, image_->data() + start_ + static_cast<size_t>(position_),
                static_cast<size_t>(count));
    } else {
        size_t got = std::fread(buffer, 1, static_cast<size_t>(count), stream_.get());
        if (got < static_cast<size_t>(count)) {
            // The file shrank since it was opened: deliver what is there.
            count = static_cast<int>(got);
            good_ = false;
        }
    }
    position_ += count;
    return count;
}

core::String VfsFile::readLine() {
    std::string line;
    char c = 0;
    while (good_ && read(&c, 1) == 1) {
        line += c;
        if (c == '\n') {
            break;
        }
    }
    return core::String(std::string_view(line));
}

void VfsFile::close() {
    good_ = false;
    length_ = 0;
    position_ = 0;
    stream_.reset();
    image_.reset();
    start_ = 0;
}

}  // namespace kvx::vfs
