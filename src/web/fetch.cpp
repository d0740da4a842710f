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
    WebSettings& s = webSettings();
    const bool debug = s.debugLevel != 0;

    // The client's time-outs; a request in progress also ends with the stop.
    long long timeoutMs = (long long)s.httpTimeout * 1000;
    timeoutMs = std::min<long long>(timeoutMs, 24LL * 3600 * 1000);
    http->connectTimeoutMs = long(timeoutMs);
    http->readTimeoutMs = long(timeoutMs);
    http->abortFlag = &stopFlag();
    if (!http->onVerifyPeer) {
        http->onVerifyPeer = [this] { return sslVerifyPeer(); };
        http->onGetPassword = [this] { return sslGetPassword(); };
    }

    forms = std::make_unique<Formulare>();
    pageCharset = "ISO-8859-1";
    headerCharset = false;
    pageText.clear();

    // Trace: "1" writes the traffic of this fetch into the trace file, "2"
    // prints the headers of this and every later fetch.
    std::string status;
    const std::string trace = variable("trace");
    if (trace == "1") {
        idLogFile->fileName = s.dataDir + "/skimlark.trc";
        http->intercept = idLogFile.get();
        std::string why;
        if (!idLogFile->Open(why)) {
            status = W("Trace-Datei kann nicht geöffnet werden: ") + idLogFile->fileName + " (" + why + ")";
            setError(status, line);
            return status;
        }
    } else if (trace == "2") {
        std::string unused;
        (void)idLogDebug->Open(unused);  // without a file name it cannot fail
        idLogDebug->onReceive = [this](std::string_view c) { traceReceive(c); };
        idLogDebug->onSend = [this](std::string_view c) { traceSend(c); };
        http->intercept = idLogDebug.get();
    }

    if (variable("cookies") == "1") {
        http->cookieJar = cookieManager.get();
        cookieManager->FixPaths();
    } else {
        http->cookieJar = nullptr;
        cookieManager->Clear();
    }

    std::string url = firstUrl;
    int redirects = 0;
    bool answered = false;
    bool haveLocation = false;
    int lastCode = 0;
    std::string body, data, raw;
    do {
        std::FILE* target = nullptr;
        if (!file.empty()) {
            target = std::fopen(file.c_str(), "wb");
            if (!target) {
                status = "Datei-Schreibfehler: " + SystemErrorText(errno);
                setError(status, line);
                answered = false;
                break;
            }
        }
        if (debug)
            AppendOutput("%s(%s)...", post ? "post" : "get", url.c_str());
        haveLocation = false;
        ClrCache(url);

        body.clear();
        HttpRequest request;
        request.url = url;
        request.post = post;
        if (post)
            request.body = postData;
        request.userAgent = s.userAgent;
        request.bodyFile = target;
        request.bodyBuffer = target ? nullptr : &body;
        HttpReply reply = http->Perform(request);
        lastCode = reply.code;

        if (reply.ok) {
            setVariable("base", WithoutQuery(url));
            status = std::to_string(reply.code);
            answered = true;
            SystemStore& store = SystemStore::Instance();
            for (const Cookie& c : cookieManager->Items())
                store.SetCookie(url, "", c.name + " = " + c.value);
            haveLocation = !reply.location.empty();
        } else {
            body.clear();
            std::string msg = StatusFromError(reply.error);
            status = msg;
            if (debug)
                AppendOutput("Status-Alert: msg=%s, status=%s, Location=%s", msg.c_str(), status.c_str(),
                             reply.location.c_str());
            haveLocation = !reply.location.empty();
            if (!haveLocation || debug) {
                // A socket error names its number after "# ": the status is
                // the system's own text for it.
                size_t hash = msg.find('#');
                if (hash != std::string::npos && hash + 2 <= msg.size()) {
                    long code = TextToLong(msg.substr(hash + 2, 10));
                    if (code != 0)
                        status = SystemErrorText(int(code));
                }
            }
            answered = true;
        }

        if (debug) {
            int n = 0;
            for (const Cookie& c : cookieManager->Items())
                AppendOutput("Cookie %d: Domain=%s, Name=%s, Value=%s", ++n, c.domain.c_str(), c.name.c_str(),
                             c.value.c_str());
        }

        if (answered && !haveLocation && TakesBody(status)) {
            PageTexts(std::move(body), data, raw);
            body = std::string();
            size_t cs = reply.contentType.find("charset=");
            if (cs != std::string::npos) {
                pageCharset = reply.contentType.substr(cs + 8);
                headerCharset = true;
            }
        } else if (answered && haveLocation) {
            ++redirects;
            if (s.maxRedirects != 0 && redirects > s.maxRedirects) {
                ShowNote("%s", W("Abbruch nach " + std::to_string(s.maxRedirects) +
                                 " Redirects. (Vergrößern Sie den Wert bei Bedarf in den Einstellungen)")
                                   .c_str());
                answered = false;
            } else {
                std::string next = WithoutDefaultPort(resolveUrl(url, reply.location));
                if (debug)
                    AppendOutput("Redirect: %s fqURL=%s", reply.location.c_str(), next.c_str());
                url = std::move(next);
                post = false;
                setVariable("_url", url);
            }
        }

        if (target && std::fclose(target) != 0 && status == "200")
            status = "Datei-Schreibfehler: " + SystemErrorText(errno);
    } while (!stopFlag() && answered && haveLocation);

    if (debug)
        AppendOutput("http-%s: Response-Code=%d", post ? "post" : "get", lastCode);
    idLogFile->Close();

    if (!TakesBody(status))
        return status;
    if (file.empty()) {
        if (analysePage(data, url)) {
            if (debug) {
                for (const auto& [key, f] : forms->items) {
                    AppendOutput("Formular %d: URL=%s, Action=%s, Method=%s", f->number + 1, f->url.c_str(),
                                 f->action.c_str(), f->method.c_str());
                    f->fields->dump(*this);
                }
                for (const auto& [key, l] : links.items)
                    AppendOutput("Link %d (%s): '%s' [%s]", l->number + 1, LinkKindName(l->kind), l->text.c_str(),
                                 l->href.c_str());
            }
        } else {
            AppendOutput("Fehler htmlReadMemory (doc ist NULL)\n");
        }
    }
    // Read after the analysis: a charset of a META element counts.
    // (toAnsi without the copy of an unconverted page.)
    if (IsUtf8(pageCharset))
        setVariable("data", FromUtf8(data));
    else
        setVariable("data", std::move(data));
    data = std::string();
    pageText = raw;
    setVariable("rawdata", std::move(raw));
    return status;
}
