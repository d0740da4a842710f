// A traffic logger of a run: attached to the HTTP client as its intercept,
// it sees every chunk sent and received. While active it writes each chunk as
// one line into its file (when it has a file name) and hands it to its
// events; while inactive it does nothing.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "platform/http_client.h"

class TraceLog : public HttpIntercept {
public:
    TraceLog() = default;
    ~TraceLog() override { Close(); }
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    std::string fileName;
    std::function<void(std::string_view)> onReceive;
    std::function<void(std::string_view)> onSend;

    // Switches the logger on. With a file name the file is opened for
    // appending (created when missing); false, with the system's text in
    // error, when that fails.
    [[nodiscard]] bool Open(std::string& error);
    // Switches it off and closes the file.
    void Close();

    void Connected() override;
    void Disconnected() override;
    void Sent(std::string_view chunk) override;
    void Received(std::string_view chunk) override;

    // A chunk as one line: CR LF becomes "<EOL>", then a lone CR "<CR>" and a
    // lone LF "<LF>".
    static std::string OneLine(std::string_view chunk);

private:
    void WriteLine(const std::string& line);
    void WriteChunk(const char* prefix, std::string_view chunk);
    bool active_ = false;
    std::FILE* file_ = nullptr;
};
