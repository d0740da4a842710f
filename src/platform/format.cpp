#include "platform/format.h"

#include <algorithm>
#include <cstdio>

namespace platform {

std::string FormatV(size_t limit, const char* format, va_list args)
{
    char buf[kOutputLineBytes];
    vsnprintf(buf, std::min(limit, sizeof buf), format, args);
    return buf;
}

}  // namespace platform
