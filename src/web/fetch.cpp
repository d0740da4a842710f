// The page request of a run: WebAccess::get with its own redirect loop, the
// status text, the page texts data and rawdata, base and _url, and the page
// analysis.
#include "web/fetch.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "web/web_access.h"
#include "platform/ascii_text.h"
#include "platform/cp1252.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/http_client.h"
#include "platform/numbers.h"
#include "platform/texts.h"
#include "web/cookies.h"
#include "web/system_store.h"
#include "web/trace.h"

std::string FromUtf8(const std::string& text)
{
    return platform::Utf8ToCp1252(text);
}

namespace {

bool IsUtf8(const std::string& charset)
{
    return charset.size() == 5 && platform::AsciiLower(charset) == "utf-8";
}

// The body's lines, each followed by one blank (data) and by CR LF
// (rawdata). A line ends at CR, LF or CR LF; a NUL byte ends the text.
// rawdata is built first; data then takes the body's own memory, since it is
// never longer than the body (but for its closing blank). Linear in the size.
void PageTexts(std::string&& body, std::string& data, std::string& raw)
{
    body.resize(std::strlen(body.c_str()));
    const size_t n = body.size();
    size_t lines = 0;
    for (char c : body)
        lines += c == '\n' || c == '\r';
    raw.clear();
    raw.reserve(n + lines + 2);
    size_t i = 0;
    size_t out = 0;  // where data goes on in the body; never past i
    while (i < n) {
        size_t j = body.find_first_of("\r\n", i);
        if (j == std::string::npos)
            j = n;
        size_t next = j;
        if (next < n && body[next] == '\r')
            ++next;
        if (next < n && body[next] == '\n')
            ++next;
        raw.append(body, i, j - i);
        raw += "\r\n";
        if (out != i)
            std::memmove(body.data() + out, body.data() + i, j - i);
        out += j - i;
        // The blank takes the place of the line end, which is read already;
        // only an open last line needs one more character.
        if (out < n)
            body[out] = ' ';
        else
            body += ' ';
        ++out;
        i = next;
    }
    body.resize(out);
    data = std::move(body);
}

std::string WithoutQuery(const std::string& url)
{
    return url.substr(0, url.find('?'));
}

// A redirect target loses the first ":443" that a "/" follows, then the first
// such ":80". A rule on the text: neither the scheme nor the place in the URL
// (host or query) matters, and scripts compare _url with that in mind.
std::string WithoutDefaultPort(std::string url)
{
    for (const char* port : {":443/", ":80/"}) {
        size_t at = url.find(port);
        if (at != std::string::npos)
            url.erase(at, std::strlen(port) - 1);
    }
    return url;
}

// The client's error text as a status text: control characters (the CR LF
// of a socket error included) become blanks.
std::string StatusFromError(const std::string& error)
{
    std::string msg = error;
    for (char& c : msg)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    return msg;
}

bool TakesBody(const std::string& status)
{
    return status == "200" || (!status.empty() && status[0] == '3');
}

}  // namespace

std::string WebAccess::toAnsi(const std::string& charset, const std::string& text)
{
    return IsUtf8(charset) ? FromUtf8(text) : text;
}

std::string WebAccess::get(const std::string& firstUrl, bool post, const std::string& postData,
                           const std::string& file, int line)
{
    setUpClient();
    startPage();
    std::string status;
    if (!startTrace(line, status))
        return status;
    chooseCookies();

    std::string url = firstUrl;
    std::string data, raw;
    int redirects = 0, lastCode = 0;
    bool followOn = false;
    do {
        std::FILE* target = nullptr;
        if (!file.empty()) {
            target = std::fopen(platform::SystemName(file).c_str(), "wb");
            if (!target) {
                status = "Datei-Schreibfehler: " + SystemErrorText(errno);
                setError(status, line);
                break;
            }
        }
        std::string body;
        HttpReply reply = sendRequest(url, post, postData, target, body);
        lastCode = reply.code;
        if (reply.ok) {
            status = acceptReply(reply, url);
        } else {
            body.clear();
            status = failureStatus(reply);
        }
        listCookies();
        const bool redirect = !reply.location.empty();
        if (!redirect && TakesBody(status))
            takePageTexts(std::move(body), reply.contentType, data, raw);
        followOn = redirect && followRedirect(url, post, reply.location, redirects);
        if (target && std::fclose(target) != 0 && status == "200")
            status = "Datei-Schreibfehler: " + SystemErrorText(errno);
    } while (followOn && !stopFlag());

    if (debugOn())
        AppendOutput("http-%s: Response-Code=%d", post ? "post" : "get", lastCode);
    idLogFile->Close();

    if (!TakesBody(status))
        return status;
    if (file.empty())
        analyseAndList(data, url);
    storePageTexts(std::move(data), std::move(raw));
    return status;
}

void WebAccess::setUpClient()
{
    // The client's time-outs; a request in progress also ends with the stop.
    long long timeoutMs = (long long)webSettings().httpTimeout * 1000;
    timeoutMs = std::min<long long>(timeoutMs, 24LL * 3600 * 1000);
    http->connectTimeoutMs = long(timeoutMs);
    http->readTimeoutMs = long(timeoutMs);
    http->abortFlag = &stopFlag();
    if (!http->onVerifyPeer) {
        http->onVerifyPeer = [this] { return sslVerifyPeer(); };
        http->onGetPassword = [this] { return sslGetPassword(); };
    }
}

void WebAccess::startPage()
{
    forms = std::make_unique<Formulare>();
    pageCharset = "ISO-8859-1";
    headerCharset = false;
    pageText.clear();
}

// Trace: "1" writes the traffic of this fetch into the trace file, "2"
// prints the headers of this and every later fetch.
bool WebAccess::startTrace(int line, std::string& status)
{
    const std::string trace = variable("trace");
    if (trace == "1") {
        idLogFile->fileName = webSettings().dataDir + "/skimlark.trc";
        http->intercept = idLogFile.get();
        std::string why;
        if (!idLogFile->Open(why)) {
            status = W("Trace-Datei kann nicht geöffnet werden: ") + idLogFile->fileName + " (" + why + ")";
            setError(status, line);
            return false;
        }
    } else if (trace == "2") {
        std::string unused;
        (void)idLogDebug->Open(unused);  // without a file name it cannot fail
        idLogDebug->onReceive = [this](std::string_view c) { traceReceive(c); };
        idLogDebug->onSend = [this](std::string_view c) { traceSend(c); };
        http->intercept = idLogDebug.get();
    }
    return true;
}

void WebAccess::chooseCookies()
{
    if (variable("cookies") == "1") {
        http->cookieJar = cookieManager.get();
        cookieManager->FixPaths();
    } else {
        http->cookieJar = nullptr;
        cookieManager->Clear();
    }
}

HttpReply WebAccess::sendRequest(const std::string& url, bool post, const std::string& postData, std::FILE* target,
                                 std::string& body)
{
    if (debugOn())
        AppendOutput("%s(%s)...", post ? "post" : "get", url.c_str());
    ClrCache(url);
    HttpRequest request;
    request.url = url;
    request.post = post;
    if (post)
        request.body = postData;
    request.userAgent = webSettings().userAgent;
    request.bodyFile = target;
    request.bodyBuffer = target ? nullptr : &body;
    return http->Perform(request);
}

std::string WebAccess::acceptReply(const HttpReply& reply, const std::string& url)
{
    setVariable("base", WithoutQuery(url));
    // Each cookie under its own domain and path, with its flags and date,
    // and those the run dropped leave: the browser window sends no cookie
    // further than the run does.
    cookieManager->CopyChanges(SystemStore::Instance());
    return std::to_string(reply.code);
}

std::string WebAccess::failureStatus(const HttpReply& reply)
{
    const bool debug = debugOn();
    std::string msg = StatusFromError(reply.error);
    std::string status = msg;
    if (debug)
        AppendOutput("Status-Alert: msg=%s, status=%s, Location=%s", msg.c_str(), status.c_str(),
                     reply.location.c_str());
    if (reply.location.empty() || debug) {
        // A socket error names its number after "# ": the status is the
        // system's own text for it.
        size_t hash = msg.find('#');
        if (hash != std::string::npos && hash + 2 <= msg.size()) {
            long code = TextToLong(msg.substr(hash + 2, 10));
            if (code != 0)
                status = SystemErrorText(int(code));
        }
    }
    return status;
}

void WebAccess::listCookies()
{
    if (!debugOn())
        return;
    int n = 0;
    for (const Cookie& c : cookieManager->Items())
        AppendOutput("Cookie %d: Domain=%s, Name=%s, Value=%s", ++n, c.domain.c_str(), c.name.c_str(),
                     c.value.c_str());
}

void WebAccess::takePageTexts(std::string&& body, const std::string& contentType, std::string& data,
                              std::string& raw)
{
    PageTexts(std::move(body), data, raw);
    size_t cs = contentType.find("charset=");
    if (cs != std::string::npos) {
        pageCharset = contentType.substr(cs + 8);
        headerCharset = true;
    }
}

bool WebAccess::followRedirect(std::string& url, bool& post, const std::string& location, int& redirects)
{
    const int limit = webSettings().maxRedirects;
    ++redirects;
    if (limit != 0 && redirects > limit) {
        ShowNote("%s", W("Abbruch nach " + std::to_string(limit) +
                         " Redirects. (Vergrößern Sie den Wert bei Bedarf in den Einstellungen)")
                           .c_str());
        return false;
    }
    std::string next = WithoutDefaultPort(resolveUrl(url, location));
    if (debugOn())
        AppendOutput("Redirect: %s fqURL=%s", location.c_str(), next.c_str());
    url = std::move(next);
    post = false;
    setVariable("_url", url);
    return true;
}

void WebAccess::analyseAndList(const std::string& data, const std::string& url)
{
    if (!analysePage(data, url)) {
        AppendOutput("Fehler htmlReadMemory (doc ist NULL)\n");
        return;
    }
    if (!debugOn())
        return;
    for (const auto& [key, f] : forms->items) {
        AppendOutput("Formular %d: URL=%s, Action=%s, Method=%s", f->number + 1, f->url.c_str(), f->action.c_str(),
                     f->method.c_str());
        f->fields->dump(*this);
    }
    for (const auto& [key, l] : links.items)
        AppendOutput("Link %d (%s): '%s' [%s]", l->number + 1, LinkKindName(l->kind), l->text.c_str(),
                     l->href.c_str());
}

// Read after the analysis: a charset of a META element counts. (toAnsi
// without the copy of an unconverted page.)
void WebAccess::storePageTexts(std::string&& data, std::string&& raw)
{
    if (IsUtf8(pageCharset))
        setVariable("data", FromUtf8(data));
    else
        setVariable("data", std::move(data));
    pageText = raw;
    setVariable("rawdata", std::move(raw));
}
