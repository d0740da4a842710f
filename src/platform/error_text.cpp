#include "platform/error_text.h"

#include <cstring>

std::string SystemErrorText(int code)
{
    char buf[256];
    const char* text = strerror_r(code, buf, sizeof buf);
    if (!text || std::strncmp(text, "Unknown error", 13) == 0)
        return "???";
    return text;
}
