// TGA decoding: header checks, row order, byte order and the square side.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "assets/Image.h"
#include "support/TgaBuilder.h"
#include "vfs/Vfs.h"

namespace kvx::assets {
namespace {

using test::makeTga;

TEST(SquareSide, RoundsToNearbyPowerOfTwo) {
    EXPECT_EQ(squareSide(300, 1), 256);
    EXPECT_EQ(squareSide(384, 10), 512);
    EXPECT_EQ(squareSide(767, 767), 512);
    EXPECT_EQ(squareSide(768, 2), 1024);
    EXPECT_EQ(squareSide(1000, 1000), 1024);
    EXPECT_EQ(squareSide(2000, 10), 1024);
    EXPECT_EQ(squareSide(640, 480), 512);
    EXPECT_EQ(squareSide(1600, 1200), 1024);
    EXPECT_EQ(squareSide(1, 1), 1);
    EXPECT_EQ(squareSide(2, 1), 2);
    EXPECT_EQ(squareSide(3, 3), 4);  // 3 >= 0.75 * 4
    EXPECT_EQ(squareSide(5, 5), 4);  // 5 < 0.75 * 8
    EXPECT_EQ(squareSide(6, 6), 8);
}

TEST(DecodeTga, Swaps24BitToRgbAndReversesRows) {
    // 256 x 256: file row r has blue = r, green = x, red = 7.
    auto file = makeTga(256, 256, 24, [](int x, int row, int c) {
        return c == 0 ? row : c == 1 ? x : 7;
    });
    auto image = decodeTga(file.data(), file.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->side, 256);
    EXPECT_EQ(image->bytesPerPixel, 3);
    ASSERT_EQ(image->pixels.size(), 256u * 256u * 3u);
    // Buffer row 0 is the file's last row (255); red first, blue last.
    const uint8_t* p = &image->pixels[(0 * 256 + 10) * 3];
    EXPECT_EQ(p[0], 7);
    EXPECT_EQ(p[1], 10);
    EXPECT_EQ(p[2], 255);
    p = &image->pixels[(255 * 256 + 3) * 3];
    EXPECT_EQ(p[0], 7);
    EXPECT_EQ(p[1], 3);
    EXPECT_EQ(p[2], 0);
}

TEST(DecodeTga, Keeps32BitAlphaLast) {
    auto file = makeTga(2, 2, 32, [](int x, int row, int c) { return 10 * c + x + 100 * row; });
    auto image = decodeTga(file.data(), file.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->side, 2);
    EXPECT_EQ(image->bytesPerPixel, 4);
    // Buffer pixel (0,0) is file row 1, x 0: B=100 G=110 R=120 A=130.
    EXPECT_EQ(image->pixels[0], 120);
    EXPECT_EQ(image->pixels[1], 110);
    EXPECT_EQ(image->pixels[2], 100);
    EXPECT_EQ(image->pixels[3], 130);
}

TEST(DecodeTga, PointSamplesNonSquareImages) {
    // 640 x 480 becomes 512 x 512: stretched on both axes.
    auto file = makeTga(640, 480, 24, [](int x, int row, int c) {
        return c == 0 ? x % 256 : c == 1 ? x / 256 : row % 256;
    });
    auto image = decodeTga(file.data(), file.size());
    ASSERT_TRUE(image);
    ASSERT_EQ(image->side, 512);
    auto at = [&](int x, int y, int c) { return image->pixels[(y * 512 + x) * 3 + c]; };
    // Target column 511 takes source column trunc(511 * 1.25) = 638.
    EXPECT_EQ(at(511, 0, 2), 638 % 256);
    EXPECT_EQ(at(511, 0, 1), 638 / 256);
    // Target row 100 takes buffer row trunc(100 * 0.9375) = 93, file row 386.
    EXPECT_EQ(at(0, 100, 0), 386 % 256);
}

TEST(DecodeTga, EnlargesAOnePixelImageAndKeepsSideOne) {
    auto one = makeTga(1, 1, 24, [](int, int, int c) { return 50 + c; });
    auto image = decodeTga(one.data(), one.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->side, 1);
    EXPECT_EQ(image->pixels, (std::vector<uint8_t>{52, 51, 50}));

    // 3 x 1 rounds up to a 4 x 4 square; every row repeats the only row.
    auto wide = makeTga(3, 1, 24, [](int x, int, int) { return x; });
    image = decodeTga(wide.data(), wide.size());
    ASSERT_TRUE(image);
    ASSERT_EQ(image->side, 4);
    EXPECT_EQ(image->pixels[(3 * 4 + 3) * 3], 2);
}

TEST(DecodeTga, RejectsBadFiles) {
    auto good = makeTga(4, 4, 24, [](int, int, int) { return 1; });
    ASSERT_TRUE(decodeTga(good.data(), good.size()));
    // Run-length (10) and colour-mapped (1) types.
    auto rle = makeTga(
        4, 4, 24, [](int, int, int) { return 1; }, 10);
    EXPECT_FALSE(decodeTga(rle.data(), rle.size()));
    auto mapped = makeTga(
        4, 4, 24, [](int, int, int) { return 1; }, 1);
    EXPECT_FALSE(decodeTga(mapped.data(), mapped.size()));
    // A header alone, a file one byte short, nothing at all.
    EXPECT_FALSE(decodeTga(good.data(), 17));
    EXPECT_FALSE(decodeTga(good.data(), good.size() - 1));
    EXPECT_FALSE(decodeTga(nullptr, 0));
    // Zero and negative sizes.
    auto zero = good;
    zero[12] = 0;
    zero[13] = 0;
    EXPECT_FALSE(decodeTga(zero.data(), zero.size()));
    auto negative = good;
    negative[15] = 0xFF;  // height -252
    EXPECT_FALSE(decodeTga(negative.data(), negative.size()));
    // An absurd size in a short file fails without allocating gigabytes.
    auto absurd = good;
    absurd[12] = absurd[14] = 0xFF;
    absurd[13] = absurd[15] = 0x7F;
    absurd[16] = 32;
    EXPECT_FALSE(decodeTga(absurd.data(), absurd.size()));
}

TEST(DecodeTga, TakesIdBytesAsPixelsAndKeepsOtherPixelSizes) {
    // A non-zero ID length is not skipped: the pixel data starts at 18.
    auto file = makeTga(1, 1, 24, [](int, int, int c) { return 9 + c; });
    file[0] = 3;
    auto image = decodeTga(file.data(), file.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels[0], 11);
    // 16-bit pixels load unchanged (only the texture maker refuses them).
    auto sixteen = makeTga(2, 2, 16, [](int x, int, int c) { return x * 2 + c; });
    image = decodeTga(sixteen.data(), sixteen.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bytesPerPixel, 2);
    EXPECT_EQ(image->pixels[2], 2);
    EXPECT_EQ(image->pixels[3], 3);
}

TEST(DecodeTga, SurvivesEveryTruncationAndHeaderValue) {
    auto good = makeTga(5, 3, 32, [](int x, int row, int c) { return x + row + c; });
    for (size_t n = 0; n <= good.size(); ++n) {
        auto image = decodeTga(good.data(), n);
        EXPECT_EQ(image.has_value(), n == good.size()) << n;
    }
    // Every value of every size byte and of the pixel size: either a clean
    // failure or a square of the promised size.
    for (int field : {12, 13, 14, 15, 16}) {
        for (int v = 0; v < 256; ++v) {
            auto bad = good;
            bad[static_cast<size_t>(field)] = static_cast<uint8_t>(v);
            auto image = decodeTga(bad.data(), bad.size());
            if (image) {
                EXPECT_EQ(image->pixels.size(), static_cast<size_t>(image->side) *
                                                    static_cast<size_t>(image->side) *
                                                    static_cast<size_t>(image->bytesPerPixel));
            }
        }
    }
}

TEST(LoadImage, ReadsThroughTheVfs) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / "kvx_assets_image_test";
    fs::create_directories(dir / "Pics");
    auto file = makeTga(8, 8, 32, [](int, int, int c) { return c * 60; });
    std::ofstream(dir / "Pics" / "Sky.tga", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(dir.string());
    auto image = loadImage("pics\\sky.tga");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->side, 8);
    EXPECT_EQ(image->pixels[0], 120);
    EXPECT_FALSE(loadImage("pics\\missing.tga"));
    vfs::Vfs::reset();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kvx::assets
