// List: front insertion, paired indices, and the default element for an
// index out of range.
#include <gtest/gtest.h>

#include "core/List.h"
#include "core/String.h"

using kvx::core::List;
using kvx::core::String;

TEST(List, PushFrontReversesReadingOrder) {
    List<String> list;
    list.pushFront(String("p"));
    list.pushFront(String("q"));
    list.pushFront(String("r"));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.elementAt(0), "r");
    EXPECT_EQ(list.elementAt(1), "q");
    EXPECT_EQ(list.elementAt(2), "p");

    List<String> copy;
    copy.pushFront(String("stale"));
    copy = list;
    ASSERT_EQ(copy.count(), 3);
    EXPECT_EQ(copy.elementAt(0), "r");
    EXPECT_EQ(copy.elementAt(2), "p");

    std::string visited;
    list.forEach([&](const String& s) { visited += s.text(); });
    EXPECT_EQ(visited, "rqp");
}

TEST(List, OutOfRangeGivesDefaultAndIsIgnored) {
    List<String> list;
    list.pushFront(String("a"));
    list.pushFront(String("b"));
    list.pushFront(String("c"));
    EXPECT_TRUE(list.elementAt(5).empty());
    EXPECT_TRUE(list.elementAt(-1).empty());
    list.removeAt(3);
    list.removeAt(-1);
    EXPECT_EQ(list.count(), 3);
}

TEST(List, RemoveAtKeepsPairedListsAligned) {
    List<String> names;
    List<int> values;
    for (int i = 0; i < 4; ++i) {
        names.pushFront(String("n") + i);
        values.pushFront(i);
    }
    names.removeAt(1);
    values.removeAt(1);
    ASSERT_EQ(names.count(), 3);
    for (int i = 0; i < names.count(); ++i) {
        EXPECT_EQ(names.elementAt(i), String("n") + values.elementAt(i));
    }
    EXPECT_EQ(names.elementAt(0), "n3");
    EXPECT_EQ(names.elementAt(1), "n1");
    names.clear();
    EXPECT_EQ(names.count(), 0);
    EXPECT_TRUE(names.empty());
}

TEST(List, ElementAtReturnsACopy) {
    List<String> list;
    list.pushFront(String("x"));
    String got = list.elementAt(0);
    got.append("y");
    EXPECT_EQ(list.elementAt(0), "x");
    list.ref(0).append("z");
    EXPECT_EQ(list.elementAt(0), "xz");
}
