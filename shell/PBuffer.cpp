// Offscreen buffers on framebuffer objects.
#include "shell/PBuffer.h"

#include <GL/glu.h>

namespace kvx::shell {

GLuint createBufferTexture(int width, int height) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // The wrap modes stay GL's default (repeat): effects that read a buffer
    // with coordinates beyond 0..1 (a distortion grid runs t down to -1)
    // rely on the picture repeating.
    return name;
}

PBuffer::PBuffer(int width, int height, const ContextState* share) {
    create(width, height, share);
}

PBuffer::~PBuffer() {
    destroy();
}

void PBuffer::create(int width, int height, const ContextState* /*share*/) {
    destroy();
    bound_ = false;
    failed_ = true;
    width_ = 0;
    height_ = 0;
    const FramebufferApi& api = fbo();
    if (api.genFramebuffers == nullptr || width <= 0 || height <= 0) {
        return;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width > maxSize || height > maxSize) {
        return;
    }
    // Creation must not disturb the state that is current: park it (which
    // captures it), build the buffer, then bring it back.
    ContextState* previous = currentState();
    shell::makeCurrent(nullptr);

    colour_ = createBufferTexture(width, height);
    api.genRenderbuffers(1, &depth_);
    api.bindRenderbuffer(GL_RENDERBUFFER, depth_);
    api.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    api.bindRenderbuffer(GL_RENDERBUFFER, 0);
    api.genFramebuffers(1, &framebuffer_);
    api.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    api.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
    api.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    const bool complete = api.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;

    if (complete) {
        width_ = width;
        height_ = height;
        // The starting state of the buffer's own context.
        state_ = ContextState(framebuffer_, width, height);
        state_.apply();
        glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClearDepth(1.0);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.1, 10.0);
        glMatrixMode(GL_MODELVIEW);
        state_.capture();
        failed_ = false;
    }
    api.bindFramebuffer(GL_FRAMEBUFFER, 0);
    shell::makeCurrent(previous);
    if (!complete) {
        destroy();
        failed_ = true;
    }
}

void PBuffer::destroy() {
    const FramebufferApi& api = fbo();
    if (currentState() == &state_) {
        forgetCurrent(&state_);
        if (api.bindFramebuffer != nullptr) {
            api.bindFramebuffer(GL_FRAMEBUFFER, 0);
        }
    }
    if (framebuffer_ != 0 && api.deleteFramebuffers != nullptr) {
        api.deleteFramebuffers(1, &framebuffer_);
    }
    if (depth_ != 0 && api.deleteRenderbuffers != nullptr) {
        api.deleteRenderbuffers(1, &depth_);
    }
    if (colour_ != 0) {
        glDeleteTextures(1, &colour_);
    }
    framebuffer_ = 0;
    depth_ = 0;
    colour_ = 0;
    bound_ = false;
    failed_ = true;
}

void PBuffer::makeCurrent() {
    if (bound_) {
        releaseImage();
    }
    if (failed_) {
        return;  // a buffer that does not exist draws into whatever is current
    }
    shell::makeCurrent(&state_);
}

void PBuffer::bindImage(GLuint texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    if (failed_) {
        return;
    }
    if (texture != colour_) {
        // Another texture receives a copy of the image, at the buffer's size.
        const FramebufferApi& api = fbo();
        GLint readFb = 0;
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFb);
        api.bindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 0, 0, width_, height_, 0);
        api.bindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFb));
    }
    bound_ = true;
}

void drawBufferQuad(PBuffer& pbuffer, GLuint texture, int w, int h) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    if (!pbuffer.bound()) {
        pbuffer.bindImage(texture);
    }
    const float fw = static_cast<float>(w);
    const float fh = static_cast<float>(h);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(fw, 0);
    glTexCoord2f(0, 1);
    glVertex2f(0, fh);
    glTexCoord2f(1, 0);
    glVertex2f(fw, 0);
    glTexCoord2f(0, 1);
    glVertex2f(0, fh);
    glTexCoord2f(1, 1);
    glVertex2f(fw, fh);
    glEnd();
    pbuffer.releaseImage();
}

}  // namespace kvx::shell
