// Layer: the base of every visual effect, and its calling contract.
//
// Lifecycle: the factory constructs the effect, copies the LAYER's
// attributes and description into it and calls loadParameters once; the
// player sets width, height and aspect, clamps the target, attaches the
// graphics, advances the tracks with dt 0 and calls prepare; then in every
// frame whose show time lies in [start, end] (unsigned, both inclusive) it
// calls updateTracks(dt), advance(dt) and draw(); at shutdown release() and
// the destructor. Tracks advance only while the layer is active, so keyframe
// times count from the layer's activation.
//
// A layer is not copyable: its description's tracks point into its fields.
#pragma once

#include <cstdint>
#include <memory>

#include "core/String.h"
#include "layers/BlendMode.h"
#include "layers/Keyframe.h"
#include "layers/LayerDesc.h"
#include "layers/LayerGraphics.h"

namespace kvx::layers {

class Layer {
  public:
    Layer() = default;
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // A layer's life, in calling order: loadParameters when the factory
    // builds it, prepare once before the show, advance and draw in every
    // frame it is active, release once at shutdown.
    virtual ~Layer();
    // Reads initial values from desc (this layer's own description) and binds
    // fields to its tracks through the bind helpers below. The result is not
    // used: a layer whose files are missing must still be safe to run.
    virtual bool loadParameters(const LayerDesc& desc) = 0;
    // Creates GL resources with the layer's target current; false stops the show.
    virtual bool prepare();
    // Advances time-dependent state by dt milliseconds (after the tracks).
    virtual void advance(unsigned dt);
    virtual void draw() = 0;
    // Frees GL resources; called once at shutdown.
    virtual bool release();

    // The frame loop advances the parameter tracks through this.
    void updateTracks(uint32_t dt) { description.updateTracks(dt); }
    bool isActiveAt(uint32_t showTime) const { return start <= showTime && end >= showTime; }
    bool keepZBuffer() const { return description.keepZBuffer; }
    // Target clamped to 0..2, as start-up does.
    static int clampTarget(int target) { return target < 0 ? 0 : (target > 2 ? 2 : target); }

    // Binding helpers for loadParameters: bind fields to this layer's tracks.
    void bindFloat(const core::String& name, float* out) { description.bindFloat(name, out); }
    void bindInt(const core::String& name, int* out) { description.bindInt(name, out); }
    void bindString(const core::String& name, core::String* out) {
        description.bindString(name, out);
    }
    void bindColor(const core::String& name, float* rgba) { description.bindColor(name, rgba); }

    // Buffer helpers; they forward to the attached graphics and return -1 /
    // do nothing while none is attached (headless runs and tests).
    void attachGraphics(std::unique_ptr<LayerGraphics> graphics) {
        graphics_ = std::move(graphics);
    }
    LayerGraphics* graphics() const { return graphics_.get(); }
    int bindAccumTexture();
    void releaseAccumTexture();
    int bindSmallTexture();
    void releaseSmallTexture();
    int bindTargetTexture(int i);
    void releaseTargetTexture(int i);
    void beginSmallBuffer();
    void endSmallBuffer();
    int loadLayerTexture(const core::String& fileName);

    Colour colour{1.0f, 1.0f, 1.0f, 1.0f};
    float aspect = 1.3333330f;
    int width = 512;
    int height = 512;
    uint32_t start = 0;  // milliseconds of show time, inclusive
    uint32_t end = 0;
    int z = 0;
    int target = 0;  // 0 layer buffer, 1 or 2 a target buffer
    BlendMode blendMode = BlendMode::Normal;
    LayerDesc description;

  private:
    std::unique_ptr<LayerGraphics> graphics_;
};

// The layer being advanced or drawn, null between layers. The frame loop sets
// it around a layer's advance and draw; mesh rendering reads it to reach the
// layer's buffer textures. Main thread only.
Layer* currentLayer();
void setCurrentLayer(Layer* layer);

}  // namespace kvx::layers
