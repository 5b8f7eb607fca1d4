// Image: uncompressed true-colour TGA pictures, squared for texturing.
//
// A TGA of type 2 is an 18-byte little-endian header followed directly by
// the pixel rows, bottom row first, in blue-green-red(-alpha) order. The
// loader returns the picture top row first (buffer row 0 is the file's last
// row) in red-green-blue(-alpha) order, point-resampled to a square whose
// side is a power of two no larger than 1024: S = max(W, H) rounds up to the
// next power of two h when S >= 0.75 h, else down to h / 2.
//
// Parsing works on bytes; loadImage fetches them through the Vfs. Neither
// needs a GL context (Texture.h does).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/String.h"

namespace kvx::assets {

struct Image {
    std::vector<uint8_t> pixels;  // side * side * bytesPerPixel bytes, rows of side pixels
    int side = 0;
    int bytesPerPixel = 0;
};

// Largest side a squared image gets.
constexpr int kMaxImageSide = 1024;

// The side of the square an image of width x height becomes (both >= 1).
int squareSide(int width, int height);

// The picture inside an uncompressed true-colour TGA file, as stored: its
// size, bytes per pixel and the rows (bottom row first, blue-green-red order)
// that follow the 18-byte header. The image ID length and the colour map are
// not looked at. The rows point into the parsed bytes.
struct TgaPicture {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    const uint8_t* rows = nullptr;
    size_t rowBytes() const {
        return static_cast<size_t>(width) * static_cast<size_t>(bytesPerPixel);
    }
};

// The picture of a TGA file of type 2, or nothing for another type, a size
// of zero or below, or pixel rows shorter than the header promises (checked
// before anyone allocates for them).
std::optional<TgaPicture> readTgaPicture(const uint8_t* data, size_t size);

// Parses a TGA file held in memory. Fails (returns nothing) for another
// image type, a size of zero or below, or pixel data shorter than the header
// promises. Pixel sizes other than 3 and 4 bytes are kept as they are.
std::optional<Image> decodeTga(const uint8_t* data, size_t size);

// Reads name (a path relative to the data root) through the Vfs and decodes it.
std::optional<Image> loadImage(const core::String& name);

}  // namespace kvx::assets
