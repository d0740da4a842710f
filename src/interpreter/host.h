// The run's host: everything a run needs of the main window. The desktop
// window, the console runner and the tests each provide one.
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "web/page_run.h"

class Skript;

// The "-v" presets of the command line, in key order.
using InitVars = std::map<std::string, std::string>;
// The word sets of the scanner and the editor: exact, case-sensitive.
using StringMap = std::set<std::string>;

// Entry "MyVSPrintf" of the optional print library: formats with the texts of
// argv (argc of them) into out (outSize bytes, zero-terminated); returns the
// length written or a negative value on failure.
using VsPrintfFn = int (*)(char* out, size_t outSize, const char* format, int argc, const char* const* argv);

// The settings a run reads, at the moment it needs them; those of the web
// access (debug level, User-Agent, time-out, redirects, data folder, which is
// programDir + "data") come from its part.
struct RunSettings : WebSettings {
    int maxOutputLines = 100;
    bool exitAfterRun = false;
    std::string programDir;  // ends in "/"
    std::string tempDir;     // ends in "/"
    InitVars initVars;
    VsPrintfFn vsPrintf = nullptr;
    const StringMap* functionNames = nullptr;  // null: the built-in defaults
    const StringMap* keywords = nullptr;
    // A text that grows past this size ends the run with an error.
    size_t maxTextSize = size_t(1) << 30;
};

// The controls whose enabled state a run switches.
enum RunControl : unsigned {
    kToolRun = 1u << 0,        // ToolButton3 "Skript ausführen"
    kToolStop = 1u << 1,       // ToolButton4 "Skript unterbrechen"
    kToolNew = 1u << 2,        // ToolButton7 "Neues Skript"
    kToolOpen = 1u << 3,       // ToolButton8 "Skript öffnen"
    kMenuNew = 1u << 4,        // NeuesSkript1
    kMenuOpen = 1u << 5,       // Skriptffnen1
    kMenuSettings = 1u << 6,   // Programmparameter1
    kMenuRun = 1u << 7,        // Ausfhren1
    kMenuStop = 1u << 8,       // Anhalten1
    kMenuPause = 1u << 9,      // Unterbrechen1
    kMenuStep = 1u << 10,      // Einzelschritt1
};

// Window messages to the main window.
enum : unsigned {
    WM_SCRIPT_INPUT = 0x8001,
    WM_CAPTION_REFRESH = 0x8002,
    WM_SCRIPT_BROWSE = 0x8003,
    WM_OPEN_SCRIPT = 0x8004,
    WM_EXIT_AFTER_RUN = 0x8006,
    WM_AUTO_INDENT = 0x8007,
};

// Message-box buttons and answers, as the application's message box has them.
enum : int { MB_OK = 0, MB_OKCANCEL = 1, IDOK = 1, IDCANCEL = 2 };

class RunHost {
public:
    virtual ~RunHost() = default;

    virtual RunSettings& settings() = 0;

    // One line for the output pane; with enforceLimit the oldest lines are
    // dropped first while the pane holds maxOutputLines or more.
    virtual void appendOutput(const std::string& line, bool enforceLimit) = 0;
    // The "Notiz" box: modal, returns when the user closed it.
    virtual void showNote(const std::string& text) = 0;
    // A modal message box; returns IDOK or IDCANCEL.
    virtual int messageBox(const std::string& text, const std::string& caption, int buttons) = 0;

    // Editor: read-only state, selection (a line break counts as two
    // characters), scrolling the caret into view and the focus.
    virtual void setEditorReadOnly(bool readOnly) = 0;
    // With waitVisible the call returns only once the change is shown.
    virtual void selectText(int start, int length, bool waitVisible) = 0;
    virtual void scrollCaretIntoView() = 0;
    virtual void focusEditor() = 0;

    // Status bar panel 0. lineStatus is the text before a line is run and is
    // called once per line: hosts that show nothing keep it cheap.
    virtual void lineStatus(int lineNo, int lineCount, const std::string& lineText) = 0;
    virtual void appendStatus(const std::string& text) = 0;

    // Enables or disables every control in the mask (RunControl bits).
    virtual void enableControls(unsigned mask, bool enabled) = 0;

    // Posts a request to the main window. url is the text of WM_SCRIPT_BROWSE
    // in URL mode, else null.
    virtual void postMessage(unsigned message, Skript* run, const std::string* url) = 0;
};

// "Zeile %d von %d: %s", cut to the 1,024-byte status buffer.
std::string FormatLineStatus(int lineNo, int lineCount, const std::string& lineText);
