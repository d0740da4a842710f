#include "editor/syntax_colouring.h"

#include <QColor>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "editor/main_window.h"
#include "editor/qt_text.h"
#include "editor/zp_rich_edit.h"

namespace {

const QColor kGrey(0x80, 0x80, 0x80);
const QColor kRed(0xFF, 0, 0);
const QColor kBlue(0, 0, 0xFF);
const QColor kBlack(0, 0, 0);

// Restores a flag of the window when the colouring is done.
class FlagOff {
public:
    explicit FlagOff(bool& flag) : flag_(flag), saved_(flag) { flag_ = false; }
    ~FlagOff() { flag_ = saved_; }
    FlagOff(const FlagOff&) = delete;
    FlagOff& operator=(const FlagOff&) = delete;

private:
    bool& flag_;
    bool saved_;
};

}  // namespace

FormatEdit::FormatEdit(QTextDocument* doc) : doc_(doc), cursor_(doc)
{
    if (doc_->isUndoRedoEnabled() && doc_->availableUndoSteps() == 0 && doc_->availableRedoSteps() == 0) {
        // Nothing to lose: a freshly loaded script must not undo to black.
        undoOff_ = true;
        doc_->setUndoRedoEnabled(false);
        cursor_.beginEditBlock();
    } else {
        cursor_.joinPreviousEditBlock();
    }
}

FormatEdit::~FormatEdit()
{
    cursor_.endEditBlock();
    if (undoOff_)
        doc_->setUndoRedoEnabled(true);
}

std::string ColourLineText(const QString& line, int limit)
{
    int n = int(line.size());
    if (limit >= 0)
        n = std::min(n, limit);
    std::string out(size_t(n), '?');
    for (int i = 0; i < n; ++i) {
        char16_t u = line[i].unicode();
        if (u < 0x80 || (u >= 0xA0 && u < 0x100))
            out[size_t(i)] = char(u);
        else if (std::string b = ToCp1252(QString(line[i])); b.size() == 1)
            out[size_t(i)] = b[0];
    }
    return out;
}

SyntaxColouring::SyntaxColouring(TForm1& form) : form_(form) {}

bool SyntaxColouring::IsWordChar(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 128)
        return std::isalnum(u) != 0;
    switch (u) {
    case 196: case 214: case 220: case 223: case 228: case 246: case 252:
        return true;
    default:
        return false;
    }
}

bool SyntaxColouring::IsOutsideString(const std::string& lineText, int first, int after) const
{
    const std::string line = lineText.substr(0, kLineCopy);
    int quotes = 0, lastQuote = 0;
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '"') {
            ++quotes;
            lastQuote = int(i) + 1;
        }
    if (quotes % 2 == 1 && first > lastQuote)
        return false;
    if (!form_.stringPattern)
        return true;
    int ov[3];
    int start = 0;
    const int len = int(line.size());
    while (start <= len &&
           pcre_exec(form_.stringPattern, nullptr, line.data(), len, start, 0, ov, 3) >= 0) {
        // ov[0] is the opening quote (1-based ov[0] + 1), ov[1] - 1 the closing one.
        if (ov[0] + 1 < first && ov[1] >= after)
            return false;
        start = ov[1];
    }
    return true;
}

void SyntaxColouring::SetColour(int position, int length, const QColor& colour)
{
    QTextDocument* doc = form_.RichEdit1->document();
    const int end = doc->characterCount() - 1;
    position = std::clamp(position, 0, end);
    const int to = std::clamp(position + length, position, end);
    if (to == position)
        return;
    QTextCursor c(doc);
    c.setPosition(position);
    c.setPosition(to, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setForeground(colour);
    c.mergeCharFormat(f);
}

void SyntaxColouring::ColourWord(const std::string& text, int position, int length, bool outside,
                                 bool keepTypingColour)
{
    if (!form_.syntaxColouring)
        return;
    // The colour goes onto the text through a cursor of its own, so the
    // user's selection and focus stay where they are. A colour is no edit.
    FlagOff selection(form_.trackSelection);
    FlagOff changes(form_.trackChanges);
    const QColor* colour = nullptr;
    if (!text.empty() && text[0] == '#')
        colour = &kGrey;
    else if (outside && form_.keywords.count(text))
        colour = &kRed;
    else if (outside && form_.functionNames.count(text))
        colour = &kBlue;
    else if (outside)
        colour = &kBlack;
    if (colour) {
        FormatEdit edit(form_.RichEdit1->document());
        SetColour(position, length, *colour);
    }
    // With an empty selection this is the colour typed next; a selection
    // keeps its colours.
    if (!keepTypingColour && !form_.RichEdit1->textCursor().hasSelection()) {
        QTextCharFormat f;
        f.setForeground(kBlack);
        form_.RichEdit1->mergeCurrentCharFormat(f);
    }
}

void SyntaxColouring::RecolourLines()
{
    if (!form_.syntaxColouring)
        return;
    // The flag is put back as it was, not simply switched on: a recolouring
    // in the middle of a script load must not make the load an edit.
    FlagOff changes(form_.trackChanges);
    FlagOff selection(form_.trackSelection);
    QTextDocument* doc = form_.RichEdit1->document();
    {
        FormatEdit edit(doc);
        int ov[3];
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            const QString full = b.text();
            const std::string line = ColourLineText(full, kLineCopy);
            const int offset = b.position();
            std::string copy = line;
            // Only the first '#' counts: inside a string it ends the search.
            if (size_t hash = copy.find('#'); hash != std::string::npos) {
                int p = int(hash) + 1;
                if (IsOutsideString(line, p, p + 1)) {
                    SetColour(offset + int(hash), int(std::min<qsizetype>(full.size(), kLineCopy)) - int(hash),
                              kGrey);
                    copy.resize(hash);
                }
            }
            const int len = int(copy.size());
            int s = 0;
            for (;;) {
                int limit = len, stringEnd = -1;
                if (form_.stringPattern && pcre_exec(form_.stringPattern, nullptr, copy.data(), len, s, 0, ov, 3) >= 0) {
                    limit = ov[0];
                    stringEnd = ov[1];
                }
                int rc = pcre_exec(form_.wordPattern, nullptr, copy.data(), limit, s, 0, ov, 3);
                if (rc < -1) {
                    char msg[64];
                    std::snprintf(msg, sizeof msg, "RegMatch Fehler %d.", rc);
                    form_.boxFunction(QString::fromLatin1(msg), QStringLiteral("Notiz"), MB_OK);
                    return;
                }
                if (rc >= 0) {
                    const int ws = ov[0], we = ov[1];
                    const std::string word = copy.substr(size_t(ws), size_t(we - ws));
                    if (IsOutsideString(line, ws + 1, we + 1)) {
                        const QColor& c = form_.keywords.count(word)        ? kRed
                                          : form_.functionNames.count(word) ? kBlue
                                                                            : kBlack;
                        SetColour(offset + ws, we - ws, c);
                    }
                    s = we;
                } else if (stringEnd >= 0) {
                    s = stringEnd;
                } else {
                    break;
                }
            }
        }
    }
    if (!form_.RichEdit1->textCursor().hasSelection()) {
        QTextCharFormat f;
        f.setForeground(kBlack);
        form_.RichEdit1->mergeCurrentCharFormat(f);
    }
}

void SyntaxColouring::TokeniseLine(const std::string& line, int lineStart, int hint, bool lineChanged)
{
    if (lineChanged)
        lineTokens.clear();
    int index = 0, state = 0, previous = 0, column = 1;
    bool escape = false;
    std::string text;
    for (size_t k = 0; k < line.size(); ++k) {
        const char c = line[k];
        const int i = int(k) + 1;
        bool dropped = false;
        if (state != 4) {
            if (escape)
                escape = false;
            else if (c == '#' && state != 2)
                state = 4;
            else if (c == '"' && state != 2) {
                state = 2;
                dropped = true;
            } else if (c == '"' && state == 2)
                state = 1;  // the closing quote opens the following token
            else if (c == '\\' && state == 2)
                escape = true;
            else if (IsWordChar(c) && state != 2)
                state = 3;
            else if (state != 2)
                state = 1;
        }
        if (state != previous) {
            if (previous != 0 && !text.empty()) {
                UpdateToken(text, index, previous, state, column, lineStart, hint, lineChanged);
                ++index;
            }
            column = state == 2 ? i + 1 : i;
            text.clear();
            previous = state;
        }
        if (!dropped)
            text += c;
    }
    if (state != 0 && !text.empty()) {
        UpdateToken(text, index, state, state, column, lineStart, hint, lineChanged);
        ++index;
    }
    // Stale entries must differ from any token that comes to their place.
    for (size_t k = size_t(index); k < lineTokens.size(); ++k) {
        lineTokens[k].text.assign(1, ' ');
        lineTokens[k].isFunction = false;
        lineTokens[k].isKeyword = false;
    }
}

void SyntaxColouring::UpdateToken(const std::string& text, int index, int tokenClass, int nextClass, int column,
                                  int lineStart, int hint, bool lineChanged)
{
    _token t;
    t.text = text;
    t.state = tokenClass;
    t.isFunction = form_.functionNames.count(text) > 0;
    t.isKeyword = form_.keywords.count(text) > 0;
    t.lineStart = lineStart;
    t.column = column;
    const int position = lineStart + column - 1;
    const int length = int(text.size());
    if (lineChanged) {
        lineTokens.push_back(t);
        if (hint != 0)
            ColourWord(text, position, length, true, false);
        return;
    }
    if (size_t(index) >= lineTokens.size()) {
        lineTokens.push_back(t);
        ColourWord(text, position, length, true, nextClass == 4);
        return;
    }
    // Every token whose text changed is coloured whole: what was typed since
    // the last refresh may have come in another colour (typed behind a
    // colour change, or taken for a paste and given the editor font).
    _token& old = lineTokens[size_t(index)];
    if (old.text != text)
        ColourWord(text, position, length, true, nextClass == 4);
    old = t;
}

void SyntaxColouring::ColourCaretLine(int caretLine, const std::string& caretLineText, int caretLineStart,
                                      int caretColumn, int prevLineStart, int lastKey,
                                      const std::string& previousText, bool typed)
{
    if (caretLine == lastCaretLine) {
        TokeniseLine(caretLineText, caretLineStart, 0, false);
        return;
    }
    int hint = 0;
    if (lastKey == 13) {
        // The line just split: its first part, up to the new line break.
        const int keep = caretLineStart - prevLineStart - 1;
        if (keep >= 0)
            TokeniseLine(previousText.substr(0, size_t(keep)), prevLineStart, 0, false);
        hint = 1;
    }
    if (lastKey == 8)
        hint = caretColumn;
    // What was typed on the new line before this refresh is coloured as
    // after an Enter; only a caret moved without typing leaves it alone.
    if (hint == 0 && typed)
        hint = 1;
    lastCaretLine = caretLine;
    TokeniseLine(caretLineText, caretLineStart, hint, true);
}

void TForm1::RecolourLines()
{
    if (colouring)
        colouring->RecolourLines();
}
