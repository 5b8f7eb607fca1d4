// Each offscreen buffer and the window keep their GL state to themselves:
// state set in one (by a layer's prepare, by its draw, inside a small-buffer
// section) is neither seen nor undone in any other, while the pictures they
// draw are read as textures across them within the same frame.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <functional>
#include <string>
#include <vector>

#include "effects/FadeLayer.h"
#include "shell/Compositor.h"
#include "support/GlTestSupport.h"

namespace kvx::shell {
namespace {

using test::near;
using test::readPixel;
using test::RectLayer;
using LayerList = std::vector<std::unique_ptr<layers::Layer>>;

GLint getInt(GLenum what) {
    GLint v[4] = {0, 0, 0, 0};
    glGetIntegerv(what, v);
    return v[0];
}

GLfloat getFloat(GLenum what) {
    GLfloat v[16] = {};
    glGetFloatv(what, v);
    return v[0];
}

// One kind of state: how to set it to an unusual value, and whether the
// current context holds that value.
struct Probe {
    const char* name;
    std::function<void()> set;
    std::function<bool()> isSet;
};

Probe enable(const char* name, GLenum cap) {
    return {name, [cap] { glEnable(cap); }, [cap] { return glIsEnabled(cap) == GL_TRUE; }};
}

// Texture-unit state is read on unit 0, where it was set, even after the
// active-unit probe has moved on to unit 1.
bool onUnitZero(const std::function<bool()>& read) {
    const GLint unit = getInt(GL_ACTIVE_TEXTURE);
    glActiveTexture(GL_TEXTURE0);
    const bool result = read();
    glActiveTexture(static_cast<GLenum>(unit));
    return result;
}

Probe enableOnUnit(const char* name, GLenum cap) {
    return {name, [cap] { glEnable(cap); },
            [cap] { return onUnitZero([cap] { return glIsEnabled(cap) == GL_TRUE; }); }};
}

std::vector<Probe> probes() {
    std::vector<Probe> p = {
        {"colour mask", [] { glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE); },
         [] {
             GLboolean m[4];
             glGetBooleanv(GL_COLOR_WRITEMASK, m);
             return m[1] == GL_FALSE && m[3] == GL_FALSE;
         }},
        enableOnUnit("texture coordinate generation", GL_TEXTURE_GEN_S),
        {"texture environment", [] { glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD); },
         [] {
             return onUnitZero([] {
                 GLint v = 0;
                 glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &v);
                 return v == GL_ADD;
             });
         }},
        enable("logic op", GL_COLOR_LOGIC_OP),
        {"logic op mode", [] { glLogicOp(GL_XOR); },
         [] { return getInt(GL_LOGIC_OP_MODE) == GL_XOR; }},
        enable("stencil test", GL_STENCIL_TEST),
        {"stencil function", [] { glStencilFunc(GL_NEVER, 3, 0x0F); },
         [] { return getInt(GL_STENCIL_FUNC) == GL_NEVER; }},
        {"polygon mode", [] { glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); },
         [] { return getInt(GL_POLYGON_MODE) == GL_LINE; }},
        enable("cull face", GL_CULL_FACE),
        {"cull face mode", [] { glCullFace(GL_FRONT); },
         [] { return getInt(GL_CULL_FACE_MODE) == GL_FRONT; }},
        enable("alpha test", GL_ALPHA_TEST),
        {"alpha function", [] { glAlphaFunc(GL_GREATER, 0.5f); },
         [] { return getInt(GL_ALPHA_TEST_FUNC) == GL_GREATER; }},
        enable("fog", GL_FOG),
        {"fog density", [] { glFogf(GL_FOG_DENSITY, 0.25f); },
         [] { return getFloat(GL_FOG_DENSITY) == 0.25f; }},
        enable("scissor test", GL_SCISSOR_TEST),
        {"scissor box", [] { glScissor(1, 2, 3, 4); },
         [] {
             GLint box[4];
             glGetIntegerv(GL_SCISSOR_BOX, box);
             return box[0] == 1 && box[3] == 4;
         }},
        {"point size", [] { glPointSize(5.0f); }, [] { return getFloat(GL_POINT_SIZE) == 5.0f; }},
        {"line width", [] { glLineWidth(3.0f); }, [] { return getFloat(GL_LINE_WIDTH) == 3.0f; }},
        enable("lighting", GL_LIGHTING),
        enable("light 1", GL_LIGHT1),
        {"light colour",
         [] {
             const GLfloat red[4] = {0.75f, 0, 0, 1};
             glLightfv(GL_LIGHT1, GL_DIFFUSE, red);
         },
         [] {
             GLfloat c[4];
             glGetLightfv(GL_LIGHT1, GL_DIFFUSE, c);
             return c[0] == 0.75f;
         }},
        {"material", [] { glMaterialf(GL_FRONT, GL_SHININESS, 64.0f); },
         [] {
             GLfloat s = 0;
             glGetMaterialfv(GL_FRONT, GL_SHININESS, &s);
             return s == 64.0f;
         }},
        enable("colour material", GL_COLOR_MATERIAL),
        enable("normalize", GL_NORMALIZE),
        enableOnUnit("1D texturing", GL_TEXTURE_1D),
        enableOnUnit("3D texturing", GL_TEXTURE_3D),
        enableOnUnit("cube-map texturing", GL_TEXTURE_CUBE_MAP),
        enable("blending", GL_BLEND),
        {"blend function", [] { glBlendFunc(GL_ONE, GL_ONE); },
         [] { return getInt(GL_BLEND_SRC) == GL_ONE && getInt(GL_BLEND_DST) == GL_ONE; }},
        {"depth mask", [] { glDepthMask(GL_FALSE); },
         [] {
             GLboolean m = GL_TRUE;
             glGetBooleanv(GL_DEPTH_WRITEMASK, &m);
             return m == GL_FALSE;
         }},
        {"depth function", [] { glDepthFunc(GL_ALWAYS); },
         [] { return getInt(GL_DEPTH_FUNC) == GL_ALWAYS; }},
        {"shade model", [] { glShadeModel(GL_FLAT); },
         [] { return getInt(GL_SHADE_MODEL) == GL_FLAT; }},
        enable("clip plane", GL_CLIP_PLANE0),
        enable("polygon offset", GL_POLYGON_OFFSET_FILL),
        {"dithering", [] { glDisable(GL_DITHER); },
         [] { return glIsEnabled(GL_DITHER) == GL_FALSE; }},
        {"active texture unit", [] { glActiveTexture(GL_TEXTURE1); },
         [] { return getInt(GL_ACTIVE_TEXTURE) == GL_TEXTURE1; }},
        {"unpack row length", [] { glPixelStorei(GL_UNPACK_ROW_LENGTH, 7); },
         [] { return getInt(GL_UNPACK_ROW_LENGTH) == 7; }},
        {"clear colour", [] { glClearColor(0.25f, 0.5f, 0.75f, 1.0f); },
         [] { return getFloat(GL_COLOR_CLEAR_VALUE) == 0.25f; }},
        {"current colour", [] { glColor4f(0.25f, 0.5f, 0.75f, 0.5f); },
         [] { return getFloat(GL_CURRENT_COLOR) == 0.25f; }},
        {"model-view matrix", [] { glTranslatef(3.0f, 0.0f, 0.0f); },
         [] {
             GLfloat m[16];
             glGetFloatv(GL_MODELVIEW_MATRIX, m);
             return m[12] == 3.0f;
         }},
        {"matrix mode", [] { glMatrixMode(GL_TEXTURE); },
         [] { return getInt(GL_MATRIX_MODE) == GL_TEXTURE; }},
        {"attribute stack", [] { glPushAttrib(GL_ALL_ATTRIB_BITS); },
         [] { return getInt(GL_ATTRIB_STACK_DEPTH) > 0; }},
    };
    return p;
}

class BufferState : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = test::sharedWindow();
        ASSERT_NE(window_, nullptr) << "no headless GL context";
        compositor_ = std::make_unique<Compositor>(*window_, 0.25f);
        ASSERT_FALSE(compositor_->failed());
    }
    void TearDown() override {
        compositor_.reset();
        if (window_ != nullptr) {
            window_->makeCurrent();
        }
    }
    // The window and the five buffers, each by the call that makes it current.
    std::vector<std::pair<std::string, std::function<void()>>> places() {
        Compositor& c = *compositor_;
        return {{"window", [this] { window_->makeCurrent(); }},
                {"accumulation buffer", [&c] { c.accumBuffer().makeCurrent(); }},
                {"layer buffer", [&c] { c.layerBuffer().makeCurrent(); }},
                {"small buffer", [&c] { c.smallBuffer().makeCurrent(); }},
                {"target buffer 1", [&c] { c.targetBuffer(1).makeCurrent(); }},
                {"target buffer 2", [&c] { c.targetBuffer(2).makeCurrent(); }}};
    }

    GlWindow* window_ = nullptr;
    std::unique_ptr<Compositor> compositor_;
};

TEST_F(BufferState, EveryKindOfStateStaysInTheBufferThatSetIt) {
    const auto all = probes();
    // Each place in turn sets every kind of state; none of the other places
    // sees any of it, and the place that set it still has all of it. The
    // buffers are made afresh for each round; the window, which the other
    // tests share, saves its state first and gets it back at the end.
    for (size_t owner = 0; owner < places().size(); ++owner) {
        compositor_ = std::make_unique<Compositor>(*window_, 0.25f);
        const auto where = places();
        where[owner].second();
        for (const Probe& p : all) {
            ASSERT_FALSE(p.isSet()) << p.name << " is already set in the " << where[owner].first;
        }
        const bool window = owner == 0;
        if (window) {
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glPushAttrib(GL_ALL_ATTRIB_BITS);
            glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        }
        for (const Probe& p : all) {
            p.set();
        }
        for (size_t other = 0; other < where.size(); ++other) {
            if (other == owner) {
                continue;
            }
            where[other].second();
            for (const Probe& p : all) {
                EXPECT_FALSE(p.isSet()) << p.name << " set in the " << where[owner].first
                                        << " leaks into the " << where[other].first;
            }
        }
        where[owner].second();
        for (const Probe& p : all) {
            EXPECT_TRUE(p.isSet())
                << p.name << " set in the " << where[owner].first << " is lost there";
        }
        if (window) {
            glPopAttrib();  // the probe's push
            glPopClientAttrib();
            glPopAttrib();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            // Mesa's pop leaves the current colour as it was set last.
            glColor4f(1, 1, 1, 1);
        }
    }
}

// A layer that sets odd state in prepare (with its target current) and
// then draws an opaque white square.
class OddStateLayer final : public layers::Layer {
  public:
    bool loadParameters(const layers::LayerDesc&) override { return true; }
    bool prepare() override {
        glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_TRUE);  // no red
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        return true;
    }
    void draw() override {
        glDisable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glVertex2f(0, 0);
        glVertex2f(512, 0);
        glVertex2f(512, 512);
        glVertex2f(0, 512);
        glEnd();
    }
};

TEST_F(BufferState, StateSetInPrepareStaysInTheLayersTarget) {
    LayerList layers;
    auto odd = std::make_unique<OddStateLayer>();
    odd->target = 1;
    odd->end = 1000;
    layers.push_back(std::move(odd));
    auto fade = std::make_unique<effects::FadeLayer>();
    fade->fadeColour = {1, 1, 1, 1};
    fade->blendMode = layers::BlendMode::Overwrite;
    fade->end = 1000;
    layers.push_back(std::move(fade));
    for (auto& l : layers) {
        ASSERT_TRUE(compositor_->initLayer(*l, 1.0f));
    }
    compositor_->renderFrame(layers, 0, 16, false);
    // The white fade reaches the window with its red: no colour mask and no
    // texture generation leaked into the layer buffer, the accumulation
    // buffer or the window.
    EXPECT_TRUE(near(readPixel(32, 24, window_->height()), 1, 1, 1));
    // Target 1 drew without red, as its own state says.
    compositor_->targetBuffer(1).makeCurrent();
    const int side = compositor_->side();
    EXPECT_TRUE(near(readPixel(side / 2, side / 2, side), 0, 1, 1));
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_EQ(mask[0], GL_FALSE);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    window_->makeCurrent();
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_EQ(mask[0], GL_TRUE);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
}

TEST_F(BufferState, SmallBufferStateStaysInTheSmallBuffer) {
    LayerList layers;
    // Between begin and end the layer masks red and turns on fog and
    // texture generation in the small buffer, then draws white into its
    // own target's bottom half.
    auto layer = std::make_unique<RectLayer>(0, 0, 0, 0, layers::Colour{0, 0, 0, 0});
    layer->blendMode = layers::BlendMode::Overwrite;
    layer->end = 1000;
    layer->onDraw = [](RectLayer& self) {
        self.beginSmallBuffer();
        glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_TRUE);
        glEnable(GL_FOG);
        glEnable(GL_TEXTURE_GEN_S);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        self.endSmallBuffer();
        glDisable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glVertex2f(0, 256);
        glVertex2f(512, 256);
        glVertex2f(512, 512);
        glVertex2f(0, 512);
        glEnd();
    };
    layers.push_back(std::move(layer));
    ASSERT_TRUE(compositor_->initLayer(*layers[0], 1.0f));
    compositor_->renderFrame(layers, 0, 16, false);
    compositor_->renderFrame(layers, 16, 16, false);
    EXPECT_TRUE(near(readPixel(32, 40, window_->height()), 1, 1, 1));
    EXPECT_TRUE(near(readPixel(32, 5, window_->height()), 0, 0, 0));
    compositor_->layerBuffer().makeCurrent();
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    // The small buffer keeps what was set there, frame after frame.
    compositor_->smallBuffer().makeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_EQ(mask[0], GL_FALSE);
    window_->makeCurrent();
}

TEST_F(BufferState, AttributesArePushedAndPoppedInTheLayersTarget) {
    LayerList layers;
    // The layer enables blending in its target, then goes into the small
    // buffer and never comes back: the frame loop returns to the target
    // before it pops, so the pop undoes the blending there and leaves the
    // small buffer's stack alone.
    auto layer = std::make_unique<RectLayer>(0, 0, 512, 512, layers::Colour{1, 1, 1, 1});
    layer->target = 2;
    layer->onDraw = [](RectLayer& self) {
        glEnable(GL_BLEND);
        glEnable(GL_CULL_FACE);
        self.beginSmallBuffer();
        glEnable(GL_LIGHTING);
    };
    layers.push_back(std::move(layer));
    ASSERT_TRUE(compositor_->initLayer(*layers[0], 1.0f));
    compositor_->renderFrame(layers, 0, 16, false);
    compositor_->targetBuffer(2).makeCurrent();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(getInt(GL_ATTRIB_STACK_DEPTH), 0);
    compositor_->smallBuffer().makeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(getInt(GL_ATTRIB_STACK_DEPTH), 0);
    glDisable(GL_LIGHTING);
    window_->makeCurrent();
    EXPECT_EQ(getInt(GL_ATTRIB_STACK_DEPTH), 0);
}

// Lays the currently bound texture over the whole 512 x 512 space.
void texturedSquare() {
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(512, 0);
    glTexCoord2f(1, 1);
    glVertex2f(512, 512);
    glTexCoord2f(0, 1);
    glVertex2f(0, 512);
    glEnd();
}

TEST_F(BufferState, ALaterLayerReadsATargetDrawnEarlierInTheFrame) {
    // Target 1 gets a yellow picture in its own context; the next layer
    // reads it as a texture in the layer buffer's context, the same frame.
    LayerList layers;
    auto writer = std::make_unique<RectLayer>(0, 0, 512, 512, layers::Colour{1, 1, 0, 1});
    writer->target = 1;
    writer->end = 1000;
    layers.push_back(std::move(writer));
    auto reader = std::make_unique<RectLayer>(0, 0, 0, 0, layers::Colour{0, 0, 0, 0});
    reader->blendMode = layers::BlendMode::Overwrite;
    reader->end = 1000;
    reader->onDraw = [](RectLayer& self) {
        self.bindTargetTexture(1);
        texturedSquare();
    };
    layers.push_back(std::move(reader));
    for (auto& l : layers) {
        ASSERT_TRUE(compositor_->initLayer(*l, 1.0f));
    }
    compositor_->renderFrame(layers, 0, 16, false);
    EXPECT_TRUE(near(readPixel(32, 24, window_->height()), 1, 1, 0));
}

TEST_F(BufferState, ASmallBufferPictureIsReadBackInTheSameDraw) {
    // Drawn into the small buffer, then read in the target right after
    // endSmallBuffer, with no frame in between.
    LayerList layers;
    auto layer = std::make_unique<RectLayer>(0, 0, 0, 0, layers::Colour{0, 0, 0, 0});
    layer->blendMode = layers::BlendMode::Overwrite;
    layer->end = 1000;
    layer->onDraw = [](RectLayer& self) {
        self.beginSmallBuffer();
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        self.endSmallBuffer();
        self.bindSmallTexture();
        texturedSquare();
        self.releaseSmallTexture();
    };
    layers.push_back(std::move(layer));
    ASSERT_TRUE(compositor_->initLayer(*layers[0], 1.0f));
    compositor_->renderFrame(layers, 0, 16, false);
    EXPECT_TRUE(near(readPixel(32, 24, window_->height()), 1, 0, 1));
}

}  // namespace
}  // namespace kvx::shell
