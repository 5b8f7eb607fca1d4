// Skin: TGA parsing, sampling and the window shape of the launcher's skin.
#include "launcher/Skin.h"

#include <algorithm>
#include <cassert>

#include "assets/Image.h"

namespace kvx::launcher {
namespace {

// The writer's side of the TGA header (the reader is assets::readTgaPicture).
constexpr std::size_t kHeaderSize = 18;
constexpr uint8_t kTrueColourType = 2;

}  // namespace

std::optional<SkinImage> parseSkin(const uint8_t* data, std::size_t size) {
    std::optional<assets::TgaPicture> picture = assets::readTgaPicture(data, size);
    if (!picture || (picture->bytesPerPixel != 3 && picture->bytesPerPixel != 4)) {
        return std::nullopt;
    }
    SkinImage skin;
    skin.width = picture->width;
    skin.height = picture->height;
    skin.bits = picture->bytesPerPixel * 8;

    const std::size_t bpp = static_cast<std::size_t>(picture->bytesPerPixel);
    const std::size_t w = static_cast<std::size_t>(skin.width);
    const std::size_t h = static_cast<std::size_t>(skin.height);
    const std::size_t rowBytes = picture->rowBytes();
    skin.rgba.resize(w * h * 4);
    for (std::size_t fileRow = 0; fileRow < h; ++fileRow) {
        // Rows are stored bottom-up in the file.
        const uint8_t* src = picture->rows + fileRow * rowBytes;
        uint8_t* dst = &skin.rgba[(h - 1 - fileRow) * w * 4];
        for (std::size_t x = 0; x < w; ++x, src += bpp, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = bpp == 4 ? src[3] : 255;
        }
    }
    return skin;
}

std::vector<uint8_t> encodeSkin(const SkinImage& skin) {
    assert((skin.bits == 24 || skin.bits == 32) && "skins are 24 or 32 bits");
    assert(skin.width > 0 && skin.height > 0 && skin.width <= 32767 && skin.height <= 32767 &&
           "sizes must fit the header");
    const std::size_t w = static_cast<std::size_t>(skin.width);
    const std::size_t h = static_cast<std::size_t>(skin.height);
    assert(skin.rgba.size() == w * h * 4 && "one RGBA pixel per image pixel");
    const std::size_t bpp = static_cast<std::size_t>(skin.bits / 8);

    std::vector<uint8_t> out(kHeaderSize, 0);
    out[2] = kTrueColourType;
    out[12] = static_cast<uint8_t>(skin.width & 0xFF);
    out[13] = static_cast<uint8_t>(skin.width >> 8);
    out[14] = static_cast<uint8_t>(skin.height & 0xFF);
    out[15] = static_cast<uint8_t>(skin.height >> 8);
    out[16] = static_cast<uint8_t>(skin.bits);
    out[17] = bpp == 4 ? 8 : 0;  // alpha bits; the origin stays bottom-left
    out.reserve(kHeaderSize + w * h * bpp);
    for (std::size_t fileRow = 0; fileRow < h; ++fileRow) {
        const uint8_t* src = &skin.rgba[(h - 1 - fileRow) * w * 4];
        for (std::size_t x = 0; x < w; ++x, src += 4) {
            out.push_back(src[2]);
            out.push_back(src[1]);
            out.push_back(src[0]);
            if (bpp == 4)
                out.push_back(src[3]);
        }
    }
    return out;
}

int shapeSampleIndex(int pos, int imageSize, int windowSize) {
    assert(imageSize > 0 && windowSize > 0 && "sizes must be positive");
    // floor(pos * imageSize / windowSize + 0.5) in integers, so that exact
    // halves round up and not by the whim of a binary fraction.
    const long long num = 2LL * pos * imageSize + windowSize;
    const int index = static_cast<int>(num / (2LL * windowSize));
    // The rounding reaches one past the last column or row for the window's
    // last pixels whenever the image is smaller than the window.
    return std::clamp(index, 0, imageSize - 1);
}

int stretchSampleIndex(int pos, int imageSize, int windowSize) {
    assert(imageSize > 0 && windowSize > 0 && "sizes must be positive");
    const int index = static_cast<int>(static_cast<long long>(pos) * imageSize / windowSize);
    return std::clamp(index, 0, imageSize - 1);
}

std::vector<uint8_t> buildShapeMask(const SkinImage& skin, int windowWidth, int windowHeight) {
    if (!skin.hasAlpha() || windowWidth <= 0 || windowHeight <= 0)
        return {};
    std::vector<int> columns(static_cast<std::size_t>(windowWidth));
    for (int x = 0; x < windowWidth; ++x) {
        columns[static_cast<std::size_t>(x)] = shapeSampleIndex(x, skin.width, windowWidth);
    }
    std::vector<uint8_t> mask(static_cast<std::size_t>(windowWidth) *
                              static_cast<std::size_t>(windowHeight));
    for (int y = 0; y < windowHeight; ++y) {
        const int row = shapeSampleIndex(y, skin.height, windowHeight);
        uint8_t* out = &mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(windowWidth)];
        for (int x = 0; x < windowWidth; ++x) {
            out[x] = skin.pixel(columns[static_cast<std::size_t>(x)], row)[3] != 0 ? 1 : 0;
        }
    }
    return mask;
}

}  // namespace kvx::launcher
