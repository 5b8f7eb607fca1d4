// Launcher benchmarks: the dialog repaints its whole picture after every
// input event and cuts the window shape once at start; both must stay far
// below a frame's time so that dragging and hovering feel immediate.
#include <benchmark/benchmark.h>

#include "launcher/Canvas.h"
#include "launcher/Font.h"
#include "launcher/LauncherDialog.h"
#include "launcher/Skin.h"

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
    const std::vector<uint8_t> file = kvx::launcher::encodeSkin(benchSkin(500, 200));
    for (auto _ : state) {
        auto skin = kvx::launcher::parseSkin(file);
        benchmark::DoNotOptimize(skin->rgba.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_LauncherParseSkin);

// Arg 0: plain dialog with labels; arg 1: skinned dialog with the mode list open.
void BM_LauncherRender(benchmark::State& state) {
    const auto font = kvx::launcher::Font::loadDefault(12);
    const bool skinned = state.range(0) != 0;
    kvx::launcher::LauncherDialog dialog(
        {}, skinned ? std::optional(benchSkin(500, 200)) : std::nullopt);
    if (skinned) {
        dialog.handle({kvx::launcher::LauncherInput::Type::MouseDown, 160, 55});
        dialog.handle({kvx::launcher::LauncherInput::Type::MouseUp, 160, 55});
    }
    kvx::launcher::Canvas canvas(500, 200);
    for (auto _ : state) {
        dialog.render(canvas, font.get());
        benchmark::DoNotOptimize(canvas.data());
    }
}
BENCHMARK(BM_LauncherRender)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
