// Lines compiled once into a small tree of operands that runs without reading
// tokens. A line is compiled from its scanned tokens on its first run; what
// it does is what the grammar in expressions.cpp does while every call
// succeeds. When a call fails, or a text passes the limit, the line is read
// again by the grammar with the results of the calls already made, which
// gives exactly the grammar's error texts and the reads that follow.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interpreter/skript.h"

struct BuiltinEntry;
struct CExpr;

// The name an argument began with, as the call sees it (funcContext's
// argTexts): a fixed text, or the name an element was read by.
struct CArgText {
    std::string text;
    int element = -1;  // the element's number in the line, when >= 0
};

struct COperand {
    enum Kind : unsigned char { kLiteral, kVariable, kElement, kCall, kParen };
    Kind kind = kLiteral;
    // A literal's number, read once: its exact integer, or its double.
    bool isInteger = false;
    long long integer = 0;
    double number = 0;
    std::string text;          // a literal's text, a (base) name, a built-in's word
    std::vector<CExpr> parts;  // an element's indexes, a call's arguments, a parenthesis' inside
    std::vector<CArgText> argTexts;  // a call's, one per argument
    const BuiltinEntry* entry = nullptr;
    int element = -1;  // an element's number in the line
    bool nameRead = false;  // an element's name is an argument's name
    // A plain variable, found once per store generation.
    mutable Variable* var = nullptr;
    mutable unsigned varGeneration = 0;
};

// operand { op operand }
struct CExpr {
    COperand first;
    std::vector<std::pair<char, COperand>> rest;
};

// expr { (eq|ne|lt|gt|le|ge|and|or) expr }
struct CCondition {
    CExpr first;
    // The condition is one expression up to the line's end whose last token
    // is a name: its value is looked up once more as a variable's name.
    bool lookUpValue = false;
    // operand (lt|gt|le|ge) operand of literals, variables and elements:
    // compared as numbers without their texts.
    bool numeric = false;
    std::vector<std::pair<WordCode, CExpr>> rest;
};

struct CompiledLine {
    enum Kind : unsigned char { kNothing, kAssign, kCall, kIf, kWhile, kElse, kFi, kDone, kDo, kNext, kFor };
    Kind kind = kNothing;
    // How an assignment's value is made: as the grammar does; x = x . y ...
    // appended in place; a op b of literals, variables and elements
    // computed as numbers.
    enum Value : unsigned char { kGeneral, kAppend, kArithmetic };
    Value how = kGeneral;
    COperand target;  // assignment, for: the variable; call: the call
    CExpr value;      // assignment: the value; for: the start
    CExpr limit;      // for: the end
    CCondition condition;
    bool endsWithDo = false;  // while: the last token read is "do"
    bool isDebug = false;     // an assignment to debug
    int elements = 0;         // elements named in the line
};

struct Skript::CompiledSlot {
    std::string text;
    unsigned stamp = 0;
    bool valid = false;  // false: the line ran once, its code was not kept
    std::unique_ptr<CompiledLine> code;
};

// The line's code, or null when the line is left to the grammar.
std::unique_ptr<CompiledLine> CompileLine(const LineTokens& line);

// Runs the parts of a compiled line. Every false means a call failed, or a
// text passed the limit: the line is then read again by the grammar.
class CompiledEval {
public:
    CompiledEval(Skript& run, const CompiledLine& code);
    bool expression(const CExpr& e, TextRef& out);
    bool expression(const CExpr& e, std::string& out);
    // The name and the variable an operand of the variable or element kind
    // names.
    bool name(const COperand& o, std::string& out);
    bool variable(const COperand& o, Variable*& out);
    bool call(const COperand& o, std::string& out);
    // The condition's value as lexpr gives it; false to read the line again.
    bool condition(const CCondition& c, int& out);
    // The assignment of the line, made the way its code says.
    bool assign(const CompiledLine& code);

private:
    struct Number {
        bool isInteger;
        long long integer;
        double number;
        double value() const { return isInteger ? double(integer) : number; }
    };
    bool operand(const COperand& o, TextRef& out);
    bool number(const COperand& o, Number& out);
    Skript& run_;
    const int line_;
    int depth_ = 0;
    std::vector<std::string>& names_;  // by element number: the name it was read by
};
