#include "platform/ftp_client.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <fstream>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/curl_init.h"
#include "platform/error_text.h"
#include "platform/loopback_port.h"

namespace {

CURL* Handle(void* h)
{
    return static_cast<CURL*>(h);
}

curl_socket_t OpenAtLoopbackPort(void* port, curlsocktype, curl_sockaddr* address)
{
    platform::ToLoopbackPort(address, *static_cast<int*>(port));
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// Only a host name or address with an optional port: no user part, path,
// query or blanks that could change what the URL means.
bool ValidHost(const std::string& host)
{
    if (host.empty())
        return false;
    for (unsigned char c : host)
        if (!(std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']' ||
              c >= 0x80))
            return false;
    return true;
}

// The remote name as a URL path: every byte but the unreserved ones and '/'
// is escaped, so the server receives the name exactly as given.
std::string EscapePath(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// The process's umask, read without changing it (umask() itself would set it
// for every thread for a moment).
mode_t CurrentUmask()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
    return 022;
}

// FTP replies arrive here line by line; the last one is kept for the error
// message, since the server's own words say most about a refusal.
size_t OnReply(char* data, size_t size, size_t count, void* user)
{
    size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    if (line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])))
        *static_cast<std::string*>(user) = line;
    return n;
}

size_t OnRead(char* data, size_t size, size_t count, void* file)
{
    std::FILE* f = static_cast<std::FILE*>(file);
    size_t n = std::fread(data, size, count, f) * size;
    if (n == 0 && std::ferror(f))
        return CURL_READFUNC_ABORT;
    return n;
}

// Errors where the server's last negative reply is the better message.
bool ServerRefused(CURLcode rc)
{
    switch (rc) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_WRITE_ERROR:
    case CURLE_READ_ERROR:
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_OUT_OF_MEMORY:
        return false;
    default:
        return true;
    }
}

// German texts for the failures a user meets; time-outs say what was
// waited for.
std::string FailureText(CURL* c, CURLcode rc, const char* detail, const std::string& host)
{
    long osErrno = 0;
    curl_easy_getinfo(c, CURLINFO_OS_ERRNO, &osErrno);
    curl_off_t connectTime = 0;
    curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connectTime);
    switch (rc) {
    case CURLE_COULDNT_CONNECT:
        return "Keine Verbindung zum FTP-Server: " + SystemErrorTextUtf8(osErrno ? int(osErrno) : ECONNREFUSED);
    case CURLE_COULDNT_RESOLVE_HOST:
        return "FTP-Server nicht gefunden: " + host;
    case CURLE_OPERATION_TIMEDOUT:
        if (connectTime == 0)
            return "Zeitüberschreitung beim Verbindungsaufbau zum FTP-Server";
        if (std::strstr(detail, "too slow"))
            return "Zeitüberschreitung bei der Datenübertragung";
        return "Zeitüberschreitung beim Warten auf die Antwort des FTP-Servers";
    case CURLE_FTP_ACCEPT_TIMEOUT:
        return "Zeitüberschreitung beim Aufbau der Datenverbindung";
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return "Übertragungsfehler: " + (osErrno ? SystemErrorTextUtf8(int(osErrno)) : "Verbindung unterbrochen");
    case CURLE_GOT_NOTHING:
        return "Der FTP-Server hat die Verbindung ohne Antwort geschlossen";
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASS_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
        return "Fehlerhafte Antwort des FTP-Servers";
    case CURLE_LOGIN_DENIED:
        return "Anmeldung am FTP-Server abgelehnt";
    case CURLE_REMOTE_FILE_NOT_FOUND:
        return "Datei auf dem FTP-Server nicht gefunden";
    case CURLE_REMOTE_ACCESS_DENIED:
        return "Zugriff auf dem FTP-Server verweigert";
    case CURLE_OUT_OF_MEMORY:
        return "Nicht genügend Speicher";
    default:
        return std::string("FTP-Fehler: ") + (*detail ? detail : curl_easy_strerror(rc));
    }
}

bool ValidRemoteName(const std::string& name)
{
    // An empty name or one ending in '/' would list a folder instead.
    return !name.empty() && name.back() != '/';
}

}  // namespace

struct FtpClient::Transfer {
    std::FILE* file = nullptr;
    bool upload = false;
    curl_off_t size = 0;
    int writeErrno = 0;  // why the local file took no more, 0 while it does
};

namespace {

size_t OnWrite(char* data, size_t size, size_t count, void* transfer)
{
    auto* t = static_cast<FtpClient::Transfer*>(transfer);
    size_t n = std::fwrite(data, size, count, t->file);
    if (n < count)
        t->writeErrno = errno;
    return n * size;
}

}  // namespace

FtpClient::FtpClient() = default;

FtpClient::~FtpClient()
{
    Disconnect();
}

void FtpClient::Disconnect()
{
    if (handle_)
        curl_easy_cleanup(Handle(handle_));  // sends QUIT on a live connection
    handle_ = nullptr;
}

std::string FtpClient::Connect(int connectTimeoutMs)
{
    Disconnect();
    if (!ValidHost(host))
        return "Ungültiger FTP-Host \"" + host + "\"";
    // Set up at the first transfer, not with every run.
    platform::InitCurlOnce();
    CURL* c = curl_easy_init();
    if (!c)
        return "Nicht genügend Speicher";
    handle_ = c;
    baseUrl_ = "ftp://" + host + "/";

    // ftp:// only, whatever the URL turns out to be; no proxy from the
    // environment, which would turn the transfer into HTTP.
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "ftp");
#else
    curl_easy_setopt(c, CURLOPT_PROTOCOLS, long(CURLPROTO_FTP));
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS, long(CURLPROTO_FTP));
#endif
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnReply);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &lastReply_);
    if (!username.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, username.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
    }
    // The remote name goes to the server as given, without folder changes.
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    if (connectTimeoutMs > 0)
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(connectTimeoutMs));
    if (readTimeout > 0) {
        long seconds = (readTimeout + 999) / 1000;
        curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
        curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, long(readTimeout));
        // Data that stops flowing for that long ends the transfer.
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, seconds);
    }
    if (loopbackPort) {
        curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &OpenAtLoopbackPort);
        curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &loopbackPort);
        platform::UseLoopbackPort(c, loopbackPort);
    }
    // Log in only; the transfer reuses this control connection.
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    std::string error = Perform("", nullptr);
    curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
    if (!error.empty())
        Disconnect();
    return error;
}

std::string FtpClient::Perform(const std::string& remoteFile, Transfer* t)
{
    CURL* c = Handle(handle_);
    std::string url = baseUrl_ + EscapePath(remoteFile);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    if (t && t->upload) {
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(c, CURLOPT_READDATA, t->file);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, t->size);
    } else if (t) {
        curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnWrite);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, t);
    }
    lastReply_.clear();
    errorBuffer_[0] = '\0';
    CURLcode rc = curl_easy_perform(c);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
    if (rc == CURLE_OK)
        return "";
    if (ServerRefused(rc) && !lastReply_.empty() && (lastReply_[0] == '4' || lastReply_[0] == '5'))
        return lastReply_;
    return FailureText(c, rc, errorBuffer_, host);
}

std::string FtpClient::Get(const std::string& remoteFile, const std::string& localFile)
{
    if (!handle_)
        return "Keine Verbindung zum FTP-Server";
    if (!ValidRemoteName(remoteFile))
        return "Ungültiger Dateiname \"" + remoteFile + "\"";

    // Write through a symbolic link to the file it names.
    std::string target = localFile;
    struct stat st;
    if (lstat(localFile.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(localFile.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    mode_t mode = 0666 & ~CurrentUmask();
    bool exists = false;
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return "Die Datei \"" + localFile + "\" kann nicht angelegt werden: " + SystemErrorTextUtf8(EISDIR);
        mode = st.st_mode & 07777;
        exists = S_ISREG(st.st_mode);
    }

    // The download goes into a temporary file beside the target, which
    // replaces the target only when the whole file has arrived.
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = dir + "." + base + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0 && exists && (errno == EACCES || errno == EPERM))
        return GetInPlace(remoteFile, localFile, target);
    if (fd < 0)
        return "Die Datei \"" + localFile + "\" kann nicht angelegt werden: " + SystemErrorTextUtf8(errno);
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        int e = errno;
        close(fd);
        unlink(temp.c_str());
        return "Die Datei \"" + localFile + "\" kann nicht angelegt werden: " + SystemErrorTextUtf8(e);
    }

    std::string error = ReceiveInto(f, remoteFile, localFile);
    if (error.empty()) {
        chmod(temp.c_str(), mode);
        if (std::rename(temp.c_str(), target.c_str()) != 0)
            error = "Die Datei \"" + localFile + "\" kann nicht angelegt werden: " + SystemErrorTextUtf8(errno);
    }
    if (!error.empty())
        unlink(temp.c_str());
    return error;
}

// A file that we may write but whose folder takes no new files is
// overwritten where it is, as it would be without the temporary file.
std::string FtpClient::GetInPlace(const std::string& remoteFile, const std::string& localFile,
                                  const std::string& target)
{
    std::FILE* f = std::fopen(target.c_str(), "wb");
    if (!f)
        return "Die Datei \"" + localFile + "\" kann nicht angelegt werden: " + SystemErrorTextUtf8(errno);
    return ReceiveInto(f, remoteFile, localFile);
}

// Downloads into f and closes it; a failed write is the error when the
// transfer itself went well.
std::string FtpClient::ReceiveInto(std::FILE* f, const std::string& remoteFile, const std::string& localFile)
{
    Transfer t;
    t.file = f;
    std::string error = Perform(remoteFile, &t);
    bool written = std::fflush(f) == 0 && !std::ferror(f);
    int writeErrno = t.writeErrno ? t.writeErrno : errno;
    written = std::fclose(f) == 0 && written;
    // A local write that failed (a full disk) is what ended the transfer.
    if (!written)
        error = "Die Datei \"" + localFile + "\" kann nicht geschrieben werden: " +
                SystemErrorTextUtf8(writeErrno ? writeErrno : EIO);
    return error;
}

std::string FtpClient::Put(const std::string& localFile, const std::string& remoteFile)
{
    if (!handle_)
        return "Keine Verbindung zum FTP-Server";
    if (!ValidRemoteName(remoteFile))
        return "Ungültiger Dateiname \"" + remoteFile + "\"";
    std::FILE* f = std::fopen(localFile.c_str(), "rb");
    if (!f)
        return "Die Datei \"" + localFile + "\" kann nicht geöffnet werden: " + SystemErrorTextUtf8(errno);
    struct stat st;
    int statError = fstat(fileno(f), &st) != 0 ? errno : 0;
    if (statError == 0 && !S_ISREG(st.st_mode))
        statError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (statError != 0) {
        int e = statError;
        std::fclose(f);
        return "Die Datei \"" + localFile + "\" kann nicht geöffnet werden: " + SystemErrorTextUtf8(e);
    }
    Transfer t;
    t.file = f;
    t.upload = true;
    t.size = st.st_size;
    std::string error = Perform(remoteFile, &t);
    std::fclose(f);
    return error;
}
