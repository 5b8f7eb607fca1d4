// BlendMode: how a layer's picture is combined with the frame.
//
// Only the keyword mapping lives here; applying a mode is GL work and
// belongs to the player (normal: alpha / one-minus-alpha, additive: alpha /
// one, overwrite: one / zero).
#pragma once

#include "core/String.h"

namespace kvx::layers {

enum class BlendMode : int {
    Normal = 0,
    Additive = 1,
    Overwrite = 2,
};

// "normal", "additive", "overwrite" ignoring case; anything else is Normal.
BlendMode blendModeFromKeyword(const core::String& keyword);
// Whether the text is one of the three keywords (for warnings).
bool isBlendKeyword(const core::String& keyword);
const char* blendModeName(BlendMode mode);

}  // namespace kvx::layers
