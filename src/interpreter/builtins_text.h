// Pure helpers of the text built-ins, shared with their tests.
#pragma once

#include <string>
#include <vector>

class Skript;

// Keeps letters and digits (mode "1"), letters ("2") or digits ("3"); every
// run of kept characters that a dropped character ends gets one separator.
std::string FilterText(const std::string& source, const std::string& mode, const std::string& separator);

// The lines of a hex dump, 16 characters per line.
std::vector<std::string> HexDumpLines(const std::string& text);
// Writes the hex dump of text into the run's output pane.
void HexDump(Skript& run, const std::string& text);
