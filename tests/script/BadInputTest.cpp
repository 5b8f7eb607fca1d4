// Hostile scripts end in a parsed show or a clean failure with a diagnostic.
#include <gtest/gtest.h>

#include <random>

#include "script/Demo.h"
#include "support/MemoryFiles.h"

namespace kvx::script {
namespace {

// Parses text; a failure must come with a diagnostic, a success
// with a consistent layer list: count non-null layers first, then only nulls,
// one entry per LAYER the script gave.
bool survives(const std::string& text) {
    Demo demo("script.zel", test::memoryFiles({{"script.zel", text}}));
    int count = 0;
    auto built = demo.buildLayers(count);
    if (!built) {
        return demo.diagnostic().has_value() && !demo.diagnostic()->text.empty();
    }
    if (count < 0 || static_cast<size_t>(count) > built->size() ||
        built->size() != demo.layerDescs().size()) {
        return false;
    }
    for (size_t i = 0; i < built->size(); ++i) {
        if (((*built)[i] != nullptr) != (i < static_cast<size_t>(count))) {
            return false;
        }
    }
    return true;
}

TEST(BadInput, RandomBytesAndTokenSoup) {
    std::mt19937 rng(1234);
    const char* pieces[] = {"<ZEL>",
                            "</ZEL>",
                            "<SCRIPT>",
                            "</SCRIPT>",
                            "<LAYER>",
                            "</LAYER>",
                            "<PARAM>",
                            "</PARAM>",
                            "<DECLARATIONS>",
                            "</DECLARATIONS>",
                            "$TYPE",
                            "$Z",
                            "$COLOR",
                            "=",
                            ";",
                            "{",
                            "}",
                            "(",
                            ")",
                            "[",
                            "]",
                            "a",
                            "1",
                            "2.5",
                            "\"s\"",
                            "'x*",
                            "'",
                            "\"",
                            "#",
                            "##",
                            "@include script.zel\n",
                            "-",
                            "*",
                            "/",
                            ",",
                            "\n",
                            "$"};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 60);
        for (int i = 0; i < n; ++i) {
            if (rng() % 4 == 0) {
                text.push_back(static_cast<char>(rng() % 256));
            } else {
                text += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
            }
        }
        ASSERT_TRUE(survives(text)) << text;
    }
}

TEST(BadInput, UnterminatedThings) {
    EXPECT_TRUE(survives("<ZEL><DECLARATIONS>A = \"open"));
    EXPECT_TRUE(survives("<ZEL><DECLARATIONS>A = 'sin(x"));
    EXPECT_TRUE(survives("<ZEL"));
    EXPECT_TRUE(survives("<ZEL>$"));
    EXPECT_TRUE(survives("<ZEL>#"));
    EXPECT_TRUE(survives(std::string("\0<ZEL></ZEL>", 12)));
}

TEST(BadInput, DeepNestingAndHugeNumbers) {
    std::string deep =
        "<ZEL><DECLARATIONS>A = " + std::string(200000, '(') + "1;</DECLARATIONS></ZEL>";
    EXPECT_TRUE(survives(deep));
    std::string colours =
        "<ZEL><DECLARATIONS>A = " + std::string(200000, '{') + "</DECLARATIONS></ZEL>";
    EXPECT_TRUE(survives(colours));
    EXPECT_TRUE(survives(
        "<ZEL><DECLARATIONS>A = " + std::string(5000, '9') + "." + std::string(5000, '9') +
        "; B = -2147483647 - 1 / -1; C = 0 - 2147483647 - 1; D = C / -1;</DECLARATIONS></ZEL>"));
}

TEST(BadInput, LongLineParsesInLinearTime) {
    // 8 MB on one line: a string literal, then a parse error at the end.
    std::string text = "<ZEL><DECLARATIONS>A = \"" + std::string(8u << 20, 'x') + "\"; B = ";
    Demo demo("script.zel", test::memoryFiles({{"script.zel", text}}));
    ASSERT_TRUE(demo.parse() == false);
    ASSERT_TRUE(demo.diagnostic().has_value());
    EXPECT_EQ(demo.diagnostic()->line, 1);
    EXPECT_GT(demo.diagnostic()->column, 8 << 20);
}

TEST(BadInput, ManyDisarmedIncludesOnOneLine) {
    std::string line = "x = \"#\";";
    for (int i = 0; i < 20000; ++i) {
        line += " @include a";
    }
    EXPECT_TRUE(survives("<ZEL>" + line + "</ZEL>"));
}

}  // namespace
}  // namespace kvx::script
