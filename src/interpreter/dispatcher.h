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

// What a built-in does beyond reading its argument list and running its body.
enum BuiltinFlag : unsigned {
    kReadsNoArguments = 1,  // the word alone: the line reads on after it
    kAnyCount = 2,          // the body runs after a failed argument list too
    kEmptyOnBadCount = 4,   // a failed argument list gives "", not no result
};

// One built-in: its word, the counts its argument list may have (max
// kOpenArgs: any), its body and its flags.
struct BuiltinEntry {
    const char* word;
    int min, max;
    BuiltinBody body;
    unsigned flags = 0;
};

// The family tables; each family file ends in one of them.
std::span<const BuiltinEntry> TextBuiltins();      // builtins_text.cpp
std::span<const BuiltinEntry> ExtractBuiltins();   // builtins_extract.cpp
std::span<const BuiltinEntry> DateBuiltins();      // builtins_dates.cpp
std::span<const BuiltinEntry> FileBuiltins();      // builtins_files.cpp
std::span<const BuiltinEntry> StreamBuiltins();    // builtins_streams.cpp
std::span<const BuiltinEntry> DialogBuiltins();    // builtins_dialogs.cpp
std::span<const BuiltinEntry> WebBuiltins();       // builtins_web.cpp
std::span<const BuiltinEntry> SystemBuiltins();    // builtins_system.cpp
std::span<const BuiltinEntry> VersionBuiltins();   // builtins_version.cpp

// The built-in of that word, or null.
const BuiltinEntry* FindBuiltin(const std::string& word);
// The counts an argument list of the built-in may have; max kOpenArgs: any.
struct BuiltinArity {
    int min, max;
};
BuiltinArity ArityOf(const BuiltinEntry& entry);
// Makes room in a call's argument list for the usual counts.
void ReserveArguments(funcContext& args, int max);

// The 51 built-in words, family by family, and the 19 statement keywords.
const std::vector<std::string>& BuiltinWords();
const std::vector<std::string>& KeywordWords();
