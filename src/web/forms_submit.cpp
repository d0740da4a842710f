// Form submission: the escaping of form values and the request that sends a
// form of the page.
#include <cctype>
#include <string>

#include "web/web_access.h"
#include "web/page_model.h"

std::string WebAccess::encodeValue(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case ' ': case '&': case '+': case ',': case '/': case ':':
        case ';': case '<': case '=': case '>': case '?':
            out += '%';
            out += hex[static_cast<unsigned char>(c) >> 4];
            out += hex[static_cast<unsigned char>(c) & 15];
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string WebAccess::submit(Formular& form, const std::string& file, int button, int line)
{
    // Everything is taken from the form before the request: the fetch
    // replaces the form list, and the form with it.
    const std::string target = resolveUrl(form.url, form.action);
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
        bool isButton = f->type == "submit" || f->type == "image";
        if (isButton && b-- != 1)
            continue;
        add(f->name, encodeValue(f->value));
        if (f->type == "image") {
            // The click position a browser sends with an image button.
            if (!form.fields->exists(f->name + ".x"))
                add(f->name + ".x", "10");
            if (!form.fields->exists(f->name + ".y"))
                add(f->name + ".y", "10");
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
