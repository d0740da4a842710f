// Form submission: the escaping of form values and the request that sends a
// form of the page.
#include <cctype>
#include <string>

#include "platform/cp1252.h"
#include "web/web_access.h"
#include "web/page_charset.h"
#include "web/page_model.h"

namespace {

// Bytes of 128 and above, and "#", which would end a query and start the
// URL's fragment, are escaped in names and values alike: a server reads
// the same bytes, and the request stays well-formed. A "%" stays, for
// values a script escaped itself.
bool EscapedAlways(unsigned char c)
{
    return c >= 0x80 || c == '#';
}

std::string Escape(const std::string& text, bool value)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        bool escape = EscapedAlways(c);
        if (value) {
            switch (c) {
            case ' ': case '&': case '+': case ',': case '/': case ':':
            case ';': case '<': case '=': case '>': case '?':
                escape = true;
                break;
            default:
                break;
            }
        }
        if (escape) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

// A field's name or value in the bytes its page would send: the page's own
// text while the script's is still its Windows-1252 form, else the script's
// text, both in the page's encoding. A form the script made sends the
// script's bytes.
std::string Sent(const std::string& script, const std::string& page, const std::string& encoding)
{
    if (encoding.empty())
        return script;
    const bool unchanged = !page.empty() && PageTextToScript(page) == script;
    return EncodeForPage(unchanged ? page : platform::Cp1252ToUtf8(script), encoding);
}

}  // namespace

std::string WebAccess::encodeValue(const std::string& text)
{
    return Escape(text, true);
}

std::string WebAccess::encodeName(const std::string& text)
{
    return Escape(text, false);
}

std::string WebAccess::submit(Formular& form, const std::string& file, int button, int line)
{
    // Everything is taken from the form before the request: the fetch
    // replaces the form list, and the form with it.
    const std::string target = resolveUrl(form.url, form.action);
    const std::string encoding = form.charset.empty() ? std::string() : PageEncoding(form.charset);
    std::string method;
    for (char c : form.method)
        method += char(std::tolower(static_cast<unsigned char>(c)));

    std::string query;
    auto add = [&query](const std::string& name, const std::string& value) {
        if (!query.empty())
            query += '&';
        query += name;
        query += '=';
        query += value;
    };
    int b = button;
    for (const auto& f : form.fields->items) {
        if ((f->type == "radio" || f->type == "checkbox") && !f->checked)
            continue;
        // Browsers send no plain and no reset button.
        if (f->type == "button" || f->type == "reset")
            continue;
        bool isButton = f->type == "submit" || f->type == "image";
        if (isButton && b-- != 1)
            continue;
        const std::string name = encodeName(Sent(f->name, f->pageName, encoding));
        if (f->multiple) {
            // Each chosen option by itself, as a browser sends them.
            for (const auto& [key, o] : f->options->items)
                if (o->selected)
                    add(name, encodeValue(o->hasValue ? Sent(o->value, o->pageValue, encoding)
                                                      : Sent(o->text, o->pageText, encoding)));
            continue;
        }
        add(name, encodeValue(Sent(f->value, f->pageValue, encoding)));
        if (f->type == "image") {
            // The click position a browser sends with an image button.
            if (!form.fields->exists(f->name + ".x"))
                add(name + ".x", "10");
            if (!form.fields->exists(f->name + ".y"))
                add(name + ".y", "10");
        }
    }

    frames = std::make_unique<Frames>();
    if (debugOn())
        AppendOutput("Sendedaten: %s", query.c_str());
    if (method == "post") {
        setVariable("_url", target);
        return get(target, true, query, file, line);
    }
    std::string url = query.empty() ? target : target + "?" + query;
    setVariable("_url", url);
    return get(url, false, std::string(), file, line);
}
