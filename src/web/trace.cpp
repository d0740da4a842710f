#include "web/trace.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/error_text.h"

bool TraceLog::Open(std::string& error)
{
    Close();
    if (!fileName.empty()) {
        // Appending: the file grows across fetches and runs, and other
        // programs may read it meanwhile.
        file_ = std::fopen(fileName.c_str(), "ab");
        if (!file_) {
            error = SystemErrorText(errno);
            return false;
        }
    }
    active_ = true;
    return true;
}

void TraceLog::Close()
{
    active_ = false;
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

std::string TraceLog::OneLine(std::string_view chunk)
{
    std::string out;
    out.reserve(chunk.size() + chunk.size() / 8);
    for (size_t i = 0; i < chunk.size(); ++i) {
        char c = chunk[i];
        if (c == '\r' && i + 1 < chunk.size() && chunk[i + 1] == '\n') {
            out += "<EOL>";
            ++i;
        } else if (c == '\r') {
            out += "<CR>";
        } else if (c == '\n') {
            out += "<LF>";
        } else {
            out += c;
        }
    }
    return out;
}

void TraceLog::WriteLine(const std::string& line)
{
    if (!file_)
        return;
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fwrite("\r\n", 1, 2, file_);
    std::fflush(file_);
}

void TraceLog::WriteChunk(const char* prefix, std::string_view chunk)
{
    if (!file_)
        return;
    // The local date and time as the German regional settings write them.
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%d.%m.%Y %H:%M:%S", &tm);
    WriteLine(std::string(prefix) + stamp + ": " + OneLine(chunk));
}

void TraceLog::Connected()
{
    if (active_)
        WriteLine("Stat Verbunden.");
}

void TraceLog::Disconnected()
{
    if (active_)
        WriteLine("Stat Verbindung getrennt.");
}

void TraceLog::Sent(std::string_view chunk)
{
    if (!active_)
        return;
    WriteChunk("Ges ", chunk);
    if (onSend)
        onSend(chunk);
}

void TraceLog::Received(std::string_view chunk)
{
    if (!active_)
        return;
    WriteChunk("Erh ", chunk);
    if (onReceive)
        onReceive(chunk);
}
