#include "interpreter/output.h"

#include <cstdio>

#include "interpreter/host.h"
#include "platform/format.h"

void AppendOutputV(RunHost& host, const char* format, va_list args)
{
    host.appendOutput(platform::FormatV(platform::kOutputLineBytes, format, args), true);
}

void AppendOutput(RunHost& host, const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    AppendOutputV(host, format, ap);
    va_end(ap);
}

void ShowNoteV(RunHost& host, const char* format, va_list args)
{
    host.showNote(platform::FormatV(platform::kNoteBytes, format, args));
}

void ShowNote(RunHost& host, const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    ShowNoteV(host, format, ap);
    va_end(ap);
}

std::string FormatLineStatus(int lineNo, int lineCount, const std::string& lineText)
{
    char buf[1024];
    snprintf(buf, sizeof buf, "Zeile %d von %d: %s", lineNo, lineCount, lineText.c_str());
    return buf;
}
