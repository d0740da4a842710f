#include "interpreter/output.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "interpreter/host.h"

namespace {
std::atomic<RunHost*> g_host{nullptr};
}

void SetOutputHost(RunHost* host)
{
    g_host.store(host);
}

RunHost* OutputHost()
{
    return g_host.load();
}

void AppendOutput(const char* format, ...)
{
    // The line buffer holds 10,000 bytes; a longer line is cut there.
    char buf[10000];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (RunHost* host = g_host.load())
        host->appendOutput(buf, true);
}

void ShowNote(const char* format, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (RunHost* host = g_host.load())
        host->showNote(buf);
}

std::string FormatLineStatus(int lineNo, int lineCount, const std::string& lineText)
{
    char buf[1024];
    snprintf(buf, sizeof buf, "Zeile %d von %d: %s", lineNo, lineCount, lineText.c_str());
    return buf;
}
