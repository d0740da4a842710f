// The host the main window hands to the browser window: the run only while it
// waits in browse, the script's lines, the editor's selection, the boxes and
// the window's place, and nothing else of the main window.
#pragma once

#include <QPoint>
#include <QString>

#include "editor/browser_link.h"
#include "editor/main_window.h"

class TForm1::WindowBrowserHost final : public BrowserHost {
public:
    explicit WindowBrowserHost(TForm1& window) : window_(window) {}

    RunSettings& runSettings() override { return window_.settings(); }
    RunHost& output() override { return window_; }
    Skript* waitingRun() override;
    void wakeRun() override;
    int lineCount() const override;
    void insertLine(int index, const QString& line) override { window_.InsertScriptLine(index, line); }
    void clearSelection() override;
    int box(QWidget* owner, const QString& text, const QString& caption, int flags) override;
    QPoint origin() const override { return window_.pos(); }
    void attach(BrowserWindowLink* browser) override { window_.browser = browser; }

private:
    TForm1& window_;
};
