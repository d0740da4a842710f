// printf-style texts cut to the size of the buffer that receives them.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace platform {

// An output-pane line holds 10,000 bytes and a "Notiz" text 1,024; a longer
// text is cut there.
constexpr size_t kOutputLineBytes = 10000;
constexpr size_t kNoteBytes = 1024;

// The formatted text, at most limit - 1 bytes long (limit up to
// kOutputLineBytes).
std::string FormatV(size_t limit, const char* format, va_list args);

}  // namespace platform
