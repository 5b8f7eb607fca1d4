// EffectParams: the ways an effect reads its parameters in loadParameters.
//
// "Read once" takes the value of a parameter's first keyframe at load time;
// "bound" lets the track overwrite the field every frame afterwards. Most
// parameters are taken only when the script gives the kind of value the
// parameter is (an integer where an integer is wanted), and a value of
// another kind is neither read nor bound, so the field keeps its default.
// A few read a slot of the keyframe whatever the script gave: a missing
// value then reads as the default keyframe's 0.
#pragma once

#include "core/String.h"
#include "layers/Keyframe.h"
#include "layers/Layer.h"
#include "layers/LayerDesc.h"

namespace kvx::effects {

// True when the script gave the parameter as a value of this kind.
bool givenAs(const layers::LayerDesc& desc, const core::String& name, layers::ValueKind kind);

// Reads an integer / float / colour value into out when the script gave one
// of that kind; returns whether it did.
bool readInt(const layers::LayerDesc& desc, const core::String& name, int* out);
bool readFloat(const layers::LayerDesc& desc, const core::String& name, float* out);
bool readColour(const layers::LayerDesc& desc, const core::String& name, layers::Colour* out);
bool readText(const layers::LayerDesc& desc, const core::String& name, core::String* out);
// A text parameter, read once ("" when not given as text).
core::String textParameter(const layers::LayerDesc& desc, const core::String& name);

// Reads an integer / float value and binds the field to its track, both only
// when the script gave that kind.
void readAndBindInt(layers::Layer& layer, const layers::LayerDesc& desc, const core::String& name,
                    int* out);
void readAndBindFloat(layers::Layer& layer, const layers::LayerDesc& desc, const core::String& name,
                      float* out);
// Binds a float parameter given as a float, without reading it at load
// (the first track update writes it); other kinds are not bound.
void bindFloatIfGiven(layers::Layer& layer, const layers::LayerDesc& desc, const core::String& name,
                      float* out);

// The int / float slot of the first keyframe whatever kind the script gave,
// or fallback when the parameter is absent.
int intSlot(const layers::LayerDesc& desc, const core::String& name, int fallback);
float floatSlot(const layers::LayerDesc& desc, const core::String& name, float fallback);
layers::Colour colourSlot(const layers::LayerDesc& desc, const core::String& name,
                          const layers::Colour& fallback);
// Reads the float slot as floatSlot does (keeping *out when absent), and
// binds the field to the track whatever kind the script gave.
void readSlotAndBindFloat(layers::Layer& layer, const layers::LayerDesc& desc,
                          const core::String& name, float* out);

// A switch: on when the parameter's text is "true", compared ignoring case
// ("yes" or 1 leave it off).
bool readSwitch(const layers::LayerDesc& desc, const core::String& name);

}  // namespace kvx::effects
