// Context-state switching for framebuffer objects, and the FBO entry points.
#include "shell/GlState.h"

#include <cstring>

#include "platform/video/Video.h"

namespace kvx::shell {

namespace {

// The enables a buffer's context keeps for itself, bit i for entry i.
constexpr GLenum kEnables[] = {
    GL_DEPTH_TEST, GL_TEXTURE_2D, GL_BLEND,     GL_LIGHTING,       GL_CULL_FACE,    GL_ALPHA_TEST,
    GL_FOG,        GL_LIGHT0,     GL_NORMALIZE, GL_COLOR_MATERIAL, GL_SCISSOR_TEST,
};

FramebufferApi loaded;
ContextState* current = nullptr;

void setIdentity(GLfloat* m) {
    std::memset(m, 0, 16 * sizeof(GLfloat));
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

template <typename F>
bool lookUp(F& slot, const char* name, const char* extName) {
    slot = reinterpret_cast<F>(platform::glProcAddress(name));
    if (slot == nullptr && extName != nullptr) {
        slot = reinterpret_cast<F>(platform::glProcAddress(extName));
    }
    return slot != nullptr;
}

}  // namespace

const FramebufferApi& fbo() {
    return loaded;
}

bool loadExtensions() {
    FramebufferApi api;
    bool ok = true;
    ok &= lookUp(api.genFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
    ok &= lookUp(api.deleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    ok &= lookUp(api.bindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
    ok &= lookUp(api.framebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
    ok &= lookUp(api.genRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
    ok &= lookUp(api.deleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
    ok &= lookUp(api.bindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
    ok &= lookUp(api.renderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
    ok &= lookUp(api.framebufferRenderbuffer, "glFramebufferRenderbuffer",
                 "glFramebufferRenderbufferEXT");
    ok &= lookUp(api.checkFramebufferStatus, "glCheckFramebufferStatus",
                 "glCheckFramebufferStatusEXT");
    loaded = ok ? api : FramebufferApi{};
    return ok;
}

void unloadExtensions() {
    loaded = FramebufferApi{};
    current = nullptr;
}

ContextState::ContextState(GLuint framebuffer, int width, int height)
    : framebuffer_(framebuffer), viewport_{0, 0, width, height} {
    setIdentity(projection_);
    setIdentity(modelview_);
    setIdentity(texture_);
}

void ContextState::capture() {
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode_);
    glGetFloatv(GL_PROJECTION_MATRIX, projection_);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview_);
    glGetFloatv(GL_TEXTURE_MATRIX, texture_);
    glGetIntegerv(GL_VIEWPORT, viewport_);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour_);
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &clearDepth_);
    enables_ = 0;
    for (unsigned i = 0; i < sizeof(kEnables) / sizeof(kEnables[0]); ++i) {
        if (glIsEnabled(kEnables[i])) {
            enables_ |= 1u << i;
        }
    }
    glGetIntegerv(GL_BLEND_SRC, &blendSrc_);
    glGetIntegerv(GL_BLEND_DST, &blendDst_);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc_);
    glGetIntegerv(GL_SHADE_MODEL, &shadeModel_);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &perspectiveHint_);
    glGetFloatv(GL_CURRENT_COLOR, colour_);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask_);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &textureBinding_);
}

void ContextState::apply() const {
    if (loaded.bindFramebuffer != nullptr) {
        loaded.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    }
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection_);
    glMatrixMode(GL_TEXTURE);
    glLoadMatrixf(texture_);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(modelview_);
    glMatrixMode(static_cast<GLenum>(matrixMode_));
    glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
    glClearColor(clearColour_[0], clearColour_[1], clearColour_[2], clearColour_[3]);
    glClearDepth(clearDepth_);
    for (unsigned i = 0; i < sizeof(kEnables) / sizeof(kEnables[0]); ++i) {
        if (enables_ & (1u << i)) {
            glEnable(kEnables[i]);
        } else {
            glDisable(kEnables[i]);
        }
    }
    glBlendFunc(static_cast<GLenum>(blendSrc_), static_cast<GLenum>(blendDst_));
    glDepthFunc(static_cast<GLenum>(depthFunc_));
    glShadeModel(static_cast<GLenum>(shadeModel_));
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, static_cast<GLenum>(perspectiveHint_));
    glColor4fv(colour_);
    glDepthMask(depthMask_);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(textureBinding_));
}

void makeCurrent(ContextState* state) {
    if (state == current) {
        return;
    }
    if (current != nullptr) {
        current->capture();
    }
    if (state != nullptr) {
        state->apply();
    }
    current = state;
}

void adoptCurrent(ContextState* state) {
    current = state;
}

ContextState* currentState() {
    return current;
}

void forgetCurrent(const ContextState* state) {
    if (current == state) {
        current = nullptr;
    }
}

}  // namespace kvx::shell
