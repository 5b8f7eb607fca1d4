// kvxsheet as a user runs it: pictures written as PNG files, the sheet read
// back pixel by pixel (layout, gaps, box-filtered scaling), and refused input.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace kvx::tools {
namespace {

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> px;  // RGB, top row first

    std::array<int, 3> at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 3;
        return {px[i], px[i + 1], px[i + 2]};
    }
};

Rgb solid(int w, int h, std::array<uint8_t, 3> c) {
    Rgb p{w, h, {}};
    for (int i = 0; i < w * h; ++i) {
        p.px.insert(p.px.end(), c.begin(), c.end());
    }
    return p;
}

class Kvxsheet : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const Rgb& p) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(p.width);
        image.height = static_cast<png_uint_32>(p.height);
        image.format = PNG_FORMAT_RGB;
        EXPECT_NE(
            png_image_write_to_file(&image, (dir_ / name).c_str(), 0, p.px.data(), 0, nullptr), 0);
        return dir_ / name;
    }
    Rgb read(const std::string& name) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        Rgb p;
        if (!png_image_begin_read_from_file(&image, (dir_ / name).c_str())) {
            ADD_FAILURE() << name << " is not a PNG";
            return p;
        }
        image.format = PNG_FORMAT_RGB;
        p.width = static_cast<int>(image.width);
        p.height = static_cast<int>(image.height);
        p.px.resize(PNG_IMAGE_SIZE(image));
        EXPECT_NE(png_image_finish_read(&image, nullptr, p.px.data(), 0, nullptr), 0);
        return p;
    }
    // Runs kvxsheet with args; returns its exit status (output in out.txt).
    int run(const std::string& args) {
        const std::string cmd =
            std::string(KVX_BIN_DIR) + "/kvxsheet " + args + " > " + (dir_ / "out.txt") + " 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string output() const {
        std::ifstream f(dir_ / "out.txt");
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }

    test::TempDir dir_;
};

TEST_F(Kvxsheet, TilesPicturesInRowsWithGapsOfTheBackground) {
    const std::string red = write("red.png", solid(40, 20, {255, 0, 0}));
    const std::string green = write("green.png", solid(40, 20, {0, 255, 0}));
    const std::string blue = write("blue.png", solid(20, 20, {0, 0, 255}));
    ASSERT_EQ(run(dir_ / "sheet.png" + " " + red + " " + green + " " + blue +
                  " --cols 2 --width 10 --gap 2 --background 808080"),
              0)
        << output();
    const Rgb sheet = read("sheet.png");
    // Two columns of 10 with gaps of 2; rows of 5 (40 x 20 scaled) and 10.
    ASSERT_EQ(sheet.width, 2 + 10 + 2 + 10 + 2);
    ASSERT_EQ(sheet.height, 2 + 5 + 2 + 10 + 2);
    const std::array<int, 3> grey{128, 128, 128};
    EXPECT_EQ(sheet.at(0, 0), grey);
    EXPECT_EQ(sheet.at(2, 2), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(sheet.at(11, 6), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(sheet.at(12, 2), grey);  // between the columns
    EXPECT_EQ(sheet.at(14, 2), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(sheet.at(2, 7), grey);  // between the rows
    EXPECT_EQ(sheet.at(2, 9), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(sheet.at(11, 18), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(sheet.at(14, 9), grey);  // the empty cell of the last row
    EXPECT_NE(output().find("3 pictures"), std::string::npos) << output();
}

TEST_F(Kvxsheet, ShrinkingAveragesAndEnlargingRepeatsPixels) {
    // Columns alternate black and white: halving the width averages pairs.
    Rgb stripes{4, 2, {}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            const uint8_t v = x % 2 == 0 ? 0 : 255;
            stripes.px.insert(stripes.px.end(), {v, v, v});
        }
    }
    ASSERT_EQ(run(dir_ / "half.png" + " " + write("stripes.png", stripes) + " --width 2 --gap 0"),
              0)
        << output();
    const Rgb half = read("half.png");
    ASSERT_EQ(half.width, 2);
    ASSERT_EQ(half.height, 1);
    EXPECT_EQ(half.at(0, 0), (std::array<int, 3>{128, 128, 128}));
    EXPECT_EQ(half.at(1, 0), (std::array<int, 3>{128, 128, 128}));

    Rgb two{2, 1, {10, 20, 30, 200, 100, 50}};
    ASSERT_EQ(run(dir_ / "big.png" + " " + write("two.png", two) + " --width 4 --gap 0"), 0);
    const Rgb big = read("big.png");
    ASSERT_EQ(big.width, 4);
    ASSERT_EQ(big.height, 2);
    EXPECT_EQ(big.at(1, 1), (std::array<int, 3>{10, 20, 30}));
    EXPECT_EQ(big.at(2, 0), (std::array<int, 3>{200, 100, 50}));
}

TEST_F(Kvxsheet, RefusesUnreadableInputAndBadColours) {
    const std::string red = write("red.png", solid(4, 4, {255, 0, 0}));
    std::ofstream(dir_ / "bad.png") << "not a picture";
    EXPECT_EQ(run(dir_ / "sheet.png" + " " + red + " " + (dir_ / "bad.png")), 1);
    EXPECT_NE(output().find("bad.png"), std::string::npos) << output();
    EXPECT_EQ(run(dir_ / "sheet.png" + " " + red + " --background 12345g"), 1);
    EXPECT_NE(output().find("not a colour"), std::string::npos) << output();
    EXPECT_EQ(run(dir_ / "sheet.png" + " " + red + " " + (dir_ / "missing.png")), 1);
    EXPECT_NE(run(dir_ / "sheet.png"), 0);  // no pictures
}

}  // namespace
}  // namespace kvx::tools
