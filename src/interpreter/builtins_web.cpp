// The web built-ins: htget, htpost, follow, submit, formcreate, formset,
// formget, formdel and linkget. They read their arguments, keep _url and the
// frame list in step and leave the work to the fetch and the page model.
#include <string>

#include "interpreter/dispatcher.h"
#include "interpreter/skript.h"
#include "platform/cp1252.h"
#include "platform/numbers.h"
#include "platform/texts.h"
#include "web/page_model.h"

namespace {

const std::string kNone;

const std::string& Arg(const funcContext& args, size_t i)
{
    return i < args.values.size() ? args.values[i] : kNone;
}

// The form list of the page; a run that fetched nothing yet has an empty one.
Formulare& Forms(Skript& run)
{
    if (!run.forms)
        run.forms = std::make_unique<Formulare>();
    return *run.forms;
}

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = platform::Cp1252Lower(c);
    return text;
}

// The steps every page request of a built-in shares: _url, a fresh frame
// list, the fetch.
std::string Fetch(Skript& run, const std::string& url, bool post, const std::string& postData,
                  const std::string& file, int line)
{
    run.vars->SetValue("_url", url);
    run.frames = std::make_unique<Frames>();
    return run.get(url, post, postData, file, line);
}

// htget and htpost: the URL against base, the run error of an empty one,
// then the fetch.
BuiltinResult Request(Skript& run, const BuiltinCall& call, const std::string& href, bool post,
                      const std::string& postData, const std::string& file)
{
    std::string url = Skript::resolveUrl(run.vars->GetValue("base"), href);
    if (url.empty()) {
        run.setError("Fehler: Keine URL in htget() angegeben", call.line);
        return std::string();
    }
    if (run.errLine != -1)
        return std::nullopt;
    return Fetch(run, url, post, postData, file, call.line);
}

// htget(url [, file])
BuiltinResult Htget(Skript& run, funcContext& args, const BuiltinCall& call)
{
    return Request(run, call, Arg(args, 0), false, kNone, Arg(args, 1));
}

// htpost(url, post data [, file]): the script supplies the encoded data.
BuiltinResult Htpost(Skript& run, funcContext& args, const BuiltinCall& call)
{
    return Request(run, call, Arg(args, 0), true, Arg(args, 1), Arg(args, 2));
}

// follow(link number or link text)
BuiltinResult Follow(Skript& run, funcContext& args, const BuiltinCall& call)
{
    const std::string& value = args.values[0];
    const bool debug = run.settings().debugLevel != 0;
    long n = TextToLong(value);
    std::string target;
    if (n != 0) {
        // A negative number, taken unsigned, is larger than any count.
        if (run.links.size() < static_cast<unsigned long>(n))
            return "Fehler: Link '" + value + "' gesucht, aber nur " + std::to_string(run.links.size()) +
                   " Link(s) auf der Seite.";
        Link* link = run.links.at(size_t(n - 1));
        target = link ? link->href : std::string();
        if (target.empty())
            return std::string();
    } else {
        if (debug)
            run.AppendOutput("follow(text=%s)", value.c_str());
        const std::string wanted = Lowered(value);
        for (const auto& [key, link] : run.links.items)
            if (Lowered(link->text) == wanted)
                target = link->href;
        if (target.empty())
            return "Fehler: Link '" + value + "' nicht gefunden.";
    }
    if (debug)
        run.AppendOutput("follow(num=%s): %s", value.c_str(), target.c_str());
    std::string url = Skript::resolveUrl(run.vars->GetValue("base"), target);
    return Fetch(run, url, false, kNone, kNone, call.line);
}

// submit(form [, file [, button]])
BuiltinResult Submit(Skript& run, funcContext& args, const BuiltinCall& call)
{
    long n = TextToLong(args.values[0]);
    long button = args.values.size() < 3 ? 1 : TextToLong(args.values[2]);
    Formular* form = Forms(run).Find(int(n - 1));
    if (!form) {
        run.setError("submit: Unbekannte Formularnummer '" + std::to_string(n) + "'", call.line);
        return std::nullopt;
    }
    if (button <= 0) {
        run.setError(W("submit: Die Submit-Button-Nr. muß größer 0 sein."), call.line);
        return std::nullopt;
    }
    return run.submit(*form, Arg(args, 1), int(button), call.line);
}

// formcreate(number, method, action)
BuiltinResult Formcreate(Skript& run, funcContext& args, const BuiltinCall& call)
{
    const std::string& action = args.values[2];
    int number = int(TextToLong(args.values[0])) - 1;
    if (!Forms(run).Add(action, number, "", action, args.values[1]))
        run.setError("formcreate: Fehler (Nummer schon vergeben)", call.line);
    return std::string();
}

// formset(form, name, value)
BuiltinResult Formset(Skript& run, funcContext& args, const BuiltinCall& call)
{
    long n = TextToLong(args.values[0]);
    Formular* form = Forms(run).Find(int(n - 1));
    if (!form) {
        run.setError("formset: Unbekanntes Formular (Nummer '" + std::to_string(n) + "')", call.line);
        return std::nullopt;
    }
    form->fields->set(args.values[1], args.values[2], &run);
    return std::string();
}

// formget(form, name)[index]...: bracketed indexes after the call belong to
// the field's name.
BuiltinResult Formget(Skript& run, funcContext& args, const BuiltinCall& call)
{
    std::string name = args.values[1];
    if (!run.parseVarRef(call.line, name))
        return std::nullopt;
    Formular* form = Forms(run).Find(int(TextToLong(args.values[0]) - 1));
    return form ? form->fields->get(name) : std::string();
}

// formdel(form, name)[index]...
BuiltinResult Formdel(Skript& run, funcContext& args, const BuiltinCall& call)
{
    std::string name = args.values[1];
    if (!run.parseVarRef(call.line, name))
        return std::nullopt;
    if (Formular* form = Forms(run).Find(int(TextToLong(args.values[0]) - 1)))
        form->fields->del(name);
    return std::string();
}

// linkget(text, link text [, number])
BuiltinResult Linkget(Skript& run, funcContext& args, const BuiltinCall&)
{
    long n = args.values.size() < 3 ? 1 : TextToLong(args.values[2]);
    return run.linkget(args.values[0], args.values[1], n);
}

// ORDER: the built-in list.
constexpr BuiltinEntry kWebBuiltins[] = {
    {"htget", 1, 2, Htget},
    {"htpost", 2, 3, Htpost},
    {"formcreate", 3, 3, Formcreate},
    {"formset", 3, 3, Formset},
    {"formdel", 2, 2, Formdel},
    {"formget", 2, 2, Formget},
    {"submit", 1, 3, Submit},
    {"linkget", 2, 3, Linkget},
    {"follow", 1, 1, Follow},
};

}  // namespace

std::span<const BuiltinEntry> WebBuiltins()
{
    return kWebBuiltins;
}
