// The variable store of a run: named text values in creation order. An array
// element is a plain variable whose name carries its bracketed indexes.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class RunHost;
class Skript;
class Variablen;

class Variable {
public:
    Variable(std::string n, std::string v) : name(std::move(n)), value(std::move(v)) {}
    virtual ~Variable() = default;
    std::string name;
    std::string value;
    // Number of TextRefs that read this value in place (see TextRef).
    int lent = 0;
    // Set anew by every write, from a counter of the whole store: a value
    // with the stamp it had is the same text.
    unsigned long long stamp = 0;
    // The value read as an exact integer (see ExactInteger), kept beside the
    // text until the next write: 0 not read yet, 1 an integer, -1 none.
    signed char numState = 0;
    long long num = 0;
};

// The exact integer of a variable's text, read once per write.
bool IntegerOf(Variable& v, long long& out);

// A text that is either owned or the value of a variable read in place. An
// operand or argument that names a variable needs no copy of a long value;
// before the store changes a lent variable it hands each TextRef that reads
// it a copy of the old value, so the holder sees the value as it was when it
// was read.
class TextRef {
public:
    TextRef() = default;
    explicit TextRef(std::string s) : own_(std::move(s)) {}
    TextRef(Variablen& store, Variable& v);
    TextRef(TextRef&& o) noexcept;
    TextRef& operator=(TextRef&& o) noexcept;
    TextRef(const TextRef&) = delete;
    TextRef& operator=(const TextRef&) = delete;
    ~TextRef() { release(); }

    const std::string& str() const { return var_ ? var_->value : own_; }
    operator const std::string&() const { return str(); }
    size_t size() const { return str().size(); }
    bool empty() const { return str().empty(); }
    // The variable read in place, or null once the text is owned.
    Variable* lentFrom() const { return var_; }
    // The text as an owned string (a copy when it is lent).
    std::string take();
    // The owned text, to be changed (copied first when it is lent).
    std::string& own();

private:
    friend class Variablen;
    void release();
    // The store is about to change the variable: keep the old value.
    void keepCopy();

    Variablen* store_ = nullptr;
    Variable* var_ = nullptr;
    std::string own_;
};

class Variablen {
public:
    Variablen() = default;
    virtual ~Variablen() { Clear(); }
    Variablen(const Variablen&) = delete;
    Variablen& operator=(const Variablen&) = delete;

    void Clear();
    Variable* SetValue(const std::string& name, const std::string& value);
    Variable* SetValue(const std::string& name, std::string&& value);
    Variable* SetValue(const std::string& name, long long value);
    // A missing variable is created with "" first.
    std::string GetValue(const std::string& name);
    // Like GetValue, but hands out the stored value without a copy. The
    // reference is good until the store next changes a variable.
    const std::string& Value(const std::string& name);
    // The variable of that name, created with "" when missing.
    Variable& Get(const std::string& name);
    // Writes through a variable found before; lent readers keep the old value.
    void Assign(Variable& v, std::string&& value);
    // The value of v, to be changed in place; lent readers keep the old one.
    std::string& Modify(Variable& v)
    {
        beforeWrite(v);
        return v.value;
    }
    // Writes the decimal text of an integer below 1E15 and keeps the number.
    void AssignInteger(Variable& v, long long value);
    // Appends in place; tail may be the value itself. The value's room grows
    // ahead of need, but never beyond limit.
    void Append(Variable& v, const std::string& tail, size_t limit);
    std::string CountElements(const std::string& name) const;
    // One output line per variable to the host's pane: "Variable: %s=%s",
    // value cut to 100 characters.
    void Dump(RunHost& host) const;

    size_t Count() const { return items.size(); }
    // Changes whenever Clear removes the variables.
    unsigned Generation() const { return generation; }
    // Variable of key i (0..Count()-1), in creation order.
    const Variable& At(size_t i) const { return *items[i]; }
    // The variable of that name, or null; creates nothing.
    Variable* Find(const std::string& name) const;

private:
    friend class TextRef;
    Variable* FindOrAppend(const std::string& name, std::string&& value);
    Variable* Append(const std::string& name, std::string&& value);
    Variable* Define(const std::string& name) { return Append(name, std::string()); }
    // Called before a variable's value changes.
    void beforeWrite(Variable& v)
    {
        v.stamp = ++writes;
        v.numState = 0;
        if (v.lent)
            unlend(v);
    }
    void unlend(Variable& v);

    // Creation order is the key order; the index only finds names faster and
    // keeps the first-match rule, since a name is stored once.
    std::vector<std::unique_ptr<Variable>> items;
    std::unordered_map<std::string, Variable*> index;
    // The TextRefs that read a value in place.
    std::vector<TextRef*> lends;
    unsigned generation = 1;
    unsigned long long writes = 0;
};

// Element count for the size built-in.
std::string ArrayElementCount(Skript& run, const std::string& name);
