// The page walk: turns libxml2's tree of a fetched page into the run's forms,
// fields, options and links, the variable base and the page charset.

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <string_view>
#include <vector>

#include "interpreter/skript.h"
#include "platform/cp1252.h"
#include "web/entities.h"
#include "web/html_analysis.h"

namespace {

enum class Kind { Top, Node, Attr };

// Link addresses and texts are script values: Windows-1252, whatever the
// page's charset. Everything else stays as libxml2 gives it, in UTF-8.
std::string FromUtf8Text(std::string_view text)
{
    return platform::Utf8ToCp1252(text);
}

bool Is(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

const char* NameOf(const xmlNode* n)
{
    return n->name ? reinterpret_cast<const char*>(n->name) : "";
}

// Only these node types are xmlNode records with a content field; a DTD or
// a declaration is laid out differently past the common head.
const char* ContentOf(const xmlNode* n)
{
    switch (n->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return n->content ? reinterpret_cast<const char*>(n->content) : "";
    default:
        return "";
    }
}

// One sibling list being walked: the recursion of the walk kept on a stack of
// its own, so that the nesting depth of a page costs heap, not thread stack.
struct Walk {
    enum Step { Start, Attributes, Children, LinkEnd };
    xmlNode* node;
    int level;
    Kind kind;
    const char* container;
    const char* attribute;
    Step step = Start;
    xmlAttr* nextAttr = nullptr;
};

class Walker {
public:
    explicit Walker(Skript& run) : run_(run) {}

    void walk(xmlNode* first, int level, Kind kind, const char* container, const char* attribute)
    {
        std::vector<Walk> stack;
        stack.push_back({first, level, kind, container, attribute});
        while (!stack.empty()) {
            Walk& w = stack.back();
            if (!w.node) {
                stack.pop_back();
                continue;
            }
            switch (w.step) {
            case Walk::Start:
                elementStart(w.node, w.kind);
                content(w.node, w.level, w.container, w.attribute);
                w.nextAttr = w.node->type == XML_ELEMENT_NODE ? w.node->properties : nullptr;
                w.step = Walk::Attributes;
                break;
            case Walk::Attributes:
                if (xmlAttr* a = w.nextAttr) {
                    w.nextAttr = a->next;
                    const char* attrName = a->name ? reinterpret_cast<const char*>(a->name) : "";
                    if (a->children) {
                        Walk value{a->children, w.level + 1, Kind::Attr, NameOf(w.node), attrName};
                        stack.push_back(value);  // w is invalid from here
                    } else {
                        bareAttribute(NameOf(w.node), attrName);
                    }
                } else {
                    w.step = Walk::Children;
                }
                break;
            case Walk::Children:
                w.step = Walk::LinkEnd;
                if (w.node->children) {
                    Walk children{w.node->children, w.level + 1, Kind::Node, NameOf(w.node), ""};
                    stack.push_back(children);
                }
                break;
            case Walk::LinkEnd:
                linkEnd(w.level);
                w.node = w.node->next;
                w.step = Walk::Start;
                break;
            }
        }
    }

private:
    bool hasField() const { return run_.curForm && run_.curField; }
    bool hasOption() const { return run_.curForm && run_.curField && run_.curOption; }

    void elementStart(xmlNode* n, Kind kind)
    {
        const char* name = NameOf(n);
        if (Is(name, "input") || Is(name, "select") || Is(name, "textarea")) {
            run_.lastElement = name;
            if (run_.curForm)
                run_.curField = run_.curForm->fields->add();
        } else if (Is(name, "option")) {
            if (run_.curForm && run_.curField)
                run_.curOption = run_.curField->options->add();
        } else if (Is(name, "form")) {
            run_.lastElement = name;
            ++run_.formNo;
            const Variable* url = run_.vars->Find("_url");
            run_.curForm = run_.forms->Add(url ? url->value : std::string(), run_.formNo);
        } else if (Is(name, "frame") || Is(name, "base") || Is(name, "body")) {
            run_.lastElement = name;
        } else if (kind == Kind::Node) {
            run_.lastElement.clear();
        }
    }

    void content(xmlNode* n, int level, const char* container, const char* attribute)
    {
        const char* value = ContentOf(n);
        if (*attribute == '\0') {
            childContent(container, value);
            // Everything below an open link that is not an attribute value
            // is its text.
            if (run_.openLinkLevel != -1 && run_.curLink && *value)
                run_.curLink->text += FromUtf8Text(value);
            return;
        }
        if (Is(container, "frame") || Is(container, "iframe") || Is(container, "a")) {
            if (Is(attribute, "href") || Is(attribute, "src")) {
                run_.curLink = run_.links.Add(FromUtf8Text(value), std::string(), Is(container, "a") ? 1 : 2);
                run_.openLinkLevel = level;
            }
            return;
        }
        if (container == run_.lastElement)
            elementAttribute(container, attribute, value);
        else
            otherAttribute(container, attribute, value);
    }

    // An attribute of the element recognised last.
    void elementAttribute(const char* container, const char* attribute, const char* value)
    {
        if (Is(attribute, "name")) {
            if (Is(container, "form")) {
                if (run_.curForm)
                    run_.curForm->name = value;
            } else if ((Is(container, "input") || Is(container, "textarea") || Is(container, "select")) &&
                       hasField()) {
                run_.curField->name = value;
            }
        } else if (Is(attribute, "type")) {
            if (hasField())
                run_.curField->type = value;
        } else if (Is(attribute, "checked")) {
            if (hasField())
                run_.curField->checked = true;
        } else if (Is(attribute, "value")) {
            if (hasField())
                run_.curField->value = value;
        } else if (Is(attribute, "action")) {
            if (run_.curForm)
                run_.curForm->action = DecodeEntities(value);
        } else if (Is(attribute, "method")) {
            if (run_.curForm)
                run_.curForm->method = value;
        } else if (Is(attribute, "href")) {
            run_.vars->SetValue("base", std::string(value));
        }
    }

    // An attribute of an element that decides nothing of its own: options
    // and META elements.
    void otherAttribute(const char* container, const char* attribute, const char* value)
    {
        if (Is(container, "option")) {
            if (!hasOption())
                return;
            VarOption& o = *run_.curOption;
            if (Is(attribute, "value")) {
                o.value = value;
                o.hasValue = true;
                if (run_.curField->options->Count() == 1 || o.selected)
                    run_.curField->value = o.value;
            } else if (Is(attribute, "selected")) {
                // libxml2 gives a bare selected the value "selected", so the
                // written-out form must select as well, or no page could
                // preselect an option.
                select(o);
            }
        } else if (Is(container, "meta") && Is(attribute, "content")) {
            meta(value);
        }
    }

    void childContent(const char* container, const char* value)
    {
        if (Is(container, "option")) {
            if (!hasOption())
                return;
            VarOption& o = *run_.curOption;
            o.text = value;
            if ((run_.curField->options->Count() == 1 || o.selected) && !o.hasValue)
                run_.curField->value = o.text;
        } else if (Is(container, "textarea")) {
            if (hasField())
                run_.curField->value = value;
        }
    }

    void bareAttribute(const char* element, const char* attribute)
    {
        if (Is(attribute, "checked") && Is(element, "input")) {
            if (hasField())
                run_.curField->checked = true;
        } else if (Is(attribute, "selected") && Is(element, "option")) {
            if (hasOption())
                select(*run_.curOption);
        }
    }

    void select(VarOption& o)
    {
        o.selected = true;
        run_.curField->value = o.value;
    }

    void meta(const char* content)
    {
        const std::string v = content;
        const std::string l = LowerCp1252(v);
        const size_t charset = l.find("charset");
        if (!run_.headerCharset && charset != std::string::npos)
            run_.pageCharset = charset + 8 <= v.size() ? LowerCp1252(v.substr(charset + 8)) : std::string();
        const size_t url = l.find("url=");
        if (url == std::string::npos)
            return;
        std::string target = v.substr(url + 4);
        if (!target.empty() && target.front() == '\'')
            target.erase(0, 1);
        if (!target.empty() && target.back() == '\'')
            target.pop_back();
        run_.curLink = run_.links.Add(FromUtf8Text(target), std::string(), 3);
    }

    void linkEnd(int level)
    {
        if (run_.openLinkLevel == -1 || level >= run_.openLinkLevel)
            return;
        run_.openLinkLevel = -1;
        if (!run_.curLink)
            return;
        std::string& text = run_.curLink->text;
        for (char& c : text) {
            if (static_cast<unsigned char>(c) == 0xA0)
                c = ' ';
        }
        size_t begin = 0, end = text.size();
        while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
            ++begin;
        while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
            --end;
        text = text.substr(begin, end - begin);
    }

    Skript& run_;
};

}  // namespace

void Skript::resetAnalysis()
{
    curForm = nullptr;
    curField = nullptr;
    curOption = nullptr;
    curLink = nullptr;
    lastElement.clear();
    openLinkLevel = -1;
}

void Skript::WalkNode(xmlNode* node, int level, const std::string& kind, const std::string& container,
                      const std::string& attribute)
{
    if (!forms)
        forms = std::make_unique<Formulare>();
    const Kind k = kind == "Node" ? Kind::Node : kind == "Attr" ? Kind::Attr : Kind::Top;
    Walker(*this).walk(node, level, k, container.c_str(), attribute.c_str());
}

bool Skript::analysePage(const std::string& body, const std::string& url)
{
    if (body.size() > size_t(INT_MAX))
        return false;
    // Without the huge option libxml2 stops at a nesting depth of 256 and
    // silently drops the rest of the page. (Its value is the HTML parser's
    // huge option of later libxml2 versions.)
    const int options = HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | XML_PARSE_HUGE;
    htmlDocPtr doc = htmlReadMemory(body.data(), int(body.size()), url.c_str(), nullptr, options);
    if (!doc)
        return false;
    links.clear();
    formNo = -1;
    resetAnalysis();
    if (doc->children)
        WalkNode(doc->children, 0, "", "", "");
    xmlFreeDoc(doc);
    return true;
}
