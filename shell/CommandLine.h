// CommandLine: kvxplay's options, parsed into what start-up needs.
//
// Without options the player behaves as it always has: the pack named after
// the program (else the "data" folder), the launcher dialog, the show. The
// options choose another data source, skip the launcher (any display flag
// is already the choice the launcher would ask for), check the script, run
// without a display, take one screenshot (of the show or of the launcher)
// or record the show, and serve an author at work: start the show later
// (--start-at), reload it on save (--watch), show the overlay (--overlay).
// The keys that steer a playing show are listed in the help's footer.
//
// A display mode given with --mode also sets the layers' aspect ratio to its
// width over its height; without it the aspect stays the launcher's.
#pragma once

#include <string>

#include "launcher/LaunchSettings.h"
#include "shell/Show.h"

namespace kvx::shell {

struct CommandLine {
    std::string dataDir;   // --data: read the show from this folder
    std::string packFile;  // --pack: read the show from this pack file
    bool check = false;    // parse the script, report it and exit
    bool headless = false;
    bool launcher = true;            // false once a display flag chose the settings
    std::string record;              // a folder for frames and sound, or FILE.mp4
    std::string launcherScreenshot;  // write the launcher dialog here as PNG and end
    // Settings, frame rate and screenshot as the flags give them; the
    // launcher and headless fields are start-up's to fill in.
    ShowOptions show;

    bool recordsVideo() const;
};

// Parses argv into line. Returns -1 when the program goes on, otherwise the
// exit status it ends with (0 after --help or --version, 1 or more after a
// bad argument, whose reason is printed).
int parseCommandLine(int argc, char** argv, const std::string& version, CommandLine& line);

}  // namespace kvx::shell
