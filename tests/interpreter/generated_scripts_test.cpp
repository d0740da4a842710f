// Generated scripts, run through the grammar alone and the usual way (see
// RunScript): nested calls, failing calls inside argument lists, operators on
// number texts of every form, conditions with and/or, loops, lines broken off
// in the middle. The seed is fixed, so a failure names a script that fails
// again.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/test_host.h"

namespace {

class ScriptMaker {
public:
    explicit ScriptMaker(unsigned seed) : gen_(seed) {}

    std::string script()
    {
        std::string s;
        const int lines = 2 + pick(7);
        for (int i = 0; i < lines; ++i)
            s += statement(2);
        s += "print(a, \"|\", b, \"|\", x, \"|\", t[1], \"|\", t[2])\n";
        return s;
    }

private:
    std::mt19937 gen_;

    int pick(int n) { return int(gen_() % unsigned(n)); }
    template <size_t N>
    const char* one(const char* const (&items)[N])
    {
        return items[pick(int(N))];
    }

    std::string operand(int depth)
    {
        static const char* const kLiterals[] = {
            "0",       "1",      "7",      "\"-3\"",   "2.5",    "0.5",      "\"007\"", "\" 12\"", "\"12abc\"",
            "\"1e3\"", "\"abc\"", "\"\"",   "1E15",   "0.00001", "\"-0\"",   "3.0",     "999999999999999",
        };
        static const char* const kNames[] = {"a", "b", "x", "t[1]", "t[2]", "t[a]", "u"};
        const int kind = depth <= 0 ? pick(2) : pick(7);
        switch (kind) {
        case 0: return one(kLiterals);
        case 1: return one(kNames);
        case 2: return "(" + expression(depth - 1) + ")";
        case 3: return call(depth - 1);
        case 4: return "t[" + expression(depth - 1) + "]";
        default: return one(kLiterals);
        }
    }

    std::string call(int depth)
    {
        // The failing calls are rare enough that many scripts run on.
        if (pick(12) == 0)
            return pick(2) ? "format(\"%d\")" : "read(9, l)";
        switch (pick(9)) {
        case 0: return "length(" + expression(depth) + ")";
        case 1: return "substr(" + expression(depth) + ", " + expression(depth) + ", " + expression(depth) + ")";
        case 2: return "instr(" + expression(depth) + ", " + expression(depth) + ")";
        case 3: return "trim(" + expression(depth) + ")";
        case 4: return "upper(" + expression(depth) + ")";
        case 5: return "print(" + expression(depth) + ")";
        case 6: return "format(\"%s-%s\", " + expression(depth) + ", " + expression(depth) + ")";
        case 7: return "replace(" + expression(depth) + ", \"1\", " + expression(depth) + ")";
        default: return "lower(" + expression(depth) + ")";
        }
    }

    std::string expression(int depth)
    {
        static const char* const kOperators[] = {" + ", " - ", " * ", " / ", " . "};
        std::string e = operand(depth);
        const int more = pick(3);
        for (int i = 0; i < more; ++i)
            e += one(kOperators) + operand(depth);
        return e;
    }

    std::string condition(int depth)
    {
        static const char* const kCompare[] = {" eq ", " ne ", " lt ", " gt ", " le ", " ge "};
        std::string c = expression(depth) + one(kCompare) + expression(depth);
        if (pick(4) == 0)
            c += std::string(pick(2) ? " and " : " or ") + expression(depth) + one(kCompare) + expression(depth);
        return c;
    }

    std::string block(int depth)
    {
        std::string s;
        const int n = 1 + pick(3);
        for (int i = 0; i < n; ++i)
            s += statement(depth - 1);
        return s;
    }

    std::string statement(int depth)
    {
        static const char* const kTargets[] = {"a", "b", "x", "t[1]", "t[2]", "t[a]"};
        static const char* const kBroken[] = {
            "x = 1 +", "print(", "x 5", ")", "x = (1", "a = substr(\"abc\", 1", "if then", "x = \"offen",
            "b = a[", "x = 1 % 2",
        };
        const int kind = depth <= 0 ? pick(3) : pick(9);
        switch (kind) {
        case 0:
        case 1: return std::string(one(kTargets)) + " = " + expression(2) + "\n";
        case 2: return "print(" + expression(2) + ", \" \", " + expression(1) + ")\n";
        case 3: return "if " + condition(1) + " then\n" + block(depth) + (pick(2) ? "else\n" + block(depth) : "") + "fi\n";
        case 4: return "n = 0\nwhile n lt 2 do\n" + block(depth) + "n = n + 1\ndone\n";
        case 5: return "for k = 1 to 2\n" + block(depth) + "next\n";
        case 6: return "if " + condition(1) + "\n" + block(depth) + "fi\n";
        case 7: return pick(4) == 0 ? std::string(one(kBroken)) + "\n" : call(2) + "\n";
        default: return "x = " + call(1) + " . " + call(1) + "\n";
        }
    }
};

TEST(GeneratedScripts, RunTheSameThroughTheGrammarAndTheUsualWay)
{
    ScriptMaker maker(20261211);
    int ranToTheEnd = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string script = maker.script();
        RunResult r = RunScript(script);
        if (HasFailure()) {
            ADD_FAILURE() << "first script that differs:\n" << script;
            return;
        }
        ranToTheEnd += r.result == 0;
    }
    // The corpus is worth something only if runs get past their errors too.
    EXPECT_GT(ranToTheEnd, 100) << ranToTheEnd;
}

}  // namespace
