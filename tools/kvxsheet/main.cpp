// kvxsheet: tiles PNG pictures (frames of a recorded show) into one PNG.
//
//   kvxsheet OUT.png IN.png... [--cols 4] [--width 320] [--gap 4]
//                              [--background RRGGBB]
//
// Every input is scaled to --width pixels across (box filter) and placed
// left to right, top to bottom, --cols to a row. Exits 0 on success, 1 with
// the reason on stderr when an input cannot be read or the output written.
#include <png.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/kvxsheet/ContactSheet.h"

namespace {

using kvx::tools::RgbPicture;

std::optional<RgbPicture> readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGB;
    RgbPicture picture(static_cast<int>(image.width), static_cast<int>(image.height));
    if (picture.rgb.size() != PNG_IMAGE_SIZE(image) ||
        !png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return picture;
}

bool writePng(const std::string& path, const RgbPicture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), 0, nullptr) != 0;
}

bool parseHexColour(const std::string& text, std::array<uint8_t, 3>& out) {
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    const unsigned long v = std::stoul(text, nullptr, 16);
    out = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Tiles PNG pictures into one contact sheet"};
    std::string output;
    std::vector<std::string> inputs;
    std::string background = "000000";
    kvx::tools::SheetLayout layout;
    app.add_option("output", output, "PNG file to write")->required();
    app.add_option("inputs", inputs, "PNG pictures, in sheet order")->required();
    app.add_option("--cols", layout.cols, "pictures per row")
        ->capture_default_str()
        ->check(CLI::Range(1, 64));
    app.add_option("--width", layout.cellWidth, "width of each picture on the sheet")
        ->capture_default_str()
        ->check(CLI::Range(1, 4096));
    app.add_option("--gap", layout.gap, "pixels between and around the pictures")
        ->capture_default_str()
        ->check(CLI::Range(0, 256));
    app.add_option("--background", background, "colour of the gaps, RRGGBB")->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    if (!parseHexColour(background, layout.background)) {
        std::fprintf(stderr, "kvxsheet: '%s' is not a colour (RRGGBB)\n", background.c_str());
        return 1;
    }
    std::vector<RgbPicture> pictures;
    for (const std::string& path : inputs) {
        std::optional<RgbPicture> p = readPng(path);
        if (!p) {
            std::fprintf(stderr, "kvxsheet: cannot read %s as a PNG picture\n", path.c_str());
            return 1;
        }
        pictures.push_back(std::move(*p));
    }
    const RgbPicture sheet = kvx::tools::makeContactSheet(pictures, layout);
    if (!writePng(output, sheet)) {
        std::fprintf(stderr, "kvxsheet: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("kvxsheet: wrote %s (%d x %d, %zu pictures)\n", output.c_str(), sheet.width,
                sheet.height, pictures.size());
    return 0;
}
