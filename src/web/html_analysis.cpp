// The page walk: turns libxml2's tree of a fetched page into the run's forms,
// fields, options and links, the variable base and the page charset.

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/globals.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "web/web_access.h"
#include "platform/cp1252.h"
#include "web/entities.h"
#include "web/html_analysis.h"
#include "web/page_charset.h"

namespace {

enum class Kind { Top, Node, Attr };

std::string FromUtf8Text(std::string_view text)
{
    return PageTextToScript(text);
}

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// A name or value of a form: the script's text, and the page's own text
// where the two may differ.
void Take(std::string& script, std::string& page, const char* utf8)
{
    script = FromUtf8Text(utf8);
    if (IsAscii(utf8))
        page.clear();
    else
        page = PageTextWithoutC1(utf8);
}

bool Is(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

// The names that elementStart acts on for a node at the top level.
bool StartsSomething(const char* name)
{
    for (const char* n : {"input", "select", "textarea", "button", "option", "form", "frame", "base", "body"})
        if (Is(name, n))
            return true;
    return false;
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
    enum Step { Begin, Start, Attributes, Children, LinkEnd, Next };
    xmlNode* node;  // null at Begin: the list's first node is yet to come
    int level;
    Kind kind;
    const char* container;
    const char* attribute;
    Step step = Start;
    xmlAttr* nextAttr = nullptr;
    xmlNode* parent = nullptr;  // whose children these are; null for a value or a given list
    // Where node stands in the parser's stack of open elements: unknown,
    // closed, or its place.
    int nodeAt = -1;
};

// The walk in document order, node by node. Over a finished tree it runs to
// the end at once. While the parser builds the tree it goes as far as the
// parser is done with, waits there for the next piece, and frees what it has
// walked and the parser no longer looks at, so that the page's tree never
// stands whole in memory.
class Walker {
public:
    explicit Walker(WebAccess& run, xmlParserCtxt* parser = nullptr) : run_(run), parser_(parser) {}

    void walk(xmlNode* first, int level, Kind kind, const char* container, const char* attribute)
    {
        stack_.push_back({first, level, kind, container, attribute});
        advance();
    }

    // The children of the document that the parser is building.
    void follow(xmlDoc* doc)
    {
        doc_ = doc;
        Walk top{nullptr, 0, Kind::Top, "", ""};
        top.step = Walk::Begin;
        top.parent = reinterpret_cast<xmlNode*>(doc);
        stack_.push_back(top);
    }
    // The parser has ended: everything left is final.
    void finish()
    {
        parser_ = nullptr;
        advance();
    }

    // Walks on while the nodes ahead are final.
    void advance()
    {
        while (!stack_.empty()) {
            Walk& w = stack_.back();
            switch (w.step) {
            case Walk::Begin:
                // The document's children wait for the root element: a
                // DOCTYPE before it is put in front of them.
                if (parser_ && w.parent == reinterpret_cast<xmlNode*>(doc_) && !xmlDocGetRootElement(doc_))
                    return;
                if (!goOn(w, w.parent->children))
                    return;
                break;
            case Walk::Start:
                if (!w.node) {
                    stack_.pop_back();
                    break;
                }
                if (!final(w))
                    return;
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
                        stack_.push_back(value);  // w is invalid from here
                    } else {
                        bareAttribute(NameOf(w.node), attrName);
                    }
                } else {
                    w.step = Walk::Children;
                }
                break;
            case Walk::Children:
                if (w.node->children) {
                    w.step = Walk::LinkEnd;
                    Walk children{w.node->children, w.level + 1, Kind::Node, NameOf(w.node), ""};
                    children.parent = w.node;
                    stack_.push_back(children);  // w is invalid from here
                } else if (childrenComplete()) {
                    w.step = Walk::LinkEnd;
                } else {
                    return;
                }
                break;
            case Walk::LinkEnd:
                linkEnd(w.level);
                w.step = Walk::Next;
                break;
            case Walk::Next: {
                xmlNode* next = w.node->next;
                if (next)
                    release(w.parent, next);  // w.node with it
                if (!goOn(w, next))
                    return;
                break;
            }
            }
        }
    }

private:
    static constexpr int kUnknown = -1, kClosed = -2;

    // The top frame w goes on to `node` of its list, or ends when the list
    // is done; false while the parser may still add to it.
    bool goOn(Walk& w, xmlNode* node)
    {
        if (node) {
            w.node = node;
            w.nodeAt = kUnknown;
            w.step = Walk::Start;
        } else if (listComplete()) {
            stack_.pop_back();
        } else {
            return false;
        }
        return true;
    }

    // The document and its first child (which takes what comes after the
    // root element has closed) get children until the parse ends.
    bool growsToTheEnd(const xmlNode* n) const
    {
        return n == reinterpret_cast<const xmlNode*>(doc_) || (n == doc_->children && n->type == XML_ELEMENT_NODE);
    }

    // Whether the parser is done with the list that the top frame walks.
    bool listComplete()
    {
        const size_t i = stack_.size() - 1;
        const xmlNode* parent = stack_[i].parent;
        if (!parser_ || !parent)
            return true;
        return !growsToTheEnd(parent) && openAt(i - 1) < 0;  // frame i - 1 stands at the parent
    }

    // Whether the parser is done with the children of the top frame's node.
    bool childrenComplete()
    {
        const size_t i = stack_.size() - 1;
        return !parser_ || (!growsToTheEnd(stack_[i].node) && openAt(i) < 0);
    }

    // The place of frame i's node in the parser's stack of open elements, or
    // -1 once it has closed. An open element stands one place above its
    // parent when that is open, else at the bottom (a child of the document,
    // or of its first child after the root element closed), and keeps its
    // place until it closes: so the answer costs a look at one place, and
    // the frames below are asked only once.
    int openAt(size_t i)
    {
        auto linked = [this](size_t k) { return k > 0 && stack_[k].parent && stack_[k - 1].node == stack_[k].parent; };
        size_t k = i;
        while (stack_[k].nodeAt == kUnknown && linked(k))
            --k;
        int below = -1;
        for (; k <= i; ++k) {
            Walk& f = stack_[k];
            if (f.nodeAt == kUnknown) {
                const int at = below + 1;
                f.nodeAt = f.node->type == XML_ELEMENT_NODE && at >= 0 && at < parser_->nodeNr &&
                                   parser_->nodeTab[at] == f.node
                               ? at
                               : kClosed;
            } else if (f.nodeAt >= 0 && (f.nodeAt >= parser_->nodeNr || parser_->nodeTab[f.nodeAt] != f.node)) {
                f.nodeAt = kClosed;
            }
            below = f.nodeAt >= 0 ? f.nodeAt : -1;
        }
        return below;
    }

    // Whether the node at w is as the finished tree will hold it: text may
    // still grow while it is the last child.
    bool final(const Walk& w)
    {
        if (!parser_ || !w.parent)
            return true;
        switch (w.node->type) {
        case XML_ELEMENT_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
        case XML_DTD_NODE:
            return true;
        default:
            return w.node->next || listComplete();
        }
    }

    // Frees the walked children of `parent` before `next`: the parser reads
    // only a parent's last child (to add text to it) and the last one that
    // is no comment (whether blanks before a tag start a paragraph). The
    // document's own children stay.
    void release(xmlNode* parent, xmlNode* next)
    {
        if (!parser_ || !parent || parent->type != XML_ELEMENT_NODE || next->type == XML_COMMENT_NODE)
            return;
        while (parent->children && parent->children != next) {
            xmlNode* done = parent->children;
            xmlUnlinkNode(done);
            xmlFreeNode(done);
        }
    }

    bool hasField() const { return run_.curForm && run_.curField; }
    bool hasOption() const { return run_.curForm && run_.curField && run_.curOption; }

    void elementStart(xmlNode* n, Kind kind)
    {
        const char* name = NameOf(n);
        if (Is(name, "input") || Is(name, "select") || Is(name, "textarea") || Is(name, "button")) {
            run_.lastElement = name;
            if (run_.curForm) {
                run_.curField = run_.curForm->fields->add();
                // A button element submits unless its type says otherwise;
                // it is a form's button as an input of type submit is.
                if (Is(name, "button"))
                    run_.curField->type = "submit";
            }
        } else if (Is(name, "option")) {
            if (run_.curForm && run_.curField)
                run_.curOption = run_.curField->options->add();
        } else if (Is(name, "form")) {
            run_.lastElement = name;
            ++run_.formNo;
            const std::string* url = run_.findVariable("_url");
            run_.curForm = run_.forms->Add(url ? *url : std::string(), run_.formNo);
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
                    run_.curForm->name = FromUtf8Text(value);
            } else if ((Is(container, "input") || Is(container, "textarea") || Is(container, "select") ||
                        Is(container, "button")) &&
                       hasField()) {
                Take(run_.curField->name, run_.curField->pageName, value);
            }
        } else if (Is(attribute, "type")) {
            if (hasField())
                run_.curField->type = value;
        } else if (Is(attribute, "checked")) {
            if (hasField())
                run_.curField->checked = true;
        } else if (Is(attribute, "multiple")) {
            if (Is(container, "select") && hasField())
                run_.curField->multiple = true;
        } else if (Is(attribute, "value")) {
            if (hasField())
                Take(run_.curField->value, run_.curField->pageValue, value);
        } else if (Is(attribute, "action")) {
            if (run_.curForm)
                run_.curForm->action = DecodeEntities(FromUtf8Text(value));
        } else if (Is(attribute, "method")) {
            if (run_.curForm)
                run_.curForm->method = FromUtf8Text(value);
        } else if (Is(attribute, "href")) {
            // A relative base, "/" say, means a place on the page's own site.
            const std::string* url = run_.findVariable("_url");
            run_.setVariable("base", WebAccess::resolveUrl(url ? *url : std::string(), value));
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
                Take(o.value, o.pageValue, value);
                o.hasValue = true;
                if (run_.curField->options->Count() == 1 || o.selected)
                    takeOption(o.value, o.pageValue);
            } else if (Is(attribute, "selected")) {
                // libxml2 gives a bare selected the value "selected", so the
                // written-out form must select as well, or no page could
                // preselect an option.
                select(o);
            }
        } else if (Is(container, "meta") && Is(attribute, "content")) {
            meta(value);
        } else if (Is(container, "meta") && Is(attribute, "charset")) {
            // The short form of the charset declaration, <meta charset="...">.
            if (!run_.headerCharset)
                run_.pageCharset = LowerCp1252(value);
        }
    }

    void childContent(const char* container, const char* value)
    {
        if (Is(container, "option")) {
            if (!hasOption())
                return;
            VarOption& o = *run_.curOption;
            Take(o.text, o.pageText, value);
            if ((run_.curField->options->Count() == 1 || o.selected) && !o.hasValue)
                takeOption(o.text, o.pageText);
        } else if (Is(container, "textarea")) {
            if (hasField())
                Take(run_.curField->value, run_.curField->pageValue, value);
        }
    }

    void bareAttribute(const char* element, const char* attribute)
    {
        if (Is(attribute, "checked") && Is(element, "input")) {
            if (hasField())
                run_.curField->checked = true;
        } else if (Is(attribute, "multiple") && Is(element, "select")) {
            if (hasField())
                run_.curField->multiple = true;
        } else if (Is(attribute, "selected") && Is(element, "option")) {
            if (hasOption())
                select(*run_.curOption);
        }
    }

    void select(VarOption& o)
    {
        o.selected = true;
        takeOption(o.value, o.pageValue);
    }

    // The current field takes an option's value or text.
    void takeOption(const std::string& value, const std::string& pageValue)
    {
        run_.curField->value = value;
        run_.curField->pageValue = pageValue;
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

    WebAccess& run_;
    xmlParserCtxt* parser_;
    xmlDoc* doc_ = nullptr;
    std::vector<Walk> stack_;
};

}  // namespace

void WebAccess::resetAnalysis()
{
    curForm = nullptr;
    curField = nullptr;
    curOption = nullptr;
    curLink = nullptr;
    lastElement.clear();
    openLinkLevel = -1;
}

void WebAccess::WalkNode(xmlNode* node, int level, const std::string& kind, const std::string& container,
                      const std::string& attribute)
{
    if (!forms)
        forms = std::make_unique<Formulare>();
    const Kind k = kind == "Node" ? Kind::Node : kind == "Attr" ? Kind::Attr : Kind::Top;
    Walker(*this).walk(node, level, k, container.c_str(), attribute.c_str());
}

namespace {

// The parse of a page with the walk riding along: libxml2 builds its tree
// with its own handlers as always, and after each handler that adds a node
// the walk goes on as far as the tree is final.
struct PageParse {
    WebAccess& run;
    xmlSAXHandler tree;  // libxml2's handlers, which build the tree
    Walker walker;
    std::exception_ptr failure;  // thrown by the walk; it must not cross libxml2
    // A DOCTYPE after the root element: the tree puts it in front of what
    // the walk has passed, so only a walk over the whole tree finds its way.
    bool lateDoctype = false;
    std::string lateDoctypeName;
    // Set for the second parse of such a page: the walk takes the DOCTYPE
    // first, where the tree puts it, and then goes on past it.
    bool doctypeFirst = false;

    static PageParse& Of(void* ctx) { return *static_cast<PageParse*>(static_cast<xmlParserCtxt*>(ctx)->_private); }

    template <typename F>
    void guarded(void* ctx, F&& f)
    {
        if (failure || lateDoctype)
            return;
        try {
            f();
        } catch (...) {
            failure = std::current_exception();
            xmlStopParser(static_cast<xmlParserCtxt*>(ctx));
        }
    }

    static void StartDocument(void* ctx)
    {
        PageParse& p = Of(ctx);
        p.tree.startDocument(ctx);
        xmlDoc* doc = static_cast<xmlParserCtxt*>(ctx)->myDoc;
        if (!doc)
            return;
        // A page is there: the previous one's links go.
        p.guarded(ctx, [&] {
            p.run.links.clear();
            p.run.formNo = -1;
            p.run.resetAnalysis();
            if (p.doctypeFirst) {
                xmlDtd* dtd = xmlNewDtd(nullptr, reinterpret_cast<const xmlChar*>(p.lateDoctypeName.c_str()), nullptr, nullptr);
                if (!dtd)
                    throw std::bad_alloc();
                std::unique_ptr<xmlDtd, void (*)(xmlDtd*)> owned(dtd, xmlFreeDtd);
                Walker(p.run).walk(reinterpret_cast<xmlNode*>(dtd), 0, Kind::Top, "", "");
            }
            p.walker.follow(doc);
        });
    }

    static void InternalSubset(void* ctx, const xmlChar* name, const xmlChar* externalId, const xmlChar* systemId)
    {
        PageParse& p = Of(ctx);
        xmlDoc* doc = static_cast<xmlParserCtxt*>(ctx)->myDoc;
        const bool had = doc && doc->intSubset;
        p.tree.internalSubset(ctx, name, externalId, systemId);
        // Most late DOCTYPEs ("html") give the walk nothing to do where the
        // tree puts them, so the walk goes on past them; only one whose name
        // the walk acts on needs the walk over the whole tree.
        const char* dtd = name ? reinterpret_cast<const char*>(name) : "";
        if (!p.doctypeFirst && doc && !had && doc->intSubset && xmlDocGetRootElement(doc) && StartsSomething(dtd)) {
            p.lateDoctype = true;
            p.lateDoctypeName = dtd;
            xmlStopParser(static_cast<xmlParserCtxt*>(ctx));
        }
    }

    // The tree's handler `Field`, then the walk.
    template <auto Field, typename... Args>
    static void Hook(void* ctx, Args... args)
    {
        PageParse& p = Of(ctx);
        (p.tree.*Field)(ctx, args...);
        p.guarded(ctx, [&] { p.walker.advance(); });
    }

    // Past this depth the tree grows no deeper: a deeper element becomes the
    // sibling of the one opened before it, as browsers flatten such pages,
    // so that a page of nothing but opening tags costs memory by its length
    // and not by its depth. (The parser's own stack of names still holds
    // every open element.)
    static constexpr int kMaxDepth = 120000;

    static void StartElement(void* ctx, const xmlChar* name, const xmlChar** atts)
    {
        auto* parser = static_cast<xmlParserCtxt*>(ctx);
        if (parser->nameNr > kMaxDepth)
            while (parser->nodeNr > kMaxDepth)
                nodePop(parser);
        Hook<&xmlSAXHandler::startElement, const xmlChar*, const xmlChar**>(ctx, name, atts);
    }

    static void EndElement(void* ctx, const xmlChar* name)
    {
        auto* parser = static_cast<xmlParserCtxt*>(ctx);
        // A flattened element that a later sibling has closed already.
        if (parser->nameNr > kMaxDepth && parser->nodeNr <= kMaxDepth)
            return;
        Hook<&xmlSAXHandler::endElement, const xmlChar*>(ctx, name);
    }

    void install(xmlSAXHandler& sax)
    {
        if (sax.startDocument)
            sax.startDocument = StartDocument;
        if (sax.internalSubset)
            sax.internalSubset = InternalSubset;
        if (sax.startElement)
            sax.startElement = StartElement;
        if (sax.endElement)
            sax.endElement = EndElement;
        if (sax.comment)
            sax.comment = Hook<&xmlSAXHandler::comment, const xmlChar*>;
        if (sax.processingInstruction)
            sax.processingInstruction = Hook<&xmlSAXHandler::processingInstruction, const xmlChar*, const xmlChar*>;
        if (sax.cdataBlock)
            sax.cdataBlock = Hook<&xmlSAXHandler::cdataBlock, const xmlChar*, int>;
    }
};

}  // namespace

namespace {

constexpr int kParseOptions = HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | XML_PARSE_HUGE;

// What htmlReadMemory does, with the handlers of a PageParse to be put in:
// a parser of the page with libxml2's HTML handlers.
// (Without the huge option libxml2 stops at a nesting depth of 256 and
// silently drops the rest of the page. Its value is the HTML parser's
// huge option of later libxml2 versions.)
// A charset of the reply's header is the page's, whatever its META
// elements say: the parser reads the page in it and ignores theirs.
xmlParserCtxt* NewPageParser(const std::string& body, const std::string& url, const std::string& encoding)
{
    xmlInitParser();
    xmlParserCtxt* ctxt = xmlCreateMemoryParserCtxt(body.data(), int(body.size()));
    if (!ctxt)
        return nullptr;
    htmlDefaultSAXHandlerInit();
    if (!ctxt->sax) {
        xmlFreeParserCtxt(ctxt);
        return nullptr;
    }
    std::memcpy(ctxt->sax, &htmlDefaultSAXHandler, sizeof(xmlSAXHandlerV1));
    htmlCtxtUseOptions(ctxt, kParseOptions);
    if (!encoding.empty()) {
        if (xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding.c_str())) {
            xmlSwitchToEncoding(ctxt, handler);
            htmlCtxtUseOptions(ctxt, kParseOptions | HTML_PARSE_IGNORE_ENC);
        }
    }
    ctxt->html = 1;
    if (ctxt->input && !ctxt->input->filename)
        ctxt->input->filename = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(url.c_str())));
    return ctxt;
}

// Runs the parse with `parse`'s handlers and frees the parser; the tree is
// the caller's.
xmlDoc* ParseWith(xmlParserCtxt* ctxt, PageParse& parse)
{
    ctxt->_private = &parse;
    parse.install(*ctxt->sax);
    htmlParseDocument(ctxt);
    xmlDoc* doc = ctxt->myDoc;
    ctxt->myDoc = nullptr;
    if (ctxt->dictNames && doc && doc->dict == ctxt->dict)
        ctxt->dict = nullptr;
    return doc;
}

}  // namespace

bool WebAccess::analysePage(const std::string& body, const std::string& url)
{
    if (body.size() > size_t(INT_MAX))
        return false;
    if (!forms)
        forms = std::make_unique<Formulare>();
    const int formsBefore = forms->Count();
    const std::string charsetBefore = pageCharset;
    const std::string encoding = headerCharset ? PageEncoding(pageCharset) : std::string();
    std::string lateDoctype;
    for (;;) {
        xmlParserCtxt* ctxt = NewPageParser(body, url, encoding);
        if (!ctxt)
            return false;
        PageParse parse{*this, *ctxt->sax, Walker(*this, ctxt), nullptr, false, lateDoctype, !lateDoctype.empty()};
        xmlDoc* doc = ParseWith(ctxt, parse);
        if (doc)
            parse.guarded(ctxt, [&] { parse.walker.finish(); });
        xmlFreeParserCtxt(ctxt);
        xmlFreeDoc(doc);
        if (parse.failure)
            std::rethrow_exception(parse.failure);
        if (!parse.lateDoctype) {
            // The page's forms are sent back in its charset, which a META
            // element may have named anywhere in the page.
            for (auto it = forms->items.lower_bound(formsBefore); it != forms->items.end(); ++it)
                it->second->charset = pageCharset;
            return doc != nullptr;
        }
        // Undone what the walk found so far, the page is analysed again.
        forms->items.erase(forms->items.lower_bound(formsBefore), forms->items.end());
        pageCharset = charsetBefore;
        lateDoctype = parse.lateDoctypeName;
    }
}
