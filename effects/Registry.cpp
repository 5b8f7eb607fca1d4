// The effects known to the player. A new effect adds one line here.
#include "effects/Registry.h"

#include <memory>

#include "effects/BackgroundLayer.h"
#include "effects/DebugStatsLayer.h"
#include "effects/DistObjectLayer.h"
#include "effects/DistortionLayer.h"
#include "effects/FadeLayer.h"
#include "effects/FireLayer.h"
#include "effects/ImageLayer.h"
#include "effects/MetaballsLayer.h"
#include "effects/ObjectLayer.h"
#include "effects/ParticleLayer.h"
#include "effects/PlasmaLayer.h"
#include "effects/RadialBlurLayer.h"
#include "effects/TextLayer.h"
#include "effects/WipeLayer.h"
#include "effects/TwisterLayer.h"
#include "layers/LayerFactory.h"

namespace kvx::effects {

namespace {

template <typename T>
std::unique_ptr<layers::Layer> make() {
    return std::make_unique<T>();
}

// An earlier registration of the keyword stays in force.
void add(const char* keyword, layers::LayerFactory::CreateFn create) {
    if (!layers::LayerFactory::isRegistered(keyword)) {
        layers::LayerFactory::registerType(keyword, create);
    }
}

}  // namespace

void registerAll() {
    add("fadelayer", &make<FadeLayer>);
    add("plasma", &make<PlasmaLayer>);
    add("textlayer", &make<TextLayer>);
    add("debugstats", &make<DebugStatsLayer>);
    add("background", &make<BackgroundLayer>);
    add("imagelayer", &make<ImageLayer>);
    add("particle", &make<ParticleLayer>);
    add("radialblur", &make<RadialBlurLayer>);
    add("wipe", &make<WipeLayer>);
    add("fire", &make<FireLayer>);
    add("distortionlayer", &make<DistortionLayer>);
    add("object", &make<ObjectLayer>);
    add("dist_object", &make<DistObjectLayer>);
    add("metaballs", &make<MetaballsLayer>);
    add("twister", &make<TwisterLayer>);
}

}  // namespace kvx::effects
