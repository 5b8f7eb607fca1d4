// EffectRig: runs layers written as script text through the real compositor
// on the headless test window, and reads the picture back in the layers'
// own 512 x 512 coordinates (x right, y down, as a target-0 layer draws).
//
//   test::EffectRig rig;                       // quality 1.0: 512 x 512 buffers
//   ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "fire"; $END = -1; </LAYER>)"));
//   ASSERT_TRUE(rig.prepare());
//   rig.frame(0);
//   test::Rgba px = rig.pixel(256, 500);       // from the accumulation buffer
//
// layerText and backdrop write the script text of a layer and of a plain
// fade to draw it over.
//
// Files the layers load come through the Vfs the test set up
// (vfs::Vfs::setDataDirectory on a test::TempDir, say).
#pragma once

#include <GL/gl.h>

#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "effects/Registry.h"
#include "layers/Layer.h"
#include "script/Demo.h"
#include "shell/Compositor.h"
#include "support/GlTestSupport.h"
#include "support/MemoryFiles.h"

namespace kvx::test {

class EffectRig {
  public:
    using LayerList = std::vector<std::unique_ptr<layers::Layer>>;

    explicit EffectRig(float quality = 1.0f) : quality_(quality) {}

    // Parses "<ZEL><DECLARATIONS>declarations</DECLARATIONS><SCRIPT>layers
    // </SCRIPT></ZEL>" with every effect registered. False when it does not
    // parse; layers of unknown types are dropped as in a show.
    bool load(const std::string& layersText, const std::string& declarations = "") {
        effects::registerAll();
        const std::string text = "<ZEL><DECLARATIONS>" + declarations +
                                 "</DECLARATIONS><SCRIPT>\n" + layersText + "\n</SCRIPT></ZEL>";
        script::Demo demo("script.zel", memoryFiles({{"script.zel", text}}));
        int count = 0;
        auto built = demo.buildLayers(count);
        if (!built) {
            return false;
        }
        layers_ = std::move(*built);
        layers_.resize(static_cast<size_t>(count));
        return true;
    }

    // Makes the buffers and runs start-up for every layer (targets clamped,
    // time-0 tracks, prepare). False when there is no GL or a prepare failed.
    bool prepare(float aspect = 4.0f / 3.0f) {
        window_ = sharedWindow();
        if (window_ == nullptr) {
            return false;
        }
        compositor_ = std::make_unique<shell::Compositor>(*window_, quality_);
        if (compositor_->failed()) {
            return false;
        }
        bool ok = true;
        for (auto& l : layers_) {
            ok = compositor_->initLayer(*l, aspect) && ok;
        }
        return ok;
    }

    // One frame at show time `time`, every active layer advanced by dt.
    // Returns the number of layers drawn.
    int frame(uint32_t time, uint32_t dt = 16) {
        return compositor_->renderFrame(layers_, time, dt, false);
    }

    // The composed picture at layer coordinates (x, y), from the
    // accumulation buffer.
    Rgba pixel(float x, float y) { return read(compositor_->accumBuffer(), x, y, false); }
    // What the last drawn target-0 layer left in the layer buffer (before
    // blending), at layer coordinates.
    Rgba layerPixel(float x, float y) { return read(compositor_->layerBuffer(), x, y, true); }

    // Every pixel of the accumulation buffer, RGBA, the top row of layer
    // space first.
    std::vector<unsigned char> picture() {
        shell::PBuffer& b = compositor_->accumBuffer();
        b.makeCurrent();
        const int side = b.width();
        std::vector<unsigned char> px(static_cast<size_t>(side) * static_cast<size_t>(side) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        window_->makeCurrent();
        return px;
    }

    // Puts a plain rectangle (RectLayer) into the layer list at index at,
    // drawing into target for the whole show. Call before prepare.
    void insertRect(size_t at, float x0, float y0, float x1, float y1, layers::Colour colour,
                    int target = 0) {
        auto r = std::make_unique<RectLayer>(x0, y0, x1, y1, colour);
        r->end = 0xFFFFFFFFu;
        r->target = target;
        layers_.insert(layers_.begin() + static_cast<std::ptrdiff_t>(at), std::move(r));
    }

    LayerList& layers() { return layers_; }
    layers::Layer& layer(size_t i) { return *layers_.at(i); }
    // The last layer of the script, as the effect type the test built.
    template <typename T>
    T& last() {
        return dynamic_cast<T&>(*layers_.at(layers_.size() - 1));
    }
    shell::Compositor& compositor() { return *compositor_; }
    int side() const { return compositor_->side(); }

  private:
    // The accumulation buffer holds the layer picture with the top row of
    // layer space in framebuffer row 0 (the window's quad turns it upright);
    // a target-0 layer draws y-down, so the layer buffer has it in the last
    // row.
    Rgba read(shell::PBuffer& buffer, float x, float y, bool topRowLast) {
        buffer.makeCurrent();
        const int side = buffer.width();
        const int px = clampSide(static_cast<int>(std::floor(x * side / 512.0f)), side);
        int py = clampSide(static_cast<int>(std::floor(y * side / 512.0f)), side);
        if (topRowLast) {
            py = side - 1 - py;
        }
        unsigned char v[4] = {0, 0, 0, 0};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(px, py, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, v);
        window_->makeCurrent();
        return {v[0], v[1], v[2], v[3]};
    }
    static int clampSide(int v, int side) { return v < 0 ? 0 : (v >= side ? side - 1 : v); }

    float quality_;
    shell::GlWindow* window_ = nullptr;
    std::unique_ptr<shell::Compositor> compositor_;
    LayerList layers_;
};

// Script text for one layer of `type` that lasts the whole show.
inline std::string layerText(const std::string& type, const std::string& params,
                             const std::string& attributes = "") {
    return "<LAYER> $TYPE = \"" + type + "\"; $END = -1; " + attributes + " <PARAM> " + params +
           " </PARAM> </LAYER>";
}

// A fade of `colour` (script text, "{r, g, b, a}") over the whole layer at
// $Z 0, overwriting: a known backdrop for the layers that follow it.
inline std::string backdrop(const std::string& colour) {
    return layerText("fadelayer", "color = " + colour + ";", "$Z = 0; $BLENDING = \"overwrite\";") +
           "\n";
}

}  // namespace kvx::test
