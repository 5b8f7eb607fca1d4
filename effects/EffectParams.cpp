// Parameter reading shared by the effects.
#include "effects/EffectParams.h"

namespace kvx::effects {

using layers::ValueKind;

bool givenAs(const layers::LayerDesc& desc, const core::String& name, ValueKind kind) {
    return desc.findTrack(name).current().kind == kind;
}

bool readInt(const layers::LayerDesc& desc, const core::String& name, int* out) {
    const layers::Track track = desc.findTrack(name);
    if (track.current().kind != ValueKind::Int) {
        return false;
    }
    *out = track.current().intValue;
    return true;
}

bool readFloat(const layers::LayerDesc& desc, const core::String& name, float* out) {
    const layers::Track track = desc.findTrack(name);
    if (track.current().kind != ValueKind::Float) {
        return false;
    }
    *out = track.current().floatValue;
    return true;
}

bool readColour(const layers::LayerDesc& desc, const core::String& name, layers::Colour* out) {
    const layers::Track track = desc.findTrack(name);
    if (track.current().kind != ValueKind::Colour) {
        return false;
    }
    *out = track.current().colour;
    return true;
}

bool readText(const layers::LayerDesc& desc, const core::String& name, core::String* out) {
    const layers::Track track = desc.findTrack(name);
    if (track.current().kind != ValueKind::String) {
        return false;
    }
    *out = track.current().text;
    return true;
}

core::String textParameter(const layers::LayerDesc& desc, const core::String& name) {
    core::String text("");
    readText(desc, name, &text);
    return text;
}

void readAndBindInt(layers::Layer& layer, const layers::LayerDesc& desc, const core::String& name,
                    int* out) {
    if (readInt(desc, name, out)) {
        layer.bindInt(name, out);
    }
}

void readAndBindFloat(layers::Layer& layer, const layers::LayerDesc& desc, const core::String& name,
                      float* out) {
    if (readFloat(desc, name, out)) {
        layer.bindFloat(name, out);
    }
}

void bindFloatIfGiven(layers::Layer& layer, const layers::LayerDesc& desc, const core::String& name,
                      float* out) {
    if (givenAs(desc, name, ValueKind::Float)) {
        layer.bindFloat(name, out);
    }
}

int intSlot(const layers::LayerDesc& desc, const core::String& name, int fallback) {
    const layers::Track track = desc.findTrack(name);
    return track.current().hasValue() ? track.current().intValue : fallback;
}

float floatSlot(const layers::LayerDesc& desc, const core::String& name, float fallback) {
    const layers::Track track = desc.findTrack(name);
    return track.current().hasValue() ? track.current().floatValue : fallback;
}

layers::Colour colourSlot(const layers::LayerDesc& desc, const core::String& name,
                          const layers::Colour& fallback) {
    const layers::Track track = desc.findTrack(name);
    return track.current().hasValue() ? track.current().colour : fallback;
}

void readSlotAndBindFloat(layers::Layer& layer, const layers::LayerDesc& desc,
                          const core::String& name, float* out) {
    *out = floatSlot(desc, name, *out);
    layer.bindFloat(name, out);
}

bool readSwitch(const layers::LayerDesc& desc, const core::String& name) {
    const layers::Track track = desc.findTrack(name);
    return track.current().hasValue() && track.current().text.equalsIgnoreCase("true");
}

}  // namespace kvx::effects
