// The system's own text for an errno value, as every layer reports it.
#pragma once

#include <string>

// The text for code in Windows-1252, like a script value: German for the
// causes a user meets most (a missing file, no permission, a full disk, a
// refused or reset connection, ...), else strerror's; "???" when the system
// has none.
std::string SystemErrorText(int code);
// The same in UTF-8, for messages built in the sources' encoding.
std::string SystemErrorTextUtf8(int code);
