// live_screenshots: the README's frames of live authoring, recorded from a
// copy of examples/first played as an author would: the overlay on (F1) with
// a loop range set, a save that breaks the script (the diagnostic over the
// picture, the show going on), and the save that mends it.
//
//   live_screenshots OUTDIR
//
// Writes OUTDIR/live-overlay.png, live-error.png and live-mended.png (640 x
// 360, headless). The show runs on a virtual clock at 60 frames per second,
// so the same frames come out every time.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/Timer.h"
#include "platform/video/Video.h"
#include "shell/FrameStep.h"
#include "shell/PngWriter.h"
#include "shell/Show.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

using namespace kvx;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;

std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void save(const std::string& path) {
    std::vector<uint8_t> pixels;
    shell::readFrame(kWidth, kHeight, pixels);
    std::string error;
    if (!shell::writePng(path, pixels.data(), kWidth, kHeight, 3, &error)) {
        std::fprintf(stderr, "live_screenshots: %s\n", error.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: live_screenshots OUTDIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    fs::create_directories(out);
    test::TempDir data;
    const fs::path first = fs::path(KVX_SOURCE_DIR) / "examples" / "first";
    for (const char* name : {"script.zel", "config.sp", "music.m"}) {
        fs::copy_file(first / name, data.path() / name);
    }
    const std::string script = readText(first / "script.zel");
    // The save of an author who forgot a semicolon after a value.
    std::string broken = script;
    const size_t at = broken.find("addop2 = 3;");
    if (at != std::string::npos) {
        broken.replace(at, 11, "addop2 = 3");
    }

    if (!platform::initVideo(true)) {
        return 1;
    }
    vfs::Vfs::setDataDirectory(data.path().string());
    core::ManualClock clock(0);
    const shell::FrameStep step;
    shell::ShowOptions options;
    options.headless = true;
    options.pauseMs = 0;
    options.settings.width = kWidth;
    options.settings.height = kHeight;
    options.settings.aspect = static_cast<float>(kWidth) / kHeight;
    options.watch = true;
    options.clock = &clock;
    options.maxFrames = 400;
    uint64_t k = 0;  // frame of the 60 fps step
    options.onFrame = [&](const shell::FrameInfo& info) {
        switch (info.index) {
            case 120:
                platform::pushKeyPress(platform::Key::F1);
                break;
            case 180:
                platform::pushKeyPress(platform::Key::LoopStart);
                break;
            case 300:
                platform::pushKeyPress(platform::Key::LoopEnd);
                break;
            case 320:
                save((out / "live-overlay.png").string());
                std::ofstream(data.path() / "script.zel", std::ios::binary) << broken;
                break;
            case 340:
                save((out / "live-error.png").string());
                std::ofstream(data.path() / "script.zel", std::ios::binary) << script;
                break;
            case 360:
                save((out / "live-mended.png").string());
                break;
            default:
                break;
        }
        clock.advance(step.step(++k));
    };
    shell::ShowStats stats;
    const int status = shell::runShow(options, &stats);
    vfs::Vfs::reset();
    std::printf("%s\n", shell::formatSummary(stats).c_str());
    return status;
}
