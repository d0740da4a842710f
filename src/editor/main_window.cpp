#include "editor/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

#include "editor/browser_host.h"
#include "editor/browser_link.h"
#include "editor/command_line.h"
#include "editor/editor_behaviour.h"
#include "editor/gui_queue.h"
#include "editor/history.h"
#include "editor/icons.h"
#include "editor/plain_text_pane.h"
#include "editor/qt_text.h"
#include "editor/syntax_colouring.h"
#include "editor/zp_rich_edit.h"
#include "editor/zv_splitter.h"
#include "interpreter/dispatcher.h"
#include "interpreter/output.h"
#include "interpreter/program_settings.h"
#include "interpreter/skript.h"
#include "platform/folders.h"
#include "platform/print_library.h"
#include "platform/registry.h"
#include "platform/texts.h"

namespace {

// An installed monospaced family: the system's fixed font, else the first
// fixed-pitch family there is.
QString MonospacedFamily()
{
    const QFontInfo fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    if (fixed.fixedPitch() && QFontDatabase::hasFamily(fixed.family()))
        return fixed.family();
    for (const QString& family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family))
            return family;
    return fixed.family();
}

QFont FontOf(const platform::EditorFontSetting& f)
{
    QFont font(FromNative(f.name));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(f.size > 0 ? int(f.size) : 9);
    // A family that is not installed ("Courier New" on most Linux desktops)
    // would be matched to whatever the system likes, often a proportional
    // font; the editor gets an installed monospaced one. The setting keeps
    // its name.
    if (!QFontDatabase::hasFamily(font.family()))
        font.setFamily(MonospacedFamily());
    return font;
}

QColor ColourOf(unsigned bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

}  // namespace

TForm1::TForm1(const QStringList& args, QWidget* parent) : QMainWindow(parent)
{
    queue_ = new GuiCallQueue(this, [this](std::vector<OutputLine>& lines) { AppendToPane(lines); });
    boxFunction = [this](const QString& text, const QString& caption, int flags) {
        return ShowMessageBox(boxOwner_ ? boxOwner_ : this, text, caption, flags);
    };
    openFileDialog = [this](const QString& caption, const QString& filter, const QString& proposed) {
        return QFileDialog::getOpenFileName(this, caption, proposed, filter);
    };
    saveFileDialog = [this](const QString& caption, const QString& filter, const QString& proposed) {
        return QFileDialog::getSaveFileName(this, caption, proposed, filter, nullptr, QFileDialog::DontConfirmOverwrite);
    };
    exitFunction = [](int code) {
        std::fflush(nullptr);
        std::_Exit(code);
    };

    CreateComponents();
    run_.tempDir = platform::TempDir();
    std::srand(unsigned(std::time(nullptr)));
    registry = std::make_unique<platform::TRegistry>(platform::KEY_READ | platform::KEY_WRITE);

    Skriptspeichern1->setEnabled(false);
    Ausfhren1->setEnabled(false);
    Anhalten1->setEnabled(false);
    history = std::make_unique<History>(platform::kHistoryEntries, Datei1);
    history->OnRecentScriptClick = [this](const std::string& path) { OpenScript(&path); };

    run_.vsPrintf = platform::LoadPrintLibrary(platform::ProgramDir());
    ReadSettings();
    autoRun = false;
    ApplyCommandLine(args);

    SetProgramFolders(run_);
    if (i3Text.empty())
        i3Text.assign(1, '1');
    registry->CloseKey();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect s = screen->geometry();
        move(s.left() + (s.width() - width()) / 2, s.top() + (s.height() - height()) / 2);
    }

    for (const auto& w : BuiltinWords())
        functionNames.insert(w);
    for (const auto& w : KeywordWords())
        keywords.insert(w);
    run_.functionNames = &functionNames;
    run_.keywords = &keywords;

    statusTimer_.setInterval(50);
    connect(&statusTimer_, &QTimer::timeout, this, [this] {
        FlushStatus();
        if (!skript || skript->Finished())
            statusTimer_.stop();
    });

    ConnectDialogs();
    CompilePatterns();
    colouring = std::make_unique<SyntaxColouring>(*this);
    behaviour = std::make_unique<EditorBehaviour>(*this);

    // FormCreate
    if (startHidden)
        setWindowState(windowState() | Qt::WindowMinimized);
}

TForm1::~TForm1()
{
    StopRunForTeardown();
    // The browser window goes while this window is still whole: it reads it.
    delete browser;
    browser = nullptr;
    if (wordPattern)
        pcre_free(wordPattern);
    if (stringPattern)
        pcre_free(stringPattern);
}

// A window torn down under a running script (not the program's own close,
// which ends the process): the run is stopped and every request it makes of
// the window from now on is answered without one.
void TForm1::StopRunForTeardown()
{
    closing_ = true;
    queue_->ShutDown();
    if (!skript)
        return;
    while (!skript->Finished() && skript->Started()) {
        skript->stop = true;
        skript->wake();
        usleep(1000);
    }
    skript.reset();
}

void TForm1::CompilePatterns()
{
    const char* error = nullptr;
    int offset = 0;
    wordPattern = pcre_compile("\\w+", 0, &error, &offset, nullptr);
    if (!wordPattern) {
        ShowNote(*this, "PCRE1 compilation failed at offset %d: %s", offset, error ? error : "");
        return;
    }
    stringPattern = pcre_compile("\"[^\"]*\"", 0, &error, &offset, nullptr);
    if (!stringPattern)
        ShowNote(*this, "PCRE2 compilation failed at offset %d: %s", offset, error ? error : "");
}

// --- components ---------------------------------------------------------------------

void TForm1::CreateComponents()
{
    setWindowTitle(QStringLiteral("Skimlark"));
    setWindowIcon(ProgramIcon());
    resize(806, 560);

    CreateMenus();
    CreateToolBar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Bevel1 = new QFrame(central);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setFixedHeight(2);
    layout->addWidget(Bevel1);

    ZvSplitter1 = new ZvSplitter(Qt::Vertical, central);
    ZvSplitter1->setChildrenCollapsible(false);
    RichEdit1 = new TZpRichEdit(ZvSplitter1);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setFont(FontOf(editorFont));
    RichEdit1->setTabChangesFocus(false);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->SetGutterSize(35);
    RichEdit1->SetGutterColor(palette().color(QPalette::HighlightedText));
    RichEdit1->SetGutterTextColor(palette().color(QPalette::Disabled, QPalette::Text));
    RichEdit1->SetGutterBorderColor(QColor(128, 128, 128));
    RichEdit1->SetTopOffset(2);

    RichEdit2 = new PlainTextPane(ZvSplitter1);
    RichEdit2->setObjectName(QStringLiteral("RichEdit2"));
    QFont outFont(QStringLiteral("Courier New"));
    outFont.setStyleHint(QFont::TypeWriter);
    outFont.setPixelSize(11);
    RichEdit2->setFont(outFont);
    RichEdit2->setReadOnly(true);
    RichEdit2->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit2->setUndoRedoEnabled(false);

    ZvSplitter1->addWidget(RichEdit1);
    ZvSplitter1->addWidget(RichEdit2);
    ZvSplitter1->SetPicture(GripPicture());
    ZvSplitter1->setStretchFactor(0, 1);
    ZvSplitter1->setStretchFactor(1, 0);
    ZvSplitter1->setSizes({560 - 25 - 2 - 6 - 151 - 17, 151});
    layout->addWidget(ZvSplitter1, 1);
    setCentralWidget(central);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 5; ++i) {
        panels[i] = new QLabel(StatusBar1);
        panels[i]->setTextFormat(Qt::PlainText);
        panels[i]->setFrameShape(QFrame::Panel);
        panels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(panels[i], i == 0 ? 1 : 0);
    }
    // Panel 0 takes what the bar leaves; a long text is cut off there
    // instead of widening the window.
    panels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setStatusBar(StatusBar1);
    StatusBar1Resize();

    connect(RichEdit1->document(), &QTextDocument::contentsChanged, this, &TForm1::OnEditorChanged);
}

void TForm1::CreateMenus()
{
    auto item = [this](QMenu* menu, const char* name, const char* text, QKeySequence key) {
        auto* a = menu->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    QMenuBar* bar = menuBar();
    Datei1 = bar->addMenu(QStringLiteral("&Datei"));
    NeuesSkript1 = item(Datei1, "NeuesSkript1", "&Neues Skript", QKeySequence(Qt::CTRL | Qt::Key_N));
    Skriptffnen1 = item(Datei1, "Skriptffnen1", "Skript &öffnen", QKeySequence(Qt::CTRL | Qt::Key_O));
    Skriptspeichern1 = item(Datei1, "Skriptspeichern1", "Skript s&peichern", QKeySequence(Qt::CTRL | Qt::Key_S));
    Speichernunter1 = item(Datei1, "Speichernunter1", "Speichern &unter", {});
    Beenden1 = item(Datei1, "Beenden1", "B&eenden", QKeySequence(Qt::CTRL | Qt::Key_Q));
    Datei1->addSeparator();

    Suchen1 = bar->addMenu(QStringLiteral("S&uchen"));
    Finden1 = item(Suchen1, "Finden1", "Finden", QKeySequence(Qt::CTRL | Qt::Key_F));
    FindenWiederholen1 = item(Suchen1, "FindenWiederholen1", "Finden Wiederholen", QKeySequence(Qt::Key_F3));

    Skript1 = bar->addMenu(QStringLiteral("&Skript"));
    Ausfhren1 = item(Skript1, "Ausfhren1", "A&usführen ", QKeySequence(Qt::Key_F9));
    // Esc reaches the stop command whether the item is enabled or not (the
    // window's own key handling below), so the item only shows the key.
    Anhalten1 = item(Skript1, "Anhalten1", "A&nhalten\tEsc", {});
    Unterbrechen1 = item(Skript1, "Unterbrechen1", "Unterbrechen/Fortsetzen", QKeySequence(Qt::Key_F8));
    Einzelschritt1 = item(Skript1, "Einzelschritt1", "Einzelschritt", QKeySequence(Qt::Key_F7));

    Einstellungen1 = bar->addMenu(QStringLiteral("&Einstellungen"));
    Programmparameter1 = item(Einstellungen1, "Programmparameter1", "Programmparameter", {});

    Hilfe2 = bar->addMenu(QStringLiteral("&?"));
    Hilfe1 = item(Hilfe2, "Hilfe1", "&Hilfe", QKeySequence(Qt::Key_F1));
    NachUpdatesuchen1 = item(Hilfe2, "NachUpdatesuchen1", "Nach &Update suchen", {});
    InternetForum1 = item(Hilfe2, "InternetForum1", "Internet-Forum", QKeySequence(Qt::Key_F5));
    Info1 = item(Hilfe2, "Info1", "&Info", {});

    Unterbrechen1->setEnabled(false);

    connect(NeuesSkript1, &QAction::triggered, this, &TForm1::NeuesSkript1Click);
    connect(Skriptffnen1, &QAction::triggered, this, &TForm1::Skriptffnen1Click);
    connect(Skriptspeichern1, &QAction::triggered, this, [this] { Skriptspeichern1Click(); });
    connect(Speichernunter1, &QAction::triggered, this, [this] { Speichernunter1Click(); });
    connect(Beenden1, &QAction::triggered, this, &TForm1::Beenden1Click);
    connect(Ausfhren1, &QAction::triggered, this, &TForm1::Ausfhren1Click);
    connect(Anhalten1, &QAction::triggered, this, &TForm1::Anhalten1Click);
    connect(Unterbrechen1, &QAction::triggered, this, &TForm1::Unterbrechen1Click);
    connect(Einzelschritt1, &QAction::triggered, this, &TForm1::Einzelschritt1Click);

    // FormKeyPress: Esc stops the run from anywhere in the window.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &TForm1::Anhalten1Click);
}

void TForm1::CreateToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(25);
    auto button = [this](const char* name, const char* hint, ToolIcon icon) {
        auto* a = ToolBar1->addAction(ToolIconImage(icon), QString::fromUtf8(hint));
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(QString::fromUtf8(hint));
        return a;
    };
    ToolButton7 = button("ToolButton7", "Neues Skript", ToolIcon::New);
    ToolButton8 = button("ToolButton8", "Skript öffnen", ToolIcon::Open);
    ToolButton9 = button("ToolButton9", "Skript speichern", ToolIcon::Save);
    ToolBar1->addSeparator();
    ToolButton3 = button("ToolButton3", "Skript ausführen", ToolIcon::Run);
    ToolButton4 = button("ToolButton4", "Skript unterbrechen", ToolIcon::Stop);
    ToolBar1->addSeparator();
    ToolButton10 = button("ToolButton10", "Hilfe", ToolIcon::Help);

    connect(ToolButton7, &QAction::triggered, this, &TForm1::NeuesSkript1Click);
    connect(ToolButton8, &QAction::triggered, this, &TForm1::Skriptffnen1Click);
    connect(ToolButton9, &QAction::triggered, this, [this] { Skriptspeichern1Click(); });
    connect(ToolButton3, &QAction::triggered, this, &TForm1::Ausfhren1Click);
    connect(ToolButton4, &QAction::triggered, this, &TForm1::ToolButton4Click);
}

void TForm1::StatusBar1Resize()
{
    for (int i = 1; i <= 3; ++i)
        panels[i]->setFixedWidth(130);
    panels[4]->setFixedWidth(15);
    // Panel 0 takes the rest through its stretch.
}

// --- settings and command line --------------------------------------------------

void TForm1::ReadSettings()
{
    platform::AppSettings s;
    if (registry->OpenKey(platform::kSettingsKey, true) || registry->OpenKeyReadOnly(platform::kSettingsKey))
        platform::ReadAppSettings(*registry, s);
    else
        s = platform::LoadAppSettingsReadOnly();  // no key and none can be made: an empty one
    settingsAtStart_ = s;
    autoUpdate = s.autoUpdate;
    scriptPath = s.scriptPath;
    i3Text = s.i3Text;
    run_.maxOutputLines = s.maxOutputLines;
    run_.debugLevel = s.debugLevel;
    editorFont = s.font;
    RichEdit1->setFont(FontOf(editorFont));
    QPalette pal = RichEdit1->palette();
    pal.setColor(QPalette::Text, ColourOf(editorFont.color));
    RichEdit1->setPalette(pal);
    // Oldest first, so that the newest ends up in front.
    for (auto it = s.history.rbegin(); it != s.history.rend(); ++it)
        history->Add(*it);
    autoSave = s.autoSave;
    run_.userAgent = platform::Utf8ToCp1252(s.userAgent);
    syntaxColouring = s.syntaxColouring;
    run_.httpTimeout = s.httpTimeout;
    if (s.windowHeight)
        resize(width(), *s.windowHeight);
    if (s.windowWidth)
        resize(*s.windowWidth, height());
    run_.maxRedirects = s.maxRedirects;
}

void TForm1::ApplyCommandLine(const QStringList& args)
{
    std::vector<std::string> list;
    for (const auto& a : args)
        list.push_back(ToNative(a));
    CommandLine cl = ParseCommandLine(list);
    run_.exitAfterRun = cl.exitAfterRun;
    startHidden = cl.startHidden;
    autoRun = cl.autoRun;
    if (cl.autoRun)
        scriptPath = cl.scriptPath;
    run_.initVars = cl.initVars;
}

platform::AppSettings TForm1::CurrentSettings() const
{
    platform::AppSettings s;
    s.autoUpdate = autoUpdate;
    s.scriptPath = scriptPath;
    s.i3Text = i3Text;
    s.maxOutputLines = run_.maxOutputLines;
    s.debugLevel = run_.debugLevel;
    s.font = editorFont;
    for (unsigned i = 0; i < unsigned(platform::kHistoryEntries); ++i)
        if (std::string p = history->Get(i); !p.empty())
            s.history.push_back(p);
    s.autoSave = autoSave;
    s.userAgent = platform::Cp1252ToUtf8(run_.userAgent);
    s.syntaxColouring = syntaxColouring;
    s.httpTimeout = run_.httpTimeout;
    s.windowHeight = height();
    s.windowWidth = width();
    s.maxRedirects = run_.maxRedirects;
    return s;
}

void TForm1::WriteSettings()
{
    if (!registry)
        return;
    try {
        // The key was created at start; should it have gone meanwhile it is
        // created again rather than the settings lost.
        if (!registry->OpenKey(platform::kSettingsKey, false) && !registry->OpenKey(platform::kSettingsKey, true))
            throw platform::RegistryError(registry->LastError().empty() ? "Der Schlüssel kann nicht geöffnet werden"
                                                                        : registry->LastError());
        // Only what this window changed: another window may have written
        // its own changes since this one started.
        platform::WriteAppSettings(*registry, CurrentSettings(), &settingsAtStart_);
    } catch (const std::exception& e) {
        ShowNote(*this, "Fehler beim Schreiben der Programmeinstellungen: %s", W(e.what()).c_str());
    }
    if (std::string note = registry->TakeNote(); !note.empty())
        ShowNote(*this, "%s", W(note).c_str());
}

// --- show and close -------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TForm1::FormShow()
{
    RichEdit1->setFont(FontOf(editorFont));
    RichEdit1->moveCursor(QTextCursor::Start);
    RichEdit2->setFont(FontOf(editorFont));
    LoadInitialScript();
    if (autoRun)
        RunScript(false);
    behaviour->FormShow();
    trackSelection = true;
    StatusBar1Resize();
    // Only after the command line's run has started: that run, which ends
    // the program, is stopped with Esc or the menu, not the tool button.
    ToolButton4->setEnabled(false);
    if (!autoRun)
        updatePending = true;
}

void TForm1::closeEvent(QCloseEvent* e)
{
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

void TForm1::FormClose()
{
    WriteSettings();
    registry.reset();
    ExitProgram();
}

void TForm1::Beenden1Click()
{
    closeSaveFailed_ = false;
    close();
    // Ending anyway would lose the text the user wanted saved.
    if (closeSaveFailed_)
        return;
    ExitProgram();
}

void TForm1::ExitProgram()
{
    // A running script is neither stopped nor awaited.
    exitFunction(0);
}

// --- views ----------------------------------------------------------------------------------

std::vector<std::string> TForm1::EditorLines() const
{
    std::vector<std::string> lines;
    const QTextDocument* doc = RichEdit1->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        lines.push_back(ToCp1252(b.text()));
    // An empty last line is only where the caret goes after a line end.
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

std::string TForm1::EditorText() const
{
    // From the blocks, not toPlainText(), which turns every no-break space
    // into a blank: the file holds the bytes that a run of the editor gets.
    std::u16string text;
    const QTextDocument* doc = RichEdit1->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin())
            text += u"\r\n";
        const QString line = b.text();
        text.append(reinterpret_cast<const char16_t*>(line.utf16()), size_t(line.size()));
    }
    return platform::Utf16ToScript(text, scriptEncoding);
}

void TForm1::SetEditorText(const std::string& cp1252)
{
    SetEditorUnicode(FromCp1252(cp1252));
}

bool TForm1::SetEditorFileText(const std::string& bytes)
{
    platform::ScriptEncoding encoding = platform::DetectScriptEncoding(bytes);
    if (encoding == platform::ScriptEncoding::Utf16)
        return false;
    scriptEncoding = encoding;
    std::u16string text = platform::ScriptToUtf16(bytes, encoding);
    SetEditorUnicode(QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size())));
    return true;
}

void TForm1::SetEditorUnicode(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    RichEdit1->setPlainText(text);
}

QString TForm1::StatusText(int panel) const
{
    return panels[panel]->text();
}

void TForm1::SetStatusText(int panel, const QString& text)
{
    if (panel == 0) {
        // A queued line status is older than this text.
        FlushStatus();
        std::lock_guard<std::mutex> lock(status_.m);
        status_.dirty = false;
    }
    panels[panel]->setText(text);
}

void TForm1::SetSaveControls(bool enabled)
{
    Skriptspeichern1->setEnabled(enabled);
    ToolButton9->setEnabled(enabled);
}

void TForm1::OnEditorChanged()
{
    // A script half loaded is no script to run; its load hands it over.
    if (!loadingScript_)
        SyncRunLines();
    if (!trackChanges)
        return;
    modified = true;
    SetSaveControls(true);
}

int TForm1::Box(const QString& text, const QString& caption, int flags)
{
    return boxFunction(text, caption, flags);
}
