// Compositor: the offscreen buffers through which every frame is composed,
// and the per-frame drawing of the layers.
//
// Buffers (H = quality x 512, S = quality x 256, quality clamped to
// 0.25..4.0): the accumulation buffer (H x H) receives every layer's picture
// with the layer's blend mode and is shown in the window at the end of the
// frame; the layer buffer (H x H) is target 0; the small buffer (S x S) is a
// scratch buffer for effects; target buffers 1 and 2 (H x H) are offscreen
// targets a layer may draw into instead. Layers always draw in a 512 x 512
// coordinate space whatever H is.
//
// Per frame: beginFrame, then drawLayer for each active layer in drawing
// order, then present (which swaps). Compositing always uses the layer
// buffer, also for a layer whose target is 1 or 2: such a layer leaves its
// picture in the target buffer for later layers to read.
//
// Each buffer has a GL context of its own (PBuffer.h), so the state a layer
// sets while drawing, in prepare, or inside the small buffer stays in that
// buffer; the attribute push and pop around a layer's draw both happen in
// the layer's target context.
//
// Threads: main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "layers/Layer.h"
#include "shell/GlWindow.h"
#include "shell/LayerBuffers.h"
#include "shell/PBuffer.h"

namespace kvx::shell {

class Compositor {
  public:
    static constexpr float kMinQuality = 0.25f;
    static constexpr float kMaxQuality = 4.0f;
    static float clampQuality(float q);
    // Side of the accumulation, layer and target buffers; of the small buffer.
    static int bufferSide(float quality);
    static int smallSide(float quality);

    // Creates the buffers (the window's context must be current and the
    // framebuffer entry points loaded). Check failed().
    Compositor(GlWindow& window, float quality);
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    bool failed() const;

    // Start-up for one layer: clamps its target, gives it the 512 x 512
    // space and the aspect ratio, makes its target current and attaches the
    // buffers. Then evaluates its tracks at time 0 and calls prepare, whose
    // result is returned. Leaves the window current.
    bool initLayer(layers::Layer& layer, float aspect);

    // Clears the accumulation buffer (step before the first layer).
    void beginFrame();
    // Advances the layer's tracks and state by dt, draws it into its target
    // and blends the layer buffer into the accumulation buffer.
    void drawLayer(layers::Layer& layer, uint32_t dt);
    // The first half of drawLayer alone: the layer's tracks and state move
    // on by dt as in a drawn frame, nothing is drawn (a seek's replay).
    static void advanceLayer(layers::Layer& layer, uint32_t dt);
    // Shows the accumulation buffer in the window; swap decides whether the
    // window's buffers are swapped (a caller may read the frame back first).
    void present(bool swap = true);

    // One whole frame without the swap: beginFrame, drawLayer for every
    // non-null layer whose range holds time (in array order), present.
    // Returns the number of layers drawn.
    template <typename LayerArray>
    int renderFrame(LayerArray& layers, uint32_t time, uint32_t dt, bool swap = true) {
        beginFrame();
        int drawn = 0;
        for (auto& layer : layers) {
            if (layer && layer->isActiveAt(time)) {
                drawLayer(*layer, dt);
                ++drawn;
            }
        }
        present(swap);
        return drawn;
    }

    // Shutdown destroys the target buffers before the music stops and the
    // other buffers go.
    void destroyTargets();

    PBuffer& accumBuffer() { return accum_; }
    PBuffer& layerBuffer() { return layer_; }
    PBuffer& smallBuffer() { return small_; }
    // i is 1 or 2.
    PBuffer& targetBuffer(int i) { return *targets_[static_cast<size_t>(i - 1)]; }
    PBuffer* targetFor(int target);
    int side() const { return side_; }
    int small() const { return smallSide_; }

  private:
    GlWindow& window_;
    int side_;
    int smallSide_;
    PBuffer accum_;
    PBuffer layer_;
    PBuffer small_;
    std::array<std::unique_ptr<PBuffer>, 2> targets_;
    std::array<PBuffer*, 2> targetArray_{};
};

}  // namespace kvx::shell
