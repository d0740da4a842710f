// The FTP client of a run: connect and log in, move one file, disconnect.
// It speaks ftp:// only, so no host or file name can make it fetch any other
// kind of URL. Every failure comes back as a message text. Texts are UTF-8.
#pragma once

#include <cstdio>
#include <string>

class FtpClient {
public:
    FtpClient();
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // "name", "name:port" or "[v6 address]:port"; the port defaults to 21.
    std::string host;
    std::string username, password;
    // Longest wait for a reply or for transfer data, in ms; 0 keeps the
    // library's default.
    int readTimeout = 0;
    // Non-zero: every connection, control and data, goes to this port of
    // 127.0.0.1 (see platform/loopback_port.h).
    int loopbackPort = 0;

    // Each returns the empty text on success, else the error's message text
    // (never empty).
    [[nodiscard]] std::string Connect(int connectTimeoutMs);
    // Downloads into the local file, replacing it only once the whole file
    // has arrived; a failed download leaves an existing local file as it was
    // (unless its folder takes no new files: then it is written in place).
    [[nodiscard]] std::string Get(const std::string& remoteFile, const std::string& localFile);
    // Uploads the local file under the remote name, replacing a file there.
    [[nodiscard]] std::string Put(const std::string& localFile, const std::string& remoteFile);
    void Disconnect();
    bool Connected() const { return handle_ != nullptr; }

    // One transfer's file and state, for the libcurl callbacks.
    struct Transfer;

private:
    std::string Perform(const std::string& remoteFile, Transfer* transfer);
    std::string ReceiveInto(std::FILE* f, const std::string& remoteFile, const std::string& localFile);
    std::string GetInPlace(const std::string& remoteFile, const std::string& localFile,
                           const std::string& target);
    void* handle_ = nullptr;  // the libcurl easy handle of the open connection
    std::string baseUrl_;
    std::string lastReply_;
    char errorBuffer_[256] = {};
};
