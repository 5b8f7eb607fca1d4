// kvxskin: writes the launcher skin "StandardConfig.tga".
//
//   kvxskin [-o StandardConfig.tga] [--title Morvane] [--no-labels]
//
// The result is a 500 x 200, 32-bit TGA whose alpha channel cuts the
// launcher window into a rounded panel with a title tab.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>

#include "tools/kvxskin/SkinArt.h"

int main(int argc, char** argv) {
    CLI::App app{"Draws the launcher skin StandardConfig.tga"};
    std::string output = "StandardConfig.tga";
    kvx::tools::SkinArtOptions options;
    bool noLabels = false;
    app.add_option("-o,--output", output, "file to write");
    app.add_option("--title", options.title, "text on the title tab");
    app.add_flag("--no-labels", noLabels, "leave out the control labels");
    CLI11_PARSE(app, argc, argv);
    options.labels = !noLabels;

    const auto labelFont = kvx::launcher::Font::loadDefault(12);
    const auto titleFont =
        kvx::launcher::Font::load("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 14);
    if (!labelFont)
        std::fprintf(stderr, "kvxskin: no font found, the skin gets no words\n");

    const kvx::launcher::SkinImage skin = kvx::tools::drawSkin(
        options, labelFont.get(), titleFont ? titleFont.get() : labelFont.get());
    const std::vector<uint8_t> file = kvx::launcher::encodeSkin(skin);
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out.good()) {
        std::fprintf(stderr, "kvxskin: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("kvxskin: wrote %s (%d x %d, 32 bit)\n", output.c_str(), skin.width, skin.height);
    return 0;
}
