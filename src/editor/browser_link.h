// What the main window and the browser window need of each other: the
// browser window comes in its own library and sees the editor only through
// the narrow host below; it registers itself there when it exists.
#pragma once

#include <string>

class QPoint;
class QString;
class QWidget;
class RunHost;
class Skript;
struct RunSettings;

class BrowserWindowLink {
public:
    virtual ~BrowserWindowLink() = default;
    // Empties the list of recorded lines (at every run start).
    virtual void clearRecording() = 0;
    // Shows the window, not modally, for browse: url is the URL text (Windows-1252),
    // "" for the page in the temporary file. The window wakes the run when it
    // closes, after setting the run's stop flag or current line.
    virtual void showBrowser(const std::string& url) = 0;
    // Closes the window as the stop tool button does; false when it was not shown.
    virtual bool closeBrowser() = 0;
    // Shows the page modally for the settings dialog's User-Agent probe: a
    // form submitted there hands its first field to the User-Agent setting.
    virtual void showProbe(const std::string& url) = 0;
    // The window is shown (for browse or the probe).
    virtual bool shown() const = 0;
};

// What the browser window may use of the editor.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;
    // The settings of the runs (data folder, debug level, User-Agent).
    virtual RunSettings& runSettings() = 0;
    // Where the window's output lines and notes go.
    virtual RunHost& output() = 0;
    // The run that waits in browse, only while it waits; null otherwise.
    virtual Skript* waitingRun() = 0;
    // Wakes the waiting run, which waits no more.
    virtual void wakeRun() = 0;
    // The number of the script's lines.
    virtual int lineCount() const = 0;
    // Inserts a line before line index (at the end when index is the count).
    virtual void insertLine(int index, const QString& line) = 0;
    // Removes the selection in the editor (browse selected its line there).
    virtual void clearSelection() = 0;
    // Shows a box of the program's own, owned by owner.
    virtual int box(QWidget* owner, const QString& text, const QString& caption, int flags) = 0;
    // The editor window's top left corner on the screen.
    virtual QPoint origin() const = 0;
    // The browser window that exists now (null when it goes).
    virtual void attach(BrowserWindowLink* window) = 0;
};
