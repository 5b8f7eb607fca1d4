// Extensions: the framebuffer-object entry points the offscreen buffers are
// built on, looked up by name once the window's context exists.
//
// The pointers are process-wide and valid in every context of the window
// (they all come from one driver); the window forgets them when it goes.
//
// Threads: main thread only (the thread that owns the GL contexts).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

namespace kvx::shell {

// Framebuffer-object entry points.
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

// Looks up the framebuffer entry points with a context current. Every one
// is looked up even after a miss; true only if none is missing.
bool loadExtensions();
// Forgets the entry points (a new window must load them again).
void unloadExtensions();

}  // namespace kvx::shell
