// Diagnostics: where a script went wrong, in terms an author can act on.
//
// A failed parse records its first real syntax error (file, line and column
// of the offending token, what was expected and what was found); recoveries
// that let the parse go on silently are kept as warnings. Lines and columns
// count from 1; the file is the one the text came from, an included file by
// its own name.
#pragma once

#include <vector>

#include "core/String.h"

namespace kvx::script {

struct Diagnostic {
    bool error = true;
    core::String file;
    int line = 0;  // 0 when there is no position (a file that could not be read)
    int column = 0;
    core::String expected;  // e.g. "';' after the value"; may be empty
    core::String found;     // e.g. "'}'"; may be empty
    // The whole line as printed: "script.zel:12:5: error: expected ';' after
    // the value, found '}'".
    core::String text;
};

// Builds text from the other fields; `message` replaces the
// "expected X, found Y" part when it is not empty.
core::String formatDiagnostic(const Diagnostic& d, const core::String& message = core::String());

}  // namespace kvx::script
