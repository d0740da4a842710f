#include "installer/setup_ui.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <cstdarg>
#include <cstdio>

namespace installer {

namespace {

NoteHandler& Notes()
{
    static NoteHandler handler;
    return handler;
}

StatusHandler& Status()
{
    static StatusHandler handler;
    return handler;
}

int DefaultNote(const std::string& text, const std::string& caption, Buttons buttons)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return buttons == Buttons::Ok ? IDOK : IDCANCEL;
    }
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromUtf8(caption));
    box.setText(QString::fromUtf8(text));
    if (buttons == Buttons::Ok) {
        box.addButton(QMessageBox::Ok);
        box.exec();
        return IDOK;
    }
    box.setIcon(QMessageBox::Question);
    box.addButton(QMessageBox::Yes)->setText("Ja");
    box.addButton(QMessageBox::No)->setText("Nein");
    box.addButton(QMessageBox::Cancel)->setText("Abbrechen");
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == box.button(QMessageBox::Yes))
        return IDYES;
    if (clicked == box.button(QMessageBox::No))
        return IDNO;
    return IDCANCEL;
}

int Show(const std::string& text, const std::string& caption, Buttons buttons)
{
    if (Notes())
        return Notes()(text, caption, buttons);
    return DefaultNote(text, caption, buttons);
}

std::string Format(size_t size, const char* format, va_list args)
{
    std::string text(size, '\0');
    int n = std::vsnprintf(text.data(), size, format, args);
    text.resize(n < 0 ? 0 : std::min(size_t(n), size - 1));
    return text;
}

}  // namespace

void SetNoteHandler(NoteHandler handler) { Notes() = std::move(handler); }
void SetStatusHandler(StatusHandler handler) { Status() = std::move(handler); }

void ShowStatusIn(QLabel* label)
{
    SetStatusHandler([label](const std::string& text) {
        label->setText(QString::fromUtf8(text));
        label->repaint();
    });
}

int ShowNote(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = Format(1024, format, args);
    va_end(args);
    return Show(text, "Notiz", Buttons::Ok);
}

int AskNote(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = Format(1024, format, args);
    va_end(args);
    return Show(text, "Notiz", Buttons::YesNoCancel);
}

int ShowBox(const std::string& text, const std::string& caption)
{
    return Show(text, caption, Buttons::Ok);
}

void ShowStatus(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = Format(10000, format, args);
    va_end(args);
    if (Status())
        Status()(text);
}

}  // namespace installer
