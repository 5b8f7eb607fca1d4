// Reading script files: includes, carriage returns, block comments, and the
// map from the expanded text back to source files.
//
// A directive is "@include" followed by a file name up to the end of its
// line. The scan goes forward once through each file's text; the text an
// include inserts has already had its own includes expanded and its own
// block comments removed. Only when the removal of comments inside it formed
// a new "@include" is it scanned again, at the including file's depth.
#include "script/ScriptText.h"

#include <algorithm>

#include "vfs/Vfs.h"

namespace kvx::script {

namespace {

constexpr std::string_view kDirective = "@include";

// Text with its map, relative to its own start.
struct Piece {
    std::string text;
    std::vector<TextRun> runs;
    bool hashOnLastLine = false;  // a "#" behind the last line feed

    void noteAppended(size_t from) {
        for (size_t i = from; i < text.size(); ++i) {
            if (text[i] == '\n') {
                hashOnLastLine = false;
            } else if (text[i] == '#') {
                hashOnLastLine = true;
            }
        }
    }

    void addRun(int file, size_t src, bool fixed) {
        if (!runs.empty()) {
            const TextRun& last = runs.back();
            const size_t len = text.size() - last.outStart;
            if (len == 0) {
                runs.pop_back();
            } else if (!fixed && !last.fixed && last.file == file && last.srcOffset + len == src) {
                return;  // continues the previous run
            }
        }
        runs.push_back(TextRun{text.size(), file, src, fixed});
    }

    // Text the reader writes itself, standing for one source position.
    void appendFixed(std::string_view s, int file, size_t src) {
        if (s.empty()) {
            return;
        }
        addRun(file, src, true);
        const size_t from = text.size();
        text.append(s);
        noteAppended(from);
    }

    // Characters [a, b) of another piece, with their map.
    void appendSlice(const Piece& in, size_t a, size_t b) {
        if (a >= b) {
            return;
        }
        auto it = std::upper_bound(in.runs.begin(), in.runs.end(), a,
                                   [](size_t pos, const TextRun& r) { return pos < r.outStart; });
        size_t r = static_cast<size_t>(it - in.runs.begin()) - 1;
        size_t pos = a;
        const size_t from = text.size();
        while (pos < b) {
            const TextRun& run = in.runs[r];
            const size_t runEnd = r + 1 < in.runs.size() ? in.runs[r + 1].outStart : in.text.size();
            const size_t end = std::min(b, runEnd);
            addRun(run.file, run.fixed ? run.srcOffset : run.srcOffset + (pos - run.outStart),
                   run.fixed);
            text.append(in.text, pos, end - pos);
            pos = end;
            ++r;
        }
        noteAppended(from);
    }

    // Where the character at pos came from.
    void sourceOf(size_t pos, int& file, size_t& src) const {
        auto it = std::upper_bound(runs.begin(), runs.end(), pos,
                                   [](size_t p, const TextRun& r) { return p < r.outStart; });
        if (it == runs.begin()) {
            file = 0;
            src = 0;
            return;
        }
        const TextRun& run = *(it - 1);
        file = run.file;
        src = run.fixed ? run.srcOffset : run.srcOffset + (pos - run.outStart);
    }
};

bool isTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isTrimmed(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isTrimmed(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// "##" toggles comment mode; characters inside are dropped. The map follows
// the kept characters.
Piece removeBlockComments(const Piece& in) {
    Piece out;
    out.text.reserve(in.text.size());
    bool comment = false;
    size_t keptFrom = 0;  // start of the current run of kept characters
    bool keeping = false;
    auto flush = [&](size_t end) {
        if (keeping) {
            out.appendSlice(in, keptFrom, end);
            keeping = false;
        }
    };
    const size_t n = in.text.size();
    for (size_t i = 0; i < n; ++i) {
        if (in.text[i] == '#' && i + 1 < n && in.text[i + 1] == '#') {
            flush(i);
            comment = !comment;
            ++i;
            continue;
        }
        if (comment) {
            continue;
        }
        if (!keeping) {
            keeping = true;
            keptFrom = i;
        }
    }
    flush(n);
    return out;
}

class Reader {
  public:
    Reader(const FileSource& source, const ReadLimits& limits, ReadResult& result)
        : source_(source), limits_(limits), result_(result) {}

    // The file's text after CR removal, includes and comment removal; an
    // empty piece when it cannot be read.
    Piece readFile(std::string_view name, int depth, int includerFile, size_t includerSrc) {
        if (failed_) {
            return Piece();
        }
        if (++reads_ > limits_.maxIncludeReads) {
            fail(includerFile, includerSrc,
                 "more than " + std::to_string(limits_.maxIncludeReads) +
                     " files read through @include");
            return Piece();
        }
        const std::string nameText(name);
        std::optional<std::string> bytes = source_(nameText.c_str());
        if (!bytes) {
            if (depth > 0) {
                warn(includerFile, includerSrc, "cannot open included file '" + nameText + "'");
            } else {
                fail(-1, 0, "cannot read the script");
            }
            return Piece();
        }
        // The text ends at its first 0 byte; carriage returns vanish.
        std::string& raw = *bytes;
        const size_t zero = raw.find('\0');
        if (zero != std::string::npos) {
            raw.resize(zero);
        }
        raw.erase(std::remove(raw.begin(), raw.end(), '\r'), raw.end());
        if (depth == 0) {
            maxBytes_ = std::max(limits_.maxTextBytes, raw.size() * 4);
        }

        const int file = static_cast<int>(result_.text.files.size());
        SourceFile sf;
        sf.name = core::String(std::string_view(nameText));
        sf.lineStarts.push_back(0);
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\n') {
                sf.lineStarts.push_back(i + 1);
            }
        }
        result_.text.files.push_back(std::move(sf));

        Piece in;
        in.text = std::move(raw);
        in.runs.push_back(TextRun{0, file, 0, false});
        Piece out;
        scan(out, in, depth, 0);
        return removeBlockComments(out);
    }

    bool failed() const { return failed_; }

  private:
    void scan(Piece& out, const Piece& in, int depth, int rescans) {
        size_t pos = 0;
        const std::string& s = in.text;
        while (!failed_) {
            const size_t k = s.find(kDirective, pos);
            if (k == std::string::npos) {
                out.appendSlice(in, pos, s.size());
                break;
            }
            out.appendSlice(in, pos, k);
            const size_t nameStart = k + kDirective.size();
            size_t lineEnd = s.find('\n', nameStart);
            if (lineEnd == std::string::npos) {
                lineEnd = s.size();
            }
            const std::string_view name =
                trim(std::string_view(s).substr(nameStart, lineEnd - nameStart));
            int file = 0;
            size_t src = 0;
            in.sourceOf(k, file, src);
            pos = lineEnd;

            if (out.hashOnLastLine) {
                // Disarmed: rewritten so that it no longer matches. A name
                // that itself holds the directive is disarmed the same way.
                std::string_view rest = name;
                out.appendFixed("@ include ", file, src);
                size_t q;
                while ((q = rest.find(kDirective)) != std::string_view::npos) {
                    out.appendFixed(rest.substr(0, q), file, src);
                    out.appendFixed("@ include ", file, src);
                    rest = trim(rest.substr(q + kDirective.size()));
                }
                out.appendFixed(rest, file, src);
            } else if (depth >= limits_.maxDepth) {
                warn(file, src,
                     "@include nested more than " + std::to_string(limits_.maxDepth) +
                         " levels deep; dropped");
            } else {
                out.appendFixed("\n", file, src);
                Piece child = readFile(name, depth + 1, file, src);
                if (child.text.find(kDirective) != std::string::npos &&
                    rescans < limits_.maxRescanNesting) {
                    // Comment removal in the included text formed a new
                    // directive: it belongs to this file's depth.
                    scan(out, child, depth, rescans + 1);
                } else {
                    out.appendSlice(child, 0, child.text.size());
                }
            }
            if (out.text.size() > maxBytes_) {
                fail(file, src,
                     "include expansion exceeds " + std::to_string(maxBytes_) + " bytes");
            }
        }
    }

    Diagnostic at(int file, size_t src) const {
        Diagnostic d;
        if (file >= 0 && static_cast<size_t>(file) < result_.text.files.size()) {
            const SourceFile& sf = result_.text.files[static_cast<size_t>(file)];
            d.file = sf.name;
            auto it = std::upper_bound(sf.lineStarts.begin(), sf.lineStarts.end(), src);
            const size_t line = static_cast<size_t>(it - sf.lineStarts.begin());
            d.line = static_cast<int>(line);
            d.column = static_cast<int>(src - sf.lineStarts[line - 1] + 1);
        }
        return d;
    }

    void warn(int file, size_t src, const std::string& message) {
        Diagnostic d = at(file, src);
        d.error = false;
        d.text = formatDiagnostic(d, core::String(std::string_view(message)));
        result_.warnings.push_back(std::move(d));
    }

    void fail(int file, size_t src, const std::string& message) {
        if (failed_) {
            return;
        }
        failed_ = true;
        Diagnostic d = at(file, src);
        if (file < 0) {
            d.file = mainName_;
        }
        d.text = formatDiagnostic(d, core::String(std::string_view(message)));
        result_.error = std::move(d);
    }

  public:
    core::String mainName_;

  private:
    const FileSource& source_;
    const ReadLimits& limits_;
    ReadResult& result_;
    size_t maxBytes_ = 0;
    int reads_ = 0;
    bool failed_ = false;
};

}  // namespace

FileSource vfsFileSource() {
    return [](const char* name) -> std::optional<std::string> {
        std::optional<vfs::Bytes> bytes = vfs::Vfs::readAll(name);
        if (!bytes) {
            return std::nullopt;
        }
        return std::string(bytes->begin(), bytes->end());
    };
}

void MappedText::locate(size_t pos, core::String& file, int& line, int& column) const {
    file = files.empty() ? core::String() : files.front().name;
    line = 1;
    column = 1;
    if (runs.empty() || files.empty()) {
        return;
    }
    // The end of the text is reported just behind its last character.
    size_t extra = 0;
    if (pos >= text.size()) {
        extra = text.empty() ? 0 : pos - text.size() + 1;
        pos = text.empty() ? 0 : text.size() - 1;
    }
    auto it = std::upper_bound(runs.begin(), runs.end(), pos,
                               [](size_t p, const TextRun& r) { return p < r.outStart; });
    const TextRun& run = *(it == runs.begin() ? it : it - 1);
    const size_t src = (run.fixed ? run.srcOffset : run.srcOffset + (pos - run.outStart)) + extra;
    if (run.file < 0 || static_cast<size_t>(run.file) >= files.size()) {
        return;
    }
    const SourceFile& sf = files[static_cast<size_t>(run.file)];
    file = sf.name;
    auto lit = std::upper_bound(sf.lineStarts.begin(), sf.lineStarts.end(), src);
    const size_t lineIndex = static_cast<size_t>(lit - sf.lineStarts.begin());
    line = static_cast<int>(lineIndex);
    column = static_cast<int>(src - sf.lineStarts[lineIndex - 1] + 1);
}

ReadResult readScript(const char* name, const FileSource& source, const ReadLimits& limits) {
    ReadResult result;
    Reader reader(source, limits, result);
    reader.mainName_ = name;
    Piece text = reader.readFile(name != nullptr ? name : "", 0, -1, 0);
    result.ok = !reader.failed();
    if (!result.ok) {
        return result;
    }
    result.text.text = std::move(text.text);
    result.text.runs = std::move(text.runs);
    return result;
}

std::string unescapeString(std::string_view raw) {
    // Replacing "\n" until none is left equals one left-to-right pass (a
    // line feed never forms a new pair); the same holds for collapsing each
    // run of backslashes, which repeated "\\" -> "\" ends in.
    std::string lf;
    lf.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n') {
            lf.push_back('\n');
            ++i;
        } else {
            lf.push_back(raw[i]);
        }
    }
    std::string out;
    out.reserve(lf.size());
    for (char c : lf) {
        if (c == '\\' && !out.empty() && out.back() == '\\') {
            continue;
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace kvx::script
