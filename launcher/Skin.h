// Skin: the launcher's optional picture "StandardConfig.tga" and the window
// shape cut from its alpha channel.
//
// The file is an uncompressed true-colour TGA (type 2, 24 or 32 bits): an
// 18-byte header, then the pixel rows, bottom row first, in blue-green-red
// (-alpha) order; the image ID and the colour map are not looked at, as for
// every TGA the program reads. Anything else means "no skin", and the dialog
// draws itself plainly. The picture is stretched over the window; a 32-bit
// one also shapes it: window pixel (x, y) is cut away where the image pixel
// nearest to (x * width / windowWidth, y * height / windowHeight), halves
// rounded up and clamped to the image, has alpha 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kvx::launcher {

struct SkinImage {
    int width = 0;
    int height = 0;
    int bits = 0;  // 24 or 32, as stored in the file
    // width * height pixels, 4 bytes each in red-green-blue-alpha order, row
    // 0 at the top. 24-bit images get alpha 255.
    std::vector<uint8_t> rgba;

    bool hasAlpha() const { return bits == 32; }
    const uint8_t* pixel(int x, int y) const {
        return &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
    }
};

// Parses the bytes of a TGA file; nothing when they do not make a skin.
std::optional<SkinImage> parseSkin(const uint8_t* data, std::size_t size);
inline std::optional<SkinImage> parseSkin(const std::vector<uint8_t>& bytes) {
    return parseSkin(bytes.data(), bytes.size());
}

// The image column (or row) that window position pos samples for the shape:
// pos * imageSize / windowSize rounded half up, clamped to imageSize - 1.
int shapeSampleIndex(int pos, int imageSize, int windowSize);

// Which window pixels belong to the window: windowWidth * windowHeight bytes,
// row 0 at the top, 1 = inside, 0 = cut away. Empty when the skin has no
// alpha channel (the window stays a rectangle).
std::vector<uint8_t> buildShapeMask(const SkinImage& skin, int windowWidth, int windowHeight);

}  // namespace kvx::launcher
