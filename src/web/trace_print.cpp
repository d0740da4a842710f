// The header printer of trace "2": of the chunks that go one way in a row,
// only the first is printed, up to its first empty line.
#include <algorithm>
#include <cstring>
#include <string>

#include "web/web_access.h"

namespace {

// The chunk as a C text (up to a NUL byte), cut before the first empty line.
std::string_view HeadPart(std::string_view chunk)
{
    chunk = chunk.substr(0, std::min(chunk.size(), chunk.find('\0')));
    size_t end = chunk.find("\r\n\r\n");
    return end == std::string_view::npos ? chunk : chunk.substr(0, end);
}

}  // namespace

void WebAccess::traceReceive(std::string_view chunk)
{
    sendCount = 0;
    if (recvCount != 0) {
        ++recvCount;
        return;
    }
    recvCount = 1;
    printLines(HeadPart(chunk), ">");
    AppendOutput("%s", "");
}

void WebAccess::traceSend(std::string_view chunk)
{
    recvCount = 0;
    if (sendCount++ != 0)
        return;
    printLines(HeadPart(chunk), "<");
    AppendOutput("%s", "");
}

// Every CR and every LF separates; empty parts vanish.
void WebAccess::printLines(std::string_view text, const char* prefix)
{
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find_first_of("\r\n", i);
        if (j == std::string_view::npos)
            j = text.size();
        if (j > i) {
            std::string part(text.substr(i, j - i));
            AppendOutput("%s%s", prefix, part.c_str());
        }
        i = j + 1;
    }
}
