// The scanner: cuts the line being run into tokens, one per request. A
// string literal still open at the end of a line continues on the next one.
#include <cctype>

#include "interpreter/dispatcher.h"
#include "interpreter/skript.h"

namespace {

bool IsWordChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// Reads up to two characters as scanf's "%o" or "%x" would: blanks, sign,
// leading digits of the base (a "0x" prefix for hex); no digits give 0.
int EscapeValue(const std::string& two, int base)
{
    size_t i = 0;
    while (i < two.size() && std::isspace((unsigned char)two[i]))
        ++i;
    bool neg = false;
    if (i < two.size() && (two[i] == '+' || two[i] == '-'))
        neg = two[i++] == '-';
    if (base == 16 && i + 1 < two.size() && two[i] == '0' && (two[i + 1] == 'x' || two[i + 1] == 'X'))
        i += 2;
    int v = 0;
    for (; i < two.size(); ++i) {
        int d;
        unsigned char c = two[i];
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        if (d >= base)
            break;
        v = v * base + d;
    }
    return neg ? -v : v;
}

}  // namespace

void Skript::buildWordTypes()
{
    wordTypes.clear();
    const StringMap* names = settings().functionNames;
    const StringMap* keys = settings().keywords;
    if (names) {
        for (const auto& w : *names)
            wordTypes[w] = TOK_BUILTIN;
    } else {
        for (const auto& w : BuiltinWords())
            wordTypes[w] = TOK_BUILTIN;
    }
    if (keys) {
        for (const auto& w : *keys)
            wordTypes[w] = TOK_KEYWORD;
    } else {
        for (const auto& w : KeywordWords())
            wordTypes[w] = TOK_KEYWORD;
    }
}

void Skript::setLine(const std::string& text)
{
    lineText = text;
    linePos = 1;
}

// Reads a string literal after its opening quote into text; false when the
// script ended before the closing quote.
bool Skript::scanString(int line, std::string& text)
{
    for (;;) {
        size_t i = linePos - 1;  // 0-based
        const size_t n = lineText.size();
        while (i < n) {
            char c = lineText[i];
            if (c == '"') {
                linePos = i + 2;
                return true;
            }
            if (c != '\\') {
                // Copy a run of plain characters at once.
                size_t j = i;
                while (j < n && lineText[j] != '"' && lineText[j] != '\\')
                    ++j;
                text.append(lineText, i, j - i);
                i = j;
                continue;
            }
            // The backslash is removed; the character after it is read.
            if (i + 1 >= n) {
                i = n;  // a backslash at the very end of a line counts as removed
                break;
            }
            char e = lineText[i + 1];
            switch (e) {
            case 'n': text += '\n'; i += 2; break;
            case 'r': text += '\r'; i += 2; break;
            case 't': text += '\t'; i += 2; break;
            case '0':
            case 'x':
            case 'X': {
                std::string two = lineText.substr(i + 2, 2);
                text += char(EscapeValue(two, e == '0' ? 8 : 16) & 0xFF);
                i += 2 + two.size();
                break;
            }
            default: text += e; i += 2; break;
            }
        }
        // The line ended inside the literal: it continues on the next line.
        text += "\r\n";
        if (curLine + 1 < int(lines->size())) {
            curLine = curLine + 1;
            setLine((*lines)[curLine]);
            continue;
        }
        linePos = n + 1;
        errLine = line;
        errMsg = "Nicht abgeschlossene Zeichenkette";
        return false;
    }
}

// Reads the next token; "" is the end of the line (atEnd tells it from an
// empty literal). Sets tokenType, lastToken and lastIdent.
std::string Skript::nextToken(int line)
{
    if (!tokenStack.empty()) {
        token t = std::move(tokenStack.back());
        tokenStack.pop_back();
        tokenType = t.type;
        atEnd = t.end;
        if (!t.text.empty()) {
            if (t.type == TOK_IDENT)
                lastIdent = t.text;
            lastToken = t.text;
        }
        return t.text;
    }

    const size_t n = lineText.size();
    size_t i = linePos - 1;
    while (i < n && (lineText[i] == ' ' || lineText[i] == '\t'))
        ++i;
    if (i >= n) {
        linePos = n + 1;
        atEnd = true;
        return std::string();
    }
    atEnd = false;
    unsigned char c = lineText[i];
    std::string text;
    if (c == '"') {
        linePos = i + 2;
        tokenType = scanString(line, text) ? TOK_LITERAL : TOK_ERROR;
    } else if (IsWordChar(c)) {
        bool number = IsDigit(c);
        size_t j = i;
        while (j < n && (IsWordChar(lineText[j]) || (number && lineText[j] == '.')))
            ++j;
        text.assign(lineText, i, j - i);
        linePos = j + 1;
        if (number) {
            tokenType = TOK_LITERAL;
        } else {
            tokenType = TOK_IDENT;
            lastIdent = text;
            auto it = wordTypes.find(text);
            if (it != wordTypes.end())
                tokenType = it->second;
        }
    } else if (c == '#') {
        linePos = n + 1;
        tokenType = TOK_COMMENT;
        atEnd = true;
        return std::string();
    } else {
        text.assign(1, char(c));
        linePos = i + 2;
        tokenType = TOK_CHAR;
    }
    if (!text.empty())
        lastToken = text;
    return text;
}
