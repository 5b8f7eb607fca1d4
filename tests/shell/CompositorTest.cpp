// Compositing on a headless GL context: blend modes, stacking, targets,
// time ranges, buffer sizes and the layer helpers, checked by reading the
// window's pixels back.
#include <gtest/gtest.h>

#include <vector>

#include "effects/FadeLayer.h"
#include "shell/Compositor.h"
#include "support/GlTestSupport.h"

namespace kvx::shell {
namespace {

using effects::FadeLayer;
using layers::BlendMode;
using test::near;
using test::readPixel;
using test::RectLayer;
using LayerList = std::vector<std::unique_ptr<layers::Layer>>;

std::unique_ptr<FadeLayer> fade(layers::Colour c, BlendMode mode, int target = 0) {
    auto f = std::make_unique<FadeLayer>();
    f->fadeColour = c;
    f->blendMode = mode;
    f->target = target;
    f->start = 0;
    f->end = 1000;
    return f;
}

class CompositorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = test::sharedWindow();
        ASSERT_NE(window_, nullptr) << "no headless GL context";
    }
    // Builds the buffers, prepares the layers, draws one frame at time and
    // returns the window pixel at (x, y) from the top.
    test::Rgba frame(LayerList& layers, float quality = 0.25f, uint32_t time = 0, int x = 32,
                     int y = 24) {
        compositor_ = std::make_unique<Compositor>(*window_, quality);
        EXPECT_FALSE(compositor_->failed());
        for (auto& l : layers) {
            EXPECT_TRUE(compositor_->initLayer(*l, 4.0f / 3.0f));
        }
        compositor_->renderFrame(layers, time, 16, false);
        return readPixel(x, y, window_->height());
    }

    GlWindow* window_ = nullptr;
    std::unique_ptr<Compositor> compositor_;
};

TEST_F(CompositorTest, FadeLayerDefaultsToOpaqueWhite) {
    LayerList layers;
    layers.push_back(std::make_unique<FadeLayer>());
    EXPECT_TRUE(near(frame(layers), 1, 1, 1));
}

TEST_F(CompositorTest, NormalBlendMixesByAlpha) {
    LayerList layers;
    layers.push_back(fade({0, 0, 1, 1}, BlendMode::Overwrite));
    layers.push_back(fade({1, 0, 0, 0.5f}, BlendMode::Normal));
    EXPECT_TRUE(near(frame(layers), 0.5f, 0, 0.5f));
}

TEST_F(CompositorTest, AdditiveBlendAddsAlphaWeightedColour) {
    LayerList layers;
    layers.push_back(fade({0, 0, 1, 1}, BlendMode::Overwrite));
    layers.push_back(fade({1, 0, 0, 0.5f}, BlendMode::Additive));
    EXPECT_TRUE(near(frame(layers), 0.5f, 0, 1));
}

TEST_F(CompositorTest, OverwriteReplacesWhatIsBelow) {
    LayerList layers;
    layers.push_back(fade({0, 0, 1, 1}, BlendMode::Overwrite));
    layers.push_back(fade({1, 0.5f, 0, 0.5f}, BlendMode::Overwrite));
    EXPECT_TRUE(near(frame(layers), 1, 0.5f, 0));
}

TEST_F(CompositorTest, FactorsScaleTheFadeColour) {
    LayerList layers;
    auto f = fade({1, 1, 1, 1}, BlendMode::Overwrite);
    f->redFactor = 0.5f;
    f->greenFactor = 0.0f;
    f->blueFactor = 1.0f;
    f->factor = 0.8f;
    layers.push_back(std::move(f));
    EXPECT_TRUE(near(frame(layers), 0.4f, 0, 0.8f));
}

TEST_F(CompositorTest, TwoAdditiveLayersStack) {
    LayerList layers;
    layers.push_back(fade({0.25f, 0, 0.1f, 1}, BlendMode::Additive));
    layers.push_back(fade({0.5f, 0.2f, 0, 1}, BlendMode::Additive));
    EXPECT_TRUE(near(frame(layers), 0.75f, 0.2f, 0.1f));
}

TEST_F(CompositorTest, TargetLayerDrawsIntoItsBufferButIsNotComposited) {
    LayerList layers;
    layers.push_back(fade({0, 1, 0, 1}, BlendMode::Overwrite, 0));
    layers.push_back(fade({1, 0, 0, 1}, BlendMode::Normal, 1));
    // The second layer composites the layer buffer again (still green), not
    // its own red picture.
    EXPECT_TRUE(near(frame(layers), 0, 1, 0));
    compositor_->targetBuffer(1).makeCurrent();
    const int side = compositor_->side();
    EXPECT_TRUE(near(readPixel(side / 2, side / 2, side), 1, 0, 0));
    compositor_->targetBuffer(2).makeCurrent();
    EXPECT_TRUE(near(readPixel(side / 2, side / 2, side), 0, 0, 0));
    window_->makeCurrent();
}

TEST_F(CompositorTest, LayerOutsideItsTimeRangeIsNotDrawn) {
    LayerList layers;
    layers.push_back(fade({0, 0, 1, 1}, BlendMode::Overwrite));
    auto late = std::make_unique<RectLayer>(0, 0, 512, 512, layers::Colour{1, 0, 0, 1});
    late->start = 500;
    late->end = 600;
    RectLayer* lateRaw = late.get();
    layers.push_back(std::move(late));
    EXPECT_TRUE(near(frame(layers, 0.25f, 499), 0, 0, 1));
    EXPECT_EQ(lateRaw->draws, 0);
    compositor_->renderFrame(layers, 600, 16, false);  // both ends inclusive
    EXPECT_EQ(lateRaw->draws, 1);
    EXPECT_TRUE(near(readPixel(10, 10, window_->height()), 1, 0, 0));
    compositor_->renderFrame(layers, 601, 16, false);
    EXPECT_EQ(lateRaw->draws, 1);
}

TEST_F(CompositorTest, QualityScalesBuffersButNotTheLayerSpace) {
    EXPECT_EQ(Compositor::bufferSide(0.25f), 128);
    EXPECT_EQ(Compositor::smallSide(0.25f), 64);
    EXPECT_EQ(Compositor::bufferSide(2.0f), 1024);
    EXPECT_EQ(Compositor::smallSide(2.0f), 512);
    EXPECT_EQ(Compositor::bufferSide(0.1f), 128);  // clamped to 0.25..4
    EXPECT_EQ(Compositor::bufferSide(9.0f), 2048);

    // A rectangle over the left half of the 512 space covers the left half
    // of the window at quality 0.25 too; y grows downwards for target 0.
    LayerList layers;
    layers.push_back(std::make_unique<RectLayer>(0, 0, 256, 128, layers::Colour{1, 1, 0, 1}));
    layers.back()->blendMode = BlendMode::Overwrite;
    frame(layers, 0.25f);
    EXPECT_EQ(compositor_->layerBuffer().width(), 128);
    EXPECT_EQ(compositor_->smallBuffer().width(), 64);
    EXPECT_EQ(compositor_->accumBuffer().height(), 128);
    const int h = window_->height();
    EXPECT_TRUE(near(readPixel(4, 2, h), 1, 1, 0));      // top left
    EXPECT_TRUE(near(readPixel(60, 2, h), 0, 0, 0));     // top right
    EXPECT_TRUE(near(readPixel(4, h - 3, h), 0, 0, 0));  // bottom left
}

TEST_F(CompositorTest, TargetHelpersCheckTheirIndex) {
    LayerList layers;
    layers.push_back(fade({1, 1, 1, 1}, BlendMode::Normal));
    frame(layers);
    layers::Layer& layer = *layers[0];
    EXPECT_EQ(layer.bindTargetTexture(0), -1);
    EXPECT_EQ(layer.bindTargetTexture(3), -1);
    EXPECT_FALSE(compositor_->targetBuffer(1).bound());
    const int t1 = layer.bindTargetTexture(1);
    EXPECT_EQ(t1, static_cast<int>(compositor_->targetBuffer(1).texture()));
    EXPECT_TRUE(compositor_->targetBuffer(1).bound());
    layer.releaseTargetTexture(1);
    EXPECT_FALSE(compositor_->targetBuffer(1).bound());
    layer.releaseTargetTexture(7);  // ignored

    EXPECT_EQ(layer.bindAccumTexture(), static_cast<int>(compositor_->accumBuffer().texture()));
    EXPECT_TRUE(compositor_->accumBuffer().bound());
    // Loading an image releases the accumulation binding first.
    EXPECT_EQ(layer.loadLayerTexture("no such file.tga"), -1);
    EXPECT_FALSE(compositor_->accumBuffer().bound());

    // A layer without graphics answers -1.
    FadeLayer bare;
    EXPECT_EQ(bare.bindAccumTexture(), -1);
    EXPECT_EQ(bare.bindTargetTexture(1), -1);
}

TEST_F(CompositorTest, FrameLoopReleasesBindingsAfterDraw) {
    LayerList layers;
    auto reader = std::make_unique<RectLayer>(0, 0, 512, 512, layers::Colour{1, 1, 1, 1});
    reader->onDraw = [](RectLayer& self) {
        self.bindAccumTexture();
        self.bindTargetTexture(2);
    };
    layers.push_back(std::move(reader));
    frame(layers);
    EXPECT_FALSE(compositor_->accumBuffer().bound());
    EXPECT_FALSE(compositor_->targetBuffer(2).bound());
}

TEST_F(CompositorTest, BufferTexturesRepeatOutsideTheUnitSquare) {
    // The picture so far: red over the top half of the layer space, green
    // over the bottom half.
    LayerList layers;
    layers.push_back(std::make_unique<RectLayer>(0, 0, 512, 256, layers::Colour{1, 0, 0, 1}));
    layers.push_back(std::make_unique<RectLayer>(0, 256, 512, 512, layers::Colour{0, 1, 0, 1}));
    layers[1]->blendMode = BlendMode::Normal;
    // A reader lays the accumulation texture over its area with t running
    // from 0 down to -1: with the texture's default repeat wrapping that
    // shows the picture upside down, not the edge row smeared over it.
    auto reader = std::make_unique<RectLayer>(0, 0, 0, 0, layers::Colour{0, 0, 0, 0});
    reader->blendMode = BlendMode::Overwrite;
    reader->onDraw = [](RectLayer& self) {
        glEnable(GL_TEXTURE_2D);
        self.bindAccumTexture();
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(0, 0);
        glTexCoord2f(1, 0);
        glVertex2f(512, 0);
        glTexCoord2f(1, -1);
        glVertex2f(512, 512);
        glTexCoord2f(0, -1);
        glVertex2f(0, 512);
        glEnd();
    };
    layers.push_back(std::move(reader));
    const int h = window_->height();
    EXPECT_TRUE(near(frame(layers, 0.25f, 0, 32, 6), 0, 1, 0));
    EXPECT_TRUE(near(readPixel(32, h - 7, h), 1, 0, 0));
}

TEST_F(CompositorTest, SmallBufferBeginAndEndNest) {
    LayerList layers;
    layers.push_back(fade({1, 1, 1, 1}, BlendMode::Normal));
    frame(layers);
    layers::Layer& layer = *layers[0];
    window_->makeCurrent();
    layer.endSmallBuffer();  // without a begin: nothing
    EXPECT_TRUE(window_->isCurrent());
    layer.beginSmallBuffer();
    EXPECT_TRUE(compositor_->smallBuffer().isCurrent());
    compositor_->layerBuffer().makeCurrent();
    layer.beginSmallBuffer();  // second begin keeps the first saved context
    layer.endSmallBuffer();
    EXPECT_TRUE(window_->isCurrent());

    // Drawing into the small buffer and reading it back as a texture.
    layer.beginSmallBuffer();
    glClearColor(0, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    layer.endSmallBuffer();
    EXPECT_EQ(layer.bindSmallTexture(), static_cast<int>(compositor_->smallBuffer().texture()));
    EXPECT_TRUE(compositor_->smallBuffer().bound());
    std::vector<unsigned char> px(64 * 64 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 255);
    layer.releaseSmallTexture();
    EXPECT_FALSE(compositor_->smallBuffer().bound());
}

TEST_F(CompositorTest, BuffersKeepTheirOwnState) {
    compositor_ = std::make_unique<Compositor>(*window_, 0.25f);
    // Blending switched on in the accumulation buffer stays there.
    compositor_->accumBuffer().makeCurrent();
    glEnable(GL_BLEND);
    glClearColor(0.2f, 0.3f, 0.4f, 0.5f);
    window_->makeCurrent();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], window_->width());
    compositor_->accumBuffer().makeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[1], 0.3f);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 128);
    window_->makeCurrent();
}

TEST_F(CompositorTest, BufferImageCopiesIntoAnotherTextureAtItsOwnSize) {
    compositor_ = std::make_unique<Compositor>(*window_, 0.5f);
    PBuffer& target = compositor_->targetBuffer(1);
    target.makeCurrent();
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    window_->makeCurrent();
    // A 512 x 512 texture given a 256 x 256 image takes the image's size.
    GLuint other = createBufferTexture(512, 512);
    target.bindImage(other);
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 256);
    std::vector<unsigned char> px(256 * 256 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
    EXPECT_EQ(px[2], 255);
    target.releaseImage();
    glDeleteTextures(1, &other);
}

TEST_F(CompositorTest, LayerInitialisationClampsTargetAndSetsSpace) {
    compositor_ = std::make_unique<Compositor>(*window_, 0.25f);
    FadeLayer f;
    f.target = 7;
    f.width = 3;
    EXPECT_TRUE(compositor_->initLayer(f, 1.6f));
    EXPECT_EQ(f.target, 2);
    EXPECT_EQ(f.width, 512);
    EXPECT_EQ(f.height, 512);
    EXPECT_FLOAT_EQ(f.aspect, 1.6f);
    f.target = -3;
    compositor_->initLayer(f, 1.0f);
    EXPECT_EQ(f.target, 0);
    RectLayer failing(0, 0, 1, 1, {1, 1, 1, 1});
    failing.prepareResult = false;
    EXPECT_FALSE(compositor_->initLayer(failing, 1.0f));
    EXPECT_EQ(failing.prepared, 1);
}

}  // namespace
}  // namespace kvx::shell
