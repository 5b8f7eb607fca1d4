// Offscreen buffers: framebuffer objects, each in a context of its own.
#include "shell/PBuffer.h"

#include <GL/glu.h>

#include "shell/Extensions.h"

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

PBuffer::PBuffer(int width, int height, platform::GlContext& share) {
    create(width, height, share);
}

PBuffer::~PBuffer() {
    destroy();
}

void PBuffer::create(int width, int height, platform::GlContext& share) {
    destroy();
    if (fbo().genFramebuffers == nullptr || width <= 0 || height <= 0) {
        return;
    }
    context_ = platform::GlContext::createShared(share);
    if (!context_) {
        return;
    }
    platform::GlContext* previous = platform::GlContext::current();
    context_->makeCurrent();
    const bool built = build(width, height);
    if (previous != nullptr) {
        previous->makeCurrent();
    }
    if (!built) {
        destroy();
        return;
    }
    failed_ = false;
}

// With the buffer's own context current: the framebuffer object and the
// context's starting state.
bool PBuffer::build(int width, int height) {
    const FramebufferApi& api = fbo();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width > maxSize || height > maxSize) {
        return false;
    }
    colour_ = createBufferTexture(width, height);
    // A fresh context samples nothing: drawing into the buffer must not
    // read its own image unless a layer binds it.
    glBindTexture(GL_TEXTURE_2D, 0);
    api.genRenderbuffers(1, &depth_);
    api.bindRenderbuffer(GL_RENDERBUFFER, depth_);
    api.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    api.bindRenderbuffer(GL_RENDERBUFFER, 0);
    api.genFramebuffers(1, &framebuffer_);
    api.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    api.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
    api.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    if (api.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return false;
    }
    width_ = width;
    height_ = height;
    // A new context's viewport covers the window; this one covers the buffer.
    glViewport(0, 0, width, height);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    return true;
}

void PBuffer::destroy() {
    if (context_) {
        // The framebuffer object exists only in the buffer's context.
        platform::GlContext* previous = platform::GlContext::current();
        context_->makeCurrent();
        const FramebufferApi& api = fbo();
        if (framebuffer_ != 0 && api.deleteFramebuffers != nullptr) {
            api.deleteFramebuffers(1, &framebuffer_);
        }
        if (depth_ != 0 && api.deleteRenderbuffers != nullptr) {
            api.deleteRenderbuffers(1, &depth_);
        }
        if (colour_ != 0) {
            glDeleteTextures(1, &colour_);
        }
        if (previous != nullptr && previous != context_.get()) {
            previous->makeCurrent();
        }
        context_.reset();
    }
    framebuffer_ = 0;
    depth_ = 0;
    colour_ = 0;
    width_ = 0;
    height_ = 0;
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
    context_->makeCurrent();
}

bool PBuffer::isCurrent() const {
    return context_ && context_->isCurrent();
}

void PBuffer::bindImage(GLuint texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    if (failed_) {
        return;
    }
    if (texture != colour_) {
        copyImageInto(texture);
    }
    bound_ = true;
}

// The copy is read through a framebuffer object of the current context made
// for the purpose: the buffer's own one is not visible outside its context.
void PBuffer::copyImageInto(GLuint texture) {
    const FramebufferApi& api = fbo();
    GLint readFb = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFb);
    GLuint reader = 0;
    api.genFramebuffers(1, &reader);
    api.bindFramebuffer(GL_READ_FRAMEBUFFER, reader);
    api.framebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 0, 0, width_, height_, 0);
    api.bindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFb));
    api.deleteFramebuffers(1, &reader);
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
