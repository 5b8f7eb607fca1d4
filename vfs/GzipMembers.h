// GzipMembers: pack files compressed as several gzip members that each record
// their own length, so that a loader finds every member without
// decompressing and inflates them side by side on several threads.
//
// A gzip file may hold any number of members back to back; every gzip
// reader (zlib's gzread, gunzip) reads them as one content. Each member the
// packer writes carries the optional extra field of the gzip header with one
// subfield, id "KP", four bytes long: the member's length in the file, from
// its first header byte to the end of its trailer, little-endian. Readers
// skip extra fields, so to them the file is an ordinary gzip stream.
//
// The records are data, not promises. findRecordedMembers checks that each
// one ends inside the file and that the trailer it points at gives a size
// the member's bytes can hold; whatever the records say, inflateMembers
// writes no byte past the reach it is given, and a member that fails to
// inflate or its CRC makes the whole pass fail, so that the caller can fall
// back to reading the file as a plain gzip stream.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kvx::vfs {

// Content bytes per member the packer writes: small enough that two threads
// finish within a few milliseconds of each other, large enough that the
// restarted dictionary costs next to nothing.
constexpr size_t kPackMemberBytes = 1u << 20;

// Appends one recorded gzip member holding size bytes of content, compressed
// by z (a raw deflate stream, reset here). False when z fails.
bool appendRecordedMember(std::vector<uint8_t>& out, const uint8_t* content, size_t size,
                          z_stream& z);

struct GzipMember {
    size_t start = 0;   // first byte of the member in the file
    size_t length = 0;  // bytes of the member in the file, header to trailer
    size_t offset = 0;  // first content byte it holds
    size_t size = 0;    // content bytes it holds, from its trailer
};

// The recorded members at the head of file that hold its content up to
// reach, in order; fewer when the content ends before reach. Nothing when a
// member there carries no record, or a record points outside the file:
// such a file is read as a plain gzip stream.
std::optional<std::vector<GzipMember>> findRecordedMembers(const uint8_t* file, size_t fileSize,
                                                           size_t reach);

// Inflates the members' content into out, which holds min(reach, content
// of the members) bytes, on up to threads threads (at least the caller's).
// A member that lies wholly before reach is inflated whole, its CRC and size
// checked; one that straddles reach only as far as reach. False when any
// member is damaged.
bool inflateMembers(const uint8_t* file, const std::vector<GzipMember>& members, size_t reach,
                    uint8_t* out, unsigned threads);

}  // namespace kvx::vfs
