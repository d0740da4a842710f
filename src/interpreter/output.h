// The output-pane writer, the "Notiz" box and the system's error texts, as
// every part of the program uses them.
#pragma once

#include <string>

class RunHost;

// The host that AppendOutput and ShowNote talk to; set by the program (the
// desktop window or the console runner). Without one, output is dropped.
void SetOutputHost(RunHost* host);
RunHost* OutputHost();

// Formats one line of at most 10,000 bytes and appends it to the output pane
// with its line limit.
void AppendOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Formats a text of at most 1,024 bytes and shows it in the "Notiz" box.
void ShowNote(const char* format, ...) __attribute__((format(printf, 1, 2)));
