// Tests of the launcher's SDL window under a headless video driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "launcher/Canvas.h"
#include "launcher/LauncherDialog.h"
#include "platform/launcher/LauncherWindow.h"

using namespace kvx;

namespace {

std::vector<uint8_t> leftHalfCut() {
    std::vector<uint8_t> mask(500u * 200u, 1);
    for (std::size_t y = 0; y < 200; ++y) {
        for (std::size_t x = 0; x < 250; ++x)
            mask[y * 500 + x] = 0;
    }
    return mask;
}

}  // namespace

TEST(LauncherWindow, ShowsWhatItIsGivenShapedOrNot) {
    platform::VideoSession video;
    if (!video.ok())
        GTEST_SKIP() << "no video driver: " << video.error();

    // A shape the headless driver cannot apply still gives a window.
    std::string error;
    auto window = platform::LauncherWindow::create("Morvane", 500, 200, leftHalfCut(), error);
    ASSERT_TRUE(window) << error;
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr &&
        (std::string(driver) == "offscreen" || std::string(driver) == "dummy")) {
        EXPECT_FALSE(window->shaped());
    }
    EXPECT_EQ(window->width(), 500);
    EXPECT_EQ(window->height(), 200);

    launcher::LauncherDialog dialog;
    launcher::Canvas canvas(500, 200);
    dialog.render(canvas, nullptr);
    std::vector<uint8_t> shown;
    ASSERT_TRUE(window->present(canvas.data(), &shown));
    ASSERT_EQ(shown.size(), canvas.pixels().size());
    // Colour channels come back as painted (alpha depends on the driver).
    int differing = 0;
    for (std::size_t i = 0; i < shown.size(); i += 4) {
        for (std::size_t k = 0; k < 3; ++k)
            differing += shown[i + k] != canvas.pixels()[i + k];
    }
    EXPECT_EQ(differing, 0);

    // Nothing happened, so nothing is reported but perhaps a redraw.
    platform::LauncherEvent event;
    while (window->waitEvent(event, 0))
        EXPECT_EQ(event.type, platform::LauncherEvent::Type::Redraw);
    EXPECT_FALSE(window->escapeDown());

    // Dragging without pointer motion leaves the window where it is.
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    window->position(x0, y0);
    window->beginDrag();
    window->follow();
    window->endDrag();
    window->position(x1, y1);
    EXPECT_EQ(x0, x1);
    EXPECT_EQ(y0, y1);
}

TEST(LauncherWindow, RectangularWindowAndModes) {
    platform::VideoSession video;
    if (!video.ok())
        GTEST_SKIP() << "no video driver: " << video.error();
    std::string error;
    auto window = platform::LauncherWindow::create("Morvane", 500, 200, {}, error);
    ASSERT_TRUE(window) << error;
    EXPECT_FALSE(window->shaped());
    for (const platform::VideoMode& m : platform::listVideoModes()) {
        EXPECT_GT(m.width, 0);
        EXPECT_GT(m.height, 0);
    }
}
