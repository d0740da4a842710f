#include "platform/http_client.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/ascii_text.h"
#include "platform/cp1252.h"
#include "platform/curl_init.h"
#include "platform/error_text.h"
#include "platform/loopback_port.h"

namespace {

// A reply may carry no more Set-Cookie headers than this; the cookie store
// has its own, smaller limits.
constexpr size_t kMaxSetCookies = 1000;

using platform::StartsWithNoCase;
using platform::TrimBlanks;

std::string SocketError(int code)
{
    return "Socket-Fehler # " + std::to_string(code) + "\r\n" + SystemErrorText(code);
}

// Blanks and control characters of a script's URL are sent percent-encoded,
// since they would break the request line; everything else, 8-bit bytes
// such as the umlauts of a form value included, goes out as `_url` shows it.
std::string WireUrl(const std::string& url)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (unsigned char ch : url) {
        if (ch <= ' ' || ch == 0x7F) {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        } else {
            out += char(ch);
        }
    }
    return out;
}

// The host name of a URL, for the message of a name that does not resolve.
std::string HostOf(const std::string& url)
{
    std::string host;
    if (CURLU* u = curl_url()) {
        char* part = nullptr;
        if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
            curl_url_get(u, CURLUPART_HOST, &part, 0) == CURLUE_OK)
            host = part;
        curl_free(part);
        curl_url_cleanup(u);
    }
    return host;
}

std::string Text(std::string_view utf8)
{
    return platform::Utf8ToCp1252(utf8);
}

}  // namespace

struct HttpClient::Transfer {
    Transfer(HttpClient* c, const HttpRequest* q, HttpReply* r) : client(c), request(q), reply(r) {}
    HttpClient* client;
    const HttpRequest* request;
    HttpReply* reply;
    std::string pendingHeader;  // header block collected for the intercept
    std::vector<std::string> setCookies;
    size_t bodyBytes = 0;
    size_t announcedLength = 0;  // Content-Length of the reply, 0 when not sent
    bool tooLarge = false;
    bool fileError = false;
    int fileErrno = 0;
    bool connected = false;  // a connection stood when the request began
    bool abortSeen = false;
    std::chrono::steady_clock::time_point abortSince;

    bool keepsBody() const { return reply->code / 100 == 2 && reply->location.empty(); }

    void flushHeader()
    {
        if (pendingHeader.empty())
            return;
        if (client->intercept)
            client->intercept->Received(pendingHeader);
        pendingHeader.clear();
    }
};

// The libcurl callbacks, with access to the client's socket bookkeeping.
struct HttpCallbacks {
    static size_t Header(char* data, size_t size, size_t count, void* userp)
    {
        auto* t = static_cast<HttpClient::Transfer*>(userp);
        std::string_view line(data, size * count);
        HttpReply& r = *t->reply;
        if (StartsWithNoCase(line, "HTTP/")) {
            // A new reply (after an informational one): start afresh. The
            // status line stays as the server sent it, less its line end.
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.remove_suffix(1);
            r.statusLine = std::string(line);
            r.contentType.clear();
            r.location.clear();
            t->setCookies.clear();
            t->announcedLength = 0;
            size_t blank = r.statusLine.find(' ');
            r.code = blank == std::string::npos ? 0 : std::atoi(r.statusLine.c_str() + blank + 1);
        } else if (StartsWithNoCase(line, "Location:")) {
            if (r.location.empty())
                r.location = std::string(TrimBlanks(line.substr(9)));
        } else if (StartsWithNoCase(line, "Content-Length:")) {
            std::string value(TrimBlanks(line.substr(15)));
            t->announcedLength = size_t(std::strtoull(value.c_str(), nullptr, 10));
        } else if (StartsWithNoCase(line, "Content-Type:")) {
            r.contentType = std::string(TrimBlanks(line.substr(13)));
        } else if (StartsWithNoCase(line, "Set-Cookie:")) {
            if (t->setCookies.size() < kMaxSetCookies)
                t->setCookies.emplace_back(TrimBlanks(line.substr(11)));
        }
        return size * count;
    }

    static size_t Write(char* data, size_t size, size_t count, void* userp)
    {
        auto* t = static_cast<HttpClient::Transfer*>(userp);
        size_t n = size * count;
        t->bodyBytes += n;
        if (t->bodyBytes > t->client->maxBodySize) {
            t->tooLarge = true;
            return 0;
        }
        // Bodies of error replies and redirects are read (so the connection
        // can stay open) but not kept.
        if (!t->keepsBody())
            return n;
        if (t->request->bodyFile) {
            if (std::fwrite(data, 1, n, t->request->bodyFile) != n) {
                t->fileError = true;
                t->fileErrno = errno;
                return 0;
            }
        } else if (std::string* buffer = t->request->bodyBuffer) {
            // A body of announced length is received into one allocation,
            // not into a buffer that grows (and is copied) step by step.
            if (t->bodyBytes == n && t->announcedLength > n)
                buffer->reserve(buffer->size() + std::min(t->announcedLength, t->client->maxBodySize));
            buffer->append(data, n);
        }
        return n;
    }

    static int Debug(CURL*, curl_infotype type, char* data, size_t size, void* userp)
    {
        auto* t = static_cast<HttpClient::Transfer*>(userp);
        HttpIntercept* icpt = t->client->intercept;
        switch (type) {
        case CURLINFO_HEADER_OUT:
            if (icpt)
                icpt->Sent({data, size});
            break;
        case CURLINFO_DATA_OUT:
            if (icpt)
                icpt->Sent({data, size});
            break;
        case CURLINFO_HEADER_IN:
            // libcurl hands the header lines one by one; the intercept gets
            // the block as it arrived, up to and including its empty line.
            t->pendingHeader.append(data, size);
            if (size <= 2 && TrimBlanks({data, size}).empty())
                t->flushHeader();
            break;
        case CURLINFO_DATA_IN:
            t->flushHeader();
            if (icpt)
                icpt->Received({data, size});
            break;
        default:
            break;
        }
        return 0;
    }

    static int Progress(void* userp, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto* t = static_cast<HttpClient::Transfer*>(userp);
        const std::atomic<bool>* flag = t->client->abortFlag;
        if (!flag || !flag->load())
            return 0;
        auto now = std::chrono::steady_clock::now();
        if (!t->abortSeen) {
            t->abortSeen = true;
            t->abortSince = now;
        }
        return now - t->abortSince >= std::chrono::milliseconds(t->client->abortGraceMs) ? 1 : 0;
    }

    static curl_socket_t OpenSocket(void* clientp, curlsocktype, struct curl_sockaddr* addr)
    {
        auto* c = static_cast<HttpClient*>(clientp);
        if (c->loopbackPort)
            platform::ToLoopbackPort(addr, c->loopbackPort);
        int fd = ::socket(addr->family, addr->socktype | SOCK_CLOEXEC, addr->protocol);
        if (fd < 0)
            return CURL_SOCKET_BAD;
        c->opened_.insert(fd);
        return fd;
    }

    static int CloseSocket(void* clientp, curl_socket_t fd)
    {
        auto* c = static_cast<HttpClient*>(clientp);
        c->opened_.erase(fd);
        bool wasConnected = c->announced_.erase(fd) > 0;
        sockaddr_storage peer;
        socklen_t peerLen = sizeof peer;
        if (!wasConnected && ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLen) == 0)
            c->closedAfterTcpConnect_ = true;
        int rc = ::close(fd);
        if (wasConnected && c->intercept)
            c->intercept->Disconnected();
        return rc;
    }

    // Runs once a connection is established, before each request. The
    // sockets of losing connection attempts are closed by then, so a socket
    // not yet announced is the new connection.
    static int Prereq(void* userp, char*, char*, int, int)
    {
        auto* t = static_cast<HttpClient::Transfer*>(userp);
        HttpClient* c = t->client;
        t->connected = true;
        for (int fd : c->opened_) {
            if (c->announced_.insert(fd).second && c->intercept)
                c->intercept->Connected();
        }
        return CURL_PREREQFUNC_OK;
    }

    // TLS: the hooks decide about the server's certificate and the pass
    // phrase. libcurl's own checks stay off, so the hook's answer counts.
    static int VerifyCert(X509_STORE_CTX* store, void* arg)
    {
        auto* c = static_cast<HttpClient*>(arg);
        if (c->onVerifyPeer && c->onVerifyPeer()) {
            X509_STORE_CTX_set_error(store, X509_V_OK);
            return 1;
        }
        return 0;
    }

    static int Password(char* buf, int size, int, void* arg)
    {
        auto* c = static_cast<HttpClient*>(arg);
        if (!c->onGetPassword || size <= 0)
            return 0;
        std::string pass = c->onGetPassword();
        int n = int(std::min<size_t>(pass.size(), size_t(size - 1)));
        std::memcpy(buf, pass.data(), size_t(n));
        buf[n] = '\0';
        return n;
    }

    static CURLcode SslContext(CURL*, void* sslctx, void* clientp)
    {
        auto* ctx = static_cast<SSL_CTX*>(sslctx);
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_cert_verify_callback(ctx, VerifyCert, clientp);
        SSL_CTX_set_default_passwd_cb(ctx, Password);
        SSL_CTX_set_default_passwd_cb_userdata(ctx, clientp);
        return CURLE_OK;
    }
};

// libcurl and its TLS library are set up at the first request, not with
// every run: a script that fetches nothing does not pay for them.
HttpClient::HttpClient() = default;

void* HttpClient::Easy()
{
    if (curl_ || easyFailed_)
        return curl_;
    platform::InitCurlOnce();
    CURL* c = curl_easy_init();
    CURLSH* share = curl_share_init();
    easyFailed_ = !c || !share;
    if (easyFailed_) {
        curl_easy_cleanup(c);
        curl_share_cleanup(share);
        return nullptr;
    }
    curl_ = c;
    share_ = share;
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    // A redirect target or a link of any other scheme (file:, ftp:, ...) must
    // never be read by a page request.
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    // No proxy from the environment: requests go where the script says.
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    // The URL is sent as the script built it, dot segments included.
    curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, &HttpCallbacks::SslContext);
    curl_easy_setopt(c, CURLOPT_SSL_CTX_DATA, this);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &HttpCallbacks::Header);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &HttpCallbacks::Write);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &HttpCallbacks::Debug);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &HttpCallbacks::Progress);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &HttpCallbacks::OpenSocket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &HttpCallbacks::CloseSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, &HttpCallbacks::Prereq);
    return c;
}

HttpClient::~HttpClient()
{
    // The intercept may already be gone; closing the connection now must not
    // report to it.
    intercept = nullptr;
    if (share_)
        curl_share_cleanup(static_cast<CURLSH*>(share_));
    if (curl_)
        curl_easy_cleanup(static_cast<CURL*>(curl_));
}

HttpReply HttpClient::Perform(const HttpRequest& request)
{
    HttpReply reply;
    // A fresh copy for every request: libcurl keeps a pointer to the last
    // header of a handle's previous reply, and a reply whose first header
    // line begins with a blank (a folded line) would make it read freed
    // memory on a reused handle. The copy is made last, so that it goes
    // before what its callbacks and error buffer point to.
    Transfer t(this, &request, &reply);
    char errbuf[CURL_ERROR_SIZE] = "";
    CURL* base = static_cast<CURL*>(Easy());
    std::unique_ptr<CURL, void (*)(CURL*)> handle(base ? curl_easy_duphandle(base) : nullptr, curl_easy_cleanup);
    CURL* c = handle.get();
    if (!c) {
        reply.error = Text("HTTP-Client nicht verfügbar");
        return reply;
    }
    curl_easy_setopt(c, CURLOPT_SHARE, share_);
    closedAfterTcpConnect_ = false;
    platform::UseLoopbackPort(c, loopbackPort);

    std::string wireUrl = WireUrl(request.url);
    curl_easy_setopt(c, CURLOPT_URL, wireUrl.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    if (request.post) {
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.empty() ? "" : request.body.data());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }

    struct curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Accept: text/html, */*");
    headers = curl_slist_append(headers, "Connection: Keep-Alive");
    std::string cookie = cookieJar ? cookieJar->CookieHeader(request.url) : std::string();
    if (!cookie.empty())
        headers = curl_slist_append(headers, ("Cookie: " + cookie).c_str());
    if (request.post)
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
    headers = curl_slist_append(headers, "Expect:");  // the body goes with the headers
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_USERAGENT, request.userAgent.empty() ? nullptr : request.userAgent.c_str());

    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs > 0 ? connectTimeoutMs : 0L);
    // A read that waits longer than the time-out without a byte ends the
    // request.
    long readSeconds = readTimeoutMs > 0 ? (readTimeoutMs + 999) / 1000 : 0;
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, readSeconds > 0 ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, readSeconds);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(maxBodySize));

    curl_easy_setopt(c, CURLOPT_VERBOSE, intercept ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &t);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_PREREQDATA, &t);

    CURLcode rc = curl_easy_perform(c);
    t.flushHeader();
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);

    // Cookies count from every reply, redirects and errors included.
    if (cookieJar)
        for (const std::string& sc : t.setCookies)
            cookieJar->SetCookie(request.url, sc);

    if (rc == CURLE_OK) {
        long code = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
        reply.code = int(code);
        if (reply.statusLine.empty())
            reply.statusLine = "HTTP/1.1 " + std::to_string(code);
        reply.ok = reply.code / 100 == 2 && reply.location.empty();
        if (!reply.ok)
            reply.error = reply.statusLine;
        return reply;
    }

    // The system's error number is that of the last connection attempt, so
    // it is read only for failed connections.
    long osErrno = 0;
    curl_easy_getinfo(c, CURLINFO_OS_ERRNO, &osErrno);
    std::string detail = errbuf[0] ? errbuf : curl_easy_strerror(rc);
    switch (rc) {
    case CURLE_COULDNT_CONNECT:
        reply.error = SocketError(osErrno ? int(osErrno) : ECONNREFUSED);
        break;
    case CURLE_OPERATION_TIMEDOUT: {
        // Which wait ran out: for the connection, for the TLS handshake on a
        // connection that stands, or for the reply.
        if (t.connected)
            reply.error = Text("Zeitüberschreitung beim Lesen");
        else if (closedAfterTcpConnect_)
            reply.error = Text("Zeitüberschreitung beim TLS-Verbindungsaufbau");
        else
            reply.error = Text("Zeitüberschreitung beim Verbindungsaufbau");
        break;
    }
    case CURLE_OUT_OF_MEMORY:
        // libcurl refuses header lines beyond its limit this way.
        reply.error = Text(t.bodyBytes == 0 && t.connected ? "Fehlerhafte Antwort: Kopfzeile zu lang"
                                                           : "Zu wenig Speicher für die Antwort");
        break;
    case CURLE_GOT_NOTHING:
        reply.error = Text("Verbindung ohne Antwort geschlossen");
        break;
    case CURLE_PARTIAL_FILE:
        reply.error = Text("Verbindung während der Antwort geschlossen");
        break;
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
        if (t.fileError)
            reply.error = "Datei-Schreibfehler: " + SystemErrorText(t.fileErrno);
        else if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
            reply.error = Text("Antwort zu groß: mehr als ") + std::to_string(maxBodySize) + " Bytes";
        else
            reply.error = Text("Übertragungsfehler: ") + detail;
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        reply.error = "Abbruch durch den Benutzer";
        break;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // Once the request went out, this is what libcurl says of a reply
        // that does not begin with an HTTP status line it can read.
        if (t.connected)
            reply.error = Text("Fehlerhafte Antwort: keine gültige HTTP-Statuszeile");
        else
            reply.error = Text("Protokoll nicht unterstützt (nur http und https): ") + request.url;
        break;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        if (detail.rfind("Recv failure", 0) == 0 || detail.rfind("Send failure", 0) == 0)
            reply.error = Text("Übertragungsfehler: ") + (osErrno ? SystemErrorText(int(osErrno)) : detail);
        else if (detail.rfind("Too large response headers", 0) == 0)
            reply.error = Text("Fehlerhafte Antwort: Kopfzeilen zu lang");
        else if (detail.find("chunk") != std::string::npos)
            reply.error = Text("Fehlerhafte Antwort: ungültige Chunked-Kodierung");
        else
            reply.error = Text("Übertragungsfehler: ") + detail;
        break;
    case CURLE_BAD_FUNCTION_ARGUMENT:
        // What libcurl says of a header line it cannot store, such as a
        // folded line before any header.
        reply.error = Text(t.connected ? "Fehlerhafte Antwort: ungültige Kopfzeile" : "Übertragungsfehler: ") +
                      (t.connected ? "" : detail);
        break;
    case CURLE_URL_MALFORMAT:
        reply.error = Text("Ungültige URL: ") + request.url;
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        reply.error = "Host nicht gefunden: " + HostOf(wireUrl);
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
        reply.error = "SSL-Fehler: Das Zertifikat des Servers wurde abgelehnt";
        break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
        reply.error = "SSL-Fehler: Der TLS-Verbindungsaufbau ist fehlgeschlagen";
        break;
    default:
        reply.error = Text("Übertragungsfehler: ") + detail;
        break;
    }
    return reply;
}
