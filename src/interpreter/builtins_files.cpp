// print: a line in the output pane, and in the log file while logging is on.
#include "interpreter/builtins_streams.h"
#include "interpreter/dispatcher.h"
#include "interpreter/skript.h"

namespace {

// print(value, ...)
BuiltinResult Print(Skript& run, funcContext& args, const BuiltinCall&)
{
    std::string text;
    size_t total = 0;
    for (const auto& v : args.values)
        total += v.size();
    text.reserve(total);
    for (const auto& v : args.values)
        text += v;
    // print writes its line whole and without the pane's line limit.
    run.host.appendOutput(text, false);
    LogPrintLine(run, text);
    return std::string();
}

constexpr BuiltinEntry kFileBuiltins[] = {
    {"print", 1, kOpenArgs, Print},
};

}  // namespace

std::span<const BuiltinEntry> FileBuiltins()
{
    return kFileBuiltins;
}
