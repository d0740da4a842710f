// The variable store of a run: named text values in creation order. An array
// element is a plain variable whose name carries its bracketed indexes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

class RunHost;
class Skript;
class Variablen;

// One variable. Its name is kept by the store (see Variablen::NameOf): an
// array element with an integer key holds the key, not its name. A value
// written as a number keeps the number and makes its text only when the text
// is first read; the text is then the one FormatNumber writes.
class Variable {
public:
    Variable() = default;
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

    // The value's text.
    const std::string& value() const
    {
        if (!textValid)
            makeText();
        return text;
    }
    // Set anew by every write, from a counter of the whole store: a value
    // with the stamp it had is the same text.
    unsigned long long stamp = 0;

private:
    friend class Variablen;
    friend class TextRef;
    friend bool IntegerOf(Variable& v, long long& out);
    friend double NumberOf(Variable& v);
    void makeText() const;

    // What num holds. A text is read for a number once per write.
    enum NumState : signed char {
        kUnread = 0,
        kNotInteger = -1,  // the text is no exact integer; num unused
        kInteger = 1,      // num.i, the exact integer of the text
        kDouble = 2,       // num.d, the text's number; the text is no exact integer
    };

    // Valid while textValid; else made from num.
    mutable std::string text;
    // An element's integer key.
    long long key = 0;
    union {
        long long i;
        double d;
    } num{0};
    // An element's base number (of the name before its last index), else
    // the number of its name.
    uint32_t ref = 0;
    bool element = false;
    // A TextRef may read the value in place (see TextRef).
    bool maybeLent = false;
    NumState numState = kUnread;
    mutable bool textValid = true;
};

// The exact integer of a variable's text (see ExactInteger), read once per
// write.
bool IntegerOf(Variable& v, long long& out);
// The number of a variable's text as TextToDouble reads it, read once per
// write.
double NumberOf(Variable& v);

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

    const std::string& str() const { return var_ ? var_->text : own_; }
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

// A variable as At shows it: its name and its value.
struct NamedVariable {
    std::string name;
    const std::string& value;
};

class Variablen {
public:
    Variablen() = default;
    ~Variablen() { Clear(); }
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
    // Get(base + "[" + index + "]"), without making the name where the index
    // is an integer key.
    Variable& GetElement(std::string_view base, const std::string& index);
    // The same with the index's value, whose number is the key where it was
    // written as an integer.
    Variable& GetElement(std::string_view base, Variable& index);
    // Writes through a variable found before; lent readers keep the old value.
    void Assign(Variable& v, std::string&& value);
    // The value of v, to be changed in place; lent readers keep the old one.
    std::string& Modify(Variable& v)
    {
        v.value();
        beforeWrite(v);
        return v.text;
    }
    // Writes an integer as its decimal text would be; below 1E15 the number
    // is kept and the text made when it is read.
    void AssignInteger(Variable& v, long long value);
    // Writes a number as FormatNumber's text of it would be: the value reads
    // back as that text's number, not as value where the two differ.
    void AssignNumber(Variable& v, double value);
    // Appends in place; tail may be the value itself. The value's room grows
    // ahead of need, but never beyond limit.
    void Append(Variable& v, const std::string& tail, size_t limit);
    std::string CountElements(const std::string& name) const;
    // One output line per variable to the host's pane: "Variable: %s=%s",
    // value cut to 100 characters.
    void Dump(RunHost& host) const;

    size_t Count() const { return count; }
    // Changes whenever Clear removes the variables.
    unsigned Generation() const { return generation; }
    // Variable of key i (0..Count()-1), in creation order.
    NamedVariable At(size_t i) const { return {NameOf(item(i)), item(i).value()}; }
    std::string NameOf(const Variable& v) const;
    // The variable of that name, or null; creates nothing.
    Variable* Find(const std::string& name) const;

private:
    friend class TextRef;
    static constexpr size_t kBlock = 1024;

    static constexpr uint32_t kNone = UINT32_MAX;

    // Open addressing with linear probing over indexes into a list (creation
    // indexes of variables, or base numbers). When the table grows, the
    // owner hashes its entries again, so a slot holds only the index, 4
    // bytes, and for entries that are costly to compare 4 bytes of the hash.
    template <bool kTagged>
    class Slots {
    public:
        // The entry for which same(entry) holds, or kNone.
        template <class Same>
        uint32_t find(uint64_t hash, Same same) const;
        // Adds an entry known to be missing. On growth each(put) calls
        // put(hash, entry) for every entry added before, in list order.
        template <class Each>
        void add(uint64_t hash, uint32_t entry, Each each);
        void clear();

    private:
        struct Tagged {
            uint32_t entry, tag;
        };
        struct Plain {
            uint32_t entry;
        };
        using Slot = std::conditional_t<kTagged, Tagged, Plain>;
        static Slot make(uint64_t hash, uint32_t entry);
        std::vector<Slot> table;
        size_t used = 0;
    };

    // Where a name belongs: an element's base and key, or a plain name.
    struct Place {
        bool element = false;
        std::string_view baseText;
        uint32_t base = kNone;  // none while the base is new
        long long key = 0;
        uint64_t hash = 0;
    };

    Variable& item(size_t i) const { return blocks[i / kBlock][i % kBlock]; }
    // The variable of that name, or null with at telling where it would go.
    Variable* locate(std::string_view name, Place& at) const;
    // The element of at's base text and key, or null with at completed.
    Variable* locateElement(Place& at) const;
    Variable* FindOrAppend(const std::string& name, std::string&& value);
    // Creates the variable at the place that locate found missing.
    Variable* Append(std::string_view name, Place& at, std::string&& value);
    uint32_t baseOf(std::string_view name) const;
    static uint64_t elementHash(uint32_t base, long long key);
    void nameInto(std::string& out, const Variable& v) const;
    // Keeps a name for the life of the variables; text gives it back by the
    // number that keep returns.
    uint32_t keep(std::string_view s);
    std::string_view text(uint32_t name) const;
    // Called before a variable's value changes.
    void beforeWrite(Variable& v)
    {
        v.stamp = ++writes;
        v.numState = Variable::kUnread;
        v.textValid = true;
        if (v.maybeLent)
            unlend(v);
    }
    void unlend(Variable& v);

    // The variables in creation order, in blocks that never move: callers
    // keep Variable pointers until the next Clear.
    std::vector<std::unique_ptr<Variable[]>> blocks;
    size_t count = 0;
    // Each name once: a short one as its length (2 bytes) and characters in
    // chunks of text, numbered by its place there; a long one on its own.
    std::vector<std::unique_ptr<char[]>> chunks;
    size_t chunkLeft = 0;
    std::vector<std::string> longNames;
    std::vector<uint32_t> bases;  // by base number, the base's name
    // Elements are found by (base, key), other variables by name. A name
    // belongs to one of the two by its text, so each is found in one place.
    // A name is compared by its text, which needs two more reads; a slot's
    // tag skips most of those whose hash differs.
    Slots<false> elementSlots;
    Slots<true> nameSlots, baseSlots;
    // The base found last: consecutive a[i] look it up once.
    mutable uint32_t lastBase = kNone;
    // The TextRefs that read a value in place.
    std::vector<TextRef*> lends;
    // The keys that CountElements found for the names it was asked last,
    // with how many variables they cover: variables are only ever added, so
    // asking again walks only those created since.
    struct KeySet {
        std::string name;
        size_t counted = 0;
        std::unordered_set<std::string> keys;
    };
    mutable std::vector<KeySet> keySets;
    unsigned generation = 1;
    unsigned long long writes = 0;
};

// Element count for the size built-in.
std::string ArrayElementCount(Skript& run, const std::string& name);
