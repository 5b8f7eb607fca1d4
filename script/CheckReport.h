// checkShow: the script report of kvxcheck and of the player's check mode.
//
// Reads "script.zel" through the already-initialised Vfs, parses it like the
// player and prints either the first error (to err, as
// "file:line:col: error: ...") or the declarations and one line per layer in
// drawing order (to out), with warnings for silent recoveries, unknown layer
// types and unknown blending names (to err). Returns the exit status: 0 when
// the script parses, 1 when it does not.
#pragma once

#include <ostream>

#include "script/ScriptText.h"

namespace kvx::script {

int checkShow(std::ostream& out, std::ostream& err);
// The same over another file source (tests).
int checkShow(std::ostream& out, std::ostream& err, const char* scriptName,
              const FileSource& source);

}  // namespace kvx::script
