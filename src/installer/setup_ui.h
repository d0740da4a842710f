// The installer's own message box, question box and status line. Tests (and
// the window) replace the handlers; the texts are UTF-8.
#pragma once

#include <functional>
#include <string>

class QLabel;

namespace installer {

enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
enum class Buttons { Ok, YesNoCancel };

// Shows text with caption and buttons and answers with the button pressed.
using NoteHandler = std::function<int(const std::string& text, const std::string& caption, Buttons buttons)>;
using StatusHandler = std::function<void(const std::string& text)>;

// An empty handler restores the default (a modal box, or stderr without a
// running application; the status line then goes nowhere).
void SetNoteHandler(NoteHandler handler);
void SetStatusHandler(StatusHandler handler);
// Shows every status text in label at once, even while the install blocks
// the event loop.
void ShowStatusIn(QLabel* label);

// The "Notiz" box with one OK button; printf-style, at most 1,023 bytes.
int ShowNote(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The "Notiz" box with Yes, No and Cancel.
int AskNote(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A box with its own caption and an OK button.
int ShowBox(const std::string& text, const std::string& caption);
// The installer window's status line; printf-style, at most 9,999 bytes.
void ShowStatus(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace installer
