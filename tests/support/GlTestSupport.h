// Headless GL for the player's tests: one offscreen window per test binary,
// pixel read-back and small drawing layers.
#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <memory>

#include "layers/Layer.h"
#include "shell/Extensions.h"
#include "shell/GlWindow.h"

namespace kvx::test {

// The window all GL tests of a binary share (made on first use).
inline shell::GlWindow* sharedWindow() {
    static std::unique_ptr<shell::GlWindow> window = [] {
        auto w = std::make_unique<shell::GlWindow>(64, 48, 32, false);
        if (w->failed() || !shell::loadExtensions()) {
            return std::unique_ptr<shell::GlWindow>();
        }
        return w;
    }();
    return window.get();
}

using Rgba = std::array<int, 4>;

// The pixel at (x, y) of the current drawable, y counted from the top.
inline Rgba readPixel(int x, int y, int height) {
    unsigned char px[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return {px[0], px[1], px[2], px[3]};
}

// The colour of a float colour as 8-bit values, within a tolerance.
inline ::testing::AssertionResult near(const Rgba& got, float r, float g, float b, int tol = 2) {
    const float want[3] = {r, g, b};
    for (int c = 0; c < 3; ++c) {
        int w = static_cast<int>(std::lround(want[c] * 255.0f));
        if (std::abs(got[static_cast<size_t>(c)] - w) > tol) {
            return ::testing::AssertionFailure()
                   << "got (" << got[0] << "," << got[1] << "," << got[2] << "," << got[3]
                   << ") want (" << std::lround(r * 255) << "," << std::lround(g * 255) << ","
                   << std::lround(b * 255) << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// Fills the rectangle x0..x1, y0..y1 of the 512 x 512 space with a colour.
class RectLayer final : public layers::Layer {
  public:
    RectLayer(float x0, float y0, float x1, float y1, layers::Colour c)
        : x0_(x0), y0_(y0), x1_(x1), y1_(y1), c_(c) {}
    bool loadParameters(const layers::LayerDesc&) override { return true; }
    bool prepare() override {
        ++prepared;
        return prepareResult;
    }
    void draw() override {
        ++draws;
        glDisable(GL_TEXTURE_2D);
        glColor4f(c_[0], c_[1], c_[2], c_[3]);
        glBegin(GL_QUADS);
        glVertex2f(x0_, y0_);
        glVertex2f(x1_, y0_);
        glVertex2f(x1_, y1_);
        glVertex2f(x0_, y1_);
        glEnd();
        if (onDraw) {
            onDraw(*this);
        }
    }
    int prepared = 0;
    int draws = 0;
    bool prepareResult = true;
    void (*onDraw)(RectLayer&) = nullptr;

  private:
    float x0_, y0_, x1_, y1_;
    layers::Colour c_;
};

}  // namespace kvx::test
