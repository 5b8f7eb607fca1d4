// TextLayer ("textlayer"): one text, possibly of several lines, drawn with a
// font sheet in a plane that the camera sees at pixel scale: at z = 0 the
// view spans the layer's width, x to the right and y downwards. The plane
// can be moved and turned about the layer's centre; position, size, angles,
// colour and the text itself are all animatable.
//
// "x" and "y" place the text's top-left corner as fractions of the layer
// (0, 0 the top-left corner, 0.5 the centre); "w" and "h" give the
// character size as fractions of the layer, -1 (the default) meaning the
// font's own 2 x cols by 2 x rows units.
//
// A font sheet that cannot be loaded draws nothing: there is nothing to
// take the glyphs from.
#pragma once

#include <cstdint>

#include "assets/BitmapFont.h"
#include "core/String.h"
#include "layers/Layer.h"

namespace kvx::effects {

class TextLayer final : public layers::Layer {
  public:
    static constexpr float kDefaultFov = 45.0f;
    static constexpr float kMinFov = 10.0f;
    static constexpr float kMaxFov = 179.0f;
    // Nearest far plane of the camera; it moves out when a narrow view puts
    // the eye further away than this.
    static constexpr double kFar = 2000.0;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    // advance keeps the base class's default.
    void draw() override;
    bool release() override;

    core::String fontFile;
    int32_t fontRows = 16;
    int32_t fontCols = 16;
    uint8_t fontFirstChar = 0;
    assets::BitmapFont font;
    float fov = kDefaultFov;  // vertical, degrees; fixed after load
    float tanHalfFov = 0.0f;
    core::String text;
    float textX = 0.0f;
    float textY = 0.0f;
    float charWidth = -1.0f;
    float charHeight = -1.0f;
    float rotX = 0.0f;
    float rotY = 0.0f;
    float rotZ = 0.0f;
    float posX = 0.0f;
    float posY = 0.0f;
    float posZ = 0.0f;
    // The text's own base colour ("color"), not the LAYER's COLOR attribute
    // that the base class keeps under the same name.
    layers::Colour colour{1.0f, 1.0f, 1.0f, 1.0f};
    float redFactor = 1.0f;
    float greenFactor = 1.0f;
    float blueFactor = 1.0f;
    float alphaFactor = 1.0f;
    float factor = 1.0f;

    // The field of view a script value becomes: 0 or not a number gives the
    // default, the rest is clamped to kMinFov..kMaxFov.
    static float clampFov(float value);
    // The colour draw() sets.
    layers::Colour drawColour() const;
    // Distance from the eye to the text plane's origin: half the width over
    // the tangent of half the field of view.
    float eyeDistance() const;
};

}  // namespace kvx::effects
