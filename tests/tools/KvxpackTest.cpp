// kvxpack: a real directory packed, listed and read back through the Vfs,
// byte for byte, compressed and stored; and the errors it must report.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/TempDir.h"
#include "vfs/PackImage.h"
#include "vfs/PackWriter.h"
#include "vfs/Vfs.h"
#include "vfs/VfsFile.h"

using kvx::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out;
};

Result kvxpack(const std::string& args) {
    std::string command = std::string(KVX_BIN_DIR) + "/kvxpack " + args + " 2>&1";
    Result r{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return r;
    }
    char buf[512];
    while (fgets(buf, sizeof(buf), pipe) != nullptr) {
        r.out += buf;
    }
    int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
        Result created = kvxpack("create " + pack + " " + (dir / "show") + flag);
        ASSERT_EQ(created.status, 0) << created.out;

        Result listed = kvxpack("list " + pack);
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
            EXPECT_EQ(bytes, slurp(dir.path() / "show" / name)) << name;
            ++rows;
        }
        EXPECT_EQ(rows, 4);
        EXPECT_TRUE(kvx::vfs::VfsFile("GFX\\logo.tga").good());

        Result extracted = kvxpack("extract " + pack + " " + (dir / "out"));
        ASSERT_EQ(extracted.status, 0) << extracted.out;
        EXPECT_EQ(slurp(dir.path() / "out/music.m"), slurp(dir.path() / "show/music.m"));
        EXPECT_EQ(slurp(dir.path() / "out/gfx/Logo.TGA"), std::string(70000, '\x42'));
        fs::remove_all(dir.path() / "out");
    }
    kvx::vfs::Vfs::reset();
}

TEST(Kvxpack, ErrorsAreReported) {
    TempDir dir;
    Result noDir = kvxpack("create " + (dir / "x.kvx") + " " + (dir / "absent"));
    EXPECT_NE(noDir.status, 0);
    EXPECT_NE(noDir.out.find("not a directory"), std::string::npos);

    Result noPack = kvxpack("list " + (dir / "absent.kvx"));
    EXPECT_NE(noPack.status, 0);
    EXPECT_NE(noPack.out.find("cannot open"), std::string::npos);

    dir.write("wrong.kvx", "not a pack at all");
    Result wrong = kvxpack("list " + (dir / "wrong.kvx"));
    EXPECT_NE(wrong.status, 0);
    EXPECT_NE(wrong.out.find("wrong magic"), std::string::npos);

    EXPECT_NE(kvxpack("").status, 0);
    EXPECT_NE(kvxpack("bogus").status, 0);

    // A pack whose entry names climb out of the target is refused.
    std::optional<kvx::vfs::Bytes> evil =
        kvx::vfs::buildPackImage({{"../escape.txt", {'x'}}}, nullptr);
    ASSERT_TRUE(kvx::vfs::writePackFile(dir / "evil.kvx", *evil, true, nullptr));
    Result refused = kvxpack("extract " + (dir / "evil.kvx") + " " + (dir / "in"));
    EXPECT_NE(refused.status, 0);
    EXPECT_FALSE(fs::exists(dir.path() / "escape.txt"));
}

TEST(PackImage, GrowsPastAWrongSizeHint) {
    // Two gzip members back to back are one valid gzip file whose trailer
    // only knows the second member's size: the reader must grow past it.
    TempDir dir;
    std::string first(3 << 20, 'a');
    std::string second(1000, 'b');
    ASSERT_TRUE(kvx::vfs::writePackFile(dir / "a.gz", kvx::vfs::Bytes(first.begin(), first.end()),
                                        false, nullptr));
    ASSERT_TRUE(kvx::vfs::writePackFile(dir / "b.gz", kvx::vfs::Bytes(second.begin(), second.end()),
                                        false, nullptr));
    std::string joined = slurp(dir.path() / "a.gz") + slurp(dir.path() / "b.gz");
    dir.write("joined.gz", joined);
    std::optional<kvx::vfs::PackImage> image = kvx::vfs::readPackImage(dir / "joined.gz");
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->size(), first.size() + second.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image->data()), image->size()),
              first + second);
    EXPECT_FALSE(kvx::vfs::readPackImage(dir / "absent.gz").has_value());
}
