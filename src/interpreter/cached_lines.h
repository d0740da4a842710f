// Expressions of cached lines read straight from their tokens: the reads
// the grammar in expressions.cpp makes, in the same order and with the same
// values, without the scanner's copy of every token.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "interpreter/skript.h"

class CachedLineRun {
public:
    // The line's shape when its expressions can be read from its tokens
    // (tokens before end); kShapeOther else.
    static LineShape ShapeOf(const std::vector<CachedToken>& tk, size_t end);

    // Reads the current cached line from token k on.
    CachedLineRun(Skript& run, size_t k);

    // expr, exprAssign: the expression from the current token on.
    bool expression(ExprValue& out, Variable* target);
    // The built-in call at the current token.
    std::optional<std::string> call();
    // lexpr: a comparison of two expressions, then then, do or the end.
    int condition();

    // An error cut an argument list short: the rest of the line was read
    // through the scanner, as the grammar reads it.
    bool handedOver() const { return handedOver_; }

private:
    bool inner(ExprValue& first, Variable* target);
    std::optional<std::string> parenthesised();
    int arguments(funcContext& args);
    // From here on the scanner reads on where these reads stand.
    void handOver();
    const std::string& identText() const;

    Skript& run_;
    const std::vector<CachedToken>& tk_;
    const int line_;
    size_t k_;  // the next token to read
    // The token at k_ was read once and pushed back, as the grammar does
    // after a name or at the end of an expression.
    bool pushedBack_ = false;
    size_t ident_;  // the token lastIdent would name; npos: ""
    bool handedOver_ = false;
};
