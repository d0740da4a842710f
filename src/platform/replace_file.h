// Writing a whole file so that a failure never leaves it half written.
#pragma once

#include <string>

namespace platform {

// Writes bytes as the whole content of path. An existing file is replaced
// only once the new content is completely on disk beside it, and keeps its
// permissions (and, where allowed, its owner); a link is followed to the file
// it names. A new file is created exclusively and removed again when its
// writing fails. 0, or the errno of the failure; the old file is then as it
// was.
[[nodiscard]] int ReplaceFileContent(const std::string& path, const std::string& bytes);

}  // namespace platform
