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
// Every measured step ends with glFinish, so the GPU work is counted.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "effects/FadeLayer.h"
#include "effects/PlasmaLayer.h"
#include "platform/video/Video.h"
#include "shell/Blend.h"
#include "shell/Compositor.h"
#include "shell/Extensions.h"
#include "shell/GlWindow.h"
#include "shell/Show.h"
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
