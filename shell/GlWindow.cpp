// The show window and its starting GL state.
#include "shell/GlWindow.h"

#include <GL/gl.h>

#include "shell/Extensions.h"

namespace kvx::shell {

GlWindow::GlWindow(int width, int height, int bits, bool fullScreen) {
    failed_ = !create(width, height, bits, fullScreen);
}

GlWindow::~GlWindow() {
    if (window_) {
        // The buffers' entry points were looked up for this window.
        unloadExtensions();
    }
}

bool GlWindow::create(int width, int height, int bits, bool fullScreen) {
    fullScreen_ = fullScreen;
    window_ = platform::Window::create("Morvane", width, height, bits, fullScreen, &error_);
    if (!window_) {
        return false;
    }
    fullScreen_ = window_->fullScreen();
    width_ = window_->width();
    height_ = window_->height();
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glViewport(0, 0, width_, height_);
    glMatrixMode(GL_MODELVIEW);
    return true;
}

void GlWindow::makeCurrent() {
    if (window_) {
        window_->makeCurrent();
    }
}

bool GlWindow::isCurrent() const {
    return window_ && window_->context().isCurrent();
}

void GlWindow::swap() {
    if (window_) {
        window_->swap();
    }
}

}  // namespace kvx::shell
