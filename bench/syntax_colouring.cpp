// The editor's colouring on a large script: the full recolouring of every
// line, and one typed character on the caret line.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <memory>

#include "editor/editor_behaviour.h"
#include "editor/main_window.h"
#include "editor/zp_rich_edit.h"

namespace {

constexpr int kLines = 10000;

QString LargeScript()
{
    const char* block[] = {
        "# Formular abschicken und Ergebnis pruefen",
        "x = htget(\"http://127.0.0.1/seite?id=\" & i)",
        "if x eq \"200\" then",
        "  formset(1, \"name\", \"Wert mit # darin\") # setzen",
        "  r = submit(1)",
        "else",
        "  print \"Fehler: \" & x",
        "fi",
        "for i = 1 to 10",
        "  print substr(data, i, 5) & \" \" & length(data)",
        "next",
    };
    QStringList lines;
    for (int i = 0; i < kLines; ++i)
        lines << QString::fromLatin1(block[i % (sizeof block / sizeof *block)]);
    return lines.join('\n');
}

// The widgets need an application object; one for the whole program.
void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "bench_syntax_colouring";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QApplication app(argc, argv);
    }
}

struct Editor {
    Editor()
    {
        EnsureApplication();
        qputenv("SKIMLARK_REGISTRY_DIR", registry.path().toUtf8());
        window = std::make_unique<TForm1>(QStringList{});
        window->syntaxColouring = true;
        window->RichEdit1->setPlainText(LargeScript());
    }
    QTemporaryDir registry;
    std::unique_ptr<TForm1> window;
};

void BM_RecolourLines(benchmark::State& state)
{
    Editor e;
    for (auto _ : state)
        e.window->RecolourLines();
    state.counters["lines"] = kLines;
}
BENCHMARK(BM_RecolourLines)->Unit(benchmark::kMillisecond);

// A freshly loaded script: no character has a colour yet.
void BM_RecolourFreshScript(benchmark::State& state)
{
    Editor e;
    const QString text = LargeScript();
    for (auto _ : state) {
        state.PauseTiming();
        e.window->syntaxColouring = false;
        e.window->RichEdit1->setPlainText(text);
        e.window->syntaxColouring = true;
        state.ResumeTiming();
        e.window->RecolourLines();
    }
}
BENCHMARK(BM_RecolourFreshScript)->Unit(benchmark::kMillisecond);

void BM_TypeOnCaretLine(benchmark::State& state)
{
    Editor e;
    TForm1& w = *e.window;
    QTextCursor c(w.RichEdit1->document()->findBlockByNumber(kLines / 2));
    c.movePosition(QTextCursor::EndOfBlock);
    w.RichEdit1->setTextCursor(c);
    w.ShowCaretStatus();
    for (auto _ : state) {
        w.RichEdit1->insertPlainText(QStringLiteral("a"));
        w.ShowCaretStatus();
    }
}
BENCHMARK(BM_TypeOnCaretLine)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
