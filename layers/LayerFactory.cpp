// LayerFactory: the type keywords and the run-time registry of effects.
//
// Registration happens on the main thread at start-up, before the script is
// built; afterwards the table is only read.
#include "layers/LayerFactory.h"

#include <array>

namespace kvx::layers {

namespace {

constexpr std::array<const char*, LayerFactory::kTypeCount> kKeywords = {
    "fadelayer", "distortionlayer", "imagelayer", "background", "wipe",
    "fire",      "radialblur",      "debugstats", "object",     "dist_object",
    "textlayer", "metaballs",       "twister",    "particle",   "plasma",
};

std::array<LayerFactory::CreateFn, LayerFactory::kTypeCount>& registry() {
    static std::array<LayerFactory::CreateFn, LayerFactory::kTypeCount> table{};
    return table;
}

}  // namespace

const char* LayerFactory::keyword(int index) {
    return index >= 0 && index < kTypeCount ? kKeywords[static_cast<size_t>(index)] : nullptr;
}

int LayerFactory::typeIndex(const core::String& type) {
    for (int i = 0; i < kTypeCount; ++i) {
        if (type.equalsIgnoreCase(kKeywords[static_cast<size_t>(i)])) {
            return i;
        }
    }
    return -1;
}

bool LayerFactory::registerType(const char* keyword, CreateFn create) {
    const int i = keyword != nullptr ? typeIndex(core::String(keyword)) : -1;
    if (i < 0 || create == nullptr) {
        return false;
    }
    registry()[static_cast<size_t>(i)] = create;
    return true;
}

bool LayerFactory::isRegistered(const core::String& type) {
    const int i = typeIndex(type);
    return i >= 0 && registry()[static_cast<size_t>(i)] != nullptr;
}

void LayerFactory::clearRegistrations() {
    registry().fill(nullptr);
}

std::unique_ptr<Layer> LayerFactory::create(const LayerDesc& desc) {
    const int i = typeIndex(desc.type);
    if (i < 0 || registry()[static_cast<size_t>(i)] == nullptr) {
        return nullptr;
    }
    std::unique_ptr<Layer> layer = registry()[static_cast<size_t>(i)]();
    if (!layer) {
        return nullptr;
    }
    layer->colour = desc.colour;
    layer->blendMode = blendModeFromKeyword(desc.blending);
    // Start and end are unsigned from here on: -1 means "never" as a start
    // and "until the show ends" as an end.
    layer->start = static_cast<uint32_t>(desc.start);
    layer->end = static_cast<uint32_t>(desc.end);
    layer->z = desc.z;
    layer->target = desc.target;
    layer->description = desc;
    layer->loadParameters(layer->description);
    return layer;
}

}  // namespace kvx::layers
