// Blend mode keywords.
#include "layers/BlendMode.h"

namespace kvx::layers {

BlendMode blendModeFromKeyword(const core::String& keyword) {
    if (keyword.equalsIgnoreCase("additive")) {
        return BlendMode::Additive;
    }
    if (keyword.equalsIgnoreCase("overwrite")) {
        return BlendMode::Overwrite;
    }
    return BlendMode::Normal;
}

bool isBlendKeyword(const core::String& keyword) {
    return keyword.equalsIgnoreCase("normal") || keyword.equalsIgnoreCase("additive") ||
           keyword.equalsIgnoreCase("overwrite");
}

const char* blendModeName(BlendMode mode) {
    switch (mode) {
        case BlendMode::Additive:
            return "additive";
        case BlendMode::Overwrite:
            return "overwrite";
        default:
            return "normal";
    }
}

}  // namespace kvx::layers
