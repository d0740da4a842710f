// The application's message box: a text, a caption and the buttons of the
// system's box flags, answering with the system's button identifiers.
#pragma once

#include <QString>
#include <functional>

#include "interpreter/host.h"

class QWidget;

enum : int { MB_YESNOCANCEL = 3, MB_YESNO = 4, MB_ICONQUESTION = 0x20, IDYES = 6, IDNO = 7 };

// Shows a box modally; closing it without a button answers Cancel (OK when
// OK is the only button, No for Yes and No).
int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, int flags);

// Who shows the boxes of a window; tests put their own answerer here.
using BoxFunction = std::function<int(const QString& text, const QString& caption, int flags)>;
