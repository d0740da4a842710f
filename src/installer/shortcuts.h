// Shortcuts as desktop entry files (.desktop) that start one program.
#pragma once

#include <string>

namespace installer {

// Writes a desktop entry that starts target, named name, with description as
// its comment. Creates the shortcut's folder when missing; 0 or an errno.
[[nodiscard]] int CreateShortcut(const std::string& target, const std::string& shortcutPath,
                                 const std::string& name, const std::string& description);

// The shortcut file path for a product in a folder: "folder/product.desktop",
// with any "/" of the product replaced so that the file stays in the folder.
std::string ShortcutPath(const std::string& folder, const std::string& product);

// The Exec line's quoting of one argument, with the escapes of a desktop
// entry's string value applied on top.
std::string DesktopExecArgument(const std::string& path);

}  // namespace installer
