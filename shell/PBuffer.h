// PBuffer: an offscreen drawing buffer (colour texture + 24-bit depth) on a
// framebuffer object, with the state of its own context (GlState.h).
//
// The buffer's colour image is a texture of the buffer's own size. "Binding
// the image to a texture" makes that image readable through a texture name:
// the buffer's own colour texture costs nothing; any other texture name is
// given a copy of the image at the buffer's size (as binding a buffer image
// always redefined the texture's size). `bound` tracks whether the image is
// in use as a texture; a buffer is released before it is drawn into again.
//
// Threads: main thread only.
#pragma once

#include <GL/gl.h>

#include "shell/GlState.h"

namespace kvx::shell {

class PBuffer {
  public:
    PBuffer() = default;
    // create() in one step; check failed().
    PBuffer(int width, int height, const ContextState* share);
    ~PBuffer();
    PBuffer(const PBuffer&) = delete;
    PBuffer& operator=(const PBuffer&) = delete;

    // Makes a width x height buffer and sets its context's starting state
    // (perspective 45 degrees, depth test and 2D texturing on, clear colour
    // opaque black). The current state stays current. share is accepted for
    // the shape of the interface: every buffer shares the window's textures
    // and display lists, being part of the same context.
    void create(int width, int height, const ContextState* share);
    // Frees the buffer; makes no state current if this one was. Safe twice.
    void destroy();

    // Releases any texture binding of the image, then makes this buffer the
    // drawing target with its own state.
    void makeCurrent();

    // Binds texture to GL_TEXTURE_2D and gives it this buffer's image (see
    // the top of the file); marks the buffer bound.
    void bindImage(GLuint texture);
    // Marks the image released.
    void releaseImage() { bound_ = false; }

    GLuint texture() const { return colour_; }
    GLuint framebuffer() const { return framebuffer_; }
    ContextState& state() { return state_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool bound() const { return bound_; }
    bool failed() const { return failed_; }

  private:
    GLuint framebuffer_ = 0;
    GLuint colour_ = 0;
    GLuint depth_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool bound_ = false;
    bool failed_ = true;
    ContextState state_{0, 0, 0};
};

// Creates a width x height RGBA texture with linear filters and no data, the
// way every texture that receives a buffer image is made. Returns its name.
GLuint createBufferTexture(int width, int height);

// Draws pbuffer's image through texture as a quad over 0..w x 0..h in the
// current target, blended with whatever blend state the caller set, then
// releases the binding.
void drawBufferQuad(PBuffer& pbuffer, GLuint texture, int w, int h);

}  // namespace kvx::shell
