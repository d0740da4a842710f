// The frame shared by all built-ins: the call record, the body signature and
// the family tables the dispatcher looks words up in.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "interpreter/variables.h"

class Skript;

// The argument record of one built-in call.
struct funcContext {
    std::string reserved1;  // read and written by no operation
    // An argument that names a variable reads its value in place.
    std::vector<TextRef> values;
    // Parallel to values: the flat name of the variable reference that began
    // the argument, "" for an expression without words.
    std::vector<std::string> argTexts;
    std::string reserved2;  // read and written by no operation
};

// As the argument parser's maximum: an open list, any number of arguments.
constexpr int kOpenArgs = 99;

// One call as a body sees it: the word, the line, the argument count that
// the argument parser returned (-1 after its error).
struct BuiltinCall {
    const std::string& name;
    int line;
    int count;
};

// No result means a run error was recorded or exit was requested.
using BuiltinResult = std::optional<std::string>;
using BuiltinBody = BuiltinResult (*)(Skript& run, funcContext& args, const BuiltinCall& call);

struct BuiltinDef {
    const char* word;
    BuiltinBody body;
};

// The family tables; each family file ends in one of them. ORDER: the
// dispatcher's own table of words keeps the order of the built-in list.
std::span<const BuiltinDef> TextBuiltins();      // builtins_text.cpp
std::span<const BuiltinDef> ExtractBuiltins();   // builtins_extract.cpp
std::span<const BuiltinDef> DateBuiltins();      // builtins_dates.cpp
std::span<const BuiltinDef> FileBuiltins();      // builtins_files.cpp
std::span<const BuiltinDef> StreamBuiltins();    // builtins_streams.cpp
std::span<const BuiltinDef> DialogBuiltins();    // builtins_dialogs.cpp
std::span<const BuiltinDef> WebBuiltins();       // builtins_web.cpp
std::span<const BuiltinDef> SystemBuiltins();    // builtins_system.cpp
std::span<const BuiltinDef> VersionBuiltins();   // builtins_version.cpp

struct BuiltinEntry;
// The built-in of that word, or null.
const BuiltinEntry* FindBuiltin(const std::string& word);
// The counts an argument list of the built-in may have; max kOpenArgs: any.
struct BuiltinArity {
    int min, max;
};
BuiltinArity ArityOf(const BuiltinEntry& entry);
// Makes room in a call's argument list for the usual counts.
void ReserveArguments(funcContext& args, int max);

// The 51 built-in words and the 19 statement keywords.
const std::vector<std::string>& BuiltinWords();
const std::vector<std::string>& KeywordWords();
