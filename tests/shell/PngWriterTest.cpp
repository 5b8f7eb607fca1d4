// PNG output: files libpng can read back, and failures.
#include <gtest/gtest.h>

#include <png.h>

#include <filesystem>
#include <vector>

#include "shell/PngWriter.h"
#include "support/GlTestSupport.h"

namespace kvx::shell {
namespace {

namespace fs = std::filesystem;

TEST(PngWriter, RoundTripsThroughLibpng) {
    const fs::path path = fs::temp_directory_path() / "kvx_png_test.png";
    std::vector<uint8_t> px(5 * 3 * 4);
    for (size_t i = 0; i < px.size(); ++i) {
        px[i] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_TRUE(writePng(path.string(), px.data(), 5, 3, 4));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.string().c_str()));
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(image.height, 3u);
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> back(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr));
    EXPECT_EQ(back, px);
    fs::remove(path);
}

TEST(PngWriter, ReportsFailures) {
    std::vector<uint8_t> px(12);
    std::string error;
    EXPECT_FALSE(writePng("/nonexistent-dir/x.png", px.data(), 2, 2, 3, &error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos);
    EXPECT_FALSE(writePng("/tmp/x.png", px.data(), 0, 2, 3));
    EXPECT_FALSE(writePng("/tmp/x.png", px.data(), 2, 2, 2));
    EXPECT_FALSE(writePng("/tmp/x.png", nullptr, 2, 2, 3));
}

TEST(PngWriter, ReadFrameTurnsRowsTopFirst) {
    GlWindow* window = test::sharedWindow();
    ASSERT_NE(window, nullptr);
    window->makeCurrent();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(0, window->height() - 1, window->width(), 1);  // GL's top row
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    std::vector<uint8_t> frame;
    readFrame(window->width(), window->height(), frame);
    ASSERT_GE(frame.size(), static_cast<size_t>(window->width() * window->height() * 3));
    EXPECT_EQ(frame[0], 0);  // first row of the file: the top, blue
    EXPECT_EQ(frame[2], 255);
    const size_t second = static_cast<size_t>(window->width()) * 3;
    EXPECT_EQ(frame[second], 255);  // then red
}

}  // namespace
}  // namespace kvx::shell
