// The effects known to the player. A new effect adds one line here.
#include "effects/Registry.h"

#include <memory>

#include "effects/BackgroundLayer.h"
#include "effects/DebugStatsLayer.h"
#include "effects/FadeLayer.h"
#include "effects/ImageLayer.h"
#include "effects/ParticleLayer.h"
#include "effects/PlasmaLayer.h"
#include "effects/TextLayer.h"
#include "layers/LayerFactory.h"

namespace kvx::effects {

namespace {

template <typename T>
std::unique_ptr<layers::Layer> make() {
    return std::make_unique<T>();
}

}  // namespace

void registerAll() {
    using layers::LayerFactory;
    LayerFactory::registerType("fadelayer", &make<FadeLayer>);
    LayerFactory::registerType("plasma", &make<PlasmaLayer>);
    LayerFactory::registerType("textlayer", &make<TextLayer>);
    LayerFactory::registerType("debugstats", &make<DebugStatsLayer>);
    LayerFactory::registerType("background", &make<BackgroundLayer>);
    LayerFactory::registerType("imagelayer", &make<ImageLayer>);
    LayerFactory::registerType("particle", &make<ParticleLayer>);
}

}  // namespace kvx::effects
