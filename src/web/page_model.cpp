#include "web/page_model.h"

#include <climits>

#include "web/page_run.h"


namespace {

bool IsToggle(const FormVar& f)
{
    return f.type == "checkbox" || f.type == "radio";
}

const std::string& OptionValue(const VarOption& o)
{
    return o.hasValue ? o.value : o.text;
}

}  // namespace

// --- Optionen ---------------------------------------------------------------

VarOption* Optionen::add()
{
    auto& slot = items[int(items.size())];
    slot = std::make_unique<VarOption>();
    return slot.get();
}

std::string Optionen::selectedValue() const
{
    if (items.empty())
        return {};
    const VarOption* chosen = items.begin()->second.get();
    for (const auto& [key, option] : items) {
        if (option->selected) {
            chosen = option.get();
            break;
        }
    }
    return OptionValue(*chosen);
}

std::string Optionen::selectedValues() const
{
    std::string out;
    for (const auto& [key, option] : items) {
        if (!option->selected)
            continue;
        if (!out.empty())
            out += ',';
        out += OptionValue(*option);
    }
    return out;
}

// --- FormVariablen ------------------------------------------------------------

FormVar* FormVariablen::add()
{
    items.push_back(std::make_unique<FormVar>());
    return items.back().get();
}

const std::vector<size_t>* FormVariablen::positions(const std::string& name) const
{
    if (indexed > items.size()) {
        byName.clear();
        indexed = 0;
    }
    for (; indexed < items.size(); ++indexed)
        byName[items[indexed]->name].push_back(indexed);
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : &it->second;
}

void FormVariablen::set(const std::string& name, const std::string& value, PageRun* run)
{
    if (const std::vector<size_t>* same = positions(name)) {
        const std::string wanted = "," + value + ",";
        for (size_t i : *same) {
            FormVar& f = *items[i];
            if (f.multiple) {
                for (auto& [key, o] : f.options->items)
                    o->selected = wanted.find("," + OptionValue(*o) + ",") != std::string::npos;
                f.value = f.options->selectedValues();
                continue;
            }
            if (!IsToggle(f)) {
                f.value = value;
                continue;
            }
            f.checked = wanted.find("," + f.value + ",") != std::string::npos;
            if (f.checked && f.type == "radio") {
                for (size_t k : *same) {
                    FormVar& other = *items[k];
                    if (&other != &f && other.type == f.type)
                        other.checked = false;
                }
            }
        }
        return;
    }
    if (run && run->debugOn())
        run->AppendOutput("FormVar %s nicht gefunden, wurde jetzt angelegt.", name.c_str());
    FormVar* f = add();
    f->type = "hidden";
    f->name = name;
    f->value = value;
}

std::string FormVariablen::get(const std::string& name) const
{
    std::string result;
    const std::vector<size_t>* same = positions(name);
    if (!same)
        return result;
    for (size_t i : *same) {
        const FormVar& f = *items[i];
        if (IsToggle(f) && !f.checked)
            continue;
        if (!result.empty())
            result += ',';
        result += f.multiple ? f.options->selectedValues() : f.value;
    }
    return result;
}

bool FormVariablen::exists(const std::string& name) const
{
    return positions(name) != nullptr;
}

void FormVariablen::del(const std::string& name)
{
    const std::vector<size_t>* same = positions(name);
    if (!same)
        return;
    items.erase(items.begin() + long(same->front()));
    // Every later field moves down one place.
    byName.clear();
    indexed = 0;
}

void FormVariablen::dump(PageRun& run) const
{
    const int formNumber = owner ? owner->number + 1 : 0;
    for (const auto& f : items) {
        std::string shown;
        if (f->options->Count() > 0)
            shown = f->options->selectedValue();
        else if (IsToggle(*f))
            shown = f->checked ? f->value : std::string();
        else
            shown = f->value;
        run.AppendOutput("Variable Form %d: %s=%s", formNumber, f->name.c_str(), shown.c_str());
    }
}

// --- Formulare ----------------------------------------------------------------

Formular* Formulare::Add(const std::string& url, int number, const std::string& name,
                         const std::string& action, const std::string& method)
{
    if (Find(number))
        return nullptr;
    auto form = std::make_unique<Formular>();
    form->url = url;
    form->number = number;
    form->name = name;
    form->action = action;
    form->method = method;
    auto& slot = items[int(items.size())];
    slot = std::move(form);
    return slot.get();
}

Formular* Formulare::Add(const std::string& url, int number)
{
    return Add(url, number, std::string(), url, "GET");
}

Formular* Formulare::Find(int number) const
{
    for (const auto& [key, form] : items) {
        if (form->number == number)
            return form.get();
    }
    return nullptr;
}

// --- Links --------------------------------------------------------------------

const char* LinkKindName(int kind)
{
    switch (kind) {
    case 1:
        return "Link";
    case 2:
        return "Frame";
    case 3:
        return "MetaReresh";
    default:
        return "Unbekannt";
    }
}

Link* LinkList::Add(std::string href, std::string text, int kind)
{
    auto link = std::make_unique<Link>();
    link->number = int(items.size());
    link->href = std::move(href);
    link->text = std::move(text);
    link->kind = std::int16_t(kind);
    const int key = link->number;
    return items.emplace(key, std::move(link)).first->second.get();
}

Link* LinkList::at(size_t i) const
{
    if (i > size_t(INT_MAX))
        return nullptr;
    auto it = items.find(int(i));
    return it == items.end() ? nullptr : it->second.get();
}

// --- Frames -------------------------------------------------------------------

Frame* Frames::Add(const std::string& url, int number, BrowserRef window, const std::string& name)
{
    auto frame = std::make_unique<Frame>();
    frame->url = url;
    frame->number = number;
    frame->name = name;
    frame->window = std::move(window);
    auto& slot = items[int(items.size())];
    slot = std::move(frame);
    return slot.get();
}

Frame* Frames::Find(int number) const
{
    for (const auto& [key, frame] : items) {
        if (frame->number == number)
            return frame.get();
    }
    return nullptr;
}

void Frames::Clear()
{
    if (items.size() > 10 && note)
        note("FrameList.size() > 10!");
    items.clear();
}
