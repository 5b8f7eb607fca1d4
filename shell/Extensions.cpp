// Looking up the framebuffer-object entry points.
#include "shell/Extensions.h"

#include "platform/video/Video.h"

namespace kvx::shell {

namespace {

FramebufferApi loaded;

// The core name first, then the older extension's.
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
}

}  // namespace kvx::shell
