// String: the forgiving text operations the script reader and the file
// readers lean on.
#include <gtest/gtest.h>

#include "core/String.h"

using kvx::core::String;

TEST(String, UnsetAndEmptyAreAlike) {
    String unset;
    String blank("");
    EXPECT_TRUE(unset.empty());
    EXPECT_EQ(unset.length(), 0);
    EXPECT_STREQ(unset.text(), "");
    EXPECT_TRUE(unset.equals(blank));
    EXPECT_TRUE(unset.equals(nullptr));
    EXPECT_TRUE(blank.equalsIgnoreCase(nullptr));
    EXPECT_FALSE(String("a").equals(nullptr));
    EXPECT_FALSE(String("a").equalsIgnoreCase(nullptr));
}

TEST(String, SubstringBounds) {
    String abc("abc");
    EXPECT_EQ(abc.substring(0, -1), "abc");
    EXPECT_EQ(abc.substring(1, 1), "b");
    EXPECT_EQ(abc.substring(1), "bc");
    EXPECT_EQ(abc.substring(1, 99), "bc");
    EXPECT_TRUE(abc.substring(3, 1).empty());
    EXPECT_TRUE(abc.substring(-1, 2).empty());
    EXPECT_TRUE(String().substring(0, 1).empty());
}

TEST(String, CharacterAtOutOfRangeIsNul) {
    String abc("abc");
    EXPECT_EQ(abc.at(-1), '\0');
    EXPECT_EQ(abc.at(3), '\0');
    EXPECT_EQ(abc.at(2), 'c');
    EXPECT_EQ(String().at(0), '\0');
}

TEST(String, CaseRules) {
    EXPECT_TRUE(String("Layer").equalsIgnoreCase("LAYER"));
    EXPECT_FALSE(String("beat").equals("Beat"));
    EXPECT_TRUE(String("beat").equals("beat"));
    EXPECT_FALSE(String("beat").equalsIgnoreCase("beats"));
    EXPECT_FALSE(String("abc").equals("ab"));
    // Only ASCII letters fold: '[' (0x5B) is not the lower case of '{'.
    EXPECT_FALSE(String("[").equalsIgnoreCase("{"));
    EXPECT_LT(kvx::core::compareIgnoreCase("apple", "BANANA"), 0);
    EXPECT_GT(kvx::core::compareIgnoreCase("b", "A"), 0);
}

TEST(String, Trimmed) {
    EXPECT_EQ(String(" \tx \r\n").trimmed(), "x");
    EXPECT_TRUE(String("    ").trimmed().empty());
    EXPECT_EQ(String("a b").trimmed(), "a b");
    EXPECT_TRUE(String().trimmed().empty());
}

TEST(String, IndexOf) {
    EXPECT_EQ(String("abc").indexOf(String("")), 0);
    EXPECT_EQ(String("").indexOf(String("")), 0);
    EXPECT_EQ(String("abc").indexOf(String("bc")), 1);
    EXPECT_EQ(String("abc").indexOf(String("cd")), -1);
    EXPECT_EQ(String("abab").indexOf(String("ab")), 0);
}

TEST(String, WithoutAndReplaceAll) {
    EXPECT_EQ(String("a\rb\r").without('\r'), "ab");
    EXPECT_EQ(String("a\\'b\\'c").replaceAll("\\'", "'"), "a'b'c");
    // Searching again from the start joins the text around a replacement.
    EXPECT_EQ(String("aabb").replaceAll("ab", ""), "");
    EXPECT_EQ(String("xyz").replaceAll("q", "r"), "xyz");
    // A replacement containing the search text would never end: each
    // original occurrence is replaced once.
    EXPECT_EQ(String("aXa").replaceAll("a", "aa"), "aaXaa");
    EXPECT_EQ(String("abc").replaceAll("", "z"), "abc");
}

TEST(String, Concatenation) {
    String s("ab");
    s.append("cd");
    s.append('e');
    s.append(static_cast<const char*>(nullptr));
    EXPECT_EQ(s, "abcde");
    EXPECT_EQ(String("n") + 42, "n42");
    EXPECT_EQ(String("n") + -7, "n-7");
    EXPECT_EQ(String("a") + String("b") + 'c', "abc");
    String empty;
    empty.append("x");
    EXPECT_EQ(empty, "x");
    String kept("keep");
    kept.set(static_cast<const char*>(nullptr));
    EXPECT_EQ(kept, "keep");
    kept.set(kept.text());  // its own text: unchanged
    EXPECT_EQ(kept, "keep");
}

TEST(String, IntegerAndRadix) {
    EXPECT_EQ(String(255, 16), "ff");
    EXPECT_EQ(String(5, 2), "101");
    EXPECT_EQ(String(0, 10), "0");
    EXPECT_EQ(String(-12, 10), "-12");
    // Outside radix 10 a negative number is written as its 32-bit pattern.
    EXPECT_EQ(String(-1, 16), "ffffffff");
    EXPECT_EQ(String(-2147483647 - 1, 10), "-2147483648");
    EXPECT_EQ(String('q'), "q");
}

TEST(String, CopiesAreIndependent) {
    String a("one");
    String b(a);
    b.append("two");
    EXPECT_EQ(a, "one");
    EXPECT_EQ(b, "onetwo");
}
