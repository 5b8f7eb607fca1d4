// Layer defaults and the forwarding buffer helpers.
#include "layers/Layer.h"

namespace kvx::layers {

namespace {
Layer* current = nullptr;  // main thread only
}  // namespace

Layer* currentLayer() {
    return current;
}
void setCurrentLayer(Layer* layer) {
    current = layer;
}

Layer::~Layer() = default;

bool Layer::prepare() {
    return true;
}
void Layer::advance(unsigned) {}
bool Layer::release() {
    return true;
}

int Layer::bindAccumTexture() {
    return graphics_ ? graphics_->bindAccumTexture() : -1;
}
void Layer::releaseAccumTexture() {
    if (graphics_) {
        graphics_->releaseAccumTexture();
    }
}
int Layer::bindSmallTexture() {
    return graphics_ ? graphics_->bindSmallTexture() : -1;
}
void Layer::releaseSmallTexture() {
    if (graphics_) {
        graphics_->releaseSmallTexture();
    }
}
int Layer::bindTargetTexture(int i) {
    return graphics_ ? graphics_->bindTargetTexture(i) : -1;
}
void Layer::releaseTargetTexture(int i) {
    if (graphics_) {
        graphics_->releaseTargetTexture(i);
    }
}
void Layer::beginSmallBuffer() {
    if (graphics_) {
        graphics_->beginSmallBuffer();
    }
}
void Layer::endSmallBuffer() {
    if (graphics_) {
        graphics_->endSmallBuffer();
    }
}
int Layer::loadLayerTexture(const core::String& fileName) {
    return graphics_ ? graphics_->loadLayerTexture(fileName) : -1;
}

}  // namespace kvx::layers
