// Builds LayerDescs the way the script reader would, for the effect tests.
#pragma once

#include <string>

#include "layers/LayerDesc.h"
#include "layers/Track.h"

namespace kvx::test {

inline layers::Track value(layers::ValueKind kind) {
    layers::Keyframe k;
    k.kind = kind;
    return layers::Track(k);
}

inline void addInt(layers::LayerDesc& d, const char* name, int v, uint32_t time = 0,
                   layers::Interpolation interp = layers::Interpolation::Step) {
    layers::Keyframe k;
    k.kind = layers::ValueKind::Int;
    k.intValue = v;
    d.addParam(name, layers::Track(k), time, interp);
}

inline void addFloat(layers::LayerDesc& d, const char* name, float v, uint32_t time = 0,
                     layers::Interpolation interp = layers::Interpolation::Step) {
    layers::Keyframe k;
    k.kind = layers::ValueKind::Float;
    k.floatValue = v;
    d.addParam(name, layers::Track(k), time, interp);
}

inline void addText(layers::LayerDesc& d, const char* name, const char* text) {
    layers::Keyframe k;
    k.kind = layers::ValueKind::String;
    k.text = text;
    d.addParam(name, layers::Track(k), 0, layers::Interpolation::Step);
}

inline void addColour(layers::LayerDesc& d, const char* name, layers::Colour c) {
    layers::Keyframe k;
    k.kind = layers::ValueKind::Colour;
    k.colour = c;
    d.addParam(name, layers::Track(k), 0, layers::Interpolation::Step);
}

}  // namespace kvx::test
