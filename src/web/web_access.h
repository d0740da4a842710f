// The web access of a run: its HTTP client, cookies and trace, the page last
// fetched with its forms and links, and the operations on them. The run
// object derives from it and answers its questions about the run (PageRun).
#pragma once

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "web/page_model.h"
#include "web/page_run.h"

class HttpClient;
struct HttpReply;
class CookieStore;
class TraceLog;

// Domains whose system cache entries were purged in this run.
using Cache = std::set<std::string>;

class WebAccess : public PageRun {
public:
    WebAccess();
    ~WebAccess() override;
    WebAccess(const WebAccess&) = delete;
    WebAccess& operator=(const WebAccess&) = delete;

    std::unique_ptr<HttpClient> http;
    std::unique_ptr<CookieStore> cookieManager;
    std::unique_ptr<TraceLog> idLogFile;
    std::unique_ptr<TraceLog> idLogDebug;
    std::unique_ptr<Formulare> forms;
    std::unique_ptr<Frames> frames;  // may be null
    LinkList links;
    int formNo = -1;
    std::string pageText;
    // The encoding of the page copy that browse shows: the page's own for
    // the page, "" for a text of the script's (the window reads its META).
    std::string browseCharset;
    Cache cache;
    int sendCount = 0, recvCount = 0;

    // Fetch, trace, cookies and form submission (fetch.cpp, forms_submit.cpp).
    // get sends one page request (post: with postData as its form-encoded
    // body), follows its redirects and returns the status text; file receives
    // the body instead of data and rawdata; line is reported when file cannot
    // be created.
    std::string get(const std::string& url, bool post, const std::string& postData,
                    const std::string& file, int line);
    // The text converted from UTF-8 when charset is "utf-8" (any case).
    static std::string toAnsi(const std::string& charset, const std::string& text);
    // Purges the system cache's entries of the URL's domain once per run.
    void ClrCache(const std::string& url);
    size_t ClrCookie(const std::string& pattern, const std::string& domain);
    // The header printer of trace "2".
    void traceReceive(std::string_view chunk);
    void traceSend(std::string_view chunk);
    void printLines(std::string_view text, const char* prefix);
    // TLS hooks: every certificate is accepted; the key pass phrase is fixed.
    void sslStatus(const std::string&) {}
    bool sslVerifyPeer() { return true; }
    std::string sslGetPassword() { return "quorbel"; }
    void sslStatusInfo(const std::string&) {}
    // A form value escaped for submission.
    static std::string encodeValue(const std::string& text);
    // A field name escaped for submission: only what would change the
    // bytes a server reads or cut the query short.
    static std::string encodeName(const std::string& text);
    // Sends a form with its button-th submit button; the status text.
    std::string submit(Formular& form, const std::string& file, int button, int line);

    // Page charset, and whether the reply's Content-Type named one; the fetch
    // sets both before each page, a META element may replace the charset
    // while the header named none.
    std::string pageCharset = "ISO-8859-1";
    bool headerCharset = false;
    // Analysis state of the page walk (borrowed pointers into forms and
    // links): the form, field, option and link met last, the element last
    // recognised ("input", "select", "textarea", "frame", "form", "base",
    // "body" or "") and the level of the open link (-1: none).
    Formular* curForm = nullptr;
    FormVar* curField = nullptr;
    VarOption* curOption = nullptr;
    Link* curLink = nullptr;
    std::string lastElement;
    int openLinkLevel = -1;

    // The full URL of href against base: pure text work, no normalisation.
    static std::string resolveUrl(const std::string& base, const std::string& href);
    // Analyses one HTML body, as the fetch does after a page answered: parses
    // it with libxml2 (url is the document's URL), and when that gives a
    // document, empties `links`, sets formNo to -1, resets the analysis state
    // and walks the document into `forms` (which the caller has replaced
    // beforehand), `links`, the variable base and pageCharset. Returns false,
    // having changed nothing, when the parser gives no document; the caller
    // then writes "Fehler htmlReadMemory (doc ist NULL)\n". The debug listing
    // of forms and links is the caller's.
    bool analysePage(const std::string& body, const std::string& url);
    // Sets the analysis state to none.
    void resetAnalysis();
    // Walks a libxml2 node and its following siblings into the page model.
    // level is the depth, kind "Node" for children, "Attr" for an attribute's
    // value and "" for the top call, container the element whose child or
    // attribute is walked, attribute the attribute's name or "".
    void WalkNode(struct _xmlNode* node, int level, const std::string& kind,
                  const std::string& container, const std::string& attribute);
    // The resolved href of the n-th link in text whose text begins with
    // linkText (case-insensitive; "" counts every link), or "".
    std::string linkget(const std::string& text, const std::string& linkText, long n);

private:
    // The steps of get, in their order.
    void setUpClient();  // time-outs, the stop, the TLS hooks
    void startPage();    // no forms, the default charset, no page text
    // false, with the status and the run error, when the trace file cannot be
    // opened.
    bool startTrace(int line, std::string& status);
    void chooseCookies();
    HttpReply sendRequest(const std::string& url, bool post, const std::string& postData, std::FILE* target,
                          std::string& body);
    // The status text of a reply, and of a failed request.
    std::string acceptReply(const HttpReply& reply, const std::string& url);
    std::string failureStatus(const HttpReply& reply);
    void listCookies();
    void takePageTexts(std::string&& body, const std::string& contentType, std::string& data, std::string& raw);
    // false when the redirect limit ends the fetch.
    bool followRedirect(std::string& url, bool& post, const std::string& location, int& redirects);
    void analyseAndList(const std::string& data, const std::string& url);
    void storePageTexts(std::string&& data, std::string&& raw);
};
