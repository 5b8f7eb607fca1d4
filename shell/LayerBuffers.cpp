// A layer's buffer helpers over the player's offscreen buffers.
#include "shell/LayerBuffers.h"

#include "assets/Texture.h"

namespace kvx::shell {

void LayerBuffers::attachTargetBuffers(PBuffer* const* array, int count) {
    targets_ = array;
    targetCount_ = array != nullptr && count > 0 ? count : 0;
}

void LayerBuffers::attachAccumBuffer(PBuffer* buffer) {
    accum_ = buffer;
    accumTexture_ = textureOf(buffer);
}

void LayerBuffers::attachSmallBuffer(PBuffer* buffer) {
    small_ = buffer;
    smallTexture_ = textureOf(buffer);
}

int LayerBuffers::bind(PBuffer* buffer, int texture) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture < 0 ? 0 : texture));
    if (buffer != nullptr && !buffer->bound()) {
        buffer->bindImage(static_cast<GLuint>(texture));
    }
    return texture;
}

void LayerBuffers::release(PBuffer* buffer) {
    if (buffer != nullptr && buffer->bound()) {
        buffer->releaseImage();
    }
}

int LayerBuffers::bindAccumTexture() {
    return bind(accum_, accumTexture_);
}

void LayerBuffers::releaseAccumTexture() {
    release(accum_);
}

int LayerBuffers::bindSmallTexture() {
    return bind(small_, smallTexture_);
}

void LayerBuffers::releaseSmallTexture() {
    release(small_);
}

int LayerBuffers::bindTargetTexture(int i) {
    if (i < 1 || i > targetCount_) {
        return -1;
    }
    PBuffer* buffer = targets_[i - 1];
    return bind(buffer, textureOf(buffer));
}

void LayerBuffers::releaseTargetTexture(int i) {
    if (i < 1 || i > targetCount_) {
        return;
    }
    release(targets_[i - 1]);
}

void LayerBuffers::beginSmallBuffer() {
    // A second begin keeps the context saved by the first.
    if (small_ == nullptr || saved_ != nullptr) {
        return;
    }
    saved_ = platform::GlContext::current();
    if (saved_ == nullptr) {
        return;  // nothing to come back to: stay where we are
    }
    small_->makeCurrent();
}

void LayerBuffers::endSmallBuffer() {
    if (small_ == nullptr || saved_ == nullptr) {
        return;
    }
    saved_->makeCurrent();
    saved_ = nullptr;
}

int LayerBuffers::loadLayerTexture(const core::String& fileName) {
    release(accum_);
    return assets::loadTexture(fileName);
}

}  // namespace kvx::shell
