// The built-in dispatcher: every built-in call of a script runs through
// Skript::sub, which reads the argument list and runs the body.
#include "interpreter/dispatcher.h"

#include <exception>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>

#include "interpreter/skript.h"
#include "platform/texts.h"

namespace {

// ORDER: the families keep the order of the built-in list.
std::span<const BuiltinEntry> Families(size_t i)
{
    static const std::span<const BuiltinEntry> families[] = {
        SystemBuiltins(), TextBuiltins(), ExtractBuiltins(), DateBuiltins(), FileBuiltins(),
        StreamBuiltins(), DialogBuiltins(), WebBuiltins(), VersionBuiltins(),
    };
    return i < std::size(families) ? families[i] : std::span<const BuiltinEntry>();
}

template <class Each>
void EachBuiltin(Each each)
{
    for (size_t i = 0; !Families(i).empty(); ++i)
        for (const BuiltinEntry& entry : Families(i))
            each(entry);
}

const std::unordered_map<std::string_view, const BuiltinEntry*>& Entries()
{
    static const auto entries = [] {
        std::unordered_map<std::string_view, const BuiltinEntry*> m;
        EachBuiltin([&](const BuiltinEntry& entry) { m.emplace(entry.word, &entry); });
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
        EachBuiltin([&](const BuiltinEntry& entry) { w.push_back(entry.word); });
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
    return it == entries.end() ? nullptr : it->second;
}

BuiltinArity ArityOf(const BuiltinEntry& entry)
{
    return {entry.min, entry.max};
}

std::optional<std::string> Skript::sub(const std::string& name, int line)
{
    const BuiltinEntry* entry = FindBuiltin(name);
    if (!entry)
        return std::string();
    struct Parse {
        Skript& run;
        const BuiltinEntry& entry;
        int line;
    } parse{*this, *entry, line};
    return callBuiltin(*entry, name, line, [](void* p, funcContext& args) {
        auto& c = *static_cast<Parse*>(p);
        return c.run.parseArgs(args, c.entry.min, c.line, c.entry.max);
    }, &parse);
}

std::optional<std::string> Skript::callBuiltin(const BuiltinEntry& entry, const std::string& name, int line,
                                               ArgsFiller fill, void* context)
{
    std::optional<std::string> result;
    bool ran = false;
    try {
        ArgsLease lease;
        funcContext& args = lease.args;
        const int count = entry.flags & kReadsNoArguments ? 0 : fill(context, args);
        // The argument reader gives a count within min..max, or 0 or -1
        // after its error.
        const bool fits = count >= entry.min && (entry.max == kOpenArgs || count <= entry.max);
        if (!fits && !(entry.flags & kAnyCount)) {
            if (entry.flags & kEmptyOnBadCount)
                return std::string();
            return std::nullopt;
        }
        if (replayingCalls && replayNext < callLog.size()) {
            // A compiled line read again: the body ran already.
            CallRecord& r = callLog[replayNext++];
            if (r.errLine >= 0)
                setError(r.errMsg, r.errLine);
            if (r.exitRequested)
                exitRequested = true;
            return std::move(r.result);
        }
        BuiltinCall call{name, line, count};
        ran = true;
        result = entry.body(*this, args, call);
    } catch (const std::bad_alloc&) {
        setError("Interner Programmfehler in Funktionsaufruf '" + name + W("': Speicher erschöpft"), line);
    } catch (const std::exception& e) {
        setError("Interner Programmfehler in Funktionsaufruf '" + name + "': " + e.what(), line);
    }
    if (ran && recordCalls)
        callLog.push_back({result, errLine, errLine >= 0 ? errMsg : std::string(), exitRequested});
    return result;
}
