// Pure helpers of the text built-ins, shared with their tests and with the
// parts of the program that split URLs the same way.
#pragma once

#include <string>
#include <vector>

class Skript;

// The host name of a URL: what follows "//" (or, without "//", the URL from
// its second character on) up to the first "/", or up to a ":" before it.
std::string UrlHostName(const std::string& url);
// The last label of a host name, and the last two labels; with fewer dots
// the whole name.
std::string HostTld(const std::string& hostname);
std::string HostDomain(const std::string& hostname);

// Keeps letters and digits (mode "1"), letters ("2") or digits ("3"); every
// run of kept characters that a dropped character ends gets one separator.
std::string FilterText(const std::string& source, const std::string& mode, const std::string& separator);

// The lines of a hex dump, 16 characters per line.
std::vector<std::string> HexDumpLines(const std::string& text);
// Writes the hex dump of text into the run's output pane.
void HexDump(Skript& run, const std::string& text);
