// PBuffer: an offscreen drawing buffer with a rendering context of its own.
//
// The buffer is a framebuffer object with an RGBA colour texture and a
// 24-bit depth renderbuffer. It has its own GL context, which shares
// textures, renderbuffers and display lists with the window's context, so
// everything a layer sets while the buffer is current (enables, matrices,
// texture environment, lights, the attribute stack...) stays with the
// buffer, and the next make-current finds it again. The framebuffer object
// is made in, and stays bound in, that context (framebuffer objects are not
// shared between contexts); its viewport covers the buffer and is never
// changed afterwards.
//
// The colour image is readable through a texture name: "binding the image"
// to the buffer's own colour texture costs nothing; any other texture name
// is given a copy of the image at the buffer's size (as binding a buffer
// image always redefined the texture's size). `bound` tracks whether the
// image is in use as a texture; a buffer is released before it is drawn
// into again.
//
// Switching contexts flushes the context left, so a picture drawn in one
// buffer is complete when another context reads its texture.
//
// Threads: main thread only.
#pragma once

#include <GL/gl.h>

#include <memory>

#include "platform/video/Video.h"

namespace kvx::shell {

class PBuffer {
  public:
    PBuffer() = default;
    // create() in one step; check failed().
    PBuffer(int width, int height, platform::GlContext& share);
    ~PBuffer();
    PBuffer(const PBuffer&) = delete;
    PBuffer& operator=(const PBuffer&) = delete;

    // Makes a width x height buffer whose context shares objects with
    // share's, and gives that context its starting state (perspective 45
    // degrees, depth test and 2D texturing on, clear colour opaque black,
    // matrix mode model-view). The context that was current stays current.
    void create(int width, int height, platform::GlContext& share);
    // Frees the buffer and its context; no context is current afterwards
    // if this buffer's was. Safe twice.
    void destroy();

    // Releases any texture binding of the image, then makes this buffer's
    // context current. A buffer that failed leaves the current one current.
    void makeCurrent();
    bool isCurrent() const;

    // Binds texture to GL_TEXTURE_2D in the current context and gives it
    // this buffer's image (see the top of the file); marks the buffer bound.
    void bindImage(GLuint texture);
    // Marks the image released.
    void releaseImage() { bound_ = false; }

    GLuint texture() const { return colour_; }
    // The buffer's context, null when creation failed.
    platform::GlContext* context() { return context_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    bool bound() const { return bound_; }
    bool failed() const { return failed_; }

  private:
    bool build(int width, int height);
    void copyImageInto(GLuint texture);

    std::unique_ptr<platform::GlContext> context_;
    GLuint framebuffer_ = 0;  // a name in context_ only
    GLuint colour_ = 0;
    GLuint depth_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool bound_ = false;
    bool failed_ = true;
};

// Creates a width x height RGBA texture with linear filters and no data, the
// way every texture that receives a buffer image is made, and leaves it
// bound to GL_TEXTURE_2D. Returns its name.
GLuint createBufferTexture(int width, int height);

// Draws pbuffer's image through texture as a quad over 0..w x 0..h in the
// current target, blended with whatever blend state the caller set, then
// releases the binding.
void drawBufferQuad(PBuffer& pbuffer, GLuint texture, int w, int h);

}  // namespace kvx::shell
