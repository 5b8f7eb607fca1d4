// kvxpack: a real directory packed, listed and read back through the Vfs,
// byte for byte, compressed and stored; and the errors it must report.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "support/PackFiles.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"
#include "vfs/PackImage.h"
#include "vfs/PackWriter.h"
#include "vfs/Vfs.h"
#include "vfs/VfsFile.h"

using kvx::test::readFileText;
using kvx::test::TempDir;
using kvx::test::ToolRun;
namespace fs = std::filesystem;

namespace {

ToolRun kvxpack(const std::string& args) {
    return kvx::test::runTool("kvxpack", args);
}

// The peak resident size, in kilobytes, of kvxpack run with args through a
// shell of its own (the shell's waited-for children count in its usage), or
// -1 when it fails.
long peakKilobytes(const std::string& args) {
    const std::string command = std::string(KVX_BIN_DIR) + "/kvxpack " + args;
    char sh[] = "/bin/sh";
    char dashC[] = "-c";
    std::string text = command;
    char* argv[] = {sh, dashC, text.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, sh, nullptr, nullptr, argv, environ) != 0) {
        return -1;
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

// A small show folder: text, binary with every byte value, a nested file and
// an empty one.
void makeShow(const TempDir& dir) {
    dir.write("show/script.zel", "<ZEL>\n</ZEL>\n");
    std::string binary;
    for (int i = 0; i < 3000; ++i) {
        binary += static_cast<char>((i * 7) & 0xFF);
    }
    dir.write("show/music.m", binary);
    dir.write("show/gfx/Logo.TGA", std::string(70000, '\x42'));
    dir.write("show/empty.txt", "");
}

}  // namespace

TEST(Kvxpack, RoundTripThroughTheVfs) {
    TempDir dir;
    makeShow(dir);
    for (const char* flag : {"", " --store"}) {
        std::string pack = dir / "show.kvx";
        ToolRun created = kvxpack("create " + pack + " " + (dir / "show") + flag);
        ASSERT_EQ(created.status, 0) << created.out;

        ToolRun listed = kvxpack("list " + pack);
        ASSERT_EQ(listed.status, 0) << listed.out;
        kvx::vfs::Vfs::init(pack.c_str());
        ASSERT_TRUE(kvx::vfs::Vfs::packMode());
        ASSERT_EQ(kvx::vfs::Vfs::entryCount(), 4);

        // The listing and the reader agree on every name, offset and size,
        // and the bytes are the files' bytes.
        std::istringstream lines(listed.out);
        std::string name;
        int offset = 0;
        int size = 0;
        int rows = 0;
        while (lines >> name >> offset >> size) {
            const kvx::vfs::PackEntry& e = kvx::vfs::Vfs::entries()[static_cast<size_t>(rows)];
            EXPECT_EQ(name, e.name.str());
            EXPECT_EQ(offset, e.offset);
            EXPECT_EQ(size, e.size);
            kvx::vfs::VfsFile f(name.c_str());
            ASSERT_TRUE(f.good()) << name;
            std::string bytes(static_cast<size_t>(f.length()), '\0');
            EXPECT_EQ(f.read(bytes.data(), f.length()), f.length());
            EXPECT_EQ(bytes, readFileText(dir.path() / "show" / name)) << name;
            ++rows;
        }
        EXPECT_EQ(rows, 4);
        EXPECT_TRUE(kvx::vfs::VfsFile("GFX\\logo.tga").good());

        ToolRun extracted = kvxpack("extract " + pack + " " + (dir / "out"));
        ASSERT_EQ(extracted.status, 0) << extracted.out;
        EXPECT_EQ(readFileText(dir.path() / "out/music.m"),
                  readFileText(dir.path() / "show/music.m"));
        EXPECT_EQ(readFileText(dir.path() / "out/gfx/Logo.TGA"), std::string(70000, '\x42'));
        fs::remove_all(dir.path() / "out");
    }
    kvx::vfs::Vfs::reset();
}

TEST(Kvxpack, LargeShowsPackIntoMembersThatEveryGzipReaderReads) {
    // Two and a half megabytes of content: several gzip members, which the
    // loader inflates side by side and gzread reads as one stream.
    TempDir dir;
    std::string big(5u << 19, '\0');
    for (size_t k = 0; k < big.size(); ++k) {
        big[k] = static_cast<char>((k * k / 5 + k / 1000) & 0xFF);
    }
    dir.write("show/gfx/sky.tga", big);
    dir.write("show/script.zel", "<ZEL>\n</ZEL>\n");
    const std::string pack = dir / "show.kvx";
    ToolRun created = kvxpack("create " + pack + " " + (dir / "show"));
    ASSERT_EQ(created.status, 0) << created.out;

    std::optional<kvx::vfs::LoadedPack> loaded =
        kvx::vfs::loadPack(pack, kvx::vfs::PackScope::AllEntries);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_GE(loaded->members, 3u);
    std::optional<kvx::vfs::Bytes> gunzipped = kvx::test::gunzipFile(pack);
    ASSERT_TRUE(gunzipped.has_value());
    EXPECT_EQ(
        std::string(gunzipped->begin(), gunzipped->end()),
        std::string(reinterpret_cast<const char*>(loaded->image.data()), loaded->image.size()));

    kvx::vfs::Vfs::init(pack.c_str());
    std::optional<kvx::vfs::Bytes> sky = kvx::vfs::Vfs::readAll("GFX/SKY.TGA");
    ASSERT_TRUE(sky.has_value());
    EXPECT_EQ(std::string(sky->begin(), sky->end()), big);
    kvx::vfs::Vfs::reset();
    ToolRun extracted = kvxpack("extract " + pack + " " + (dir / "out"));
    ASSERT_EQ(extracted.status, 0) << extracted.out;
    EXPECT_EQ(readFileText(dir.path() / "out/gfx/sky.tga"), big);
}

TEST(Kvxpack, ErrorsAreReported) {
    TempDir dir;
    ToolRun noDir = kvxpack("create " + (dir / "x.kvx") + " " + (dir / "absent"));
    EXPECT_NE(noDir.status, 0);
    EXPECT_NE(noDir.out.find("not a directory"), std::string::npos);

    ToolRun noPack = kvxpack("list " + (dir / "absent.kvx"));
    EXPECT_NE(noPack.status, 0);
    EXPECT_NE(noPack.out.find("cannot open"), std::string::npos);

    dir.write("wrong.kvx", "not a pack at all");
    ToolRun wrong = kvxpack("list " + (dir / "wrong.kvx"));
    EXPECT_NE(wrong.status, 0);
    EXPECT_NE(wrong.out.find("wrong magic"), std::string::npos);

    EXPECT_NE(kvxpack("").status, 0);
    EXPECT_NE(kvxpack("bogus").status, 0);

    // A pack whose entry names climb out of the target is refused.
    std::optional<kvx::vfs::Bytes> evil =
        kvx::vfs::buildPackImage({{"../escape.txt", {'x'}}}, nullptr);
    ASSERT_TRUE(kvx::vfs::writePackFile(dir / "evil.kvx", *evil, true, nullptr));
    ToolRun refused = kvxpack("extract " + (dir / "evil.kvx") + " " + (dir / "in"));
    EXPECT_NE(refused.status, 0);
    EXPECT_FALSE(fs::exists(dir.path() / "escape.txt"));
}

TEST(Kvxpack, CutDirectoriesAreReportedAsTruncated) {
    // The player keeps the entries read so far; the tool says the pack is
    // damaged, for a listing and an unpack alike.
    TempDir dir;
    kvx::vfs::Bytes cutName = kvx::test::packHeader(2);
    kvx::test::putEntry(cutName, "first", 40, 2);
    cutName.insert(cutName.end(), {'s', 'c', 'r'});
    kvx::vfs::Bytes cutCount = kvx::test::packHeader(1);
    cutCount.resize(9);
    const std::pair<const char*, kvx::vfs::Bytes> cases[] = {
        {"magic.kvx", {'k', 'v', 'x', 'v', 'f', 's'}},
        {"count.kvx", cutCount},
        {"name.kvx", cutName},
        {"namez.kvx", kvx::test::gzipMember(cutName)}};
    for (const auto& [name, bytes] : cases) {
        dir.write(name, bytes);
        for (const std::string command : {"list ", "extract "}) {
            ToolRun r =
                kvxpack(command + (dir / name) + (command == "list " ? "" : " " + (dir / "out")));
            EXPECT_EQ(r.status, 1) << command << name;
            EXPECT_NE(r.out.find("directory is truncated"), std::string::npos)
                << command << name << ": " << r.out;
        }
    }
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "first"));
}

TEST(Kvxpack, ZeroBombStaysSmallInMemory) {
    // Half a megabyte of gzip holding one entry and 512 MiB of zeros: listing
    // and unpacking it must not decompress what no entry reaches.
    TempDir dir;
    dir.write("bomb.kvx", kvx::test::zeroBomb(512u << 20));
    ASSERT_LT(fs::file_size(dir.path() / "bomb.kvx"), 600u * 1024);
    ToolRun listed = kvxpack("list " + (dir / "bomb.kvx"));
    ASSERT_EQ(listed.status, 0) << listed.out;
    EXPECT_EQ(listed.out.substr(0, 2), "a ");
    ToolRun extracted = kvxpack("extract " + (dir / "bomb.kvx") + " " + (dir / "out"));
    ASSERT_EQ(extracted.status, 0) << extracted.out;
    EXPECT_EQ(readFileText(dir.path() / "out" / "a"), "data");

    const std::string out = " > " + (dir / "out.txt");
    EXPECT_LT(peakKilobytes("list " + (dir / "bomb.kvx") + out), 64 * 1024);
    EXPECT_LT(peakKilobytes("extract " + (dir / "bomb.kvx") + " " + (dir / "out2") + out),
              64 * 1024);
}

TEST(PackImage, GrowsPastAWrongSizeHint) {
    // Two gzip members back to back are one valid gzip file whose trailer
    // only knows the second member's size: the reader must grow past it.
    TempDir dir;
    std::vector<kvx::vfs::PackInput> inputs = {{"a", kvx::vfs::Bytes(3 << 20, 'a')},
                                               {"b", kvx::vfs::Bytes(1000, 'b')}};
    const kvx::vfs::Bytes content = *kvx::vfs::buildPackImage(inputs, nullptr);
    const size_t cut = content.size() - 1000;
    ASSERT_TRUE(kvx::vfs::writePackFile(
        dir / "a.gz", kvx::vfs::Bytes(content.begin(), content.begin() + cut), false, nullptr));
    ASSERT_TRUE(kvx::vfs::writePackFile(
        dir / "b.gz", kvx::vfs::Bytes(content.begin() + cut, content.end()), false, nullptr));
    std::string joined = readFileText(dir.path() / "a.gz") + readFileText(dir.path() / "b.gz");
    dir.write("joined.gz", joined);
    std::optional<kvx::vfs::LoadedPack> pack =
        kvx::vfs::loadPack(dir / "joined.gz", kvx::vfs::PackScope::AllEntries);
    ASSERT_TRUE(pack.has_value());
    ASSERT_EQ(pack->image.size(), content.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pack->image.data()), pack->image.size()),
              std::string(content.begin(), content.end()));
    EXPECT_FALSE(
        kvx::vfs::loadPack(dir / "absent.gz", kvx::vfs::PackScope::AllEntries).has_value());
}
