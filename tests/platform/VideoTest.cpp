// The platform's video services on the offscreen driver.
#include <SDL.h>
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <utility>
#include <vector>

#include "platform/video/Video.h"

namespace kvx::platform {
namespace {

TEST(Video, HeadlessDriverGivesAGlContext) {
    ASSERT_TRUE(initVideo(true));
    EXPECT_TRUE(headless());
    EXPECT_EQ(videoDriver(), "offscreen");
    EXPECT_TRUE(initVideo(false));  // the first choice stays
    EXPECT_TRUE(headless());

    std::string error;
    auto window = Window::create("Morvane", 320, 200, 32, false, &error);
    ASSERT_TRUE(window) << error;
    EXPECT_EQ(window->width(), 320);
    EXPECT_EQ(window->height(), 200);
    EXPECT_FALSE(window->fullScreen());
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    EXPECT_NE(glProcAddress("glGenFramebuffers"), nullptr);
    setSwapInterval(0);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char px[4] = {};
    glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[1], 255);
    window->swap();
}

TEST(Video, SharedContextsShareTexturesButKeepTheirOwnState) {
    ASSERT_TRUE(initVideo(true));
    auto window = Window::create("Morvane", 32, 32, 32, false);
    ASSERT_TRUE(window);
    GlContext& main = window->context();
    EXPECT_TRUE(main.isCurrent());
    EXPECT_EQ(GlContext::current(), &main);

    std::string error;
    auto other = GlContext::createShared(main, &error);
    ASSERT_TRUE(other) << error;
    // Creation leaves the caller's context current.
    EXPECT_TRUE(main.isCurrent());
    EXPECT_FALSE(other->isCurrent());

    // A texture made in the window's context is readable in the other one.
    const unsigned char texel[4] = {10, 20, 30, 40};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glEnable(GL_BLEND);
    ASSERT_TRUE(other->makeCurrent());
    EXPECT_EQ(GlContext::current(), other.get());
    EXPECT_FALSE(glIsEnabled(GL_BLEND));  // state is the context's own
    glBindTexture(GL_TEXTURE_2D, texture);
    unsigned char read[4] = {};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read);
    EXPECT_EQ(read[0], 10);
    EXPECT_EQ(read[3], 40);

    window->makeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);
    glDeleteTextures(1, &texture);

    // Deleting the current context leaves none current.
    other->makeCurrent();
    other.reset();
    EXPECT_EQ(GlContext::current(), nullptr);
    window->makeCurrent();
    EXPECT_EQ(GlContext::current(), &main);
}

TEST(Video, FullScreenIsIgnoredWithoutADisplay) {
    ASSERT_TRUE(initVideo(true));
    auto window = Window::create("Morvane", 64, 64, 32, true);
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->fullScreen());
}

TEST(Video, BadSizesFail) {
    ASSERT_TRUE(initVideo(true));
    std::string error;
    EXPECT_FALSE(Window::create("Morvane", 0, 10, 32, false, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(Window::create("Morvane", 10, -1, 32, false));
}

TEST(Video, EscapeIsLatchedUntilQueried) {
    ASSERT_TRUE(initVideo(true));
    while (pumpOneMessage()) {
    }
    EXPECT_FALSE(escapePressed());
    pushEscapePress();
    EXPECT_TRUE(escapePressed());   // seen before the pump takes the message
    EXPECT_FALSE(escapePressed());  // and only once
    EXPECT_TRUE(pumpOneMessage());  // the key message itself
    while (pumpOneMessage()) {
    }
    EXPECT_FALSE(pumpOneMessage());
}

TEST(Video, TransportKeysAreLatchedInOrderWithShift) {
    ASSERT_TRUE(initVideo(true));
    KeyPress press;
    while (takeKeyPress(press)) {
    }
    pushKeyPress(Key::Space);
    pushKeyPress(Key::Right, true);
    pushKeyPress(Key::LoopStart);
    // A held key repeats for seeking, not for toggles.
    for (SDL_Keycode sym : {SDLK_LEFT, SDLK_SPACE, SDLK_a}) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.repeat = 1;
        e.key.keysym.sym = sym;
        e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
        SDL_PushEvent(&e);
    }
    std::vector<std::pair<Key, bool>> got;
    while (takeKeyPress(press)) {
        got.emplace_back(press.key, press.shift);
    }
    const std::vector<std::pair<Key, bool>> want = {
        {Key::Space, false}, {Key::Right, true}, {Key::LoopStart, false}, {Key::Left, false}};
    EXPECT_EQ(got, want);
    // Escape still goes its own way.
    pushEscapePress();
    EXPECT_FALSE(takeKeyPress(press));
    EXPECT_TRUE(escapePressed());
    while (pumpOneMessage()) {
    }
}

TEST(Video, MessageBoxDoesNotBlockHeadless) {
    ASSERT_TRUE(initVideo(true));
    testing::internal::CaptureStderr();
    messageBox("kvx", "Error!");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "kvx: Error!\n");
}

TEST(Video, DesktopModeIsTheOneTheDisplayReports) {
    ASSERT_TRUE(initVideo(true));
    SDL_DisplayMode reported;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &reported), 0) << SDL_GetError();
    const DisplayMode mode = desktopMode();
    EXPECT_EQ(mode.width, reported.w);
    EXPECT_EQ(mode.height, reported.h);
    EXPECT_EQ(mode.bits, SDL_BITSPERPIXEL(reported.format) >= 24
                             ? 32
                             : static_cast<int>(SDL_BITSPERPIXEL(reported.format)));
}

}  // namespace
}  // namespace kvx::platform
