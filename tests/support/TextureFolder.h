// TextureFolder: a scratch data folder that the Vfs reads from while the
// test runs, with helpers that write TGA pictures into it.
//
//   test::TextureFolder files;            // Vfs now reads from a temp folder
//   files.solid("green.tga", {0, 255, 0, 255});
//   files.quadrants("four.tga", red, green, blue, white);
//
// Pictures are given in picture order (top row first); the TGA files store
// them bottom-up as the loader expects. The Vfs goes back to its default
// folder when the TextureFolder is destroyed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "support/TempDir.h"
#include "support/TgaBuilder.h"
#include "vfs/Vfs.h"

namespace kvx::test {

using Rgba8 = std::array<int, 4>;

constexpr Rgba8 kRed{255, 0, 0, 255};
constexpr Rgba8 kGreen{0, 255, 0, 255};
constexpr Rgba8 kBlue{0, 0, 255, 255};
constexpr Rgba8 kWhite{255, 255, 255, 255};

class TextureFolder {
  public:
    TextureFolder() {
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.path().string());
    }
    ~TextureFolder() { vfs::Vfs::reset(); }
    TextureFolder(const TextureFolder&) = delete;
    TextureFolder& operator=(const TextureFolder&) = delete;

    // A side x side picture whose pixel (x, y), y counted from the top, is
    // colour(x, y); 32 bits.
    template <typename F>
    void picture(const std::string& name, int side, F colour) {
        const auto bytes = makeTga(side, side, 32, [&](int x, int fileRow, int c) {
            const Rgba8 rgba = colour(x, side - 1 - fileRow);
            // File order is blue, green, red, alpha.
            static constexpr int kFromFile[4] = {2, 1, 0, 3};
            return rgba[static_cast<size_t>(kFromFile[c])];
        });
        dir_.write(name, std::string(bytes.begin(), bytes.end()));
    }

    void solid(const std::string& name, Rgba8 colour, int side = 8) {
        picture(name, side, [&](int, int) { return colour; });
    }

    // Four quadrants of a 16 x 16 picture.
    void quadrants(const std::string& name, Rgba8 topLeft, Rgba8 topRight, Rgba8 bottomLeft,
                   Rgba8 bottomRight) {
        picture(name, 16, [&](int x, int y) {
            if (y < 8) {
                return x < 8 ? topLeft : topRight;
            }
            return x < 8 ? bottomLeft : bottomRight;
        });
    }

    const TempDir& dir() const { return dir_; }

  private:
    TempDir dir_;
};

}  // namespace kvx::test
