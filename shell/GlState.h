// GlState: the per-context OpenGL state that a separate rendering context
// would own, for the offscreen buffers that are framebuffer objects of the
// window's single context.
//
// The show was designed for one context per offscreen buffer: a projection
// set once on the accumulation buffer survives the layers drawn in between,
// and blending switched on there does not leak into the window. With
// framebuffer objects there is one context, so every buffer keeps a
// ContextState and a switch captures the outgoing buffer's state and applies
// the incoming one's. Captured: the framebuffer, the tops of the three
// matrix stacks and the matrix mode, the viewport, clear colour and depth,
// the common enables, blend and depth functions, shade model, perspective
// hint, current colour, depth mask and the 2D texture binding. Deeper
// matrix-stack entries and the attribute stack are shared, which is what the
// frame loop's push/pop pairs expect.
//
// Also here: the framebuffer entry points, looked up once per context.
//
// Threads: main thread only (the thread that owns the GL context).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

namespace kvx::shell {

// Framebuffer-object entry points of the current context.
struct FramebufferApi {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
};

// The loaded entry points (all null until loadExtensions succeeded).
const FramebufferApi& fbo();

// Looks up the framebuffer entry points for the current context. Every one
// is looked up even after a miss; true only if none is missing.
bool loadExtensions();
// Forgets the entry points (a new context must load them again).
void unloadExtensions();

class ContextState {
  public:
    // A fresh context's defaults over a drawable of width x height.
    ContextState(GLuint framebuffer, int width, int height);

    // Reads the current GL state into this record.
    void capture();
    // Makes this record the GL state (binds the framebuffer too).
    void apply() const;

    GLuint framebuffer() const { return framebuffer_; }

  private:
    GLuint framebuffer_;
    GLfloat projection_[16];
    GLfloat modelview_[16];
    GLfloat texture_[16];
    GLint matrixMode_ = GL_MODELVIEW;
    GLint viewport_[4];
    GLfloat clearColour_[4] = {0, 0, 0, 0};
    GLdouble clearDepth_ = 1.0;
    unsigned enables_ = 0;
    GLint blendSrc_ = GL_ONE;
    GLint blendDst_ = GL_ZERO;
    GLint depthFunc_ = GL_LESS;
    GLint shadeModel_ = GL_SMOOTH;
    GLint perspectiveHint_ = GL_DONT_CARE;
    GLfloat colour_[4] = {1, 1, 1, 1};
    GLboolean depthMask_ = GL_TRUE;
    GLint textureBinding_ = 0;
};

// Makes state current: captures the current one (if any) and applies state.
// Switching to the state that is already current does nothing.
void makeCurrent(ContextState* state);
// Records state as current without applying it: the GL context already
// holds it (a window that has just set its starting state).
void adoptCurrent(ContextState* state);
// The state that is current, or null.
ContextState* currentState();
// Forgets the current state without capturing it (its owner is going away).
void forgetCurrent(const ContextState* state);

}  // namespace kvx::shell
