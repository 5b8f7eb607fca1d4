// Tokenizer rules, including the odd ones shows depend on.
#include <gtest/gtest.h>

#include <vector>

#include "script/ScriptText.h"
#include "script/Tokenizer.h"

namespace kvx::script {
namespace {

std::vector<Token> scanAll(std::string_view text) {
    Tokenizer t(text);
    std::vector<Token> out;
    for (int guard = 0; guard < 1000; ++guard) {
        Token tok = t.next();
        const bool end = tok.kind == TokenKind::Invalid;
        out.push_back(std::move(tok));
        if (end) {
            break;
        }
    }
    return out;
}

std::vector<TokenKind> kinds(std::string_view text) {
    std::vector<TokenKind> k;
    for (const Token& t : scanAll(text)) {
        k.push_back(t.kind);
    }
    return k;
}

using K = TokenKind;

TEST(Tokenizer, TagsIgnoreCaseButNotSpaces) {
    EXPECT_EQ(kinds("<ZEL></zel><Declarations></DECLARATIONS><script></SCRIPT><layer></"
                    "LAYER><PARAM></param>"),
              (std::vector<K>{K::TagRoot, K::TagRootEnd, K::TagDeclarations, K::TagDeclarationsEnd,
                              K::TagScript, K::TagScriptEnd, K::TagLayer, K::TagLayerEnd,
                              K::TagParam, K::TagParamEnd, K::Invalid}));
    const std::vector<Token> spaced = scanAll("<LAYER >");
    ASSERT_EQ(spaced.size(), 1u);
    EXPECT_EQ(spaced[0].kind, K::Invalid);
    EXPECT_STREQ(spaced[0].text.text(), "<LAYER >");
    // An unterminated tag runs to the end.
    EXPECT_EQ(scanAll("<LAY")[0].kind, K::Invalid);
}

TEST(Tokenizer, DollarWordsHaveFixedLengths) {
    EXPECT_EQ(kinds("$TYPE $target $Blending $COLOR $start $END $z $KEEPZBUF"),
              (std::vector<K>{K::KeyType, K::KeyTarget, K::KeyBlending, K::KeyColor, K::KeyStart,
                              K::KeyEnd, K::KeyZ, K::KeyKeepZBuf, K::Invalid}));
    // $COLOUR takes COLOU and leaves the R for the next token.
    const std::vector<Token> colour = scanAll("$COLOUR");
    ASSERT_GE(colour.size(), 1u);
    EXPECT_EQ(colour[0].kind, K::Invalid);
    EXPECT_STREQ(colour[0].text.text(), "$COLOU");
    // The length is fixed whatever follows: $ZEBRA is $Z then the word EBRA.
    EXPECT_EQ(kinds("$ZEBRA"), (std::vector<K>{K::KeyZ, K::Identifier, K::Invalid}));
    // $TYPE= reads TYPE then "=" (the t-y rule takes four letters).
    EXPECT_EQ(kinds("$TYPE="), (std::vector<K>{K::KeyType, K::Assign, K::Invalid}));
    // $STARTX: five letters, then the identifier X.
    EXPECT_EQ(kinds("$STARTX"), (std::vector<K>{K::KeyStart, K::Identifier, K::Invalid}));
    // A word cut short by the end of the text is no keyword.
    EXPECT_EQ(kinds("$BLEND"), (std::vector<K>{K::Invalid}));
    EXPECT_EQ(kinds("$"), (std::vector<K>{K::Invalid}));
}

TEST(Tokenizer, HashSkipsTheNextCharacterUnseen) {
    // "#" directly before a line feed also comments out the next line.
    EXPECT_EQ(kinds("a #\nb\nc"), (std::vector<K>{K::Identifier, K::Identifier, K::Invalid}));
    const std::vector<Token> t = scanAll("a #\nb\nc");
    EXPECT_STREQ(t[1].text.text(), "c");
    EXPECT_EQ(kinds("# comment\nx"), (std::vector<K>{K::Identifier, K::Invalid}));
    EXPECT_EQ(kinds("x #"), (std::vector<K>{K::Identifier, K::Invalid}));
}

TEST(Tokenizer, NumbersAreIntOrDecimal) {
    std::vector<Token> t = scanAll("42 0.5 3. 007");
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].value.kind, layers::ValueKind::Int);
    EXPECT_EQ(t[0].value.intValue, 42);
    EXPECT_EQ(t[0].value.floatValue, 0.0f);
    EXPECT_EQ(t[1].value.kind, layers::ValueKind::Float);
    EXPECT_FLOAT_EQ(t[1].value.floatValue, 0.5f);
    EXPECT_EQ(t[1].value.intValue, 0);
    EXPECT_FLOAT_EQ(t[2].value.floatValue, 3.0f);
    EXPECT_EQ(t[3].value.intValue, 7);
    // No leading dot, no sign in the number.
    EXPECT_EQ(kinds(".5"), (std::vector<K>{K::Invalid}));
    EXPECT_EQ(kinds("-5"), (std::vector<K>{K::AddOp, K::Literal, K::Invalid}));
    // Huge integers saturate instead of overflowing.
    EXPECT_EQ(scanAll("99999999999999999999")[0].value.intValue, 2147483647);
}

TEST(Tokenizer, StringsAndTheirEscapes) {
    std::vector<Token> t = scanAll("\"a\\nb\" \"x\\\\\\\\y\" \"line\none\"");
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].value.kind, layers::ValueKind::String);
    EXPECT_STREQ(t[0].value.text.text(), "a\nb");
    EXPECT_STREQ(t[1].value.text.text(), "x\\y");  // four backslashes -> one
    EXPECT_STREQ(t[2].value.text.text(), "line\none");
    EXPECT_EQ(unescapeString("\\\\n"), "\\\n");
    // An unterminated string runs to the end of the text.
    std::vector<Token> open = scanAll("\"abc");
    ASSERT_EQ(open.size(), 2u);
    EXPECT_STREQ(open[0].value.text.text(), "abc");
}

TEST(Tokenizer, ExpressionsInSingleQuotes) {
    std::vector<Token> t = scanAll("'x*2' 'time'");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_TRUE(t[0].value.hasExpression);
    EXPECT_EQ(t[0].value.kind, layers::ValueKind::Float);
    EXPECT_FLOAT_EQ(t[0].value.expression.evaluate(4.0f), 8.0f);
    EXPECT_TRUE(t[1].value.expression.failed());
}

TEST(Tokenizer, PunctuationAndInvalidCharacters) {
    EXPECT_EQ(kinds("()*/+-,;=[]{}"),
              (std::vector<K>{K::OpenParen, K::CloseParen, K::MulOp, K::MulOp, K::AddOp, K::AddOp,
                              K::Comma, K::Semicolon, K::Assign, K::OpenBracket, K::CloseBracket,
                              K::OpenBrace, K::CloseBrace, K::Invalid}));
    Tokenizer t("@x");
    const Token bad = t.next();
    EXPECT_EQ(bad.kind, K::Invalid);
    EXPECT_STREQ(bad.text.text(), "@");
    EXPECT_EQ(t.cursor(), 0u);  // Invalid does not move
    EXPECT_STREQ(describeToken(bad).text(), "'@'");
    EXPECT_STREQ(describeToken(Token()).text(), "the end of the script");
}

TEST(Tokenizer, IdentifiersKeepCase) {
    std::vector<Token> t = scanAll("_Speed2 camposX");
    EXPECT_STREQ(t[0].text.text(), "_Speed2");
    EXPECT_STREQ(t[1].text.text(), "camposX");
}

}  // namespace
}  // namespace kvx::script
