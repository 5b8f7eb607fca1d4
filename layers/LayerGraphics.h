// LayerGraphics: the GL side of a layer's buffer helpers.
//
// The layer engine has no GL; the player implements this interface over its
// offscreen buffers and gives each layer one (Layer::attachGraphics). Texture
// names are ints with -1 for "none".
#pragma once

#include "core/String.h"

namespace kvx::layers {

// The GL side of a layer's buffer helpers; the player gives each layer one.
class LayerGraphics {
  public:
    virtual ~LayerGraphics() = default;
    virtual int bindAccumTexture() = 0;
    virtual void releaseAccumTexture() = 0;
    virtual int bindSmallTexture() = 0;
    virtual void releaseSmallTexture() = 0;
    virtual int bindTargetTexture(int i) = 0;  // -1 unless 1 <= i <= target count
    virtual void releaseTargetTexture(int i) = 0;
    virtual void beginSmallBuffer() = 0;
    virtual void endSmallBuffer() = 0;
    virtual int loadLayerTexture(const core::String& fileName) = 0;
};

}  // namespace kvx::layers
