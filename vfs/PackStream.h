// PackStream: a pack file's content, read front to back only as far as the
// caller asks.
//
// A pack file is its content either stored as it is or compressed as gzip
// (one member, or several back to back; bytes after the last member that do
// not start another are ignored). A few hundred kilobytes of gzip can expand
// to gigabytes, so nothing is decompressed beyond what fill() asks for: the
// loader reads the directory first and then only as far as its entries reach.
//
// Two decompressors: zlib's streaming inflate, which can stop anywhere, and
// libdeflate's whole-buffer inflate (two to three times faster), which needs
// the whole compressed file and an output of known size. inflateExactly()
// uses the second when the file is one gzip member whose trailer says it
// holds exactly the size asked for; inflateMembers() when the file is
// several members that record their own lengths, one thread per member at
// a time.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vfs/PackImage.h"

namespace kvx::vfs {

class PackStream {
  public:
    PackStream() = default;
    ~PackStream();
    PackStream(const PackStream&) = delete;
    PackStream& operator=(const PackStream&) = delete;

    // False when the file cannot be opened.
    bool open(const std::string& path);

    // Appends content to image until it holds upTo bytes or the content
    // ends. False on a read error or corrupt compressed data; a compressed
    // stream that is merely cut off ends the content where it stops.
    bool fill(PackImage& image, size_t upTo);
    bool ended() const { return ended_; }
    bool compressed() const { return compressed_; }

    // A guess of the content's size for reserving memory: the file size of a
    // stored file, the gzip trailer's size of a compressed one, or 0. The
    // trailer is data, not a promise; callers cap the guess.
    size_t sizeHint() const;

    enum class Whole {
        Done,         // image holds the first size bytes of the content
        NotThisFile,  // not one member of that size: use fill() instead
        Corrupt,      // the member is damaged or fails its checksum
    };
    // The first size bytes of the content in one whole-buffer inflate, when
    // the file is a gzip member whose trailer says it holds exactly size
    // bytes. The stream itself is left as it was.
    Whole inflateExactly(size_t size, PackImage& image);

    // The content up to reach (or to its end, if that comes first) from a
    // file of members that record their lengths (see GzipMembers.h),
    // inflated side by side on up to threads threads; members tells how
    // many. NotThisFile also when a member is damaged: reading the file as a
    // plain gzip stream then tells whether that is before the reach. The
    // stream itself is left as it was.
    Whole inflateMembers(size_t reach, PackImage& image, unsigned threads, size_t* members);

    // Content bytes produced so far, by either decompressor or by reading a
    // stored file: what loading a pack has cost.
    uint64_t produced() const { return produced_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    bool fillStored(PackImage& image, size_t upTo);
    bool fillCompressed(PackImage& image, size_t upTo);
    // Refills the input buffer when it is empty; false at the end of the file.
    bool haveInput();
    // After a member ends: true when another member follows.
    bool nextMember();
    uint32_t trailerSize() const;

    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    uint64_t fileSize_ = 0;
    bool compressed_ = false;
    bool ended_ = false;
    uint64_t produced_ = 0;

    z_stream zs_{};
    bool zsReady_ = false;
    std::vector<uint8_t> input_;
};

}  // namespace kvx::vfs
