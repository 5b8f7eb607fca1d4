// Builds one effect from a LayerDesc through the layer factory, the way
// start-up does (time-0 track evaluation, then prepare), without GL buffers:
// for the effects' logic (parameters, tables, grids, steps).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "effects/Registry.h"
#include "layers/LayerDesc.h"
#include "layers/LayerFactory.h"

namespace kvx::test {

template <typename T>
std::unique_ptr<T> makeEffect(const char* type, layers::LayerDesc desc, bool prepare = true) {
    effects::registerAll();
    desc.type = type;
    std::unique_ptr<layers::Layer> layer = layers::LayerFactory::create(desc);
    T* effect = dynamic_cast<T*>(layer.get());
    EXPECT_NE(effect, nullptr) << "no " << type << " layer";
    if (effect == nullptr) {
        return nullptr;
    }
    layer.release();
    std::unique_ptr<T> out(effect);
    out->updateTracks(0);
    if (prepare) {
        EXPECT_TRUE(out->prepare());
    }
    return out;
}

}  // namespace kvx::test
