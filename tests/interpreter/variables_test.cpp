#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "interpreter/skript.h"
#include "platform/numbers.h"
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

// Counts asked again while variables are added, for more names than are kept
// between calls, agree with a store that counts them for the first time.
TEST(Variables, CountElementsAskedAgainSeesEveryNewVariable)
{
    const char* names[] = {"a", "a[1]", "b", "c", "d", "e", "ab"};
    Variablen v;
    std::vector<std::string> created;
    for (int step = 0; step < 300; ++step) {
        std::string name = names[step % 7] + std::string("[") + std::to_string(step % 11) + "]";
        if (step % 3 == 0)
            name += "[x]";
        v.SetValue(name, "1");
        created.push_back(name);
        const char* asked = names[(step * 5) % 7];
        Variablen fresh;
        for (const auto& n : created)
            fresh.SetValue(n, "1");
        ASSERT_EQ(v.CountElements(asked), fresh.CountElements(asked)) << asked << " after " << name;
    }
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

// Names in the order a script might make them: elements of two arrays with
// integer keys, among plain names, element names that are not integer keys
// and elements of elements, past the first block of the store and several
// growths of its tables.
std::vector<std::string> MixedNames(int n)
{
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
        names.push_back("a[" + std::to_string(n - i) + "]");
        if (i % 3 == 0)
            names.push_back("b[" + std::to_string(i * 1024) + "]");
        if (i % 7 == 0)
            names.push_back("v" + std::to_string(i));
        if (i % 11 == 0)
            names.push_back("a[k" + std::to_string(i) + "]");
        if (i % 13 == 0)
            names.push_back("a[" + std::to_string(i) + "][" + std::to_string(i) + "]");
    }
    return names;
}

TEST(Variables, ManyNamesKeepCreationOrderAndAreEachStoredOnce)
{
    Variablen v;
    const std::vector<std::string> names = MixedNames(3000);
    for (size_t i = 0; i < names.size(); ++i)
        v.SetValue(names[i], static_cast<long long>(i));
    // Writing every name again, by each way in, makes nothing new.
    for (size_t i = 0; i < names.size(); ++i) {
        if (i % 2)
            v.SetValue(names[i], "w" + std::to_string(i));
        else
            v.Modify(v.Get(names[i])) = "w" + std::to_string(i);
    }
    ASSERT_EQ(v.Count(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(v.At(i).name, names[i]) << i;
        ASSERT_EQ(v.At(i).value, "w" + std::to_string(i)) << names[i];
        ASSERT_EQ(v.Find(names[i]), v.Find(names[i])) << names[i];
        ASSERT_EQ(&v.At(i).value, &v.Find(names[i])->value()) << names[i];
    }
    for (const char* missing : {"a[0]", "a[3001]", "b[1]", "v1", "a[k1]", "a", "b"})
        EXPECT_EQ(v.Find(missing), nullptr) << missing;
    EXPECT_EQ(v.Count(), names.size());
}

TEST(Variables, IndexTextsAreKeysExactlyAsWritten)
{
    // Every name is its own variable, whether or not its index reads as an
    // integer: a key is the text between the brackets.
    std::vector<std::string> names = {
        "a[1]", "a[01]", "a[1.0]", "a[+1]", "a[ 1]", "a[1 ]", "a[0]", "a[-0]", "a[00]", "a[-1]", "a[--1]",
        "a[9223372036854775807]", "a[-9223372036854775808]", "a[9223372036854775808]",
        "a[-9223372036854775809]", "a[99999999999999999999]", "a[1E3]", "a[]", "a[1]]", "a[[1]", "a[x][1]",
        "a[1][1]", "a1]", "[1]", "[]", "a", "A[1]", "b[1]", "",
    };
    // Long names and bases, around the length up to which names share room.
    for (size_t length : {1023, 1024, 1025, 20000}) {
        names.push_back(std::string(length, 'n'));
        names.push_back(std::string(length, 'n') + "[7]");
        names.push_back(std::string(length - 3, 'n') + "[7]");
    }
    Variablen v;
    for (const std::string& n : names)
        v.SetValue(n, "=" + n);
    ASSERT_EQ(v.Count(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(v.At(i).name, names[i]);
        EXPECT_EQ(v.GetValue(names[i]), "=" + names[i]);
    }
    EXPECT_EQ(v.Count(), names.size());
}

TEST(Variables, ScriptIndexesNameTheElementOfTheirText)
{
    const struct {
        const char* script;
        const char* output;
    } cases[] = {
        {"a[1] = \"eins\"\na[01] = \"null-eins\"\na[1.0] = \"komma\"\nprint(a[2-1], a[\"01\"], a[1.0], size(a))",
         "einsnull-einskomma3"},
        {"i = 0 - 5\na[i] = \"neg\"\nprint(a[0-5], a[\"-5\"], a[i])", "negnegneg"},
        {"a[9223372036854775807] = \"gross\"\na[99999999999999999999] = \"groesser\"\n"
         "print(a[9223372036854775807], a[99999999999999999999], size(a))",
         "grossgroesser2"},
        {"for i = 1 to 3\nfor j = 1 to 2\nm[i][j] = i * j\nnext\nnext\nprint(m[3][2], size(m), size(m[2]))", "632"},
        // An element as the loop variable keeps its name.
        {"for a[2] = 1 to 3\ns = s . a[2]\nnext\nprint(s, a[2], size(a))", "12331"},
    };
    for (const auto& c : cases) {
        RunResult r = RunScript(c.script);
        EXPECT_EQ(r.result, 0) << c.script << ": " << r.errMsg;
        EXPECT_EQ(Joined(r.output), c.output) << c.script;
    }
}

TEST(Variables, IntegersOfElementsLeaveTheirKeys)
{
    Variablen v;
    Variable& e = v.Get("a[7]");
    v.AssignInteger(e, 42);
    long long n = 0;
    EXPECT_TRUE(IntegerOf(e, n));
    EXPECT_EQ(n, 42);
    v.Assign(e, "x");
    EXPECT_FALSE(IntegerOf(e, n));
    EXPECT_EQ(v.NameOf(e), "a[7]");
    EXPECT_EQ(v.Find("a[7]"), &e);
    EXPECT_EQ(v.Find("a[42]"), nullptr);
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A number written without its text must read, as text, integer and double,
// exactly as the text FormatNumber writes for it would.
void ExpectReadsAsItsText(Variablen& store, Variable& v, double written)
{
    const std::string text = FormatNumber(written);
    long long n = 0, fromText = 0;
    const bool exact = ExactInteger(text, fromText);
    EXPECT_EQ(IntegerOf(v, n), exact) << text;
    if (exact)
        EXPECT_EQ(n, fromText) << text;
    EXPECT_TRUE(SameBits(NumberOf(v), TextToDouble(text))) << text << " read as " << NumberOf(v);
    EXPECT_EQ(v.value(), text);
    // Read again once the text exists.
    EXPECT_TRUE(SameBits(NumberOf(v), TextToDouble(text))) << text;
    EXPECT_EQ(store.Value(store.NameOf(v)), text);
}

TEST(Variables, NumbersReadAsTheTextTheyWouldHaveBeenWritten)
{
    const double cases[] = {
        0.5, -0.5, 2.25, 1e15, -1e15, 1e15 + 0.5, 9.9999998e15, 999999999999999.0, 999999999999999.5, 0.00001,
        0.000015, 0.0000152587890625, 9.5367431640625e-07, -0.0, 0.0, 1e20, 1e-300, 0.1, 0.1 + 0.2,
        1.0 / 3, 2.0 / 3, 123456.789, 0.9999999999999999, 1e15 - 0.5, 4503599627370495.5, HUGE_VAL, -HUGE_VAL,
        std::nan(""), 5e-324, 1.5e300,
    };
    for (const char* name : {"x", "a[3]"}) {
        Variablen store;
        Variable& v = store.Get(name);
        for (double d : cases) {
            store.AssignNumber(v, d);
            ExpectReadsAsItsText(store, v, d);
        }
        // Random doubles, with many short binary fractions among them.
        std::mt19937_64 random(31);
        for (int i = 0; i < 20000; ++i) {
            const double d = i % 2 ? std::ldexp(double(random() % 2000001) - 1000000, -int(random() % 40))
                                   : std::ldexp(double(random() >> 11), int(random() % 120) - 90);
            store.AssignNumber(v, d);
            ExpectReadsAsItsText(store, v, d);
            if (testing::Test::HasFailure())
                return;
        }
    }
}

TEST(Variables, TextsStayTheValueAndReadAsTheirNumbers)
{
    struct {
        const char* text;
        bool exact;
        long long integer;
        double number;
    } cases[] = {
        {"007", true, 7, 7},           {" 12", false, 0, 12},        {"12abc", true, 12, 12},
        {"1e3", false, 0, 1000},       {"-0", true, 0, -0.0},        {"+5", true, 5, 5},
        {"0x10", true, 0, 0},          {"", false, 0, 0},            {"2.50", false, 0, 2.5},
        {"1234567890123456", false, 0, 1234567890123456.0},
    };
    for (const auto& c : cases) {
        Variablen store;
        Variable& v = store.Get("x");
        // A number first, so that the text must replace it.
        store.AssignInteger(v, 99);
        store.Assign(v, c.text);
        long long n = -1;
        EXPECT_EQ(IntegerOf(v, n), c.exact) << c.text;
        if (c.exact)
            EXPECT_EQ(n, c.integer) << c.text;
        EXPECT_TRUE(SameBits(NumberOf(v), c.number)) << c.text;
        EXPECT_EQ(v.value(), c.text);
    }
}

TEST(Variables, IntegersBeyondExactDigitsAreWrittenAsTexts)
{
    Variablen store;
    Variable& v = store.Get("x");
    for (long long n : {999999999999999LL, -999999999999999LL, 1000000000000000LL, -1000000000000000LL,
                        9223372036854775807LL}) {
        store.AssignInteger(v, n);
        long long back = 0;
        const bool exact = n < 1000000000000000LL && n > -1000000000000000LL;
        EXPECT_EQ(IntegerOf(v, back), exact) << n;
        EXPECT_EQ(v.value(), std::to_string(n));
        EXPECT_EQ(NumberOf(v), TextToDouble(std::to_string(n))) << n;
    }
}

TEST(Variables, WritesAfterANumberReplaceItsText)
{
    // Each write on a variable that holds a number with no text yet.
    Variablen store;
    Variable& v = store.Get("x");
    store.AssignNumber(v, 2.5);
    store.Modify(v) += "!";
    EXPECT_EQ(v.value(), "2.5!");
    store.AssignInteger(v, 12);
    store.Append(v, v.value(), 100);
    EXPECT_EQ(v.value(), "1212");
    long long n = 0;
    EXPECT_TRUE(IntegerOf(v, n));
    EXPECT_EQ(n, 1212);
    store.AssignNumber(v, 0.75);
    store.Append(v, "5", 100);
    EXPECT_EQ(v.value(), "0.755");
    EXPECT_EQ(NumberOf(v), 0.755);
    const unsigned long long before = v.stamp;
    store.AssignInteger(v, 3);
    EXPECT_NE(v.stamp, before);
}

TEST(Variables, AnElementFoundByBaseAndIndexIsTheOneItsNameNames)
{
    const char* bases[] = {"a", "k[3]", "", "x]"};
    const char* indexes[] = {"1", "01", "-0", "-5", "x", "", "1.0", " 2", "9223372036854775807",
                             "9223372036854775808", "-9223372036854775808"};
    for (bool elementFirst : {true, false}) {
        Variablen store;
        for (const char* base : bases)
            for (const char* index : indexes) {
                const std::string name = std::string(base) + "[" + index + "]";
                // Either way first: each must find what the other created.
                Variable& first = elementFirst ? store.GetElement(base, index) : store.Get(name);
                Variable& second = elementFirst ? store.Get(name) : store.GetElement(base, index);
                EXPECT_EQ(&first, &second) << name;
                EXPECT_EQ(store.NameOf(first), name);
            }
        EXPECT_EQ(store.Count(), std::size(bases) * std::size(indexes));
    }
    // An index read from a variable: its number where it has the key's
    // digits, else its text.
    Variablen store;
    Variable& i = store.Get("i");
    const std::function<void(Variable&)> writes[] = {
        [&](Variable& x) { store.AssignInteger(x, 7); },
        [&](Variable& x) { store.AssignInteger(x, -12); },
        [&](Variable& x) { store.Assign(x, "007"); },
        [&](Variable& x) { store.AssignNumber(x, 2.5); },
        [&](Variable& x) { store.AssignNumber(x, -0.0); },
        [&](Variable& x) { store.Assign(x, "3"); },
    };
    for (const auto& write : writes) {
        write(i);
        Variable& byIndex = store.GetElement("a", i);
        EXPECT_EQ(&byIndex, &store.Get("a[" + i.value() + "]")) << i.value();
    }
}

TEST(Variables, AValueReadInPlaceKeepsItsTextWhenTheVariableChanges)
{
    // Each way of writing, on an element and on a plain name; a second
    // reader outlives the first.
    const std::function<void(Variablen&, Variable&)> writes[] = {
        [](Variablen& s, Variable& x) { s.Assign(x, "neu"); },
        [](Variablen& s, Variable& x) { s.AssignInteger(x, 7); },
        [](Variablen& s, Variable& x) { s.Modify(x) += "!"; },
        [](Variablen& s, Variable& x) { s.Append(x, x.value(), 100); },
        [](Variablen& s, Variable& x) { s.SetValue(s.NameOf(x), "neu"); },
        [](Variablen& s, Variable&) { s.Clear(); },
    };
    for (const char* name : {"a[5]", "x"}) {
        for (size_t w = 0; w < std::size(writes); ++w) {
            Variablen store;
            Variable& var = store.Get(name);
            store.AssignNumber(var, 0.25);
            store.Assign(var, "alt");
            auto first = std::make_unique<TextRef>(store, var);
            TextRef second(store, var);
            first.reset();
            writes[w](store, var);
            EXPECT_EQ(second.str(), "alt") << name << " write " << w;
            EXPECT_EQ(second.lentFrom(), nullptr) << name << " write " << w;
            if (w + 1 < std::size(writes))
                EXPECT_NE(store.Value(name), "alt") << name << " write " << w;
            // Read again: lent afresh, and the next write copies again.
            TextRef third(store, store.Get(name));
            const std::string now = third.str();
            store.Assign(store.Get(name), "danach");
            EXPECT_EQ(third.str(), now) << name << " write " << w;
        }
    }
}

TEST(Variables, ClearStartsAFreshStoreWhoseNamesAreFoundAgain)
{
    Variablen v;
    const unsigned before = v.Generation();
    for (int i = 0; i < 2000; ++i)
        v.SetValue("a[" + std::to_string(i) + "]", "1");
    v.SetValue("x", "1");
    v.Clear();
    EXPECT_NE(v.Generation(), before);
    EXPECT_EQ(v.Count(), 0u);
    EXPECT_EQ(v.Find("a[1]"), nullptr);
    EXPECT_EQ(v.Find("x"), nullptr);
    EXPECT_EQ(v.CountElements("a"), "0");
    v.SetValue("a[1]", "neu");
    v.SetValue("x", "neu");
    ASSERT_EQ(v.Count(), 2u);
    EXPECT_EQ(v.At(0).name, "a[1]");
    EXPECT_EQ(v.At(1).name, "x");
    EXPECT_EQ(v.GetValue("a[1]"), "neu");
}

TEST(Variables, ASecondRunOfTheSameLinesSeesOnlyItsOwnVariables)
{
    // The token cache holds the variables of the first run; the second run
    // must find its own.
    TestHost host;
    std::vector<std::string> lines = {"x = x . \"a\"", "i = 3", "a[i] = a[i] . \"b\"", "a[k] = a[k] . \"c\"",
                                      "print(x, a[3], a[k], size(a))"};
    Skript run(true, host, &lines);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(run.runLines(&lines), 0) << run.errMsg;
    EXPECT_EQ(host.output(), (std::vector<std::string>{"abc2", "abc2", "abc2"}));
}

TEST(Variables, DumpAndSizeFollowCreationOrderAndKeys)
{
    TestHost host;
    Variablen v;
    for (const char* n : {"a[2]", "z", "a[-1]", "a[01]", "a[2][x]", "a[10]", "ab[1]", "a[1]"})
        v.SetValue(n, n[0] == 'z' ? "" : "w");
    v.Dump(host);
    EXPECT_EQ(host.output(), (std::vector<std::string>{"Variable: a[2]=w", "Variable: z=", "Variable: a[-1]=w",
                                                       "Variable: a[01]=w", "Variable: a[2][x]=w", "Variable: a[10]=w",
                                                       "Variable: ab[1]=w", "Variable: a[1]=w"}));
    // Keys [2] [-1] [01] [10] [1], and b[1] of ab[1], as a prefix.
    EXPECT_EQ(v.CountElements("a"), "6");
    EXPECT_EQ(v.CountElements("a[2]"), "1");
}

}  // namespace
