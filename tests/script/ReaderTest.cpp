// Reading script files: CR removal, includes, block comments and the map
// back to files and lines.
#include <gtest/gtest.h>

#include "script/ScriptText.h"
#include "support/MemoryFiles.h"

namespace kvx::script {
namespace {

using test::memoryFiles;

std::string read(std::map<std::string, std::string> files, const char* name = "script.zel") {
    ReadResult r = readScript(name, memoryFiles(std::move(files)));
    return r.ok ? r.text.text : std::string("<failed>");
}

size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) {
        ++n;
    }
    return n;
}

TEST(Reader, MissingFileFails) {
    ReadResult r = readScript("script.zel", memoryFiles({}));
    EXPECT_FALSE(r.ok);
    ASSERT_TRUE(r.error.has_value());
    EXPECT_NE(r.error->text.str().find("script.zel"), std::string::npos);
}

TEST(Reader, CarriageReturnsAndZeroBytes) {
    EXPECT_EQ(read({{"script.zel", "a\r\nb\r"}}), "a\nb");
    EXPECT_EQ(read({{"script.zel", std::string("ab\0cd", 5)}}), "ab");
}

TEST(Reader, IncludeInsertsFileAfterALineFeed) {
    EXPECT_EQ(read({{"script.zel", "A\n@include  part.zel \t\nB"}, {"part.zel", "P"}}),
              "A\n\nP\nB");
    // Without a line feed the name runs to the end.
    EXPECT_EQ(read({{"script.zel", "x@include part.zel"}, {"part.zel", "P"}}), "x\nP");
    // A missing include contributes nothing, with a warning.
    ReadResult r = readScript("script.zel", memoryFiles({{"script.zel", "A@include nope.zel\nB"}}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.text.text, "A\n\nB");
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].text.str().find("nope.zel"), std::string::npos);
}

TEST(Reader, HashOnTheLineDisarmsTheInclude) {
    EXPECT_EQ(read({{"script.zel", "x = \"#\"; @include part.zel\nB"}, {"part.zel", "P"}}),
              "x = \"#\"; @ include part.zel\nB");
    // A "#" on an earlier line does not count.
    EXPECT_EQ(read({{"script.zel", "#\n@include part.zel"}, {"part.zel", "P"}}), "#\n\nP");
}

TEST(Reader, SelfIncludeStopsAfterTwentyLevels) {
    ReadResult r =
        readScript("script.zel", memoryFiles({{"script.zel", "X\n@include script.zel\n"}}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(count(r.text.text, "X"), 21u);  // depth 0 to 20
    EXPECT_EQ(count(r.text.text, "@include"), 0u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].text.str().find("20 levels"), std::string::npos);
}

TEST(Reader, BlockCommentsPerFile) {
    EXPECT_EQ(read({{"script.zel", "a##hidden\nstill##b"}}), "ab");
    // Three in a row toggle once and keep the third "#".
    EXPECT_EQ(read({{"script.zel", "a##x###b"}}), "a#b");
    // An unclosed comment in an included file does not swallow the includer.
    EXPECT_EQ(read({{"script.zel", "@include p.zel\nafter"}, {"p.zel", "in##open"}}),
              "\nin\nafter");
    // Comment text may hide an include.
    EXPECT_EQ(read({{"script.zel", "## @include p.zel ##x"}, {"p.zel", "P"}}), "x");
}

TEST(Reader, CommentRemovalCanFormADirective) {
    // The included file's own comment removal joins "@inc" and "lude"; the
    // including file then expands it.
    EXPECT_EQ(
        read(
            {{"script.zel", "@include a.zel\n"}, {"a.zel", "@inc##x##lude b.zel"}, {"b.zel", "B"}}),
        "\n\nB\n");
}

TEST(Reader, ExponentialIncludesFailCleanly) {
    ReadLimits limits;
    limits.maxIncludeReads = 100;
    ReadResult r = readScript(
        "script.zel", memoryFiles({{"script.zel", "@include script.zel\n@include script.zel\n"}}),
        limits);
    EXPECT_FALSE(r.ok);
    ASSERT_TRUE(r.error.has_value());
    EXPECT_NE(r.error->text.str().find("@include"), std::string::npos);
}

TEST(Reader, GrowthBeyondTheLimitFailsCleanly) {
    ReadLimits limits;
    limits.maxTextBytes = 1000;
    ReadResult r = readScript("script.zel",
                              memoryFiles({{"script.zel", "@include big\n@include big\n"},
                                           {"big", std::string(600, 'x')}}),
                              limits);
    EXPECT_FALSE(r.ok);
    ASSERT_TRUE(r.error.has_value());
    EXPECT_NE(r.error->text.str().find("exceeds"), std::string::npos);
}

TEST(Reader, MapLeadsBackToTheIncludedFile) {
    ReadResult r = readScript(
        "script.zel", memoryFiles({{"script.zel", "one\n## c\n##two\n@include sub.zel\nthree"},
                                   {"sub.zel", "s1\n  s2"}}));
    ASSERT_TRUE(r.ok);
    const std::string& t = r.text.text;
    core::String file;
    int line = 0;
    int col = 0;
    r.text.locate(t.find("two"), file, line, col);
    EXPECT_STREQ(file.text(), "script.zel");
    EXPECT_EQ(line, 3);
    EXPECT_EQ(col, 3);
    r.text.locate(t.find("s2"), file, line, col);
    EXPECT_STREQ(file.text(), "sub.zel");
    EXPECT_EQ(line, 2);
    EXPECT_EQ(col, 3);
    r.text.locate(t.find("three"), file, line, col);
    EXPECT_STREQ(file.text(), "script.zel");
    EXPECT_EQ(line, 5);
    EXPECT_EQ(col, 1);
}

}  // namespace
}  // namespace kvx::script
