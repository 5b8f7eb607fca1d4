// SkinArt: the picture and outline of the launcher skin that kvxskin writes.
//
// The outline is a rounded panel with a tab on its top edge that carries the
// show's title; everything outside it has alpha 0, so the launcher window
// takes that shape. The labels of the controls ("mode", "windowed",
// "quality") are part of the picture, since the launcher draws no labels over
// a skin.
#pragma once

#include <string>

#include "launcher/Font.h"
#include "launcher/Skin.h"

namespace kvx::tools {

struct SkinArtOptions {
    int width = 500;
    int height = 200;
    std::string title = "Morvane";
    bool labels = true;
};

// Whether pixel x, y of a width x height skin lies inside the outline.
bool insideOutline(int x, int y, int width, int height);

// The 32-bit skin. Without fonts the words are left out.
launcher::SkinImage drawSkin(const SkinArtOptions& options, const launcher::Font* labelFont,
                             const launcher::Font* titleFont);

}  // namespace kvx::tools
