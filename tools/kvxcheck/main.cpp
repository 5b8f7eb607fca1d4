// kvxcheck: reads a show's script.zel through the Vfs, like the player, and
// reports the first error (exit 1) or what the script declares and which
// layers it draws in which order (exit 0).
//
//   kvxcheck [DIR | PACK]
//
// DIR is a data directory (default "data"); a file argument is opened as a
// pack, falling back to the data directory when it is none.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <string>

#include "script/CheckReport.h"
#include "vfs/Vfs.h"

int main(int argc, char** argv) {
    CLI::App app{"Checks a show's script.zel and lists its layers in drawing order."};
    std::string source = "data";
    app.add_option("source", source, "data directory or pack file (default: data)");
    CLI11_PARSE(app, argc, argv);

    std::error_code ec;
    if (std::filesystem::is_directory(source, ec)) {
        kvx::vfs::Vfs::init(nullptr);
        kvx::vfs::Vfs::setDataDirectory(source);
    } else if (std::filesystem::exists(source, ec)) {
        kvx::vfs::Vfs::init(source.c_str());
        if (!kvx::vfs::Vfs::packMode()) {
            std::cerr << source << ": error: not a pack file\n";
            return 1;
        }
    } else {
        std::cerr << source << ": error: no such directory or pack file\n";
        return 1;
    }
    return kvx::script::checkShow(std::cout, std::cerr);
}
