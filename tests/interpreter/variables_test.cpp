#include <gtest/gtest.h>

#include "interpreter/skript.h"
#include "support/test_host.h"

namespace {

TEST(Variables, ReadingCreatesAndKeepsCreationOrder)
{
    Variablen v;
    EXPECT_EQ(v.GetValue("y"), "");
    v.SetValue("x", 5);
    v.SetValue("neg", -5);
    v.SetValue("A", "gross");
    v.SetValue("a", "klein");
    v.SetValue("x", "wieder");
    ASSERT_EQ(v.Count(), 5u);
    EXPECT_EQ(v.At(0).name, "y");
    EXPECT_EQ(v.At(1).value, "wieder");
    EXPECT_EQ(v.At(2).value, "-5");
    EXPECT_EQ(v.GetValue("A"), "gross");
    EXPECT_EQ(v.GetValue("a"), "klein");
    v.Clear();
    v.SetValue("neu", "1");
    EXPECT_EQ(v.At(0).name, "neu");
}

TEST(Variables, CountElementsCountsDistinctFirstLevelKeys)
{
    Variablen v;
    for (const char* n : {"a[1]", "a[2]", "a[2][x]", "a[2][y]", "ab", "a_x[3]", "c[1]", "c[1][x]", "c[1][y]", "d[1]", "d[5]"})
        v.SetValue(n, "1");
    struct {
        const char* name;
        const char* count;
    } cases[] = {{"a", "3"}, {"a[2]", "2"}, {"b", "0"}, {"c", "1"}, {"d", "2"}, {"a[1]", "0"}};
    for (const auto& c : cases)
        EXPECT_EQ(v.CountElements(c.name), c.count) << c.name;
}

TEST(Variables, SizeOfPlainAndMissingArrays)
{
    RunResult r = RunScript("x = 1\na[7] = 1\nb[1] = 1\nb[2] = 1\ni = 2\nc[2][1] = 1\nc[2][2] = 1\n"
                            "print(size(x), size(a[7]), size(b), size(nie), size(c[i]))");
    EXPECT_EQ(Joined(r.output), "10212");
}

TEST(Variables, DumpShowsNamesWholeAndValuesCut)
{
    TestHost host;
    Variablen v;
    std::string name(300, 'n');
    v.SetValue(name, std::string(150, 'v'));
    v.Dump(host);
    ASSERT_EQ(host.output().size(), 1u);
    EXPECT_EQ(host.output()[0], "Variable: " + name + "=" + std::string(100, 'v'));
}

}  // namespace
