// Player benchmarks on the offscreen GL driver (Mesa llvmpipe), 800 x 600,
// quality 1.0 (512 x 512 buffers):
//   BM_ShowFrame/fades:N     whole frames with N fadelayers (counter fps)
//   BM_ShowFrame/plasma64    whole frames with one plasma of nPoints 64
//   BM_Compositing           one layer composited (accumulation buffer made
//                            current, blend mode, full-buffer textured quad)
//                            next to the same quad drawn by bare GL in the
//                            same run; "ratio" = compositing / bare
//   BM_BufferSwitch          one round trip between two offscreen buffers'
//                            contexts (accumulation, layer, accumulation),
//                            as the frame loop makes twice per layer
//   BM_StartUp               launch to first frame of examples/first, minus
//                            the one-second pause (counter startup_ms)
//   BM_SeekToEnd             an exact seek to the end of a 120 s show (fire,
//                            particles, plasma, a beat flash; 8 stereo
//                            channels of music, a note on each every 250 ms)
//                            once its sound checkpoints are rehearsed: the
//                            layers rebuilt and prepared, 7200 frames at the
//                            60 fps step replayed, the sound restored;
//                            "ratio" = seek time / 300 ms (goal: below 1)
//   BM_SeekToEndCold         the same seek right after loading, while the
//                            rehearsal of the sound still runs (as
//                            --start-at does); "ratio" likewise
// Every measured step ends with glFinish, so the GPU work is counted.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "effects/FadeLayer.h"
#include "effects/PlasmaLayer.h"
#include "effects/Registry.h"
#include "platform/video/Video.h"
#include "shell/Blend.h"
#include "shell/Compositor.h"
#include "shell/Extensions.h"
#include "shell/GlWindow.h"
#include "shell/Show.h"
#include "shell/Stage.h"
#include "support/TempDir.h"
#include "synth/ConfigText.h"
#include "synth/Song.h"
#include "vfs/Vfs.h"

namespace {

using namespace kvx;
using LayerList = std::vector<std::unique_ptr<layers::Layer>>;

std::unique_ptr<shell::GlWindow> openWindow(benchmark::State& state) {
    if (!platform::initVideo(true)) {
        state.SkipWithError("no video");
        return nullptr;
    }
    auto window = std::make_unique<shell::GlWindow>(800, 600, 32, false);
    if (window->failed() || !shell::loadExtensions()) {
        state.SkipWithError("no GL context with framebuffer objects");
        return nullptr;
    }
    return window;
}

void runFrames(benchmark::State& state, LayerList& layers) {
    auto window = openWindow(state);
    if (!window) {
        return;
    }
    shell::Compositor compositor(*window, 1.0f);
    for (auto& l : layers) {
        compositor.initLayer(*l, 4.0f / 3.0f);
    }
    uint32_t time = 0;
    for (auto _ : state) {
        compositor.renderFrame(layers, time, 16, true);
        glFinish();
        time += 16;
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ShowFrameFades(benchmark::State& state) {
    LayerList layers;
    for (int i = 0; i < state.range(0); ++i) {
        auto f = std::make_unique<effects::FadeLayer>();
        f->fadeColour = {0.1f * static_cast<float>(i % 10), 0.5f, 0.2f, 0.3f};
        f->blendMode = layers::BlendMode::Additive;
        f->end = 0xFFFFFFFFu;
        layers.push_back(std::move(f));
    }
    runFrames(state, layers);
}
BENCHMARK(BM_ShowFrameFades)
    ->Name("BM_ShowFrame/fades")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_ShowFramePlasma(benchmark::State& state) {
    LayerList layers;
    auto p = std::make_unique<effects::PlasmaLayer>();
    p->gridSize = 64;
    p->steps = {2, 3, 11, 17, 13, 9};
    p->end = 0xFFFFFFFFu;
    p->blendMode = layers::BlendMode::Overwrite;
    layers.push_back(std::move(p));
    runFrames(state, layers);
}
BENCHMARK(BM_ShowFramePlasma)
    ->Name("BM_ShowFrame/plasma64")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The compositing step of the frame loop for one layer, timed against the
// same quad drawn by a bare GL program (one framebuffer, no context switch)
// in alternating batches.
void BM_Compositing(benchmark::State& state) {
    auto window = openWindow(state);
    if (!window) {
        return;
    }
    shell::Compositor compositor(*window, 1.0f);
    shell::PBuffer& layerBuffer = compositor.layerBuffer();
    layerBuffer.makeCurrent();
    glClearColor(0.5f, 0.2f, 0.1f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    compositor.beginFrame();  // the accumulation buffer as the frame loop has it

    // The bare program: its own framebuffer object and texture, set up once.
    const shell::FramebufferApi& fbo = shell::fbo();
    window->makeCurrent();
    GLuint bareTexture = shell::createBufferTexture(512, 512);
    GLuint bareFb = 0;
    fbo.genFramebuffers(1, &bareFb);
    fbo.bindFramebuffer(GL_FRAMEBUFFER, bareFb);
    fbo.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, bareTexture, 0);
    fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
    const float w = static_cast<float>(window->width());
    const float h = static_cast<float>(window->height());

    auto composite = [&] {
        compositor.accumBuffer().makeCurrent();
        shell::applyBlendMode(layers::BlendMode::Normal);
        shell::drawBufferQuad(layerBuffer, layerBuffer.texture(), window->width(),
                              window->height());
        glFinish();
    };
    auto bare = [&] {
        fbo.bindFramebuffer(GL_FRAMEBUFFER, bareFb);
        glViewport(0, 0, 512, 512);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, w, h, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindTexture(GL_TEXTURE_2D, layerBuffer.texture());
        glColor4f(1, 1, 1, 1);
        glBegin(GL_TRIANGLES);
        glTexCoord2f(0, 0);
        glVertex2f(0, 0);
        glTexCoord2f(1, 0);
        glVertex2f(w, 0);
        glTexCoord2f(0, 1);
        glVertex2f(0, h);
        glTexCoord2f(1, 0);
        glVertex2f(w, 0);
        glTexCoord2f(0, 1);
        glVertex2f(0, h);
        glTexCoord2f(1, 1);
        glVertex2f(w, h);
        glEnd();
        glFinish();
    };

    using Clock = std::chrono::steady_clock;
    double compositeNs = 0;
    double bareNs = 0;
    constexpr int kBatch = 8;
    for (auto _ : state) {
        window->makeCurrent();  // the bare program draws in the window's context
        bare();                 // warm: the first draw after a switch pays for it
        auto t0 = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            bare();
        }
        auto t1 = Clock::now();
        fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
        composite();
        auto t2 = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            composite();
        }
        auto t3 = Clock::now();
        bareNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
        compositeNs += std::chrono::duration<double, std::nano>(t3 - t2).count();
    }
    const double n = static_cast<double>(state.iterations()) * kBatch;
    state.counters["composite_us"] = compositeNs / n / 1000.0;
    state.counters["bare_us"] = bareNs / n / 1000.0;
    state.counters["ratio"] = bareNs > 0 ? compositeNs / bareNs : 0.0;
    fbo.deleteFramebuffers(1, &bareFb);
    glDeleteTextures(1, &bareTexture);
}
BENCHMARK(BM_Compositing)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_BufferSwitch(benchmark::State& state) {
    auto window = openWindow(state);
    if (!window) {
        return;
    }
    shell::Compositor compositor(*window, 1.0f);
    compositor.accumBuffer().makeCurrent();
    for (auto _ : state) {
        compositor.layerBuffer().makeCurrent();
        compositor.accumBuffer().makeCurrent();
    }
    window->makeCurrent();
}
BENCHMARK(BM_BufferSwitch)->Unit(benchmark::kMicrosecond);

void BM_StartUp(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path show = fs::path(__FILE__).parent_path().parent_path() / "examples" / "first";
    if (!fs::exists(show / "script.zel") || !platform::initVideo(true)) {
        state.SkipWithError("examples/first is missing");
        return;
    }
    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(show.string());
    shell::ShowOptions options;
    options.headless = true;
    options.settings.fullScreen = false;
    options.maxFrames = 1;
    options.pauseMs = 0;  // the one-second pause is not counted
    double total = 0;
    for (auto _ : state) {
        shell::ShowStats stats;
        if (shell::runShow(options, &stats) != 0) {
            state.SkipWithError("the show did not start");
            break;
        }
        total += stats.startupMs;
    }
    state.counters["startup_ms"] = total / static_cast<double>(state.iterations());
    vfs::Vfs::reset();
}
BENCHMARK(BM_StartUp)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// A 120 s show in a scratch folder: its script, the music and a sprite.
void writeLongShow(const test::TempDir& dir) {
    std::string config =
        "head stereo=1 channels=8 tempo=120 version=3 master=100,100\n"
        "  gains 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60 60\n"
        "cefx channel=0\n  effect type=eLPF hz=6000 res=10\n"
        "cefx channel=5\n  effect type=eMoogVCF hz=3000 res=20\n";
    const char* gens[] = {"gSaw", "gSquare", "gTriangle", "gSine", "gNoice"};
    for (int i = 0; i < 8; ++i) {
        config +=
            "inst name=i" + std::to_string(i) + " index=" + std::to_string(i) +
            " channel=" + std::to_string(i) +
            " polyphony=4 lforate=60 lfodest=5 lfodepth=30\n  gen slot=0 type=" + gens[i % 5] +
            " level=100 spread=20\n  gen slot=1 type=gSine level=60 pitch=12\n"
            "  amp 10:1 200:0.5 200:0\n";
        if (i % 2 == 0) {
            config += "  fx slot=0 type=eLPF cutoff=30 resonance=20 cutdepth=10\n";
        }
    }
    synth::ConfigDesc desc;
    std::string error;
    synth::parseConfigText(config, desc, error);
    dir.write("config.sp", synth::buildConfig(desc));
    std::vector<synth::SongEvent> events;
    for (int step = 0; step * 250 < 120000; ++step) {
        for (int c = 0; c < 8; ++c) {
            const auto note = static_cast<uint8_t>(48 + (step + c * 5) % 24);
            events.push_back({step * 250, static_cast<uint8_t>(0x90 | c), note, 100});
            events.push_back({step * 250 + 200, static_cast<uint8_t>(0x80 | c), note, 0});
        }
    }
    std::stable_sort(
        events.begin(), events.end(),
        [](const synth::SongEvent& a, const synth::SongEvent& b) { return a.time < b.time; });
    dir.write("music.m", synth::writeSong(events));
    std::filesystem::copy_file(
        std::filesystem::path(KVX_SOURCE_DIR) / "examples" / "effects" / "spot.tga",
        dir.path() / "spot.tga");
    dir.write("script.zel",
              "<ZEL><DECLARATIONS>DURATION = 120000; BEATEVENT = 0.0;</DECLARATIONS><SCRIPT>"
              "<LAYER>$TYPE = \"plasma\"; $END = 120000; $BLENDING = \"overwrite\";"
              "<PARAM>nPoints = 32; f2 = 'sin(x / 1700) * 0.6 + 0.8';</PARAM></LAYER>"
              "<LAYER>$TYPE = \"fire\"; $END = 120000; $Z = 1; $BLENDING = \"additive\";"
              "<PARAM>nPoints = 40; delay = 15; intensity = 30; max = 600;</PARAM></LAYER>"
              "<LAYER>$TYPE = \"particle\"; $END = 120000; $Z = 2; $BLENDING = \"additive\";"
              "<PARAM>texture = \"spot.tga\"; partcount = 400; seed = 9; rate = 6.0;"
              "esizex = 180.0; ediry = -1.0; partsize = 0.3; roty = 'x * 0.01';</PARAM></LAYER>"
              "<LAYER>$TYPE = \"fadelayer\"; $END = 120000; $Z = 3; $BLENDING = \"additive\";"
              "<PARAM>color = {255, 255, 255, 255}; f = 'beat * 0.3';</PARAM></LAYER>"
              "</SCRIPT></ZEL>");
}

// The show loaded and prepared as start-up does, seeking along 60 fps.
std::unique_ptr<shell::Stage> loadStage(shell::Compositor& compositor) {
    shell::Stage::Options options;
    options.soundMode = shell::Soundtrack::Mode::Lockstep;
    auto stage = std::make_unique<shell::Stage>(options);
    if (!stage->loadScript()) {
        return nullptr;
    }
    stage->loadSoundtrack();
    stage->enableSeeking();
    if (!stage->prepare(compositor) || !stage->soundtrack().musicLoaded()) {
        return nullptr;
    }
    stage->play();
    return stage;
}

void runSeeks(benchmark::State& state, bool cold) {
    test::TempDir dir;
    writeLongShow(dir);
    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(dir.path().string());
    auto window = openWindow(state);
    if (!window) {
        return;
    }
    effects::registerAll();
    shell::Compositor compositor(*window, 1.0f);
    std::unique_ptr<shell::Stage> stage;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (cold || !stage) {
            stage.reset();
            stage = loadStage(compositor);
            if (!stage) {
                state.SkipWithError("the show did not load");
                return;
            }
            if (!cold) {
                stage->soundtrack().timeline()->waitRehearsed();
            }
        }
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        stage->seek(compositor, stage->lastFrame());
        glFinish();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double seekSeconds = total / static_cast<double>(state.iterations());
    state.counters["seek_ms"] = seekSeconds * 1000.0;
    state.counters["ratio"] = seekSeconds / 0.3;
    stage.reset();
    vfs::Vfs::reset();
}

void BM_SeekToEnd(benchmark::State& state) {
    runSeeks(state, false);
}
BENCHMARK(BM_SeekToEnd)->Iterations(8)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SeekToEndCold(benchmark::State& state) {
    runSeeks(state, true);
}
BENCHMARK(BM_SeekToEndCold)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
