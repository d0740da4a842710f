#include "interpreter/variables.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <set>

#include "platform/numbers.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"

// --- TextRef -----------------------------------------------------------------

TextRef::TextRef(Variablen& store, Variable& v) : store_(&store), var_(&v)
{
    v.maybeLent = true;
    store.lends.push_back(this);
}

TextRef::TextRef(TextRef&& o) noexcept : store_(o.store_), var_(o.var_), own_(std::move(o.own_))
{
    if (var_) {
        std::replace(store_->lends.begin(), store_->lends.end(), &o, this);
        o.var_ = nullptr;
        o.store_ = nullptr;
    }
}

TextRef& TextRef::operator=(TextRef&& o) noexcept
{
    if (this == &o)
        return *this;
    release();
    store_ = o.store_;
    var_ = o.var_;
    own_ = std::move(o.own_);
    if (var_) {
        std::replace(store_->lends.begin(), store_->lends.end(), &o, this);
        o.var_ = nullptr;
        o.store_ = nullptr;
    }
    return *this;
}

void TextRef::release()
{
    if (!var_)
        return;
    // The variable's mark stays: another TextRef may read it too, and the
    // next write looks.
    auto& l = store_->lends;
    // Lends end mostly in the reverse order of their start.
    for (size_t i = l.size(); i-- > 0;)
        if (l[i] == this) {
            l.erase(l.begin() + long(i));
            break;
        }
    var_ = nullptr;
    store_ = nullptr;
}

void TextRef::keepCopy()
{
    own_ = var_->value;
    var_ = nullptr;
    store_ = nullptr;
}

std::string TextRef::take()
{
    if (var_) {
        std::string s = var_->value;
        release();
        return s;
    }
    return std::move(own_);
}

std::string& TextRef::own()
{
    if (var_) {
        std::string s = var_->value;
        release();
        own_ = std::move(s);
    }
    return own_;
}

// --- Variablen ---------------------------------------------------------------

// An array of many elements costs this much per element, plus its slot.
static_assert(sizeof(Variable) <= sizeof(std::string) + 24);

namespace {

uint64_t TextHash(std::string_view s)
{
    return std::hash<std::string_view>{}(s);
}

// Spreads the bits of a number over the whole word, so that keys in any
// pattern (1, 2, 3 or multiples of a power of two) fill different table.
uint64_t Mix(uint64_t x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

// Reads a key as the decimal text of a 64-bit integer, exactly as it would be
// written: no sign but a "-" before a digit other than 0, no leading zeros.
bool CanonicalInteger(std::string_view k, long long& out)
{
    const bool neg = !k.empty() && k[0] == '-';
    const std::string_view d = neg ? k.substr(1) : k;
    if (d.empty() || d.size() > 19 || (d[0] == '0' && (neg || d.size() > 1)))
        return false;
    unsigned long long v = 0;
    for (char c : d) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + unsigned(c - '0');
    }
    if (v > (neg ? 9223372036854775808ULL : 9223372036854775807ULL))
        return false;
    out = neg ? static_cast<long long>(0 - v) : static_cast<long long>(v);
    return true;
}

// An element name: a base, then "[", a key as CanonicalInteger reads it,
// "]". a[01], a[1.0], a[-0] and a[x] are plain names, so the text of an
// element's name is always its base and key written again.
bool SplitElement(std::string_view name, std::string_view& base, long long& key)
{
    if (name.size() < 3 || name.back() != ']')
        return false;
    const size_t open = name.rfind('[', name.size() - 2);
    if (open == std::string_view::npos || !CanonicalInteger(name.substr(open + 1, name.size() - open - 2), key))
        return false;
    base = name.substr(0, open);
    return true;
}

}  // namespace

template <class Same>
uint32_t Variablen::Slots::find(uint64_t hash, Same same) const
{
    if (table.empty())
        return kNone;
    const size_t mask = table.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const uint32_t e = table[i];
        if (e == Slots::kNone || same(e))
            return e;
    }
}

template <class HashOf>
void Variablen::Slots::add(uint64_t hash, uint32_t entry, HashOf hashOf)
{
    auto place = [this](uint64_t h, uint32_t e) {
        const size_t mask = table.size() - 1;
        size_t i = h & mask;
        while (table[i] != Slots::kNone)
            i = (i + 1) & mask;
        table[i] = e;
    };
    // At most three quarters full, so that a search ends soon at a free slot.
    if ((used + 1) * 4 > table.size() * 3) {
        std::vector<uint32_t> old = std::move(table);
        table.assign(old.empty() ? 16 : old.size() * 2, Slots::kNone);
        for (uint32_t e : old)
            if (e != Slots::kNone)
                place(hashOf(e), e);
    }
    place(hash, entry);
    ++used;
}

void Variablen::Slots::clear()
{
    std::vector<uint32_t>().swap(table);
    used = 0;
}

void Variablen::unlend(Variable& v)
{
    for (size_t i = lends.size(); i-- > 0;) {
        TextRef* r = lends[i];
        if (r->var_ == &v) {
            r->keepCopy();
            lends.erase(lends.begin() + long(i));
        }
    }
    v.maybeLent = false;
}

void Variablen::Clear()
{
    for (TextRef* r : lends)
        r->keepCopy();
    lends.clear();
    // The memory goes back, not only the variables.
    auto release = [](auto& list) { std::remove_reference_t<decltype(list)>().swap(list); };
    release(blocks);
    count = 0;
    release(names);
    release(bases);
    release(chunks);
    room = nullptr;
    roomLeft = 0;
    elementSlots.clear();
    nameSlots.clear();
    baseSlots.clear();
    lastBase = Slots::kNone;
    ++generation;
}

std::string_view Variablen::keep(std::string_view s)
{
    constexpr size_t kChunk = 16384;
    if (s.size() > roomLeft) {
        if (s.size() > kChunk / 4) {
            // A long name has a chunk of its own; the room of the current
            // chunk stays for the next short ones.
            chunks.push_back(std::make_unique_for_overwrite<char[]>(s.size()));
            std::memcpy(chunks.back().get(), s.data(), s.size());
            return {chunks.back().get(), s.size()};
        }
        chunks.push_back(std::make_unique_for_overwrite<char[]>(kChunk));
        room = chunks.back().get();
        roomLeft = kChunk;
    }
    if (s.empty())
        return {};
    std::memcpy(room, s.data(), s.size());
    std::string_view kept(room, s.size());
    room += s.size();
    roomLeft -= s.size();
    return kept;
}

uint64_t Variablen::elementHash(uint32_t base, long long key)
{
    // Sixteen neighbouring keys share a run of table, so a loop over an
    // array reads the table one cache line after another; the runs
    // themselves are spread.
    const auto k = static_cast<uint64_t>(key);
    return Mix((k >> 4) ^ (uint64_t(base) * 0x9e3779b97f4a7c15ULL)) << 4 | (k & 15);
}

uint32_t Variablen::baseOf(std::string_view text) const
{
    if (lastBase != Slots::kNone && bases[lastBase] == text)
        return lastBase;
    const uint32_t b = baseSlots.find(TextHash(text), [&](uint32_t i) { return bases[i] == text; });
    if (b != Slots::kNone)
        lastBase = b;
    return b;
}

Variable* Variablen::locate(std::string_view name, Place& at) const
{
    uint32_t e;
    if (SplitElement(name, at.baseText, at.key)) {
        at.element = true;
        at.base = baseOf(at.baseText);
        if (at.base == Slots::kNone)
            return nullptr;
        at.hash = elementHash(at.base, at.key);
        e = elementSlots.find(at.hash, [&](uint32_t i) {
            const Variable& v = item(i);
            return v.word == at.key && v.ref == at.base;
        });
    } else {
        at.element = false;
        at.hash = TextHash(name);
        e = nameSlots.find(at.hash, [&](uint32_t i) { return names[item(i).ref] == name; });
    }
    return e == Slots::kNone ? nullptr : &item(e);
}

Variable* Variablen::Append(std::string_view name, Place& at, std::string&& value)
{
    if (count == blocks.size() * kBlock)
        blocks.push_back(std::make_unique<Variable[]>(kBlock));
    const auto index = static_cast<uint32_t>(count);
    Variable& v = item(count++);
    if (at.element) {
        if (at.base == Slots::kNone) {
            at.base = static_cast<uint32_t>(bases.size());
            bases.push_back(keep(at.baseText));
            baseSlots.add(TextHash(at.baseText), at.base, [&](uint32_t b) { return TextHash(bases[b]); });
            lastBase = at.base;
            at.hash = elementHash(at.base, at.key);
        }
        v.element = true;
        v.ref = at.base;
        v.word = at.key;
        elementSlots.add(at.hash, index, [&](uint32_t i) {
            const Variable& x = item(i);
            return elementHash(x.ref, x.word);
        });
    } else {
        v.ref = static_cast<uint32_t>(names.size());
        names.push_back(keep(name));
        nameSlots.add(at.hash, index, [&](uint32_t i) { return TextHash(names[item(i).ref]); });
    }
    v.value = std::move(value);
    v.stamp = ++writes;
    return &v;
}

Variable* Variablen::Find(const std::string& name) const
{
    Place at;
    return locate(name, at);
}

Variable* Variablen::FindOrAppend(const std::string& name, std::string&& value)
{
    Place at;
    if (Variable* v = locate(name, at)) {
        Assign(*v, std::move(value));
        return v;
    }
    return Append(name, at, std::move(value));
}

void Variablen::nameInto(std::string& out, const Variable& v) const
{
    if (!v.element) {
        out.assign(names[v.ref]);
        return;
    }
    char key[24];
    const auto end = std::to_chars(key, key + sizeof key, v.word).ptr;
    out.assign(bases[v.ref]);
    out += '[';
    out.append(key, end);
    out += ']';
}

std::string Variablen::NameOf(const Variable& v) const
{
    std::string name;
    nameInto(name, v);
    return name;
}

void Variablen::Assign(Variable& v, std::string&& value)
{
    beforeWrite(v);
    v.value = std::move(value);
}

void Variablen::AssignInteger(Variable& v, long long value)
{
    beforeWrite(v);
    IntToTextInto(v.value, value);
    // An element's word is its key.
    if (!v.element) {
        v.word = value;
        v.numState = 1;
    }
}

bool IntegerOf(Variable& v, long long& out)
{
    if (v.element)
        return ExactInteger(v.value, out);
    if (v.numState == 0)
        v.numState = ExactInteger(v.value, v.word) ? 1 : -1;
    out = v.word;
    return v.numState > 0;
}

void Variablen::Append(Variable& v, const std::string& tail, size_t limit)
{
    beforeWrite(v);
    const size_t need = v.value.size() + tail.size();
    if (need > v.value.capacity()) {
        // Twice the need, so that a text that doubles moves only every other
        // time, and a long text gets room up to the limit at once, so that it
        // does not move again. Room above the need is not touched, so it
        // costs address space, not memory.
        size_t room = need * 2 >= limit / 4 ? limit : need * 2;
        room = std::max(room, need);
        const size_t size = v.value.size();
        if (&tail == &v.value) {
            v.value.reserve(room);
            v.value.append(v.value.data(), size);
            return;
        }
        v.value.reserve(room);
    }
    v.value.append(tail);
}

Variable* Variablen::SetValue(const std::string& name, const std::string& value)
{
    return FindOrAppend(name, std::string(value));
}

Variable* Variablen::SetValue(const std::string& name, std::string&& value)
{
    return FindOrAppend(name, std::move(value));
}

Variable* Variablen::SetValue(const std::string& name, long long value)
{
    return FindOrAppend(name, std::to_string(value));
}

Variable& Variablen::Get(const std::string& name)
{
    Place at;
    if (Variable* v = locate(name, at))
        return *v;
    return *Append(name, at, std::string());
}

const std::string& Variablen::Value(const std::string& name)
{
    return Get(name).value;
}

std::string Variablen::GetValue(const std::string& name)
{
    return Value(name);
}

std::string Variablen::CountElements(const std::string& name) const
{
    std::set<std::string> keys;
    std::string n;
    for (size_t i = 0; i < count; ++i) {
        nameInto(n, item(i));
        if (n.size() <= name.size() || n.compare(0, name.size(), name) != 0)
            continue;
        size_t close = n.find(']', name.size());
        if (close != std::string::npos)
            keys.insert(n.substr(name.size(), close + 1 - name.size()));
    }
    return std::to_string(keys.size());
}

void Variablen::Dump(RunHost& host) const
{
    std::string name;
    for (size_t i = 0; i < count; ++i) {
        const Variable& v = item(i);
        nameInto(name, v);
        AppendOutput(host, "Variable: %s=%s", name.c_str(), v.value.substr(0, 100).c_str());
    }
}

std::string ArrayElementCount(Skript& run, const std::string& name)
{
    std::string n = run.vars->CountElements(name);
    if (n == "0" && name.find('[') == std::string::npos)
        return "1";
    return n;
}
