// The loading bar.
#include "shell/LoadingBar.h"

#include <GL/gl.h>

#include "shell/GlWindow.h"

namespace kvx::shell {

namespace {

void quad(float x0, float y0, float x1, float y1) {
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

}  // namespace

void LoadingBar::setTotal(int total) {
    total_ = total > 0 ? static_cast<unsigned>(total) : 0u;
    if (current_ > total_) {
        current_ = total_;
    }
}

void LoadingBar::step() {
    if (current_ < total_) {
        ++current_;
    }
    if (window_ != nullptr) {
        window_->makeCurrent();
        draw();
        window_->swap();
    }
}

void LoadingBar::draw() const {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 800, 600, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    glColor4f(0.0f, 0.5f, 1.0f, 1.0f);
    quad(100, 475, 700, 525);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    quad(102, 477, 698, 523);
    if (total_ != 0 && current_ != 0) {
        const float fill = static_cast<float>(current_) * 596.0f / static_cast<float>(total_);
        glColor4f(0.0f, 0.5f, 1.0f, 1.0f);
        quad(102, 477, 102 + fill, 523);
    }
    glEnd();
    glPopAttrib();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace kvx::shell
