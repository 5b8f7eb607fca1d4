// GlWindow: the show's window, titled "Morvane", with its OpenGL context
// made current and put into the starting state every effect relies on
// (smooth shading, opaque black clear colour, depth test less-or-equal, 2D
// texturing on, nicest perspective correction, a viewport over the window).
//
// The window's context is the first of its share group: every offscreen
// buffer makes a context of its own that shares textures and display lists
// with it (PBuffer.h), so state set in the window stays in the window.
//
// Creation failures are recorded in failed() and explained by error(); the
// window and the full-screen mode go away with the object.
#pragma once

#include <memory>
#include <string>

#include "platform/video/Video.h"

namespace kvx::shell {

class GlWindow {
  public:
    GlWindow(int width, int height, int bits, bool fullScreen);
    virtual ~GlWindow();
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    // Makes the window's context current (back from an offscreen buffer).
    void makeCurrent();
    bool isCurrent() const;
    void swap();

    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }
    bool fullScreen() const { return fullScreen_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The window's rendering context; only valid when !failed().
    platform::GlContext& context() { return window_->context(); }

  private:
    bool create(int width, int height, int bits, bool fullScreen);

    std::unique_ptr<platform::Window> window_;
    std::string error_;
    bool failed_ = true;
    bool fullScreen_ = false;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace kvx::shell
