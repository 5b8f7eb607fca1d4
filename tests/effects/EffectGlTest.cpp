// The shared GL set-up of the effects: the field-of-view rule, and the
// camera that sees the plane z = 0 at pixel scale, measured from the
// projection it leaves in a headless GL context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <limits>

#include "effects/EffectGl.h"
#include "support/GlTestSupport.h"

namespace kvx::effects {
namespace {

TEST(EffectGl, FieldOfViewFallsBackOnZeroOrNotANumberAndClampsTheRest) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(fieldOfView(0.0f, 45.0f, 10.0f, 179.0f), 45.0f);
    EXPECT_EQ(fieldOfView(-0.0f, 45.0f, 10.0f, 179.0f), 45.0f);
    EXPECT_EQ(fieldOfView(std::nanf(""), 45.0f, 10.0f, 179.0f), 45.0f);
    EXPECT_EQ(fieldOfView(5.0f, 45.0f, 10.0f, 179.0f), 10.0f);
    EXPECT_EQ(fieldOfView(-inf, 45.0f, 10.0f, 179.0f), 10.0f);
    EXPECT_EQ(fieldOfView(200.0f, 45.0f, 1.0f, 150.0f), 150.0f);
    EXPECT_EQ(fieldOfView(60.0f, 45.0f, 10.0f, 179.0f), 60.0f);
    EXPECT_FLOAT_EQ(halfAngleTangent(90.0f), std::tan(45.0f * 3.1415f / 180.0f));
}

// Where the current projection puts (x, y, 0): normalised device x, y, z.
std::array<double, 3> project(double x, double y) {
    double m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    const double cx = m[0] * x + m[4] * y + m[12];
    const double cy = m[1] * x + m[5] * y + m[13];
    const double cz = m[2] * x + m[6] * y + m[14];
    const double cw = m[3] * x + m[7] * y + m[15];
    return {cx / cw, cy / cw, cz / cw};
}

TEST(EffectGl, PlaneCameraSeesThePlaneAtPixelScaleEvenWhenNarrow) {
    shell::GlWindow* window = test::sharedWindow();
    ASSERT_NE(window, nullptr);
    window->makeCurrent();
    for (const float fov : {5.0f, 45.0f, 120.0f}) {
        // Half a 512-pixel width spans half the view.
        const double eye = 256.0 / static_cast<double>(halfAngleTangent(fov));
        for (const PlaneY y : {PlaneY::Down, PlaneY::Up}) {
            planeCamera(fov, eye, 1000.0, y);
            GLint mode = 0;
            glGetIntegerv(GL_MATRIX_MODE, &mode);
            EXPECT_EQ(mode, GL_MODELVIEW);
            const auto edge = project(256.0, 128.0);
            EXPECT_NEAR(edge[0], 1.0, 1e-3) << fov;
            // y runs down the screen in the layers' own space.
            EXPECT_NEAR(edge[1], y == PlaneY::Down ? -0.5 : 0.5, 1e-3) << fov;
            // The plane lies between the near and far planes, also when the
            // eye stands further out than minFar.
            const auto centre = project(0.0, 0.0);
            EXPECT_GT(centre[2], -1.0) << fov;
            EXPECT_LT(centre[2], 1.0) << fov;
        }
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

// A full-window quad in the colour given, drawn in the state texture sets.
test::Rgba drawnWith(int texture, float r, float g, float b) {
    glViewport(0, 0, 64, 48);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // What an earlier layer may have left on: lit, blended, culled.
    glEnable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT_AND_BACK);
    texturedUnlitState(texture);
    glColor4f(r, g, b, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, -1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, -1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glFinish();
    return test::readPixel(32, 24, 48);
}

TEST(EffectGl, TexturedUnlitStateShowsTheTextureOrThePlainColour) {
    shell::GlWindow* window = test::sharedWindow();
    ASSERT_NE(window, nullptr);
    window->makeCurrent();
    // A failed texture (-1) or none (0): the plain colour.
    EXPECT_TRUE(test::near(drawnWith(-1, 1.0f, 0.0f, 0.0f), 1.0f, 0.0f, 0.0f));
    EXPECT_TRUE(test::near(drawnWith(0, 1.0f, 1.0f, 0.0f), 1.0f, 1.0f, 0.0f));
    // A loaded one, modulated by the colour: half of its green.
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    const unsigned char green[4] = {0, 255, 0, 255};
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, green);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_TRUE(test::near(drawnWith(static_cast<int>(name), 0.5f, 0.5f, 0.5f), 0.0f, 0.5f, 0.0f));
    int owned = static_cast<int>(name);
    deleteLayerTexture(owned);
    EXPECT_EQ(owned, 0);
    EXPECT_FALSE(glIsTexture(name));
    glDisable(GL_TEXTURE_2D);
}

}  // namespace
}  // namespace kvx::effects
