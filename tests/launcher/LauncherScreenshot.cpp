// launcher_screenshot: opens the real launcher window with the kvxskin skin,
// reads back what the window shows and writes it as a PNG.
//
//   launcher_screenshot [out.png] [--plain] [--open-modes]
//
// --plain shows the dialog without a skin; --open-modes drops the mode list
// down. Cut-away parts of a shaped window are written transparent. Needs a
// display (e.g. xvfb-run -s "-screen 0 1024x768x24").
#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "launcher/Font.h"
#include "launcher/LauncherDialog.h"
#include "launcher/LauncherLists.h"
#include "platform/launcher/LauncherWindow.h"
#include "tools/kvxskin/SkinArt.h"

using namespace kvx;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool writePng(const std::string& path, const std::vector<uint8_t>& rgba, int w, int h) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    // Frees both on every way out, the longjmp one included.
    struct Guard {
        png_structp* png;
        png_infop* info;
        ~Guard() { png_destroy_write_struct(png, info); }
    } guard{&png, &info};
    if (info == nullptr)
        return false;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) {
        png_write_row(png,
                      rgba.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w) * 4);
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string output = "launcher.png";
    bool plain = false;
    bool openModes = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--plain") == 0) {
            plain = true;
        } else if (std::strcmp(argv[i], "--open-modes") == 0) {
            openModes = true;
        } else {
            output = argv[i];
        }
    }

    platform::VideoSession video;
    if (!video.ok()) {
        std::fprintf(stderr, "launcher_screenshot: %s\n", video.error().c_str());
        return 1;
    }
    const auto font = launcher::Font::loadDefault(12);
    const auto title =
        launcher::Font::load("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 14);
    std::optional<launcher::SkinImage> skin;
    if (!plain) {
        // Through the file format, as the launcher gets it.
        skin =
            launcher::parseSkin(launcher::encodeSkin(tools::drawSkin({}, font.get(), title.get())));
    }
    std::vector<launcher::DisplayMode> modes;
    for (const platform::VideoMode& m : platform::listVideoModes())
        modes.push_back({m.width, m.height, m.bits});
    launcher::LauncherDialog dialog(launcher::offeredModeRows(modes), skin);

    std::string error;
    auto window = platform::LauncherWindow::create("Morvane", launcher::LauncherDialog::kWidth,
                                                   launcher::LauncherDialog::kHeight,
                                                   dialog.shapeMask(), error);
    if (!window) {
        std::fprintf(stderr, "launcher_screenshot: %s\n", error.c_str());
        return 1;
    }
    if (openModes) {
        const launcher::Rect f = dialog.modeBox().field();
        dialog.handle({launcher::LauncherInput::Type::MouseDown, f.x + 5, f.y + 5});
        dialog.handle({launcher::LauncherInput::Type::MouseUp, f.x + 5, f.y + 5});
    }

    launcher::Canvas canvas(launcher::LauncherDialog::kWidth, launcher::LauncherDialog::kHeight);
    dialog.render(canvas, font.get());
    // Let the window come up before reading it back.
    platform::LauncherEvent event;
    for (int i = 0; i < 10; ++i) {
        window->present(canvas.data());
        while (window->waitEvent(event, 20)) {
        }
    }
    std::vector<uint8_t> shown;
    if (!window->present(canvas.data(), &shown)) {
        std::fprintf(stderr, "launcher_screenshot: cannot read the window back\n");
        return 1;
    }
    for (std::size_t i = 0; i < shown.size(); i += 4) {
        const int x = static_cast<int>((i / 4) % launcher::LauncherDialog::kWidth);
        const int y = static_cast<int>((i / 4) / launcher::LauncherDialog::kWidth);
        shown[i + 3] = dialog.insideShape(x, y) ? 255 : 0;
    }
    if (!writePng(output, shown, launcher::LauncherDialog::kWidth,
                  launcher::LauncherDialog::kHeight)) {
        std::fprintf(stderr, "launcher_screenshot: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("launcher_screenshot: wrote %s (%s window, %zu modes offered)\n", output.c_str(),
                window->shaped() ? "shaped" : "rectangular", dialog.modeBox().count());
    return 0;
}
