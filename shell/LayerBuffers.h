// LayerBuffers: the player's side of a layer's buffer helpers. Through it an
// effect reads the accumulation buffer, the small buffer and the target
// buffers as textures, draws into the small buffer, or loads an image.
//
// Bookkeeping: a buffer is "bound" while its image is in use as a texture;
// the flag lives in the buffer, so all layers see the same state. The frame
// loop releases the accumulation and target bindings after every draw; the
// small buffer's binding is the effect's to release (or is released when the
// small buffer is next made current).
//
// Each helper returns the buffer's own colour texture, which has the
// buffer's size, so the two target buffers have a texture each.
//
// beginSmallBuffer makes the small buffer's context current and remembers
// the context it came from; endSmallBuffer goes back to it. What a layer
// sets in between stays in the small buffer.
#pragma once

#include "layers/LayerGraphics.h"
#include "shell/PBuffer.h"

namespace kvx::shell {

class LayerBuffers final : public layers::LayerGraphics {
  public:
    // Remembers the array of target buffers (1 is array[0]) and its count.
    void attachTargetBuffers(PBuffer* const* array, int count);
    void attachAccumBuffer(PBuffer* buffer);
    void attachSmallBuffer(PBuffer* buffer);

    int bindAccumTexture() override;
    void releaseAccumTexture() override;
    int bindSmallTexture() override;
    void releaseSmallTexture() override;
    int bindTargetTexture(int i) override;
    void releaseTargetTexture(int i) override;
    void beginSmallBuffer() override;
    void endSmallBuffer() override;
    int loadLayerTexture(const core::String& fileName) override;

    int accumTexture() const { return accumTexture_; }
    int smallTexture() const { return smallTexture_; }
    int targetCount() const { return targetCount_; }
    bool smallBufferActive() const { return saved_ != nullptr; }

  private:
    static int textureOf(const PBuffer* buffer) {
        return buffer != nullptr ? static_cast<int>(buffer->texture()) : -1;
    }
    static int bind(PBuffer* buffer, int texture);
    static void release(PBuffer* buffer);

    int accumTexture_ = -1;
    int smallTexture_ = -1;
    PBuffer* accum_ = nullptr;
    PBuffer* small_ = nullptr;
    PBuffer* const* targets_ = nullptr;
    int targetCount_ = 0;
    platform::GlContext* saved_ = nullptr;  // where endSmallBuffer returns to
};

}  // namespace kvx::shell
