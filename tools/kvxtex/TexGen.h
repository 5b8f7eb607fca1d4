// TexGen: the procedural pictures that kvxtex writes, and their TGA form.
//
// Every generator fills a square RGBA picture, top row first, from its
// options alone: the same options give the same bytes on every machine
// (noise comes from an integer hash of the lattice point and the seed, never
// from a library random generator). Noise is tileable: the lattice wraps at
// the picture's edges, so a texture repeats without a seam.
//
// encodeTga writes an uncompressed true-colour TGA (type 2) with the rows
// bottom-up, the order the player's image loader expects.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvx::tools {

using Rgba8 = std::array<uint8_t, 4>;

// A square picture, top row first, four bytes per pixel.
struct Picture {
    int side = 0;
    bool hasAlpha = false;  // written as 32 bits when set, else 24
    std::vector<uint8_t> rgba;

    Picture(int side, bool hasAlpha);
    void set(int x, int y, const Rgba8& c);
    Rgba8 at(int x, int y) const;
};

// Sides a picture may have; the player squares images to at most 1024 anyway.
constexpr int kMinSide = 1;
constexpr int kMaxSide = 4096;

// "RRGGBB" or "RRGGBBAA" in hex, with or without a leading '#'.
std::optional<Rgba8> parseColour(const std::string& text);

// Tileable value noise in 0..1 at (u, v) in 0..1 picture units, with
// `cells` lattice cells across the picture, summed over `octaves` octaves
// that each double the cells and halve the weight.
float fractalNoise(float u, float v, int cells, int octaves, uint32_t seed);

struct SkyOptions {
    int size = 256;
    Rgba8 top{0x1c, 0x3c, 0x8c, 0xff};
    Rgba8 horizon{0xa8, 0xcc, 0xf0, 0xff};
    Rgba8 cloud{0xff, 0xff, 0xff, 0xff};
    float cover = 0.5f;  // share of the sky under clouds, 0..1
    int cells = 4;
    uint32_t seed = 1;
};
// A vertical gradient from `top` to `horizon` under soft value-noise clouds.
Picture sky(const SkyOptions& o);

struct CheckerOptions {
    int size = 256;
    int cells = 8;  // squares along each edge
    Rgba8 a{0xff, 0xff, 0xff, 0xff};
    Rgba8 b{0x20, 0x20, 0x20, 0xff};
};
// Squares of `a` and `b`; the top-left square is `a`.
Picture checker(const CheckerOptions& o);

struct SpotOptions {
    int size = 64;
    Rgba8 colour{0xff, 0xff, 0xff, 0xff};
    float hardness = 0.0f;  // 0 fades from the centre, 1 is a hard disc
};
// A round sprite: `colour` everywhere, alpha falling from full at the centre
// to 0 at the inscribed circle and beyond (32 bits).
Picture spot(const SpotOptions& o);

enum class GradientDirection { Vertical, Horizontal, Radial };
struct GradientOptions {
    int size = 256;
    Rgba8 from{0x00, 0x00, 0x00, 0xff};
    Rgba8 to{0xff, 0xff, 0xff, 0xff};
    GradientDirection direction = GradientDirection::Vertical;
};
// `from` at the top (left, centre) edge to `to` at the bottom (right, corners).
Picture gradient(const GradientOptions& o);

struct NoiseOptions {
    int size = 256;
    int cells = 8;
    int octaves = 4;
    Rgba8 from{0x00, 0x00, 0x00, 0xff};
    Rgba8 to{0xff, 0xff, 0xff, 0xff};
    uint32_t seed = 1;
};
// Fractal value noise mapped from `from` (0) to `to` (1).
Picture noise(const NoiseOptions& o);

struct RingsOptions {
    int size = 256;
    int rings = 8;  // bright rings between the centre and the edge's middle
    Rgba8 a{0xff, 0xff, 0xff, 0xff};
    Rgba8 b{0x00, 0x00, 0x00, 0xff};
};
// Concentric rings fading between `a` (at the centre) and `b`.
Picture rings(const RingsOptions& o);

// The TGA file of a picture: 18-byte header, rows bottom-up, BGR(A).
std::vector<uint8_t> encodeTga(const Picture& picture);

}  // namespace kvx::tools
