// Skin: TGA parsing and the window shape of the launcher's skin.
#include "launcher/Skin.h"

#include <algorithm>
#include <cassert>

#include "assets/Image.h"

namespace kvx::launcher {

std::optional<SkinImage> parseSkin(const uint8_t* data, std::size_t size) {
    const std::optional<assets::TgaPicture> picture = assets::readTgaPicture(data, size);
    if (!picture || (picture->bytesPerPixel != 3 && picture->bytesPerPixel != 4))
        return std::nullopt;
    SkinImage skin{picture->width, picture->height, picture->bytesPerPixel * 8, {}};
    const std::size_t w = std::size_t(skin.width), h = std::size_t(skin.height);
    const std::size_t bpp = std::size_t(picture->bytesPerPixel);
    skin.rgba.resize(w * h * 4, 255);  // 24-bit pictures are opaque
    for (std::size_t fileRow = 0; fileRow < h; ++fileRow) {
        // Rows are stored bottom-up, blue-green-red(-alpha), in the file.
        const uint8_t* src = picture->rows + fileRow * picture->rowBytes();
        uint8_t* dst = &skin.rgba[(h - 1 - fileRow) * w * 4];
        for (std::size_t x = 0; x < w; ++x, src += bpp, dst += 4) {
            std::copy(src, src + bpp, dst);
            std::swap(dst[0], dst[2]);
        }
    }
    return skin;
}

int shapeSampleIndex(int pos, int imageSize, int windowSize) {
    assert(imageSize > 0 && windowSize > 0 && "sizes must be positive");
    // floor(pos * imageSize / windowSize + 0.5) in integers, so that exact
    // halves round up and not by the whim of a binary fraction. For the
    // window's last pixels this reaches one past the image's last column or
    // row whenever the image is smaller than the window.
    const long long index = (2LL * pos * imageSize + windowSize) / (2LL * windowSize);
    return std::clamp(int(index), 0, imageSize - 1);
}

std::vector<uint8_t> buildShapeMask(const SkinImage& skin, int windowWidth, int windowHeight) {
    if (!skin.hasAlpha() || windowWidth <= 0 || windowHeight <= 0)
        return {};
    std::vector<uint8_t> mask(std::size_t(windowWidth) * std::size_t(windowHeight));
    for (int y = 0; y < windowHeight; ++y) {
        const int row = shapeSampleIndex(y, skin.height, windowHeight);
        for (int x = 0; x < windowWidth; ++x) {
            const int column = shapeSampleIndex(x, skin.width, windowWidth);
            mask[std::size_t(y) * std::size_t(windowWidth) + std::size_t(x)] =
                skin.pixel(column, row)[3] != 0 ? 1 : 0;
        }
    }
    return mask;
}

}  // namespace kvx::launcher
