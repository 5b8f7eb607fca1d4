// The show window's starting GL state, which every effect relies on.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "platform/video/Video.h"
#include "shell/GlWindow.h"

namespace kvx::shell {
namespace {

TEST(GlWindow, StartsInTheKnownState) {
    ASSERT_TRUE(platform::initVideo(true));
    GlWindow window(640, 480, 32, false);
    ASSERT_FALSE(window.failed()) << window.error();
    EXPECT_EQ(window.width(), 640);
    EXPECT_EQ(window.height(), 480);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    GLint value = 0;
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[3], 1.0f);
    EXPECT_TRUE(window.isCurrent());
}

TEST(GlWindow, RecordsACreationFailure) {
    ASSERT_TRUE(platform::initVideo(true));
    GlWindow window(0, 480, 32, false);
    EXPECT_TRUE(window.failed());
    EXPECT_FALSE(window.error().empty());
    window.makeCurrent();  // harmless without a window
    window.swap();
}

}  // namespace
}  // namespace kvx::shell
