// The scanner: cuts the line being run into tokens, one per request. A
// string literal still open at the end of a line continues on the next one.
#include <cctype>

#include "interpreter/dispatcher.h"
#include "platform/numbers.h"
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

WordCode KeywordCode(std::string_view w)
{
    static const struct {
        const char* word;
        WordCode code;
    } kCodes[] = {
        {"if", kWordIf},     {"else", kWordElse}, {"fi", kWordFi},     {"while", kWordWhile}, {"done", kWordDone},
        {"for", kWordFor},   {"next", kWordNext}, {"do", kWordDo},     {"then", kWordThen},   {"to", kWordTo},
        {"in", kWordIn},     {"and", kWordAnd},   {"or", kWordOr},     {"eq", kWordEq},       {"ne", kWordNe},
        {"lt", kWordLt},     {"gt", kWordGt},     {"le", kWordLe},     {"ge", kWordGe},
    };
    for (const auto& c : kCodes)
        if (w == c.word)
            return c.code;
    return kNoWord;
}

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
    tokenStack.clear();
}

void Skript::pushBackLast(const std::string& text)
{
    tokenStack.push_back({tokenType, text, atEnd});
}

namespace {

// Reads a string literal's characters from text[i] (after the opening quote
// or at the start of a continued line) into out. True with i after the
// closing quote; false when the line ended first (i is then text.size()).
bool ScanStringPart(const std::string& text, size_t& i, std::string& out)
{
    const size_t n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '"') {
            ++i;
            return true;
        }
        if (c != '\\') {
            // Copy a run of plain characters at once.
            size_t j = i;
            while (j < n && text[j] != '"' && text[j] != '\\')
                ++j;
            out.append(text, i, j - i);
            i = j;
            continue;
        }
        // The backslash is removed; the character after it is read.
        if (i + 1 >= n) {
            i = n;  // a backslash at the very end of a line counts as removed
            break;
        }
        char e = text[i + 1];
        switch (e) {
        case 'n': out += '\n'; i += 2; break;
        case 'r': out += '\r'; i += 2; break;
        case 't': out += '\t'; i += 2; break;
        case '0':
        case 'x':
        case 'X': {
            std::string two = text.substr(i + 2, 2);
            out += char(EscapeValue(two, e == '0' ? 8 : 16) & 0xFF);
            i += 2 + two.size();
            break;
        }
        default: out += e; i += 2; break;
        }
    }
    return false;
}

}  // namespace

// Reads a string literal after its opening quote into text; false when the
// script ended before the closing quote.
bool Skript::scanString(int line, std::string& text)
{
    for (;;) {
        size_t i = linePos - 1;  // 0-based
        if (ScanStringPart(lineText, i, text)) {
            linePos = i + 1;
            return true;
        }
        // The line ended inside the literal: it continues on the next line.
        text += "\r\n";
        if (curLine + 1 < int(lines->size())) {
            curLine = curLine + 1;
            setLine((*lines)[curLine]);
            continue;
        }
        linePos = lineText.size() + 1;
        errLine = line;
        errMsg = "Nicht abgeschlossene Zeichenkette";
        return false;
    }
}

// Scans one token other than a string literal from text at i (blanks already
// skipped, i within the text): its type and text; i moves past it.
int Skript::scanWord(const std::string& text, size_t& i, std::string& out) const
{
    const size_t n = text.size();
    unsigned char c = text[i];
    if (IsWordChar(c)) {
        bool number = IsDigit(c);
        size_t j = i;
        while (j < n && (IsWordChar(text[j]) || (number && text[j] == '.')))
            ++j;
        out.assign(text, i, j - i);
        i = j;
        if (number)
            return TOK_LITERAL;
        auto it = wordTypes.find(out);
        return it != wordTypes.end() ? it->second : TOK_IDENT;
    }
    if (c == '#') {
        i = n;
        out.clear();
        return TOK_COMMENT;
    }
    out.assign(1, char(c));
    ++i;
    return TOK_CHAR;
}

// Scans a whole line into tokens as nextToken would deliver them; a line on
// which a string literal stays open is marked live and scanned as it runs,
// since the literal goes on with the next line.
void Skript::scanLineTokens(LineTokens& entry) const
{
    entry.tokens.clear();
    entry.live = false;
    const std::string& text = entry.text;
    const size_t n = text.size();
    size_t i = 0;
    for (;;) {
        while (i < n && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        ScannedToken t;
        if (text[i] == '"') {
            ++i;
            if (!ScanStringPart(text, i, t.text)) {
                entry.live = true;
                entry.tokens.clear();
                return;
            }
            t.type = TOK_LITERAL;
        } else {
            t.type = scanWord(text, i, t.text);
        }
        if (t.type == TOK_KEYWORD)
            t.code = KeywordCode(t.text);
        t.endPos = i + 1;
        entry.tokens.push_back(std::move(t));
        if (entry.tokens.back().type == TOK_COMMENT)
            break;
    }
    const auto& tk = entry.tokens;
    entry.end = !tk.empty() && tk.back().type == TOK_COMMENT ? tk.size() - 1 : tk.size();
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
            setLastToken(t.text);
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
    std::string text;
    if (lineText[i] == '"') {
        linePos = i + 2;
        tokenType = scanString(line, text) ? TOK_LITERAL : TOK_ERROR;
    } else {
        tokenType = scanWord(lineText, i, text);
        linePos = i + 1;
        if (tokenType == TOK_COMMENT) {
            atEnd = true;
            return std::string();
        }
        if (tokenType == TOK_IDENT || tokenType == TOK_BUILTIN || tokenType == TOK_KEYWORD)
            lastIdent = text;
    }
    if (!text.empty())
        setLastToken(text);
    return text;
}
