// ScriptText: reading the script with its includes, and mapping the
// include-expanded text back to files, lines and columns.
//
// Reading one file: its bytes up to the first 0 byte, every carriage return
// removed, then "@include" lines expanded (nested at most 20 levels below the
// main script; a directive on a line that already holds a "#" in front of it
// is disarmed into "@ include"), then "##" block comments removed. The
// expanded text keeps a run-length map from its characters to the file
// offsets they came from, so diagnostics can name an included file's own
// line. Bad input is bounded: the expanded text, the number of include reads
// and the re-scans of included text have limits; passing one fails the read
// with a diagnostic instead of eating the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/String.h"
#include "script/Diagnostics.h"

namespace kvx::script {

// Where script files come from: the bytes of a named file, or nothing.
using FileSource = std::function<std::optional<std::string>(const char* name)>;
// The player's source: Vfs::readAll.
FileSource vfsFileSource();

// A piece of expanded text that came from one place: from `outStart` on, the
// characters are those of `file` from `srcOffset` on (or, when `fixed`, all
// stand for the one source position srcOffset: text the reader wrote itself).
struct TextRun {
    size_t outStart = 0;
    int file = 0;
    size_t srcOffset = 0;
    bool fixed = false;
};

struct SourceFile {
    core::String name;
    std::vector<size_t> lineStarts;  // offsets of each line's first character
};

struct MappedText {
    std::string text;
    std::vector<TextRun> runs;  // ascending outStart
    std::vector<SourceFile> files;

    // File, 1-based line and column of the character at pos (a pos at or
    // past the end names the end of the last character's line).
    void locate(size_t pos, core::String& file, int& line, int& column) const;
};

struct ReadLimits {
    size_t maxTextBytes = 256u << 20;  // at least this, or 4 times the main file
    int maxIncludeReads = 4096;
    int maxRescanNesting = 64;
    int maxDepth = 20;
};

// Reads name (depth 0) through source. `ok` is false when the main file is
// missing or a limit was passed; warnings collect dropped or missing includes,
// and error says why the read failed.
struct ReadResult {
    MappedText text;
    bool ok = false;
    std::optional<Diagnostic> error;
    std::vector<Diagnostic> warnings;
};
ReadResult readScript(const char* name, const FileSource& source,
                      const ReadLimits& limits = ReadLimits());

// The string-literal escape rule: every backslash-n becomes a line feed,
// then every run of backslashes becomes one backslash.
std::string unescapeString(std::string_view raw);

}  // namespace kvx::script
