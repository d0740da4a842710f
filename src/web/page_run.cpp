#include "web/page_run.h"

#include <cstdarg>

#include "platform/format.h"

void PageRun::AppendOutput(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    appendOutput(platform::FormatV(platform::kOutputLineBytes, format, ap));
    va_end(ap);
}

void PageRun::ShowNote(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    showNote(platform::FormatV(platform::kNoteBytes, format, ap));
    va_end(ap);
}
