// Launcher benchmarks: the skin is parsed and the window shape cut once at
// start, and every input event draws two frames; all must stay far below a
// display frame's time so that the dialog opens at once and follows the mouse.
#include <benchmark/benchmark.h>

#include "launcher/Skin.h"
#include "platform/launcher/LauncherWindow.h"
#include "platform/video/Video.h"
#include "support/TgaBuilder.h"

namespace {

kvx::launcher::SkinImage benchSkin(int w, int h) {
    kvx::launcher::SkinImage s;
    s.width = w;
    s.height = h;
    s.bits = 32;
    s.rgba.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    for (std::size_t i = 0; i < s.rgba.size(); ++i)
        s.rgba[i] = static_cast<uint8_t>(i * 31 % 251);
    return s;
}

void BM_LauncherShapeMask(benchmark::State& state) {
    const auto skin =
        benchSkin(static_cast<int>(state.range(0)), static_cast<int>(state.range(0)) * 2 / 5);
    for (auto _ : state) {
        auto mask = kvx::launcher::buildShapeMask(skin, 500, 200);
        benchmark::DoNotOptimize(mask.data());
    }
}
BENCHMARK(BM_LauncherShapeMask)->Arg(250)->Arg(500)->Arg(1000);

void BM_LauncherParseSkin(benchmark::State& state) {
    const std::vector<uint8_t> file = kvx::test::makeTga(
        500, 200, 32, [](int x, int y, int c) { return (x * 31 + y * 7 + c) % 251; });
    for (auto _ : state) {
        auto skin = kvx::launcher::parseSkin(file);
        benchmark::DoNotOptimize(skin->rgba.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_LauncherParseSkin);

// One frame of the skinned dialog, read back (what
// the screenshot takes; an input event draws two without the read-back).
void BM_LauncherFrame(benchmark::State& state) {
    std::string error;
    auto window = kvx::platform::initVideo(true)
                      ? kvx::platform::LauncherWindow::create(kvx::launcher::LauncherChoice(),
                                                              benchSkin(500, 200), error)
                      : nullptr;
    if (!window) {
        state.SkipWithError("no launcher window");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(window->pixels().data());
}
BENCHMARK(BM_LauncherFrame)->Unit(benchmark::kMillisecond);

}  // namespace
