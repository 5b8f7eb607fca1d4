// The show window and its starting GL state.
#include "shell/GlWindow.h"

#include <GL/gl.h>

namespace kvx::shell {

GlWindow::GlWindow(int width, int height, int bits, bool fullScreen) {
    failed_ = !create(width, height, bits, fullScreen);
}

GlWindow::~GlWindow() {
    if (window_) {
        forgetCurrent(&state_);
        // The buffers' entry points belong to this context.
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
    state_ = ContextState(0, width_, height_);
    state_.capture();
    adoptCurrent(&state_);
    return true;
}

void GlWindow::makeCurrent() {
    if (window_) {
        shell::makeCurrent(&state_);
    }
}

void GlWindow::swap() {
    if (window_) {
        window_->swap();
    }
}

}  // namespace kvx::shell
