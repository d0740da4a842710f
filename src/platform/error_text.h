// The system's own text for an errno value, as every layer reports it.
#pragma once

#include <string>

// strerror's text for code; "???" when the system has none.
std::string SystemErrorText(int code);
