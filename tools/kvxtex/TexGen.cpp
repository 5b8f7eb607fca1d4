// TexGen: procedural pictures (sky, checker, spot, gradient, noise, rings)
// and their TGA encoding.
#include "tools/kvxtex/TexGen.h"

#include <algorithm>
#include <cmath>

namespace kvx::tools {
namespace {

constexpr float kPi = 3.14159265f;

float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float smooth(float t) {
    return t * t * (3.0f - 2.0f * t);
}

uint8_t toByte(float v) {
    return static_cast<uint8_t>(std::lround(clamp01(v / 255.0f) * 255.0f));
}

Rgba8 mix(const Rgba8& a, const Rgba8& b, float t) {
    Rgba8 out{};
    for (size_t c = 0; c < 4; ++c) {
        const float from = a[c];
        out[c] = toByte(from + (static_cast<float>(b[c]) - from) * t);
    }
    return out;
}

// A well-mixed 32-bit hash of a lattice point; the noise's only source of
// randomness, so pictures are the same on every machine.
uint32_t hashPoint(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B9u ^ x * 0x85EBCA6Bu ^ y * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

float latticeValue(int x, int y, uint32_t seed) {
    return static_cast<float>(hashPoint(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed) >>
                              8) *
           (1.0f / 16777216.0f);
}

int wrap(int i, int period) {
    const int r = i % period;
    return r < 0 ? r + period : r;
}

// One octave: smoothly interpolated lattice values, the lattice wrapping
// every `cells` cells so the picture tiles.
float valueNoise(float u, float v, int cells, uint32_t seed) {
    const float x = u * static_cast<float>(cells);
    const float y = v * static_cast<float>(cells);
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const int x0 = wrap(static_cast<int>(fx), cells);
    const int y0 = wrap(static_cast<int>(fy), cells);
    const int x1 = wrap(x0 + 1, cells);
    const int y1 = wrap(y0 + 1, cells);
    const float sx = smooth(x - fx);
    const float sy = smooth(y - fy);
    const float top =
        latticeValue(x0, y0, seed) + (latticeValue(x1, y0, seed) - latticeValue(x0, y0, seed)) * sx;
    const float bottom =
        latticeValue(x0, y1, seed) + (latticeValue(x1, y1, seed) - latticeValue(x0, y1, seed)) * sx;
    return top + (bottom - top) * sy;
}

// Pixel centres in 0..1 picture units.
float unit(int i, int side) {
    return (static_cast<float>(i) + 0.5f) / static_cast<float>(side);
}

// 0 on the first row or column, 1 on the last.
float edgeToEdge(int i, int side) {
    return side > 1 ? static_cast<float>(i) / static_cast<float>(side - 1) : 0.0f;
}

// Distance of a pixel centre from the picture's centre, in half sides.
float radius(int x, int y, int side) {
    const float half = static_cast<float>(side) * 0.5f;
    const float dx = static_cast<float>(x) + 0.5f - half;
    const float dy = static_cast<float>(y) + 0.5f - half;
    return std::sqrt(dx * dx + dy * dy) / half;
}

template <typename F>
Picture fill(int side, bool alpha, F pixel) {
    Picture p(side, alpha);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            p.set(x, y, pixel(x, y));
        }
    }
    return p;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void putLe16(std::vector<uint8_t>& out, size_t at, int v) {
    out[at] = static_cast<uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

Picture::Picture(int s, bool alpha)
    : side(s), hasAlpha(alpha), rgba(static_cast<size_t>(s) * static_cast<size_t>(s) * 4, 0) {}

void Picture::set(int x, int y, const Rgba8& c) {
    const size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)) * 4;
    std::copy(c.begin(), c.end(), rgba.begin() + static_cast<std::ptrdiff_t>(at));
}

Rgba8 Picture::at(int x, int y) const {
    const size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
}

std::optional<Rgba8> parseColour(const std::string& text) {
    const std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (hex.size() != 6 && hex.size() != 8) {
        return std::nullopt;
    }
    Rgba8 out{0, 0, 0, 0xff};
    for (size_t c = 0; c < hex.size() / 2; ++c) {
        const int hi = hexDigit(hex[2 * c]);
        const int lo = hexDigit(hex[2 * c + 1]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        out[c] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return out;
}

float fractalNoise(float u, float v, int cells, int octaves, uint32_t seed) {
    float sum = 0.0f;
    float weight = 1.0f;
    float total = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += weight * valueNoise(u, v, cells << o, seed + 0x01000193u * static_cast<uint32_t>(o));
        total += weight;
        weight *= 0.5f;
    }
    return total > 0.0f ? sum / total : 0.0f;
}

Picture sky(const SkyOptions& o) {
    // Clouds start where the noise passes 1 - cover and are solid a quarter
    // of the noise range above that.
    const float lo = 1.0f - clamp01(o.cover);
    const float hi = lo + 0.25f;
    return fill(o.size, false, [&](int x, int y) {
        const Rgba8 base = mix(o.top, o.horizon, edgeToEdge(y, o.size));
        if (o.cover <= 0.0f) {
            return base;
        }
        const float n = fractalNoise(unit(x, o.size), unit(y, o.size), o.cells, 5, o.seed);
        return mix(base, o.cloud, smooth(clamp01((n - lo) / (hi - lo))));
    });
}

Picture checker(const CheckerOptions& o) {
    return fill(o.size, false, [&](int x, int y) {
        const int cx = x * o.cells / o.size;
        const int cy = y * o.cells / o.size;
        return (cx + cy) % 2 == 0 ? o.a : o.b;
    });
}

Picture spot(const SpotOptions& o) {
    const float soft = std::max(1e-3f, 1.0f - clamp01(o.hardness));
    return fill(o.size, true, [&](int x, int y) {
        const float a = smooth(clamp01((1.0f - radius(x, y, o.size)) / soft));
        Rgba8 c = o.colour;
        c[3] = toByte(a * static_cast<float>(o.colour[3]));
        return c;
    });
}

Picture gradient(const GradientOptions& o) {
    return fill(o.size, false, [&](int x, int y) {
        float t = 0.0f;
        switch (o.direction) {
            case GradientDirection::Vertical:
                t = edgeToEdge(y, o.size);
                break;
            case GradientDirection::Horizontal:
                t = edgeToEdge(x, o.size);
                break;
            case GradientDirection::Radial:
                t = clamp01(radius(x, y, o.size) / std::sqrt(2.0f));
                break;
        }
        return mix(o.from, o.to, t);
    });
}

Picture noise(const NoiseOptions& o) {
    return fill(o.size, false, [&](int x, int y) {
        const float n = fractalNoise(unit(x, o.size), unit(y, o.size), o.cells, o.octaves, o.seed);
        return mix(o.from, o.to, n);
    });
}

Picture rings(const RingsOptions& o) {
    return fill(o.size, false, [&](int x, int y) {
        const float r = radius(x, y, o.size);
        return mix(o.a, o.b, 0.5f - 0.5f * std::cos(2.0f * kPi * static_cast<float>(o.rings) * r));
    });
}

std::vector<uint8_t> encodeTga(const Picture& picture) {
    const int bytes = picture.hasAlpha ? 4 : 3;
    std::vector<uint8_t> out(18, 0);
    out[2] = 2;  // uncompressed true colour
    putLe16(out, 12, picture.side);
    putLe16(out, 14, picture.side);
    out[16] = static_cast<uint8_t>(bytes * 8);
    // Descriptor: the count of alpha bits; origin bottom-left (bit 5 clear).
    out[17] = static_cast<uint8_t>(picture.hasAlpha ? 8 : 0);
    out.reserve(out.size() + static_cast<size_t>(picture.side) * static_cast<size_t>(picture.side) *
                                 static_cast<size_t>(bytes));
    // Rows are stored bottom-up: the picture's last row comes first.
    for (int y = picture.side - 1; y >= 0; --y) {
        for (int x = 0; x < picture.side; ++x) {
            const Rgba8 c = picture.at(x, y);
            out.push_back(c[2]);
            out.push_back(c[1]);
            out.push_back(c[0]);
            if (picture.hasAlpha) {
                out.push_back(c[3]);
            }
        }
    }
    return out;
}

}  // namespace kvx::tools
