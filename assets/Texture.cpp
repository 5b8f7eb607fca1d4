// Texture upload of squared images.
#include "assets/Texture.h"

#include <GL/gl.h>

namespace kvx::assets {

int uploadTexture(const Image& image) {
    // Texturing is switched on for every loaded picture, also one that then
    // turns out to have a pixel size GL cannot take.
    glEnable(GL_TEXTURE_2D);
    GLenum format = 0;
    if (image.bytesPerPixel == 4) {
        format = GL_RGBA;
    } else if (image.bytesPerPixel == 3) {
        format = GL_RGB;
    } else {
        return 0;  // no name is generated for a picture GL cannot take
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // Rows of 3-byte pixels are not 4-byte aligned (a 1- or 2-pixel RGB side
    // would make GL read past the buffer): unpack byte by byte.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    // Internal format 4: four components, also for RGB sources.
    glTexImage2D(GL_TEXTURE_2D, 0, 4, image.side, image.side, 0, format, GL_UNSIGNED_BYTE,
                 image.pixels.data());
    glPopClientAttrib();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return static_cast<int>(name);
}

int loadTexture(const core::String& name) {
    std::optional<Image> image = loadImage(name);
    if (!image) {
        return -1;
    }
    return uploadTexture(*image);
}

}  // namespace kvx::assets
