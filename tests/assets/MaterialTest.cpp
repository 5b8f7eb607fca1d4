// Material files: keys, the show's number and colour syntax, texture
// references and how many blocks are stored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/Material.h"
#include "assets/MeshWriter.h"
#include "core/Globals.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

namespace kvx::assets {
namespace {

// Reads text into up to capacity materials; file textures get the ids 100,
// 101, ... in the order they are named, recorded in `loaded`.
struct Reader {
    std::vector<std::string> loaded;
    std::vector<Material> materials;

    int read(const std::string& text, int capacity = 4) {
        materials.assign(static_cast<size_t>(capacity), Material{});
        return readMaterials(text, materials.data(), capacity, [this](const core::String& name) {
            loaded.push_back(name.str());
            return 99 + static_cast<int>(loaded.size());
        });
    }
    const Material& operator[](size_t i) const { return materials.at(i); }
};

TEST(MaterialNumber, DigitsAndOneFractionOnly) {
    EXPECT_FLOAT_EQ(parseMaterialNumber("1"), 1.0f);
    EXPECT_FLOAT_EQ(parseMaterialNumber(" -0.5 "), -0.5f);
    EXPECT_FLOAT_EQ(parseMaterialNumber("2e3"), 2.0f);  // no exponents
    EXPECT_FLOAT_EQ(parseMaterialNumber("1.25.5"), 1.25f);
    EXPECT_FLOAT_EQ(parseMaterialNumber(".75"), 0.75f);
    EXPECT_FLOAT_EQ(parseMaterialNumber("+3"), 3.0f);
    EXPECT_FLOAT_EQ(parseMaterialNumber(""), 0.0f);
    EXPECT_FLOAT_EQ(parseMaterialNumber("x12"), 0.0f);
    EXPECT_FLOAT_EQ(parseMaterialNumber("12abc"), 12.0f);
}

TEST(MaterialColour, ParenthesesAndSeparators) {
    EXPECT_EQ(parseMaterialColour("(1, 0.5, 0.25, 1)"),
              (std::array<float, 4>{1.0f, 0.5f, 0.25f, 1.0f}));
    // Without the opening parenthesis the colour is zero.
    EXPECT_EQ(parseMaterialColour("1, 0.5, 0.25, 1)"), (std::array<float, 4>{0, 0, 0, 0}));
    // A missing closing parenthesis leaves alpha at 0.
    EXPECT_EQ(parseMaterialColour("(1,1,1,1"), (std::array<float, 4>{1, 1, 1, 0}));
    // Missing commas leave their components at 0.
    EXPECT_EQ(parseMaterialColour("(0.5)"), (std::array<float, 4>{0, 0, 0, 0.5f}));
    EXPECT_EQ(parseMaterialColour("("), (std::array<float, 4>{0, 0, 0, 0}));
}

TEST(MaterialFile, KeysFillTheMaterialInOrder) {
    Reader r;
    EXPECT_EQ(r.read("# a comment\n"
                     "\n"
                     "  Diffuse = (1, 0.5, 0.25, 1)  \r\n"
                     "specular=(0.1,0.2,0.3,0.4)\n"
                     "ShiNiness = 42\n"
                     "diffuse\n"  // no "=": ignored
                     "colour = (1, 1, 1, 1)\n"
                     "reflectiveness = -0.5\n"
                     "texture = skin.tga \n"
                     "END\n"),
              1);
    EXPECT_EQ(r[0].diffuse, (std::array<float, 4>{1.0f, 0.5f, 0.25f, 1.0f}));
    EXPECT_EQ(r[0].specular, (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_FLOAT_EQ(r[0].shininess, 42.0f);
    EXPECT_FLOAT_EQ(r[0].reflectiveness, -0.5f);
    ASSERT_EQ(r.loaded, std::vector<std::string>{"skin.tga"});
    EXPECT_EQ(r[0].texture, 100);
    EXPECT_EQ(r[0].reflectionTexture, -1);
}

TEST(MaterialFile, EachBlockStartsFromTheDefaults) {
    Reader r;
    EXPECT_EQ(r.read("diffuse = (1,1,1,1)\nshininess = 3\nend\nspecular = (1,0,0,1)\nend\n"), 2);
    EXPECT_EQ(r[1].diffuse, (std::array<float, 4>{0, 0, 0, 0}));
    EXPECT_FLOAT_EQ(r[1].shininess, 10.0f);
    EXPECT_EQ(r[1].texture, -1);
    EXPECT_FLOAT_EQ(r[1].specular[0], 1.0f);
}

TEST(MaterialFile, CapacityAndUnclosedBlocks) {
    Reader r;
    // Three blocks for two materials: the first two are stored.
    EXPECT_EQ(r.read("shininess = 1\nend\nshininess = 2\nend\nshininess = 3\nend\n", 2), 2);
    EXPECT_FLOAT_EQ(r[1].shininess, 2.0f);
    // A block without "end" is not stored; the entry keeps what it had.
    r.materials.clear();
    EXPECT_EQ(r.read("shininess = 1\nend\nshininess = 7\n"), 1);
    EXPECT_FLOAT_EQ(r[1].shininess, 10.0f);
    // No room at all.
    EXPECT_EQ(readMaterials("shininess = 1\nend\n", nullptr, 5, nullptr), 0);
    // The last line needs no line feed.
    EXPECT_EQ(r.read("shininess = 5\nend"), 1);
}

TEST(MaterialFile, SharedPictureReferences) {
    Reader r;
    r.read(
        "reflection = $0\nend\n"
        "reflection = $0\nreflectiveness = 0.3\nend\n"
        "texture = $2\nreflection = $3\nend\n"
        "texture = $a\nreflection = $b\nend\n");
    EXPECT_EQ(r[0].reflectionTexture, -256);
    EXPECT_FLOAT_EQ(r[0].reflectiveness, 1.0f);
    EXPECT_FLOAT_EQ(r[1].reflectiveness, 0.3f);
    EXPECT_EQ(r[2].texture, -254);
    EXPECT_EQ(r[2].reflectionTexture, -1);
    EXPECT_FLOAT_EQ(r[2].reflectiveness, 0.0f);  // no reflection, no reflectiveness
    EXPECT_EQ(r[3].texture, -1);
    EXPECT_EQ(r[3].reflectionTexture, -1);
    EXPECT_TRUE(r.loaded.empty());  // none of them is a file

    // Only "$" and exactly one character is a shared picture; "$" alone or
    // with more characters is a file name like any other.
    std::vector<std::string> files;
    auto load = [&files](const core::String& name) {
        files.push_back(name.str());
        return 7;
    };
    EXPECT_EQ(parseTextureReference("$1", load), -255);
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(parseTextureReference("$", load), 7);
    EXPECT_EQ(parseTextureReference("$12", load), 7);
    EXPECT_EQ(parseTextureReference("sky.tga", load), 7);
    EXPECT_EQ(files, (std::vector<std::string>{"$", "$12", "sky.tga"}));
}

TEST(MaterialFile, TheSharedPictureLimitIsTheProcesssOwn) {
    std::atomic<int>& limit = core::globals().materialLevelLimit;
    const int saved = limit.load();
    limit = 1;
    EXPECT_EQ(parseTextureReference("$2", nullptr), -1);
    EXPECT_EQ(parseTextureReference("$1", nullptr), -255);
    limit = saved;
}

TEST(MaterialFile, MissingFileLeavesTheMaterials) {
    test::TempDir dir;
    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(dir.path().string());
    Material m;
    m.shininess = 77.0f;
    loadMaterials("nothing.materials", &m, 1);
    EXPECT_FLOAT_EQ(m.shininess, 77.0f);
    dir.write("a.materials", "shininess = 12.5\nend\n");
    loadMaterials("a.materials", &m, 1);
    EXPECT_FLOAT_EQ(m.shininess, 12.5f);
    vfs::Vfs::reset();
}

TEST(MaterialWriter, WrittenMaterialsReadBack) {
    MaterialSpec a;
    a.diffuse = {1.0f, 0.25f, 0.0000001f, 1.0f};  // tiny values must not turn into exponents
    a.specular = {12345.5f, -0.75f, 0.0f, 1.0f};
    a.shininess = 64.0f;
    a.texture = "wood.tga";
    MaterialSpec b;
    b.reflection = "$0";
    b.reflectiveness = 0.4f;
    Reader r;
    ASSERT_EQ(r.read(formatMaterials({a, b})), 2);
    EXPECT_EQ(r[0].diffuse, (std::array<float, 4>{1.0f, 0.25f, 0.0f, 1.0f}));
    EXPECT_FLOAT_EQ(r[0].specular[0], 12345.5f);
    EXPECT_FLOAT_EQ(r[0].specular[1], -0.75f);
    EXPECT_FLOAT_EQ(r[0].shininess, 64.0f);
    EXPECT_EQ(r.loaded, std::vector<std::string>{"wood.tga"});
    EXPECT_EQ(r[1].reflectionTexture, -256);
    EXPECT_FLOAT_EQ(r[1].reflectiveness, 0.4f);
    EXPECT_EQ(formatMaterialNumber(2.0f), "2");
    EXPECT_EQ(formatMaterialNumber(-0.0f), "0");
    EXPECT_EQ(formatMaterialNumber(1e20f).find('e'), std::string::npos);
}

}  // namespace
}  // namespace kvx::assets
