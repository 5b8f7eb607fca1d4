// The grammar: value folding, colours, attributes, PARAM blocks and
// declarations.
#include <gtest/gtest.h>

#include "core/Globals.h"
#include "script/Demo.h"
#include "script/Parser.h"
#include "support/MemoryFiles.h"

namespace kvx::script {
namespace {

using layers::Keyframe;
using layers::ValueKind;

class ParserTest : public ::testing::Test {
  protected:
    void TearDown() override {
        core::globals().beatEvent = 0.0f;
        core::globals().beatFalloff = 0.005f;
    }

    // The value of declaration A in "<ZEL><DECLARATIONS>decls</DECLARATIONS></ZEL>".
    Keyframe declared(const std::string& decls, const char* name = "A") {
        demo_ = std::make_unique<Demo>(
            "script.zel", test::memoryFiles({{"script.zel", "<ZEL><DECLARATIONS>" + decls +
                                                                "</DECLARATIONS></ZEL>"}}));
        EXPECT_TRUE(demo_->parse()) << decls;
        return demo_->findDeclaration(name).current();
    }

    // The one LAYER of a script whose SCRIPT block holds `layer`.
    bool layer(const std::string& layerText, layers::LayerDesc& out) {
        demo_ = std::make_unique<Demo>(
            "script.zel",
            test::memoryFiles({{"script.zel", "<ZEL><SCRIPT>" + layerText + "</SCRIPT></ZEL>"}}));
        if (!demo_->parse() || demo_->layerDescs().size() != 1) {
            return false;
        }
        out = demo_->layerDescs()[0];
        return true;
    }

    std::unique_ptr<Demo> demo_;
};

TEST_F(ParserTest, SlotWiseFolding) {
    Keyframe k = declared("A = 1 + 2;");
    EXPECT_EQ(k.intValue, 3);
    EXPECT_EQ(k.floatValue, 0.0f);
    k = declared("A = 1 + 2.5;");
    EXPECT_EQ(k.intValue, 1);
    EXPECT_FLOAT_EQ(k.floatValue, 2.5f);
    EXPECT_EQ(k.kind, ValueKind::Int);  // the kind of the left operand
    k = declared("A = 2 + 3 * 4 - 6 / 4;");
    EXPECT_EQ(k.intValue, 13);
    k = declared("A = (2 + 3) * 4;");
    EXPECT_EQ(k.intValue, 20);
    k = declared("A = -7 / 2;");
    EXPECT_EQ(k.intValue, -3);
    k = declared("A = 7 / 0;");
    EXPECT_EQ(k.intValue, 0);
    k = declared("A = 1.0 / 0.0;");
    EXPECT_EQ(k.floatValue, 0.0f);
    k = declared("A = \"a\" + \"b\";");
    EXPECT_STREQ(k.text.text(), "ab");
    EXPECT_EQ(k.kind, ValueKind::String);
    k = declared("A = 2147483647 + 1;");
    EXPECT_EQ(k.intValue, -2147483647 - 1);  // wraps like 32-bit hardware
}

TEST_F(ParserTest, UnaryAppliesToTheFirstPrimaryOnly) {
    EXPECT_EQ(declared("A = -2 * 3;").intValue, -6);
    EXPECT_EQ(declared("A = 2 - -3;").intValue, 5);
    // "2 * -3" is not a value: the statement fails at the sign.
    demo_ = std::make_unique<Demo>(
        "script.zel", test::memoryFiles({{"script.zel",
                                          "<ZEL><SCRIPT><LAYER>$TYPE=\"plasma\";<PARAM>"
                                          "a = 2 * -3;</PARAM></LAYER></SCRIPT></ZEL>"}}));
    EXPECT_FALSE(demo_->parse());
}

TEST_F(ParserTest, NamedConstantsAndDeclarationReplacement) {
    EXPECT_EQ(declared("B = 4; A = B * 2;").intValue, 8);
    // Unknown names and later declarations are not found.
    EXPECT_EQ(declared("A = C; C = 1;").kind, ValueKind::None);
    Keyframe k = declared("A = 1; A = 2.5;");
    EXPECT_FLOAT_EQ(k.floatValue, 2.5f);
    EXPECT_EQ(k.intValue, 0);  // replaced, not merged
    // Names are compared with case.
    EXPECT_EQ(declared("a = 1;").kind, ValueKind::None);
    // An empty value is a keyframe of kind none.
    EXPECT_EQ(declared("A = ;").kind, ValueKind::None);
}

TEST_F(ParserTest, ExpressionLiteralsKeepTheirExpression) {
    Keyframe k = declared("A = 'x*2';");
    EXPECT_TRUE(k.hasExpression);
    EXPECT_FLOAT_EQ(k.valueAt(3.0f), 6.0f);
    // Folding drops the expression.
    k = declared("A = 'x' + 1.0;");
    EXPECT_FALSE(k.hasExpression);
    EXPECT_FLOAT_EQ(k.floatValue, 1.0f);
}

TEST_F(ParserTest, ColoursFromIntsAndFloats) {
    Keyframe a = declared("A = {255, 128, 0, 255};");
    ASSERT_EQ(a.kind, ValueKind::Colour);
    EXPECT_FLOAT_EQ(a.colour[0], 1.0f);
    EXPECT_NEAR(a.colour[1], 128.0f / 255.0f, 1e-6);
    EXPECT_EQ(a.colour[2], 0.0f);
    Keyframe b = declared("A = {1.0, 0.5, 0.0, 1.0};");
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(a.colour[i], b.colour[i], 0.003);
    }
    // Clamped to 0..1; a string is no number and gives 0.
    Keyframe c = declared("A = {300, -1, 2.5, \"x\"};");
    EXPECT_EQ(c.colour[0], 1.0f);
    EXPECT_EQ(c.colour[1], 0.0f);
    EXPECT_EQ(c.colour[2], 1.0f);
    EXPECT_EQ(c.colour[3], 0.0f);
    EXPECT_EQ(c.intValue, 0);
}

TEST_F(ParserTest, AttributesInAnyOrderLastWins) {
    layers::LayerDesc d;
    ASSERT_TRUE(
        layer("<LAYER>$TYPE=\"plasma\"; $start = 500; $Z = 3; $END = -1; $TARGET = 2; "
              "$BLENDING=\"additive\";"
              "$KEEPZBUF = \"true\"; $COLOR = {255, 0, 0, 255}; $Z = 4;</LAYER>",
              d));
    EXPECT_STREQ(d.type.text(), "plasma");
    EXPECT_EQ(d.start, 500);
    EXPECT_EQ(d.end, -1);
    EXPECT_EQ(d.z, 4);
    EXPECT_EQ(d.target, 2);
    EXPECT_STREQ(d.blending.text(), "additive");
    EXPECT_TRUE(d.keepZBuffer);
    EXPECT_EQ(d.colour[0], 1.0f);
    EXPECT_EQ(d.colour[1], 0.0f);
    ASSERT_TRUE(layer("<LAYER>$TYPE=\"plasma\"; $KEEPZBUF = \"TRUE\";</LAYER>", d));
    EXPECT_FALSE(d.keepZBuffer);
}

TEST_F(ParserTest, AttributeAfterParamFailsTheLayer) {
    layers::LayerDesc d;
    EXPECT_FALSE(layer("<LAYER>$TYPE=\"plasma\"; <PARAM> a = 1; </PARAM> $Z = 1; </LAYER>", d));
    ASSERT_TRUE(demo_->diagnostic().has_value());
    EXPECT_NE(demo_->diagnostic()->text.str().find("</LAYER>"), std::string::npos);
    EXPECT_NE(demo_->diagnostic()->text.str().find("$Z"), std::string::npos);
}

TEST_F(ParserTest, ParamStatementsAndBrackets) {
    layers::LayerDesc d;
    ASSERT_TRUE(layer(
        "<LAYER>$TYPE=\"plasma\";<PARAM> speed = 2.0; alpha{2000} = 1.0; alpha(0) = 0.0; </PARAM>"
        "<PARAM> s[500] = 3; </PARAM></LAYER>",
        d));
    EXPECT_FLOAT_EQ(d.findTrack("speed").current().floatValue, 2.0f);
    const layers::Track alpha = d.findTrack("alpha");
    ASSERT_EQ(alpha.keyframeCount(), 2);
    EXPECT_EQ(alpha.keyframe(0).time, 0u);
    EXPECT_EQ(alpha.keyframe(0).interpolation, layers::Interpolation::Step);
    EXPECT_EQ(alpha.keyframe(1).time, 2000u);
    EXPECT_EQ(alpha.keyframe(1).interpolation, layers::Interpolation::Linear);
    EXPECT_EQ(d.findTrack("s").current().interpolation, layers::Interpolation::Smooth);
    EXPECT_EQ(d.findTrack("s").current().time, 500u);
    // A decimal time key fails the statement, and with it the script.
    EXPECT_FALSE(layer("<LAYER>$TYPE=\"plasma\";<PARAM> a{1000.0} = 1; </PARAM></LAYER>", d));
    ASSERT_TRUE(demo_->diagnostic().has_value());
    EXPECT_NE(demo_->diagnostic()->text.str().find("time key"), std::string::npos);
    EXPECT_EQ(demo_->diagnostic()->column, 46);
}

TEST_F(ParserTest, EmptyParameterValueIsFiledAsNone) {
    layers::LayerDesc d;
    ASSERT_TRUE(layer("<LAYER>$TYPE=\"plasma\";<PARAM> a = ; b{500} = ; </PARAM></LAYER>", d));
    ASSERT_EQ(d.paramCount(), 2);
    EXPECT_EQ(d.findTrack("a").current().kind, ValueKind::None);
    const layers::Track b = d.findTrack("b");
    EXPECT_EQ(b.current().kind, ValueKind::None);
    EXPECT_EQ(b.current().time, 500u);
    EXPECT_EQ(b.current().interpolation, layers::Interpolation::Linear);
}

TEST_F(ParserTest, LayerTypeFromANumberIsEmpty) {
    layers::LayerDesc d;
    ASSERT_TRUE(layer("<LAYER>$TYPE=5;</LAYER>", d));
    EXPECT_STREQ(d.type.text(), "");
}

TEST_F(ParserTest, SilentRecoveriesBecomeWarnings) {
    // A missing ";" before </DECLARATIONS> does not fail the parse.
    demo_ = std::make_unique<Demo>(
        "script.zel",
        test::memoryFiles({{"script.zel", "<ZEL><DECLARATIONS>A = 5</DECLARATIONS></ZEL>"}}));
    ASSERT_TRUE(demo_->parse());
    EXPECT_EQ(demo_->findDeclaration("A").current().intValue, 5);
    ASSERT_EQ(demo_->warnings().size(), 1u);
    EXPECT_NE(demo_->warnings()[0].text.str().find("warning: expected ';'"), std::string::npos);
    // A script without DECLARATIONS is fine and warns about nothing.
    demo_ = std::make_unique<Demo>(
        "script.zel", test::memoryFiles({{"script.zel", "<ZEL><SCRIPT></SCRIPT></ZEL>"}}));
    ASSERT_TRUE(demo_->parse());
    EXPECT_TRUE(demo_->warnings().empty());
    // A broken LAYER right before </SCRIPT> is dropped with a warning.
    demo_ = std::make_unique<Demo>(
        "script.zel", test::memoryFiles({{"script.zel", "<ZEL><SCRIPT><LAYER></SCRIPT></ZEL>"}}));
    ASSERT_TRUE(demo_->parse());
    EXPECT_TRUE(demo_->layerDescs().empty());
    ASSERT_EQ(demo_->warnings().size(), 1u);
    EXPECT_NE(demo_->warnings()[0].text.str().find("$TYPE"), std::string::npos);
}

TEST_F(ParserTest, UnclosedDeclarationsBeforeScriptWarns) {
    demo_ = std::make_unique<Demo>("script.zel",
                                   test::memoryFiles({{"script.zel",
                                                       "<ZEL><DECLARATIONS>A = 1;\n<SCRIPT>"
                                                       "</SCRIPT></ZEL>"}}));
    ASSERT_TRUE(demo_->parse());
    ASSERT_EQ(demo_->warnings().size(), 1u);
    EXPECT_EQ(
        demo_->warnings()[0].text.str(),
        "script.zel:2:1: warning: expected </DECLARATIONS> or another declaration, found <SCRIPT> "
        "(the DECLARATIONS block ends there)");
    // Broken off before anything else, it is the error.
    demo_ = std::make_unique<Demo>(
        "script.zel", test::memoryFiles({{"script.zel", "<ZEL><DECLARATIONS>A = 1 B = 2;</ZEL>"}}));
    ASSERT_FALSE(demo_->parse());
    EXPECT_EQ(demo_->diagnostic()->text.str(),
              "script.zel:1:26: error: expected ';' after the value, found 'B'");
    EXPECT_EQ(demo_->diagnostic()->expected.str(), "';' after the value");
    EXPECT_EQ(demo_->diagnostic()->found.str(), "'B'");
}

TEST_F(ParserTest, TagsWithSpacesFailTheParse) {
    layers::LayerDesc d;
    EXPECT_TRUE(layer("<layer>$TYPE=\"plasma\";</Layer>", d));
    EXPECT_FALSE(layer("<LAYER >$TYPE=\"plasma\";</LAYER>", d));
    ASSERT_TRUE(demo_->diagnostic().has_value());
    EXPECT_EQ(demo_->diagnostic()->found.str(), "'<LAYER >'");
}

TEST_F(ParserTest, MachineryAcceptAndExpected) {
    Demo demo("script.zel", test::memoryFiles({{"script.zel", "a = 1;"}}));
    Parser p(demo.mappedText(), demo);
    p.start();
    EXPECT_FALSE(p.accept(TokenKind::Assign));
    EXPECT_EQ(p.current().kind, TokenKind::Identifier);
    EXPECT_TRUE(p.accept(TokenKind::Identifier));
    EXPECT_STREQ(p.previous().text.text(), "a");
    EXPECT_FALSE(p.expected(TokenKind::Semicolon));
    EXPECT_EQ(p.current().kind, TokenKind::Assign);
    EXPECT_TRUE(p.accept(TokenKind::Assign));
    layers::Track t;
    EXPECT_TRUE(p.parseValue(t));
    EXPECT_EQ(t.keyframeCount(), 1);
    EXPECT_EQ(t.current().intValue, 1);
}

}  // namespace
}  // namespace kvx::script
