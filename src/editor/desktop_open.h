// Opening a page, document or mail address with the desktop's opener, and
// telling the user when that was not possible.
#pragma once

#include <string>

#include "editor/message_box.h"

enum class Opened { Yes, Failed, NoOpener };

// Hands target (a URL or a file) to the desktop.
Opened OpenOnDesktop(const std::string& target);

// The box for a target that was not opened: "Error ShellExecuteEx" when the
// start failed (only when reportFailure), and without any opener installed a
// text that says so, since nothing else would happen then.
void ReportNotOpened(Opened result, const std::string& target, const BoxFunction& box, bool reportFailure = true);
