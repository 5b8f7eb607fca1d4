// PNG output through libpng, and frame read-back.
#include "shell/PngWriter.h"

#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace kvx::shell {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct PngDeleter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngDeleter() {
        if (png != nullptr) {
            png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
        }
    }
};

}  // namespace

bool writePng(const std::string& path, const uint8_t* pixels, int width, int height, int channels,
              std::string* error) {
    auto fail = [&](const char* why) {
        if (error != nullptr) {
            *error = path + ": " + why;
        }
        return false;
    };
    if (pixels == nullptr || width <= 0 || height <= 0 || (channels != 3 && channels != 4)) {
        return fail("nothing to write");
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return fail(std::strerror(errno));
    }
    PngDeleter guard;
    guard.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (guard.png == nullptr) {
        return fail("out of memory");
    }
    guard.info = png_create_info_struct(guard.png);
    if (guard.info == nullptr) {
        return fail("out of memory");
    }
    // libpng reports errors by longjmp; nothing with a destructor is created
    // between here and the end of the writing below.
    if (setjmp(png_jmpbuf(guard.png))) {
        return fail("write error");
    }
    png_init_io(guard.png, file.get());
    png_set_IHDR(guard.png, guard.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Speed over size: recordings write one file per frame.
    png_set_compression_level(guard.png, 3);
    png_write_info(guard.png, guard.info);
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(channels);
    for (int y = 0; y < height; ++y) {
        png_write_row(guard.png, const_cast<png_bytep>(pixels + stride * static_cast<size_t>(y)));
    }
    png_write_end(guard.png, nullptr);
    return true;
}

void readFrame(int width, int height, std::vector<uint8_t>& out) {
    const size_t stride = static_cast<size_t>(width) * 3;
    out.resize(stride * static_cast<size_t>(height) * 2);
    uint8_t* raw = out.data() + stride * static_cast<size_t>(height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, raw);
    // GL rows are bottom-up; files are top-down.
    for (int y = 0; y < height; ++y) {
        std::memcpy(out.data() + stride * static_cast<size_t>(y),
                    raw + stride * static_cast<size_t>(height - 1 - y), stride);
    }
}

}  // namespace kvx::shell
