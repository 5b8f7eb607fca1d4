// kvxpack: builds, lists and unpacks the pack files a show can be shipped in.
//
//   kvxpack create OUT DIR [--store]   every file below DIR, named relative to
//                                      DIR with '/', gzip-compressed (in
//                                      members of 1 MiB of content that
//                                      record their lengths) unless --store
//   kvxpack list PACK                  name, offset and size of each entry
//   kvxpack extract PACK DIR           every entry written below DIR
//
// Exits 0 on success, 1 with a message on stderr on any error.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "vfs/FileIo.h"
#include "vfs/PackImage.h"
#include "vfs/PackWriter.h"
#include "vfs/Vfs.h"

namespace fs = std::filesystem;
using kvx::vfs::Bytes;

namespace {

int fail(const std::string& message) {
    std::cerr << "kvxpack: " << message << "\n";
    return 1;
}

int create(const std::string& out, const std::string& dir, bool store) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        return fail("'" + dir + "' is not a directory");
    }
    std::vector<fs::path> files;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) {
            files.push_back(it->path());
        }
    }
    if (ec) {
        return fail("cannot read '" + dir + "': " + ec.message());
    }
    std::sort(files.begin(), files.end());
    std::vector<kvx::vfs::PackInput> inputs;
    for (const fs::path& file : files) {
        kvx::vfs::PackInput in;
        in.name = fs::relative(file, dir).generic_string();
        std::optional<Bytes> data = kvx::vfs::readFile(file.string());
        if (!data) {
            return fail("cannot read '" + file.string() + "'");
        }
        in.data = std::move(*data);
        inputs.push_back(std::move(in));
    }
    std::string error;
    std::optional<Bytes> image = kvx::vfs::buildPackImage(inputs, &error);
    if (!image) {
        return fail(error);
    }
    if (!kvx::vfs::writePackFile(out, *image, store, &error)) {
        return fail(error);
    }
    std::cout << "kvxpack: wrote " << inputs.size() << " entries to " << out
              << (store ? " (stored)" : " (gzip)") << "\n";
    return 0;
}

// Loads a pack for the given use, or says why not. A listing and an unpack
// need the whole directory: one that is cut off or too large is an error.
std::optional<kvx::vfs::LoadedPack> openPack(const std::string& pack, kvx::vfs::PackScope scope) {
    using Status = kvx::vfs::PackDirectory::Status;
    std::error_code ec;
    kvx::vfs::PackError why = kvx::vfs::PackError::CannotOpen;
    std::optional<kvx::vfs::LoadedPack> loaded;
    if (fs::is_regular_file(pack, ec)) {
        loaded = kvx::vfs::loadPack(pack, scope, &why);
    }
    if (why == kvx::vfs::PackError::CannotOpen) {
        fail("cannot open '" + pack + "'");
        return std::nullopt;
    }
    if (why == kvx::vfs::PackError::NotAPack) {
        fail("'" + pack + "' is not a pack (wrong magic)");
        return std::nullopt;
    }
    if (!loaded) {
        fail("cannot read '" + pack + "': the compressed data is corrupt");
        return std::nullopt;
    }
    const kvx::vfs::PackDirectory& dir = loaded->directory;
    const std::string counts = std::to_string(dir.entries.size()) + " of " +
                               std::to_string(std::max<int32_t>(dir.count, 0)) + " entries";
    if (dir.status == Status::Truncated) {
        fail("'" + pack + "': the directory is truncated after " + counts);
        return std::nullopt;
    }
    if (dir.status == Status::TooLarge) {
        fail("'" + pack + "': the directory is too large (more than " +
             std::to_string(kvx::vfs::kMaxEntries) + " entries or " +
             std::to_string(kvx::vfs::kMaxDirectoryBytes) + " bytes), stopped after " + counts);
        return std::nullopt;
    }
    return loaded;
}

int list(const std::string& pack) {
    std::optional<kvx::vfs::LoadedPack> loaded = openPack(pack, kvx::vfs::PackScope::DirectoryOnly);
    if (!loaded) {
        return 1;
    }
    for (const kvx::vfs::PackEntry& e : loaded->directory.entries) {
        std::printf("%-40s %10d %10d\n", e.name.text(), e.offset, e.size);
    }
    return 0;
}

// True for a name that would land outside the target folder.
bool escapes(const fs::path& name) {
    if (name.is_absolute() || name.has_root_name()) {
        return true;
    }
    return std::any_of(name.begin(), name.end(), [](const fs::path& p) { return p == ".."; });
}

int extract(const std::string& pack, const std::string& dir) {
    std::optional<kvx::vfs::LoadedPack> loaded = openPack(pack, kvx::vfs::PackScope::AllEntries);
    if (!loaded) {
        return 1;
    }
    const kvx::vfs::PackImage& image = loaded->image;
    const std::vector<kvx::vfs::PackEntry>& entries = loaded->directory.entries;
    for (const kvx::vfs::PackEntry& e : entries) {
        std::string name(e.name.view());
        std::replace(name.begin(), name.end(), '\\', '/');
        fs::path relative(name);
        if (escapes(relative)) {
            return fail("entry '" + name + "' would be written outside '" + dir + "'");
        }
        if (e.offset <= 0 || e.size < 0 || static_cast<size_t>(e.offset) > image.size() ||
            static_cast<size_t>(e.size) > image.size() - static_cast<size_t>(e.offset)) {
            return fail("entry '" + name + "' lies outside the pack");
        }
        fs::path target = fs::path(dir) / relative;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        std::ofstream out(target, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data() + e.offset), e.size);
        if (!out) {
            return fail("cannot write '" + target.string() + "'");
        }
    }
    std::cout << "kvxpack: extracted " << entries.size() << " entries to " << dir << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvxpack: build, list and unpack kvx pack files"};
    app.require_subcommand(1);

    std::string out, dir, pack;
    bool store = false;
    CLI::App* createCmd = app.add_subcommand("create", "pack every file below DIR into OUT");
    createCmd->add_option("OUT", out, "pack file to write")->required();
    createCmd->add_option("DIR", dir, "directory to pack")->required();
    createCmd->add_flag("--store", store, "store uncompressed instead of gzip");

    CLI::App* listCmd = app.add_subcommand("list", "list the entries of PACK");
    listCmd->add_option("PACK", pack, "pack file")->required();

    std::string extractDir;
    CLI::App* extractCmd = app.add_subcommand("extract", "write every entry of PACK below DIR");
    extractCmd->add_option("PACK", pack, "pack file")->required();
    extractCmd->add_option("DIR", extractDir, "target directory")->required();

    CLI11_PARSE(app, argc, argv);
    if (*createCmd) {
        return create(out, dir, store);
    }
    if (*listCmd) {
        return list(pack);
    }
    return extract(pack, extractDir);
}
