// Formatted writes to a host's output pane and "Notiz" box.
#pragma once

#include <cstdarg>

class RunHost;

// Formats one line of at most 10,000 bytes and appends it to the host's
// output pane with its line limit.
void AppendOutput(RunHost& host, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendOutputV(RunHost& host, const char* format, va_list args);
// Formats a text of at most 1,024 bytes and shows it in the host's "Notiz" box.
void ShowNote(RunHost& host, const char* format, ...) __attribute__((format(printf, 2, 3)));
void ShowNoteV(RunHost& host, const char* format, va_list args);
