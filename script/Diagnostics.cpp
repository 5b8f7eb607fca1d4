// Formatting of diagnostics as "file:line:col: error: message".
#include "script/Diagnostics.h"

#include <string>

namespace kvx::script {

core::String formatDiagnostic(const Diagnostic& d, const core::String& message) {
    std::string s(d.file.view());
    if (d.line > 0) {
        s += ":" + std::to_string(d.line) + ":" + std::to_string(d.column);
    }
    s += d.error ? ": error: " : ": warning: ";
    if (!message.empty()) {
        s += message.view();
    } else {
        s += "expected ";
        s += d.expected.view();
        if (!d.found.empty()) {
            s += ", found ";
            s += d.found.view();
        }
    }
    return core::String(std::string_view(s));
}

}  // namespace kvx::script
