// Texture upload on a headless GL context: formats, sizes and failures.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <filesystem>
#include <fstream>

#include "assets/Texture.h"
#include "platform/video/Video.h"
#include "support/SuiteWindow.h"
#include "support/TgaBuilder.h"
#include "vfs/Vfs.h"

namespace kvx::assets {
namespace {

namespace fs = std::filesystem;
using test::makeTga;

class TextureTest : public test::SuiteWindow {
  protected:
    void SetUp() override {
        ASSERT_NE(window_, nullptr) << "no GL context";
        // ctest runs the cases in parallel: each gets its own folder.
        dir_ = fs::temp_directory_path() /
               ("kvx_texture_test_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir_);
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.string());
    }
    void TearDown() override {
        vfs::Vfs::reset();
        fs::remove_all(dir_);
    }
    void write(const char* name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    // The bound texture's level 0 as RGBA bytes.
    static std::vector<uint8_t> readBack(int* side) {
        GLint w = 0;
        GLint h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(w, h);
        *side = w;
        std::vector<uint8_t> out(static_cast<size_t>(w * h * 4));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }

    fs::path dir_;
};

TEST_F(TextureTest, Uploads24BitAsOpaqueRgbaWithLinearFilters) {
    write("a.tga", makeTga(300, 200, 24, [](int, int row, int c) {
              return c == 2 ? 200 : c == 1 ? 100 : row % 200;
          }));
    int name = loadTexture("a.tga");
    ASSERT_GT(name, 0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, name);
    int side = 0;
    auto px = readBack(&side);
    EXPECT_EQ(side, 256);
    EXPECT_EQ(px[0], 200);  // red
    EXPECT_EQ(px[1], 100);  // green
    EXPECT_EQ(px[2], 199);  // texture row 0 is the file's last row
    EXPECT_EQ(px[3], 255);  // RGB sources still get four components
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    GLuint n = static_cast<GLuint>(name);
    glDeleteTextures(1, &n);
}

TEST_F(TextureTest, Uploads32BitWithAlphaAndRoundsUp) {
    write("b.tga", makeTga(100, 60, 32, [](int, int, int c) { return c == 3 ? 64 : 128; }));
    int name = loadTexture("b.tga");
    ASSERT_GT(name, 0);
    int side = 0;
    auto px = readBack(&side);
    EXPECT_EQ(side, 128);  // 100 >= 0.75 * 128
    EXPECT_EQ(px[3], 64);
    EXPECT_EQ(px[(side * side - 1) * 4 + 3], 64);
    GLuint n = static_cast<GLuint>(name);
    glDeleteTextures(1, &n);
}

TEST_F(TextureTest, OnePixelRgbSideWorks) {
    write("c.tga", makeTga(1, 1, 24, [](int, int, int c) { return 10 * (c + 1); }));
    int name = loadTexture("c.tga");
    ASSERT_GT(name, 0);
    int side = 0;
    auto px = readBack(&side);
    EXPECT_EQ(side, 1);
    EXPECT_EQ(px[0], 30);
    EXPECT_EQ(px[1], 20);
    EXPECT_EQ(px[2], 10);
    GLuint n = static_cast<GLuint>(name);
    glDeleteTextures(1, &n);
}

TEST_F(TextureTest, FailuresGiveMinusOneAndZero) {
    EXPECT_EQ(loadTexture("missing.tga"), -1);
    write("rle.tga", makeTga(
                         4, 4, 24, [](int, int, int) { return 0; }, 10));
    EXPECT_EQ(loadTexture("rle.tga"), -1);
    write("grey.tga", makeTga(4, 4, 8, [](int, int, int) { return 0; }));
    EXPECT_EQ(loadTexture("grey.tga"), 0);
    write("short.tga", std::vector<uint8_t>{0, 0, 2, 0});
    EXPECT_EQ(loadTexture("short.tga"), -1);
}

TEST_F(TextureTest, TexturingIsSwitchedOnOnceAnImageLoaded) {
    // A file that cannot be loaded changes nothing.
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(loadTexture("missing.tga"), -1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    // An image that loads switches 2D texturing on, even when its pixel
    // size then makes the upload give up.
    write("grey.tga", makeTga(4, 4, 8, [](int, int, int) { return 0; }));
    EXPECT_EQ(loadTexture("grey.tga"), 0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glDisable(GL_TEXTURE_2D);
}

}  // namespace
}  // namespace kvx::assets
