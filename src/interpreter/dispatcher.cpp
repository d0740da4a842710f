// The built-in dispatcher: every built-in call of a script runs through
// Skript::sub, which reads the argument list and runs the body.
#include "interpreter/dispatcher.h"

#include <climits>
#include <exception>
#include <memory>
#include <new>
#include <unordered_map>

#include "interpreter/skript.h"
#include "platform/texts.h"

namespace {

// One row of the built-in table. min and max go to the argument parser; a
// count outside acceptMin..acceptMax ends the call without a result (or with
// the empty text where emptyOnBadCount says so); anyCount runs the body
// whatever the parser returned.
struct BuiltinRow {
    const char* word;
    int min, max;
    int acceptMin, acceptMax;
    bool emptyOnBadCount;
    bool anyCount;
};

constexpr int kOpen = INT_MAX;  // accepts any count from acceptMin on

// ORDER: the built-in list; words that share a body share a row's place.
constexpr BuiltinRow kTable[] = {
    {"exit", 0, 0, 0, 0, false, false},
    {"htget", 1, 2, 1, kOpen, false, false},
    {"htpost", 2, 3, 1, kOpen, false, false},
    {"substr", 3, 3, 3, 3, false, false},
    {"replace", 3, 3, 3, 3, true, false},
    {"trim", 1, 1, 1, 1, false, false},
    {"host", 1, 1, 1, 1, false, false},
    {"domain", 1, 1, 1, 1, false, false},
    {"tld", 1, 1, 1, 1, false, false},
    {"input", 1, 2, 1, kOpen, false, false},
    {"browse", 0, 1, 0, kOpen, false, false},
    {"dump", 1, 1, 1, kOpen, false, false},
    {"extract", 1, 5, 1, kOpen, false, false},
    {"formcreate", 3, 3, 3, 3, false, false},
    {"formset", 3, 3, 3, 3, false, false},
    {"formdel", 2, 2, 2, 2, false, false},
    {"checkversion", 1, 1, 1, 1, false, false},
    {"formget", 2, 2, 2, 2, false, false},
    {"submit", 1, 3, 1, kOpen, false, false},
    {"sleep", 1, 1, 1, 1, false, false},
    {"linkget", 2, 3, 2, kOpen, false, false},
    {"log", 2, 2, 2, 2, false, false},
    {"open", 2, 3, 2, kOpen, false, false},
    {"read", 2, 2, 2, 2, false, false},
    {"write", 2, kOpenArgs, 2, kOpen, false, false},
    {"close", 1, 1, 1, 1, false, false},
    {"today", 0, 0, 0, 0, false, true},
    {"dat2value", 1, 1, 1, 1, false, false},
    {"value2dat", 1, 1, 1, 1, false, false},
    {"weekday", 1, 1, 1, 1, false, false},
    {"day", 1, 1, 1, 1, false, false},
    {"month", 1, 1, 1, 1, false, false},
    {"year", 1, 1, 1, 1, false, false},
    {"print", 1, kOpenArgs, 1, kOpen, false, false},
    {"alert", 1, kOpenArgs, 1, kOpen, false, false},
    {"filter", 2, 3, 2, 3, false, false},
    {"random", 0, 0, 0, 0, false, true},
    {"follow", 1, 1, 1, 1, false, false},
    {"format", 1, kOpenArgs, 1, kOpen, false, false},
    {"shellexec", 1, 2, 1, kOpen, false, false},
    {"time", 0, 0, 0, kOpen, false, false},
    {"date", 0, 0, 0, kOpen, false, false},
    {"lower", 1, 1, 1, kOpen, false, false},
    {"upper", 1, 1, 1, kOpen, false, false},
    {"size", 1, 1, 1, kOpen, false, false},
    {"length", 1, 1, 1, kOpen, false, false},
    {"instr", 2, 3, 2, kOpen, false, false},
    {"ftp", 6, 6, 6, kOpen, false, false},
    {"dial", 1, 2, 1, kOpen, false, false},
    {"connected", 0, 0, 0, kOpen, true, false},
    {"disconnect", 0, 0, 0, kOpen, true, false},
};

}  // namespace

struct BuiltinEntry {
    const BuiltinRow* row;
    BuiltinBody body;
};

namespace {

BuiltinResult NotBuiltYet(Skript& run, funcContext&, const BuiltinCall& call)
{
    run.setError("Funktion '" + call.name + W("' ist in dieser Version nicht verfügbar"), call.line);
    return std::nullopt;
}

const std::unordered_map<std::string, BuiltinEntry>& Entries()
{
    static const std::unordered_map<std::string, BuiltinEntry> entries = [] {
        std::unordered_map<std::string, BuiltinEntry> m;
        for (const BuiltinRow& row : kTable)
            m[row.word] = {&row, NotBuiltYet};
        const std::span<const BuiltinDef> families[] = {
            TextBuiltins(), ExtractBuiltins(), DateBuiltins(), FileBuiltins(), StreamBuiltins(),
            DialogBuiltins(), WebBuiltins(), SystemBuiltins(), VersionBuiltins(),
        };
        for (auto family : families)
            for (const BuiltinDef& def : family) {
                auto it = m.find(def.word);
                if (it != m.end() && def.body)
                    it->second.body = def.body;
            }
        return m;
    }();
    return entries;
}

// The argument lists of the calls being run on this thread, by nesting
// depth: each keeps its room from one call to the next.
thread_local std::vector<std::unique_ptr<funcContext>> argsByDepth;
thread_local size_t argsDepth = 0;

// The argument list of one call, emptied when the call ends.
struct ArgsLease {
    funcContext& args;
    ArgsLease() : args(Take()) {}
    ~ArgsLease()
    {
        args.values.clear();
        args.argTexts.clear();
        --argsDepth;
    }
    static funcContext& Take()
    {
        if (argsByDepth.size() <= argsDepth)
            argsByDepth.push_back(std::make_unique<funcContext>());
        return *argsByDepth[argsDepth++];
    }
};

}  // namespace

const std::vector<std::string>& BuiltinWords()
{
    static const std::vector<std::string> words = [] {
        std::vector<std::string> w;
        for (const BuiltinRow& row : kTable)
            w.push_back(row.word);
        return w;
    }();
    return words;
}

const std::vector<std::string>& KeywordWords()
{
    static const std::vector<std::string> words = {
        "for", "to", "next", "while", "do", "done", "if", "then", "else", "fi",
        "ne", "eq", "lt", "gt", "ge", "le", "and", "or", "in",
    };
    return words;
}

const BuiltinEntry* FindBuiltin(const std::string& word)
{
    const auto& entries = Entries();
    auto it = entries.find(word);
    return it == entries.end() ? nullptr : &it->second;
}

BuiltinArity ArityOf(const BuiltinEntry& entry)
{
    return {entry.row->min, entry.row->max};
}

std::optional<std::string> Skript::sub(const std::string& name, int line, const CachedToken* cached)
{
    const BuiltinEntry* entry = cached ? cached->builtin : nullptr;
    if (!entry) {
        entry = FindBuiltin(name);
        if (!entry)
            return std::string();
        if (cached)
            cached->builtin = entry;
    }
    const BuiltinRow& row = *entry->row;

    // exit reads no argument list; the executor sees the flag.
    if (row.min == 0 && row.max == 0 && name == "exit") {
        exitRequested = true;
        return std::nullopt;
    }
    struct Parse {
        Skript& run;
        const BuiltinRow& row;
        int line;
    } parse{*this, row, line};
    return callBuiltin(*entry, name, line, [](void* p, funcContext& args) {
        auto& c = *static_cast<Parse*>(p);
        return c.run.parseArgs(args, c.row.min, c.line, c.row.max);
    }, &parse);
}

std::optional<std::string> Skript::callBuiltin(const BuiltinEntry& entry, const std::string& name, int line,
                                               ArgsFiller fill, void* context)
{
    const BuiltinRow& row = *entry.row;
    try {
        ArgsLease lease;
        funcContext& args = lease.args;
        int count = fill(context, args);
        if (!row.anyCount && (count < row.acceptMin || count > row.acceptMax)) {
            if (row.emptyOnBadCount)
                return std::string();
            return std::nullopt;
        }
        BuiltinCall call{name, line, count};
        return entry.body(*this, args, call);
    } catch (const std::bad_alloc&) {
        setError("Interner Programmfehler in Funktionsaufruf '" + name + W("': Speicher erschöpft"), line);
    } catch (const std::exception& e) {
        setError("Interner Programmfehler in Funktionsaufruf '" + name + "': " + e.what(), line);
    }
    return std::nullopt;
}
