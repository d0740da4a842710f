// Shared by the main-window tests: a private registry folder, a window whose
// boxes, file dialogs and process end are answered by the test, and waits.
#pragma once

#include <QAction>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "editor/editor_behaviour.h"
#include "editor/main_window.h"
#include "editor/zp_rich_edit.h"
#include "interpreter/skript.h"
#include "support/files.h"

// Points the registry at a fresh folder for the life of the object.
class TempRegistry {
public:
    TempRegistry() { qputenv("SKIMLARK_REGISTRY_DIR", dir.path().toUtf8()); }
    ~TempRegistry() { qunsetenv("SKIMLARK_REGISTRY_DIR"); }
    QString path() const { return dir.path(); }
    QTemporaryDir dir;
};

// Records every box and answers from a list (OK, then Cancel for boxes
// with more buttons, when the list is empty).
struct Boxes {
    QStringList seen;  // "caption|text"
    std::deque<int> answers;
    BoxFunction fn()
    {
        return [this](const QString& text, const QString& caption, int flags) {
            seen << caption + "|" + text;
            if (!answers.empty()) {
                int a = answers.front();
                answers.pop_front();
                return a;
            }
            return (flags & 0xF) == MB_OK ? int(IDOK) : int(IDCANCEL);
        };
    }
};

struct Dialogs {
    QStringList openCalls, saveCalls;  // "title|proposed"
    std::deque<QString> openAnswers, saveAnswers;
    void install(TForm1& w)
    {
        w.openFileDialog = [this](const QString& title, const QString&, const QString& proposed) {
            openCalls << title + "|" + proposed;
            QString a;
            if (!openAnswers.empty()) {
                a = openAnswers.front();
                openAnswers.pop_front();
            }
            return a;
        };
        w.saveFileDialog = [this](const QString& title, const QString&, const QString& proposed) {
            saveCalls << title + "|" + proposed;
            QString a;
            if (!saveAnswers.empty()) {
                a = saveAnswers.front();
                saveAnswers.pop_front();
            }
            return a;
        };
    }
};

// A window with everything answered by the test; not shown yet.
struct Window {
    explicit Window(const QStringList& args = {}) : w(std::make_unique<TForm1>(args))
    {
        w->boxFunction = boxes.fn();
        dialogs.install(*w);
        w->exitFunction = [this](int code) { exits << code; };
    }
    TForm1* operator->() { return w.get(); }
    TForm1& operator*() { return *w; }
    // Shows the window and lets the posted start-up messages run.
    void show()
    {
        w->show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    Boxes boxes;
    Dialogs dialogs;
    QList<int> exits;
    std::unique_ptr<TForm1> w;
};

// "zeile 1" to "zeile n", one per line.
inline QString NumberedLines(int n)
{
    QStringList l;
    for (int i = 1; i <= n; ++i)
        l << QString("zeile %1").arg(i);
    return l.join('\n');
}

inline void PlaceCaret(TForm1& w, int position)
{
    QTextCursor c = w.RichEdit1->textCursor();
    c.setPosition(position);
    w.RichEdit1->setTextCursor(c);
}

// What the caret poller does after a caret move.
inline void Poll(TForm1& w)
{
    w.behaviour->caretMoved = 1;
    w.behaviour->PollCaret();
}

inline bool RunEnded(TForm1& w, int timeoutMs = 10000)
{
    return QTest::qWaitFor([&w] { return w.skript && w.skript->Finished(); }, timeoutMs);
}

inline void WriteFile(const QString& path, const std::string& bytes)
{
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << bytes;
}

inline std::string ReadFile(const QString& path)
{
    return ReadFile(std::filesystem::path(path.toStdString()));
}
