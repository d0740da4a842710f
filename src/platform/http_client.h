// The HTTP client of a run, over libcurl. One handle per client, so the
// connection stays open between requests (keep-alive). It follows no
// redirects of its own, speaks only http and https, and reports every reply
// outside 2xx (and every reply with a Location) as an error whose text is the
// reply's status line. It keeps no cookies of its own: a jar can be attached.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <string_view>

// Sees the traffic of a client while attached: every chunk as it was sent or
// received, and the opening and closing of connections.
class HttpIntercept {
public:
    virtual ~HttpIntercept() = default;
    virtual void Connected() = 0;
    virtual void Disconnected() = 0;
    // The request line and headers as sent, then each piece of a body.
    virtual void Sent(std::string_view chunk) = 0;
    // The header block of a reply as it arrived, then each piece of the body
    // as read from the connection (chunked framing included).
    virtual void Received(std::string_view chunk) = 0;
};

// Cookies of the requests while attached.
class HttpCookieJar {
public:
    virtual ~HttpCookieJar() = default;
    // The value of the Cookie header for a request to url; "" sends none.
    virtual std::string CookieHeader(const std::string& url) = 0;
    // One Set-Cookie header value of a reply to url.
    virtual void SetCookie(const std::string& url, const std::string& header) = 0;
};

struct HttpRequest {
    std::string url;
    bool post = false;
    std::string_view body;  // POST only: sent as application/x-www-form-urlencoded
    std::string userAgent;
    // Where the body of a 2xx reply goes: the file when given, else the
    // buffer (appended to), else nowhere.
    std::FILE* bodyFile = nullptr;
    std::string* bodyBuffer = nullptr;
};

struct HttpReply {
    bool ok = false;          // a 2xx reply without Location
    int code = 0;             // the reply's status code, 0 without a reply
    std::string statusLine;   // e.g. "HTTP/1.1 404 Not Found"
    std::string contentType;  // the Content-Type header, "" for none
    std::string location;     // the Location header, "" for none
    // When not ok: the status line of the reply, or the client's text for a
    // failure (Windows-1252). A connection failure reads
    // "Socket-Fehler # <errno>\r\n<system text>".
    std::string error;
};

class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Time-outs in milliseconds; 0 or less waits without a bound (the abort
    // flag still ends the wait).
    long connectTimeoutMs = 15000;
    long readTimeoutMs = 15000;
    // Bodies beyond this size end the request with an error.
    size_t maxBodySize = size_t(512) << 20;

    // Borrowed; null detaches.
    HttpIntercept* intercept = nullptr;
    HttpCookieJar* cookieJar = nullptr;
    // When the flag has been set for abortGraceMs, a request in progress ends
    // with an error: one that answers in time still ends with its reply, one
    // that hangs does not hold the run.
    const std::atomic<bool>* abortFlag = nullptr;
    long abortGraceMs = 2000;

    // TLS hooks: asked for every server certificate (true accepts it) and
    // for the pass phrase of a private key. Without a hook every certificate
    // is refused and no pass phrase is known.
    std::function<bool()> onVerifyPeer;
    std::function<std::string()> onGetPassword;

    // Non-zero: every connection goes to this port of 127.0.0.1 (see
    // platform/loopback_port.h).
    int loopbackPort = 0;

    // Sends one request and waits for its reply or failure.
    [[nodiscard]] HttpReply Perform(const HttpRequest& request);

    // Used by the libcurl callbacks.
    struct Transfer;

private:
    // The handle that holds the options every request starts from, made at
    // the first request; each request runs on a copy of it.
    void* Easy();
    void* curl_ = nullptr;  // CURL*
    // The connections (and DNS and TLS sessions) that the copies share, so
    // that a request reuses the connection of the one before.
    void* share_ = nullptr;  // CURLSH*
    bool easyFailed_ = false;
    // Sockets the client opened, and those reported as connected.
    std::set<int> opened_, announced_;
    // A socket closed before its request went out had reached the server
    // (so a time-out then hit the TLS handshake).
    bool closedAfterTcpConnect_ = false;
    friend struct HttpCallbacks;
};
