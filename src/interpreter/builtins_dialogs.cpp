// The built-ins that involve the user: input and browse wait for a window of
// the host, alert shows a box with OK and Cancel.
#include <cerrno>
#include <cstdio>

#include "interpreter/dispatcher.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"
#include "platform/cp1252.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/page_copy.h"
#include "web/page_charset.h"

namespace {

// input(prompt [, default])
BuiltinResult Input(Skript& run, funcContext& args, const BuiltinCall&)
{
    run.inputDefault.clear();
    run.inputPrompt = args.values.empty() ? std::string() : args.values[0];
    if (args.values.size() > 1)
        run.inputDefault = args.values[1];
    // A wake that is no answer (the stop button) must not hand out the
    // answer of an earlier input.
    run.inputResult.clear();
    run.waitForGui(WM_SCRIPT_INPUT, nullptr);
    return run.inputResult;
}

// alert(value, ...)
BuiltinResult Alert(Skript& run, funcContext& args, const BuiltinCall&)
{
    std::string text;
    for (const auto& v : args.values)
        text += v;
    int answer = run.host.messageBox(text, "Nachricht", MB_OKCANCEL);
    return answer == IDOK ? std::string("1") : std::string("2");
}

std::string Lower(const std::string& s)
{
    std::string out(s);
    for (char& c : out)
        c = platform::Cp1252Lower(c);
    return out;
}

// The page's base element, right after <head> (or <html>) when it has none:
// base cut after its last "/" unless that "/" belongs to the "//".
void InsertBase(Skript& run, std::string& text, const std::string& lower)
{
    if (lower.find("<base ") != std::string::npos)
        return;
    size_t p = lower.find("<head>");
    if (p == std::string::npos)
        p = lower.find("<html>");
    if (p == std::string::npos)
        return;
    const Variable* v = run.vars->Find("base");
    std::string b = v ? v->value() : std::string();
    size_t slashes = b.find("//");
    size_t last = b.rfind('/');
    long long afterSlashes = slashes == std::string::npos ? 1 : (long long)slashes + 2;
    if (last != std::string::npos && afterSlashes < (long long)last)
        b.erase(last + 1);
    run.copyBase = "<base href=\"" + b + "\">";
    run.copyBaseAt = p + 6;
    text.insert(run.copyBaseAt, run.copyBase);
}

// browse([text or URL])
BuiltinResult Browse(Skript& run, funcContext& args, const BuiltinCall& call)
{
    std::string text = args.values.empty() ? run.pageText : args.values[0];
    // The window reads the page in the charset the fetch found for it: a
    // header's charset is nowhere in the copy.
    run.browseCharset = args.values.empty() ? PageEncoding(run.pageCharset) : std::string();
    std::string lower = Lower(text);
    bool urlMode = lower.compare(0, 4, "http") == 0;
    run.copyBase.clear();
    if (!urlMode) {
        InsertBase(run, text, lower);
        if (text.empty())
            text = "<table width=100% height=100%><tr><td align=center>Skimlark: Keine HTML-Daten im Speicher.</td></tr></table>";
        std::string path = platform::PageCopyPath(run.settings().dataDir);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f) {
            bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
            ok = std::fclose(f) == 0 && ok;
            if (!ok)
                run.setError("browse(): Write " + platform::ScriptName(path) + ": " + SystemErrorText(errno), call.line);
        } else {
            // The window is still shown; the run ends with the error after it.
            run.setError("browse(): Open " + platform::ScriptName(path) + ": " + SystemErrorText(errno), call.line);
        }
    }
    int line = run.curLine;
    int length = (line >= 0 && line < int(run.lines->size())) ? int((*run.lines)[size_t(line)].size()) : 0;
    run.host.selectText(run.lineOffset(line), length, false);
    run.waitForGui(WM_SCRIPT_BROWSE, urlMode ? &text : nullptr);
    return std::string();
}

constexpr BuiltinEntry kDialogBuiltins[] = {
    {"input", 1, 2, Input},
    {"alert", 1, kOpenArgs, Alert},
    {"browse", 0, 1, Browse},
};

}  // namespace

std::span<const BuiltinEntry> DialogBuiltins()
{
    return kDialogBuiltins;
}
