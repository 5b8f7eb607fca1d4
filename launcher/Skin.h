// Skin: the launcher's optional picture "StandardConfig.tga" and the window
// shape cut from its alpha channel.
//
// The file is an uncompressed true-colour TGA (image type 2): an 18-byte
// header followed directly by the pixel rows, bottom row first, blue-green-
// red(-alpha) bytes. The image ID length and the colour map are not looked at,
// and the origin bit is ignored, as for every TGA the program reads. Only 24-
// and 32-bit images make a skin; anything else (another type, depth or size,
// or rows that run out) means "no skin", and the dialog draws itself plainly.
//
// The picture is stretched over the whole window when painted. A 32-bit skin
// also shapes the window: window pixel (x, y) samples the image at the
// nearest column x * width / windowWidth and row y * height / windowHeight
// (halves round up), clamped to the image, and is cut away where that
// sample's alpha is 0. The shape always covers the window's own rectangle,
// whatever the image's size.
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
        return &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)) *
                     4];
    }
};

// Parses the bytes of a TGA file; nothing when they do not make a skin.
std::optional<SkinImage> parseSkin(const uint8_t* data, std::size_t size);
inline std::optional<SkinImage> parseSkin(const std::vector<uint8_t>& bytes) {
    return parseSkin(bytes.data(), bytes.size());
}

// The TGA file parseSkin reads back as skin: type 2, no image ID, rows
// bottom-up, 24 or 32 bits as skin.bits says (alpha is dropped for 24).
// skin.rgba must hold width * height pixels.
std::vector<uint8_t> encodeSkin(const SkinImage& skin);

// The image column (or row) that window position pos samples for the shape:
// pos * imageSize / windowSize rounded half up, clamped to imageSize - 1.
int shapeSampleIndex(int pos, int imageSize, int windowSize);

// The image column (or row) that window position pos shows when the picture
// is stretched over the window: pos * imageSize / windowSize rounded down.
int stretchSampleIndex(int pos, int imageSize, int windowSize);

// Which window pixels belong to the window: windowWidth * windowHeight bytes,
// row 0 at the top, 1 = inside, 0 = cut away. Empty when the skin has no
// alpha channel (the window stays a rectangle).
std::vector<uint8_t> buildShapeMask(const SkinImage& skin, int windowWidth, int windowHeight);

}  // namespace kvx::launcher
