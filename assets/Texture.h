// Texture: turns images into OpenGL textures. Needs a current GL context.
#pragma once

#include "assets/Image.h"
#include "core/String.h"

namespace kvx::assets {

// Uploads an image as a new 2D texture with linear filtering, left bound.
// Returns the texture name, or 0 for a pixel size other than 3 or 4 bytes.
int uploadTexture(const Image& image);

// loadImage followed by uploadTexture: -1 when the image cannot be loaded,
// 0 for an unsupported pixel size, else the texture name (the caller owns it).
int loadTexture(const core::String& name);

}  // namespace kvx::assets
