// Material: the surface of one part of a mesh, and the small text files
// that hold a mesh's materials.
//
// A material file is a sequence of blocks of "key = value" lines, each block
// closed by a line "end"; the n-th block fills the n-th material of the
// array it is read into. Keys (any letter case): diffuse, specular (colours
// written "(r, g, b, a)"), texture, reflection (texture references),
// reflectiveness, shininess (numbers). Lines starting with "#" and lines
// without "=" are ignored; a block without its "end" is not stored.
//
// Numbers are read the way the show's files have always been written: an
// optional first character (sign or digit), digits, an optional "." and
// digits; anything after that, exponents included, is ignored ("2e3" is 2).
// A colour that does not start with "(" is (0, 0, 0, 0).
//
// Texture references: "$" and one digit n names shared offscreen picture n
// (0 the accumulation picture, 1 and 2 the target buffers) as the id
// -256 + n, for n up to the process's shared texture limit; "$" and any
// other single character is no texture (-1). Anything else, "$12" too, is an
// image file, loaded while the file is read (textures need a current GL context;
// readMaterials takes the loader as a parameter so that parsing can be
// tested without one).
#pragma once

#include <array>
#include <functional>
#include <string_view>

#include "core/String.h"

namespace kvx::assets {

// Texture id of shared offscreen picture n (n >= 0).
constexpr int offscreenTextureId(int n) {
    return -256 + n;
}
// True for the ids that name an offscreen picture rather than a GL texture.
constexpr bool isOffscreenTextureId(int id) {
    return id >= -256 && id <= -2;
}

struct Material {
    std::array<float, 4> diffuse{0.0f, 0.0f, 0.0f, 0.0f};
    std::array<float, 4> specular{0.0f, 0.0f, 0.0f, 0.0f};
    int texture = -1;            // GL texture name, -1 none, offscreen ids as above
    int reflectionTexture = -1;  // sphere-mapped environment, same encoding
    float shininess = 10.0f;
    float reflectiveness = 0.0f;
};

// Turns a texture file name into a texture id (-1 when it cannot be loaded).
using TextureLoader = std::function<int(const core::String& fileName)>;

// The number at the start of text as described above; "" is 0.
float parseMaterialNumber(std::string_view text);
// "(r, g, b, a)"; (0, 0, 0, 0) without the opening parenthesis, and 0 for a
// component whose separator is missing.
std::array<float, 4> parseMaterialColour(std::string_view text);
// The id of a texture reference; file names go to load.
int parseTextureReference(std::string_view text, const TextureLoader& load);

// Fills at most capacity entries of materials, in order, from the text of a
// material file. Returns the number of materials stored.
int readMaterials(std::string_view text, Material* materials, int capacity,
                  const TextureLoader& load);

// Reads the material file name through the Vfs into materials (textures are
// loaded with loadTexture). A missing file leaves the materials as they are.
void loadMaterials(const core::String& name, Material* materials, int capacity);

}  // namespace kvx::assets
