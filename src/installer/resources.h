// What the installer's header refers to: four licence texts (string-table
// entries 0 to 3) and the icons 100 to 105.
#pragma once

#include <QIcon>
#include <string>
#include <vector>

namespace installer {

// Entry index of the licence texts, cut to at most 9,999 bytes (on a
// character boundary) as the page loads them; "" for an unknown index.
std::string LoadLicenceText(int index);

// The licence page's lines: every run of printable characters is one line
// of at most 999 characters (a longer run goes on in the next line), and
// each CR after the first character of a run of control characters adds
// an empty line.
std::vector<std::string> SplitLicenceText(const std::string& text);

// A null icon for an id the program does not hold.
QIcon LoadIcon(int iconId);

}  // namespace installer
