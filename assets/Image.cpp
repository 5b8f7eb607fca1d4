// TGA decoding and point resampling to a power-of-two square.
#include "assets/Image.h"

#include <algorithm>

#include "core/ByteReader.h"
#include "vfs/Vfs.h"

namespace kvx::assets {

namespace {

constexpr size_t kHeaderSize = 18;
constexpr uint8_t kTrueColour = 2;

}  // namespace

int squareSide(int width, int height) {
    const int s = std::max(width, height);
    if (s > kMaxImageSide) {
        return kMaxImageSide;
    }
    int h = 1;
    while (h < s) {
        h *= 2;
    }
    const int l = h / 2;
    if (l == 0) {
        return h;  // a 1-pixel side has no smaller power to round down to
    }
    const float over = static_cast<float>(s - l) / static_cast<float>(l);
    return over >= 0.5f ? h : l;
}

std::optional<TgaPicture> readTgaPicture(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kHeaderSize || data[2] != kTrueColour) {
        return std::nullopt;
    }
    // Width and height are signed 16-bit fields at offsets 12 and 14, then
    // the bits per pixel.
    core::ByteReader header(data, kHeaderSize);
    header.seek(12);
    TgaPicture picture;
    picture.width = static_cast<int16_t>(header.u16());
    picture.height = static_cast<int16_t>(header.u16());
    picture.bytesPerPixel = header.u8() / 8;
    if (picture.width <= 0 || picture.height <= 0) {
        return std::nullopt;
    }
    // The header's promise is checked against the bytes that are there
    // before anything is allocated, so an absurd size in a short file costs
    // nothing.
    if (size - kHeaderSize < picture.rowBytes() * static_cast<size_t>(picture.height)) {
        return std::nullopt;
    }
    picture.rows = data + kHeaderSize;
    return picture;
}

std::optional<Image> decodeTga(const uint8_t* data, size_t size) {
    std::optional<TgaPicture> picture = readTgaPicture(data, size);
    if (!picture) {
        return std::nullopt;
    }
    const int width = picture->width;
    const int height = picture->height;
    const int bpp = picture->bytesPerPixel;
    const size_t rowBytes = picture->rowBytes();
    const size_t pixelBytes = rowBytes * static_cast<size_t>(height);

    // Rows are stored bottom-up in the file: file row i lands in row H-1-i.
    std::vector<uint8_t> source(pixelBytes);
    const uint8_t* rows = picture->rows;
    for (int i = 0; i < height; ++i) {
        std::copy_n(rows + static_cast<size_t>(i) * rowBytes, rowBytes,
                    source.begin() + static_cast<std::ptrdiff_t>(
                                         static_cast<size_t>(height - 1 - i) * rowBytes));
    }
    if (bpp == 3 || bpp == 4) {
        for (size_t p = 0; p + 2 < pixelBytes; p += static_cast<size_t>(bpp)) {
            std::swap(source[p], source[p + 2]);
        }
    }

    Image image;
    image.side = squareSide(width, height);
    image.bytesPerPixel = bpp;
    const size_t side = static_cast<size_t>(image.side);
    image.pixels.resize(side * side * static_cast<size_t>(bpp));
    const float xRatio = static_cast<float>(width) / static_cast<float>(image.side);
    const float yRatio = static_cast<float>(height) / static_cast<float>(image.side);
    for (int y = 0; y < image.side; ++y) {
        const int sy = std::min(static_cast<int>(static_cast<float>(y) * yRatio), height - 1);
        for (int x = 0; x < image.side; ++x) {
            const int sx = std::min(static_cast<int>(static_cast<float>(x) * xRatio), width - 1);
            const size_t from = static_cast<size_t>(sy) * rowBytes + static_cast<size_t>(sx * bpp);
            const size_t to =
                (static_cast<size_t>(y) * side + static_cast<size_t>(x)) * static_cast<size_t>(bpp);
            std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(from), bpp,
                        image.pixels.begin() + static_cast<std::ptrdiff_t>(to));
        }
    }
    return image;
}

std::optional<Image> loadImage(const core::String& name) {
    std::optional<vfs::Bytes> bytes = vfs::Vfs::readAll(name.text());
    if (!bytes) {
        return std::nullopt;
    }
    return decodeTga(bytes->data(), bytes->size());
}

}  // namespace kvx::assets
