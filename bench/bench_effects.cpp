// Effect benchmarks on the offscreen GL driver (Mesa llvmpipe), 800 x 600,
// quality 1.0 (512 x 512 buffers).
//
//   BM_Effect/<name>   whole frames with one layer of that type at its
//                      default settings (written as script text), timed in
//                      alternating batches against whole frames with one
//                      fadelayer in the same run: counters effect_ms,
//                      fade_ms and "ratio" = effect frame / fade frame.
//   BM_ParticleUpdate/<n>  the CPU side of a particle frame (spawning,
//                      moving and turning n live particles by 16 ms):
//                      counter ns_per_particle.
//   BM_FireStep/<N>    one step of an N x N fire grid on the CPU (feed,
//                      spread, swap), no GL: counter ns_per_cell, the time
//                      per spread cell.
//   BM_ObjectDeform    the object layer's per-frame twist of a mesh of
//                      10,000 vertices on the CPU: counter ns_per_vertex.
//   BM_MetaballsWalk/<n>  CPU only: one polygonisation of five balls on an
//                      n^3 grid by the walk from the balls, against every
//                      cell polygonised over the same field in the same
//                      run: counters cells_visited, full_cells, walk_ms,
//                      full_ms and "ratio" = full scan time / walk time
//                      (goal: at least 5).
//
// Each effect adds one entry to kEffectCases at the end of this file. Files
// a layer loads come from examples/effects (the Vfs points there).
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "assets/MeshShapes.h"
#include "effects/FireLayer.h"
#include "effects/MarchingCubes.h"
#include "effects/ObjectLayer.h"
#include "effects/ParticleLayer.h"
#include "effects/Registry.h"
#include "layers/LayerFactory.h"
#include "platform/video/Video.h"
#include "script/Demo.h"
#include "shell/Compositor.h"
#include "shell/Extensions.h"
#include "shell/GlWindow.h"
#include "vfs/Vfs.h"

namespace {

using namespace kvx;
using LayerList = std::vector<std::unique_ptr<layers::Layer>>;

// Layers from the text of a <SCRIPT> element, every effect registered.
LayerList layersFrom(const std::string& layersText) {
    effects::registerAll();
    const std::string text = "<ZEL><SCRIPT>\n" + layersText + "\n</SCRIPT></ZEL>";
    script::Demo demo("script.zel", [text](const char* name) -> std::optional<std::string> {
        return std::string(name) == "script.zel" ? std::optional<std::string>(text) : std::nullopt;
    });
    int count = 0;
    auto built = demo.buildLayers(count);
    LayerList out;
    if (built) {
        out = std::move(*built);
        out.resize(static_cast<size_t>(count));
    }
    return out;
}

void BM_Effect(benchmark::State& state, const char* layerText) {
    namespace fs = std::filesystem;
    const fs::path data = fs::path(__FILE__).parent_path().parent_path() / "examples" / "effects";
    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(data.string());
    if (!platform::initVideo(true)) {
        state.SkipWithError("no video");
        return;
    }
    shell::GlWindow window(800, 600, 32, false);
    if (window.failed() || !shell::loadExtensions()) {
        state.SkipWithError("no GL context with framebuffer objects");
        return;
    }
    LayerList effect = layersFrom(layerText);
    LayerList fade = layersFrom(R"(<LAYER> $TYPE = "fadelayer"; $END = -1; </LAYER>)");
    if (effect.empty() || fade.empty()) {
        state.SkipWithError("the layer text did not build a layer");
        return;
    }
    shell::Compositor compositor(window, 1.0f);
    for (auto* list : {&effect, &fade}) {
        for (auto& l : *list) {
            if (!compositor.initLayer(*l, 4.0f / 3.0f)) {
                state.SkipWithError("prepare failed");
                return;
            }
        }
    }
    using Clock = std::chrono::steady_clock;
    uint32_t time = 0;
    auto run = [&](LayerList& list, int frames) {
        const auto t0 = Clock::now();
        for (int i = 0; i < frames; ++i) {
            compositor.renderFrame(list, time, 16, true);
            glFinish();
            time += 16;
        }
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    };
    run(effect, 2);  // warm up both
    run(fade, 2);
    constexpr int kBatch = 4;
    double effectMs = 0;
    double fadeMs = 0;
    for (auto _ : state) {
        effectMs += run(effect, kBatch);
        fadeMs += run(fade, kBatch);
    }
    for (auto* list : {&effect, &fade}) {
        for (auto& l : *list) {
            l->release();
        }
    }
    const double n = static_cast<double>(state.iterations()) * kBatch;
    state.counters["effect_ms"] = effectMs / n;
    state.counters["fade_ms"] = fadeMs / n;
    state.counters["ratio"] = fadeMs > 0 ? effectMs / fadeMs : 0.0;
    vfs::Vfs::reset();
}

void BM_ParticleUpdate(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    effects::ParticleSystem system(n);
    int32_t seed = effects::ParticleLayer::kDefaultSeed;
    // Fill every slot first, then run at the default rate.
    system.rate = 1.0f;
    system.advance(static_cast<uint32_t>(n), seed);
    system.rate = 100.0f;
    using Clock = std::chrono::steady_clock;
    double ns = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        system.advance(16, seed);
        ns += std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
        benchmark::DoNotOptimize(system.particles.data());
    }
    state.counters["ns_per_particle"] = ns / (static_cast<double>(state.iterations()) * n);
}

void BM_FireStep(benchmark::State& state) {
    effects::registerAll();
    layers::LayerDesc desc;
    desc.type = "fire";
    layers::Keyframe n;
    n.kind = layers::ValueKind::Int;
    n.intValue = static_cast<int>(state.range(0));
    desc.addParam("nPoints", layers::Track(n), 0, layers::Interpolation::Step);
    auto layer = layers::LayerFactory::create(desc);
    auto* fire = dynamic_cast<effects::FireLayer*>(layer.get());
    if (fire == nullptr) {
        state.SkipWithError("no fire layer");
        return;
    }
    fire->updateTracks(0);
    fire->prepare();
    const int side = fire->preparedSize();
    // Spread cells per step: rows 1 .. N + 1, columns 1 .. N - 2.
    const double cells = static_cast<double>(side + 1) * static_cast<double>(side - 2);
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    for (auto _ : state) {
        fire->step();
        benchmark::DoNotOptimize(fire->current.data());
    }
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    state.counters["ns_per_cell"] = ns / (static_cast<double>(state.iterations()) * cells);
}

// Nanoseconds of CPU time this thread has used: the machine may be shared,
// and the twist runs on one thread.
double threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// A sphere of 100 x 100 vertices (9,704 positions), twisted about all three
// axes; one iteration is one frame's advance.
void BM_ObjectDeform(benchmark::State& state) {
    effects::ObjectLayer layer;
    layer.distortStep = {1.0f, 2.0f, 3.0f};
    layer.distortDivisor = {50.0f, 50.0f, 50.0f};
    layer.setMesh(assets::makeSphere(100.0f, 99, 99));
    const auto vertices = static_cast<double>(layer.originalMesh.vertices.size());
    double ns = 0;
    for (auto _ : state) {
        const double t0 = threadCpuNs();
        layer.advance(16);
        ns += threadCpuNs() - t0;
        benchmark::DoNotOptimize(layer.deformedMesh.positions.data());
    }
    state.counters["vertices"] = vertices;
    state.counters["ns_per_vertex"] = ns / (static_cast<double>(state.iterations()) * vertices);
}

// Counts what a polygonisation produced, so that none of it is optimised away.
class CountingSink final : public effects::CellSink {
  public:
    void cell(const effects::CellSurface& surface) override { triangles += surface.triangleCount; }
    long triangles = 0;
};

void BM_MetaballsWalk(benchmark::State& state) {
    // The same 60-unit cube of space at every n, so a finer grid shows the
    // same five blobs (isolevel 0.05: radius about 4.5 each) in more cells.
    const auto n = static_cast<int>(state.range(0));
    effects::MarchingGrid grid;
    if (!grid.build(n, 60.0f / static_cast<float>(n))) {
        state.SkipWithError("no grid");
        return;
    }
    effects::SurfaceWalker walker;
    walker.reserve(grid.cellCount);
    const float isolevel = 0.05f;
    using Clock = std::chrono::steady_clock;
    double walkMs = 0;
    double fullMs = 0;
    uint32_t visited = 0;
    long walkTriangles = 0;
    long fullTriangles = 0;
    int frame = 0;
    for (auto _ : state) {
        // The balls move a little every frame, as an animated show moves them.
        const float t = static_cast<float>(frame++) * 0.05f;
        effects::BallField field;
        field.count = effects::kMaxBalls;
        for (int b = 0; b < effects::kMaxBalls; ++b) {
            const float phase = t + static_cast<float>(b) * 1.2566f;
            field.centres[static_cast<size_t>(b)] = {9.0f * std::cos(phase),
                                                     7.0f * std::sin(phase * 1.3f),
                                                     5.0f * std::sin(phase * 0.7f)};
        }
        CountingSink walked;
        CountingSink scanned;
        const auto t0 = Clock::now();
        visited = walker.walk(grid, field, isolevel, field.centres.data(), field.count, walked);
        const auto t1 = Clock::now();
        effects::polygoniseAll(grid, field, isolevel, scanned);
        const auto t2 = Clock::now();
        walkMs += std::chrono::duration<double, std::milli>(t1 - t0).count();
        fullMs += std::chrono::duration<double, std::milli>(t2 - t1).count();
        walkTriangles += walked.triangles;
        fullTriangles += scanned.triangles;
    }
    if (walkTriangles != fullTriangles) {
        state.SkipWithError("the walk missed triangles of the full scan");
        return;
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["cells_visited"] = visited;
    state.counters["full_cells"] = grid.cellCount;
    state.counters["walk_ms"] = walkMs / iterations;
    state.counters["full_ms"] = fullMs / iterations;
    state.counters["ratio"] = walkMs > 0 ? fullMs / walkMs : 0.0;
}

}  // namespace

BENCHMARK(BM_FireStep)->Arg(12)->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(BM_ParticleUpdate)->Arg(100)->Arg(10000)->Arg(effects::ParticleSystem::kMaxCount);
BENCHMARK(BM_ObjectDeform)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MetaballsWalk)->Arg(30)->Arg(64)->Unit(benchmark::kMillisecond);

namespace {

// One entry per effect, at its default settings: BM_Effect/<name>.
struct EffectCase {
    const char* name;
    const char* layerText;
};
const EffectCase kEffectCases[] = {
    {"plasma", R"(<LAYER> $TYPE = "plasma"; $END = -1; </LAYER>)"},
    {"textlayer", R"(<LAYER> $TYPE = "textlayer"; $END = -1;
    <PARAM> fontfile = "font.tga"; offset = 32; text = "kvx textlayer\nsecond line"; </PARAM>
    </LAYER>)"},
    {"debugstats", R"(<LAYER> $TYPE = "debugstats"; $END = -1; </LAYER>)"},
    {"background", R"(<LAYER> $TYPE = "background"; $END = -1;
    <PARAM> type = "cube"; texture = "sky.tga"; </PARAM> </LAYER>)"},
    {"imagelayer", R"(<LAYER> $TYPE = "imagelayer"; $END = -1;
    <PARAM> filename = "rings.tga"; w = 1.0; h = 1.0; </PARAM> </LAYER>)"},
    // All 100 default slots alive from the first frames on (rate 1 ms).
    {"particle", R"(<LAYER> $TYPE = "particle"; $END = -1;
    <PARAM> texture = "spot.tga"; rate = 1.0; </PARAM> </LAYER>)"},
    {"radialblur", R"(<LAYER> $TYPE = "radialblur"; $END = -1; </LAYER>)"},
    // A heavier blur: 16 copies.
    {"radialblur_16", R"(<LAYER> $TYPE = "radialblur"; $END = -1;
    <PARAM> iterations = 16; delta = 150; alpha = 0.3; </PARAM> </LAYER>)"},
    // Without "n_vertex" the distortion draws nothing; 32 x 32 waving vertices.
    {"distortionlayer", R"(<LAYER> $TYPE = "distortionlayer"; $END = -1;
    <PARAM> n_vertex = 32; distfunc = "dycp"; dycpx = "true"; dycpy = "true"; dycpz = "true";
    </PARAM> </LAYER>)"},
    {"wipe", R"(<LAYER> $TYPE = "wipe"; $END = -1; </LAYER>)"},
    {"wipe_16", R"(<LAYER> $TYPE = "wipe"; $END = -1;
    <PARAM> n_quads = 16; anglespeed = 1.0; </PARAM> </LAYER>)"},
    {"fire", R"(<LAYER> $TYPE = "fire"; $END = -1; </LAYER>)"},
    // A large fire grid: 128 x 128 vertices.
    {"fire_128", R"(<LAYER> $TYPE = "fire"; $END = -1;
    <PARAM> nPoints = 128; </PARAM> </LAYER>)"},
    {"object", R"(<LAYER> $TYPE = "object"; $END = -1;
    <PARAM> filename = "torus.msh"; </PARAM> </LAYER>)"},
    {"dist_object", R"(<LAYER> $TYPE = "dist_object"; $END = -1;
    <PARAM> filename = "torus.msh"; </PARAM> </LAYER>)"},
    // The same mesh drawn directly every frame instead of from the display list.
    {"dist_object_direct", R"(<LAYER> $TYPE = "dist_object"; $END = -1;
    <PARAM> filename = "torus.msh"; direct = 1; </PARAM> </LAYER>)"},
    {"metaballs", R"(<LAYER> $TYPE = "metaballs"; $END = -1; <PARAM>
    ballcount = 5; isolevel = 0.2; ballx1 = -3.0; bally2 = 3.0; ballx3 = 3.0; bally4 = -3.0;
    ballz5 = 3.0; camposz = 40.0; </PARAM></LAYER>)"},
    {"twister", R"(<LAYER> $TYPE = "twister"; $END = -1; </LAYER>)"},
};

[[maybe_unused]] const bool kEffectsRegistered = [] {
    for (const EffectCase& c : kEffectCases) {
        benchmark::RegisterBenchmark((std::string("BM_Effect/") + c.name).c_str(), BM_Effect,
                                     c.layerText)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

}  // namespace
