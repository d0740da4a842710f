// Colouring of the script editor: comments grey, statement keywords red,
// built-in names blue. The full recolouring walks every line with the two
// compiled patterns; the incremental one tokenises the caret line and
// recolours only the tokens that changed.
//
// Offsets here are positions in the editor's document (a line break is
// one character); the colours are set as character formats of the text.
#pragma once

#include <QTextCursor>
#include <string>
#include <vector>

class QColor;
class QTextDocument;
class TForm1;

struct _token {
    std::string text;  // for a string: its content without the opening quote
    int state = 0;     // 1 other characters, 2 string content, 3 word, 4 comment
    bool isFunction = false;
    bool isKeyword = false;
    int lineStart = 0;  // position of the token's line
    int column = 0;     // 1-based position of its first character in the line
};
using TokenVector = std::vector<_token>;

// Format changes that must not become undo steps of their own: joined to
// the user's last edit, or kept out of the history when it is empty.
class FormatEdit {
public:
    explicit FormatEdit(QTextDocument* doc);
    ~FormatEdit();
    FormatEdit(const FormatEdit&) = delete;
    FormatEdit& operator=(const FormatEdit&) = delete;

private:
    QTextDocument* doc_;
    QTextCursor cursor_;
    bool undoOff_ = false;
};

// A line as the colouring sees it: one byte per character of the editor,
// Windows-1252 where the character has one, '?' otherwise, so positions
// stay those of the editor. limit < 0 takes the whole line.
std::string ColourLineText(const QString& line, int limit = -1);

class SyntaxColouring {
public:
    explicit SyntaxColouring(TForm1& form);

    void RecolourLines();
    // Whether the 1-based positions first .. after-1 lie outside every string.
    bool IsOutsideString(const std::string& line, int first, int after) const;
    void ColourWord(const std::string& text, int position, int length, bool outside, bool keepTypingColour);
    void TokeniseLine(const std::string& line, int lineStart, int hint, bool lineChanged);
    void UpdateToken(const std::string& text, int index, int tokenClass, int nextClass, int column, int lineStart,
                     int hint, bool lineChanged);
    static bool IsWordChar(char c);

    // The caret line's colouring after a status refresh; previousText is
    // the caret line's text as the refresh before this one saw it, typed
    // whether the user typed since then.
    void ColourCaretLine(int caretLine, const std::string& caretLineText, int caretLineStart, int caretColumn,
                         int prevLineStart, int lastKey, const std::string& previousText, bool edited);

    TokenVector lineTokens;
    int lastCaretLine = -1;

    // Longest prefix of a line that the full recolouring looks at.
    static constexpr int kLineCopy = 1023;

private:
    void SetColour(int position, int length, const QColor& colour);

    TForm1& form_;
};
