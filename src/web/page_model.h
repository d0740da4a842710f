// The page model: the forms of a page with their fields and the options of
// selection fields, the frames the browser window shows, and the links of a
// page. Every container owns what it holds and destroys it with itself.
// Containers keyed by int are dense: keys 0..n-1 in insertion order, walked
// by index from 0 to the count.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class Formular;
class PageRun;

// One option of a selection field.
class VarOption {
public:
    virtual ~VarOption() = default;

    bool selected = false;  // carries the selected attribute
    bool hasValue = false;  // carries a value attribute
    std::string value;
    std::string text;
    // The page's own value and text in UTF-8, where they hold more than
    // ASCII (the script's are Windows-1252); "" otherwise.
    std::string pageValue;
    std::string pageText;
};

using VarOptionList = std::map<int, std::unique_ptr<VarOption>>;

// The options of one selection field, in document order.
class Optionen {
public:
    Optionen() = default;
    virtual ~Optionen() = default;
    Optionen(const Optionen&) = delete;
    Optionen& operator=(const Optionen&) = delete;

    // Stores a new option under key = current count.
    VarOption* add();
    size_t Count() const { return items.size(); }
    // The first selected option, or option 0 when none is: its value when it
    // has one, else its text. "" for a list without options.
    std::string selectedValue() const;
    // Every selected option's value (its text when it has none), joined by
    // ","; what a list that takes several options gives.
    std::string selectedValues() const;

    VarOptionList items;
};

// One field: an input, select or textarea element.
class FormVar {
public:
    FormVar() : options(std::make_unique<Optionen>()) {}
    virtual ~FormVar() = default;
    FormVar(const FormVar&) = delete;
    FormVar& operator=(const FormVar&) = delete;

    // The type attribute exactly as written; "" for select, textarea and an
    // input without type. Compared case-sensitively.
    std::string type;
    std::string name;
    std::string value;
    // The page's own name and value in UTF-8, where they hold more than
    // ASCII: submission sends them while the script's text still is their
    // Windows-1252 form, so what the script left alone goes back as the page
    // had it. "" otherwise.
    std::string pageName;
    std::string pageValue;
    bool checked = false;
    // A selection list that takes several options: its chosen options are
    // those whose selected flag is set, each sent by itself; formset takes a
    // comma list of them.
    bool multiple = false;
    std::unique_ptr<Optionen> options;  // empty unless a selection list
};

using FormVarList = std::vector<std::unique_ptr<FormVar>>;

// The fields of one form, in document order; fields made by set() stand at
// the end.
class FormVariablen {
public:
    explicit FormVariablen(Formular* form = nullptr) : owner(form) {}
    virtual ~FormVariablen() = default;
    FormVariablen(const FormVariablen&) = delete;
    FormVariablen& operator=(const FormVariablen&) = delete;

    // Appends a new empty field and returns it.
    FormVar* add();
    // formset: checkboxes and radio buttons of that name become checked when
    // their value is in the comma list `value`, and so do the options of a
    // list that takes several; any other field of that name takes the value. A name no field has becomes a new hidden field, which
    // the run's debug output reports (no run: nowhere).
    void set(const std::string& name, const std::string& value, PageRun* run = nullptr);
    // formget: the values of all fields of that name joined by ","; a
    // checkbox or radio button counts only while checked.
    std::string get(const std::string& name) const;
    bool exists(const std::string& name) const;
    // formdel: removes the first field of that name; none, nothing happens.
    void del(const std::string& name);
    // One output line "Variable Form %d: %s=%s" per field, to the run's pane.
    void dump(PageRun& run) const;

    size_t Count() const { return items.size(); }

    FormVarList items;
    Formular* owner;  // borrowed

private:
    // The positions of the fields of that name, rising; null for none. Fields
    // are named when they are added, so the index catches up with the fields
    // added since the last look-up; a removal makes it start anew.
    const std::vector<size_t>* positions(const std::string& name) const;

    mutable std::unordered_map<std::string, std::vector<size_t>> byName;
    mutable size_t indexed = 0;  // items[0..indexed) are in byName
};

// One form.
class Formular {
public:
    Formular() : fields(std::make_unique<FormVariablen>(this)) {}
    virtual ~Formular() = default;
    Formular(const Formular&) = delete;
    Formular& operator=(const Formular&) = delete;

    std::string url;  // the page that holds the form
    int number = 0;   // 0-based; scripts call it number + 1
    std::unique_ptr<FormVariablen> fields;
    std::string name;
    std::string action;  // as written in the page, may be relative
    std::string method;  // submission compares it, lower-cased, with "post"
    // The charset of the page that holds the form, which submission encodes
    // into; "" for a form the script made, which sends the script's bytes.
    std::string charset;
};

using FormList = std::map<int, std::unique_ptr<Formular>>;

// The forms of one page.
class Formulare {
public:
    Formulare() = default;
    virtual ~Formulare() = default;
    Formulare(const Formulare&) = delete;
    Formulare& operator=(const Formulare&) = delete;

    // Null when a form of that number exists already; otherwise the new form,
    // stored under key = current count.
    [[nodiscard]] Formular* Add(const std::string& url, int number, const std::string& name,
                                const std::string& action, const std::string& method);
    // A form element of a page: name "", action = url, method "GET".
    [[nodiscard]] Formular* Add(const std::string& url, int number);
    int Count() const { return int(items.size()); }
    // The first form whose number is `number`, or null.
    Formular* Find(int number) const;

    FormList items;
};

// One link of a page. Pages hold links by the hundred thousand: it carries
// no more than its fields.
class Link final {
public:
    int number = 0;     // 0-based index in its list; scripts call it number + 1
    std::int16_t kind = 1;  // 1 link, 2 frame source, 3 META refresh
    std::string href;   // as written in the page, not resolved
    std::string text;
};

// The name of a link kind in listings: "Link", "Frame", "MetaReresh" or
// "Unbekannt".
const char* LinkKindName(int kind);

// An ordered map from int to owned links, as far as the page model uses one
// (operator[], find, erase, size, in-order walks), kept in one array sorted by
// key: a tree node per link would cost more than most links themselves. Keys
// arrive in rising order (the analysis counts them, the browser window goes
// by positions in the page), so insertion is at the end.
class LinkMap {
public:
    using value_type = std::pair<int, std::unique_ptr<Link>>;
    using iterator = std::vector<value_type>::iterator;
    using const_iterator = std::vector<value_type>::const_iterator;

    std::unique_ptr<Link>& operator[](int key) { return emplace(key, nullptr).first->second; }
    // The entry of that key; an entry already there is kept.
    std::pair<iterator, bool> emplace(int key, std::unique_ptr<Link> link)
    {
        if (entries_.empty() || entries_.back().first < key) {
            entries_.emplace_back(key, std::move(link));
            return {entries_.end() - 1, true};
        }
        iterator it = lower_bound(key);
        if (it != entries_.end() && it->first == key)
            return {it, false};
        return {entries_.emplace(it, key, std::move(link)), true};
    }
    iterator find(int key)
    {
        iterator it = lower_bound(key);
        return it != entries_.end() && it->first == key ? it : entries_.end();
    }
    const_iterator find(int key) const { return const_cast<LinkMap*>(this)->find(key); }
    size_t count(int key) const { return find(key) != end() ? 1 : 0; }
    size_t erase(int key)
    {
        iterator it = find(key);
        if (it == entries_.end())
            return 0;
        entries_.erase(it);
        return 1;
    }
    iterator erase(const_iterator it) { return entries_.erase(it); }

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear() { std::vector<value_type>().swap(entries_); }
    void reserve(size_t n) { entries_.reserve(n); }

    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

private:
    iterator lower_bound(int key)
    {
        return std::lower_bound(entries_.begin(), entries_.end(), key,
                                [](const value_type& e, int k) { return e.first < k; });
    }

    std::vector<value_type> entries_;
};

// The links of a page, numbered 0..n-1 in the order they were added. A value
// type that owns its links.
class LinkList {
public:
    LinkList() = default;
    LinkList(LinkList&&) noexcept = default;
    LinkList& operator=(LinkList&&) noexcept = default;
    LinkList(const LinkList&) = delete;
    LinkList& operator=(const LinkList&) = delete;

    // A new link whose number is the current count, stored under that key.
    Link* Add(std::string href, std::string text, int kind);
    size_t size() const { return items.size(); }
    bool empty() const { return items.empty(); }
    // The link under key i, or null when there is none.
    Link* at(size_t i) const;
    // Destroys every link and empties the map.
    void clear() { items.clear(); }

    LinkMap items;
};

// A reference to one of the browser window's objects (a frame's window or
// document). The page model only keeps it alive; the browser window knows
// what it points to.
using BrowserRef = std::shared_ptr<void>;

// One frame (or the top document) shown by the browser window.
class Frame {
public:
    Frame() : forms(std::make_unique<Formulare>()), links(std::make_unique<LinkList>()) {}
    virtual ~Frame() = default;
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    std::string url;
    int number = 0;
    std::string name;
    std::unique_ptr<Formulare> forms;  // exactly one per frame
    std::unique_ptr<LinkList> links;   // filled by the browser window
    BrowserRef window;  // one reference, released with the frame
    BrowserRef doc;     // set by the browser window after Frames::Add
    bool notHttp = false;  // shows the temporary copy of the script's page
};

using FrameList = std::map<int, std::unique_ptr<Frame>>;

// A frame list (the browser window's, or the run's, which stays empty).
class Frames {
public:
    Frames() = default;
    virtual ~Frames() { Clear(); }
    Frames(const Frames&) = delete;
    Frames& operator=(const Frames&) = delete;

    // A new frame with its own reference to the window, stored under key =
    // current count; the caller then sets doc and notHttp.
    Frame* Add(const std::string& url, int number, BrowserRef window, const std::string& name);
    // The first frame whose number is `number`, or null.
    Frame* Find(int number) const;
    int Count() const { return int(items.size()); }
    // Destroys every frame; with more than 10 the note "FrameList.size() > 10!"
    // goes to `note` first.
    void Clear();

    FrameList items;
    // Where the note goes: the owner's "Notiz" box; none, it is dropped.
    std::function<void(const std::string&)> note;
};
