// The code page in which zip tools store entry names that carry no UTF-8
// flag.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Bytes below 0x80 stay as they are (control characters included, so that
// callers still see them); the upper half becomes its letters, box-drawing
// and mathematical signs.
std::string Cp437ToUtf8(std::string_view text);

}  // namespace platform
