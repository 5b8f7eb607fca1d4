// LayerFactory: turns a LayerDesc into a Layer of its TYPE.
//
// The fifteen type keywords are fixed here, in their matching order. The
// effect classes register their constructors at start-up (effects are built
// on top of this library, so they cannot be named here). A type that is not
// a keyword, or whose effect is not registered, yields no layer.
#pragma once

#include <memory>

#include "core/String.h"
#include "layers/Layer.h"
#include "layers/LayerDesc.h"

namespace kvx::layers {

class LayerFactory {
  public:
    using CreateFn = std::unique_ptr<Layer> (*)();
    static constexpr int kTypeCount = 15;

    // The keywords in matching order ("fadelayer" first, "plasma" last).
    static const char* keyword(int index);
    // Index of the keyword matching type ignoring case, -1 for none.
    static int typeIndex(const core::String& type);
    static bool isKnownType(const core::String& type) { return typeIndex(type) >= 0; }

    // Registers the constructor of one keyword (matched ignoring case); a
    // later registration replaces an earlier one. Returns false, registering
    // nothing, for a text that is not one of the fifteen keywords or a null
    // function. Call at start-up, before any create.
    static bool registerType(const char* keyword, CreateFn create);
    static bool isRegistered(const core::String& type);
    // Forgets all registrations (tests).
    static void clearRegistrations();

    // Constructs the layer, copies colour, blend mode, start, end, z, target
    // and the whole description into it and calls loadParameters with the
    // layer's own description. Null for an unknown or unregistered type.
    static std::unique_ptr<Layer> create(const LayerDesc& desc);
};

}  // namespace kvx::layers
