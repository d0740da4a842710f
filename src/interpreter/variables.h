// The variable store of a run: named text values in creation order. An array
// element is a plain variable whose name carries its bracketed indexes.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Skript;

class Variable {
public:
    Variable(std::string n, std::string v) : name(std::move(n)), value(std::move(v)) {}
    virtual ~Variable() = default;
    std::string name;
    std::string value;
};

class Variablen {
public:
    Variablen() = default;
    virtual ~Variablen() { Clear(); }
    Variablen(const Variablen&) = delete;
    Variablen& operator=(const Variablen&) = delete;

    void Clear();
    Variable* SetValue(const std::string& name, const std::string& value);
    Variable* SetValue(const std::string& name, long long value);
    // A missing variable is created with "" first.
    std::string GetValue(const std::string& name);
    // Like GetValue, but hands out the stored value without a copy.
    const std::string& Value(const std::string& name);
    std::string CountElements(const std::string& name) const;
    // One output line per variable: "Variable: %s=%s", value cut to 100 characters.
    void Dump() const;

    size_t Count() const { return items.size(); }
    // Variable of key i (0..Count()-1), in creation order.
    const Variable& At(size_t i) const { return *items[i]; }
    // The variable of that name, or null; creates nothing.
    Variable* Find(const std::string& name) const;

private:
    Variable* FindOrAppend(const std::string& name, const std::string& value);
    Variable* Append(const std::string& name, const std::string& value);
    Variable* Define(const std::string& name) { return Append(name, std::string()); }

    // Creation order is the key order; the index only finds names faster and
    // keeps the first-match rule, since a name is stored once.
    std::vector<std::unique_ptr<Variable>> items;
    std::unordered_map<std::string, Variable*> index;
};

// Element count for the size built-in.
std::string ArrayElementCount(Skript& run, const std::string& name);
