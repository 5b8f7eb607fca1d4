// kvxpack: builds, lists and unpacks the pack files a show can be shipped in.
//
//   kvxpack create OUT DIR [--store]   every file below DIR, named relative to
//                                      DIR with '/', gzip-compressed unless
//                                      --store
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

// Reads a pack's content and directory, or says why not.
bool openPack(const std::string& pack, kvx::vfs::PackImage& image,
              std::vector<kvx::vfs::PackEntry>& entries) {
    std::error_code ec;
    if (!fs::is_regular_file(pack, ec)) {
        fail("cannot open '" + pack + "'");
        return false;
    }
    std::optional<kvx::vfs::PackImage> content = kvx::vfs::readPackImage(pack);
    if (!content) {
        fail("cannot read '" + pack + "'");
        return false;
    }
    if (!kvx::vfs::parsePackDirectory(content->data(), content->size(), entries)) {
        fail("'" + pack + "' is not a pack (wrong magic)");
        return false;
    }
    image = std::move(*content);
    return true;
}

int list(const std::string& pack) {
    kvx::vfs::PackImage image;
    std::vector<kvx::vfs::PackEntry> entries;
    if (!openPack(pack, image, entries)) {
        return 1;
    }
    for (const kvx::vfs::PackEntry& e : entries) {
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
    kvx::vfs::PackImage image;
    std::vector<kvx::vfs::PackEntry> entries;
    if (!openPack(pack, image, entries)) {
        return 1;
    }
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
