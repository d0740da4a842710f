#include "interpreter/variables.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>

#include "platform/numbers.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"

// --- TextRef -----------------------------------------------------------------

TextRef::TextRef(Variablen& store, Variable& v) : store_(&store), var_(&v)
{
    // The text is read in place, so it must exist; a write hands the lender
    // a copy before it changes it.
    v.value();
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
    own_ = var_->text;
    var_ = nullptr;
    store_ = nullptr;
}

std::string TextRef::take()
{
    if (var_) {
        std::string s = var_->text;
        release();
        return s;
    }
    return std::move(own_);
}

std::string& TextRef::own()
{
    if (var_) {
        std::string s = var_->text;
        release();
        own_ = std::move(s);
    }
    return own_;
}

// --- Variablen ---------------------------------------------------------------

// An array of many elements costs this much per element, plus its slot.
static_assert(sizeof(Variable) <= sizeof(std::string) + 32);

namespace {

// Names up to this length are kept in chunks, numbered by their place:
// chunk number, then the place in the chunk. The top bit marks a long name.
constexpr size_t kShortName = 1024;
constexpr unsigned kChunkBits = 14;
constexpr size_t kChunk = size_t(1) << kChunkBits;
constexpr uint32_t kLongName = 0x80000000u;
constexpr size_t kChunks = kLongName >> kChunkBits;

uint64_t TextHash(std::string_view s)
{
    return std::hash<std::string_view>{}(s);
}

// Spreads the bits of a number over the whole word, so that keys in any
// pattern (1, 2, 3 or multiples of a power of two) fill different slots.
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

template <bool kTagged>
typename Variablen::Slots<kTagged>::Slot Variablen::Slots<kTagged>::make(uint64_t hash, uint32_t entry)
{
    if constexpr (kTagged)
        return {entry, static_cast<uint32_t>(hash >> 32)};
    else
        return {entry};
}

template <bool kTagged>
template <class Same>
uint32_t Variablen::Slots<kTagged>::find(uint64_t hash, Same same) const
{
    if (table.empty())
        return kNone;
    const size_t mask = table.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = table[i];
        if (s.entry == kNone)
            return kNone;
        if constexpr (kTagged) {
            if (s.tag != static_cast<uint32_t>(hash >> 32))
                continue;
        }
        if (same(s.entry))
            return s.entry;
    }
}

template <bool kTagged>
template <class Each>
void Variablen::Slots<kTagged>::add(uint64_t hash, uint32_t entry, Each each)
{
    auto place = [this](uint64_t h, uint32_t e) {
        const size_t mask = table.size() - 1;
        size_t i = h & mask;
        while (table[i].entry != kNone)
            i = (i + 1) & mask;
        table[i] = make(h, e);
    };
    // At most three quarters full, so that a search ends soon at a free slot.
    if ((used + 1) * 4 > table.size() * 3) {
        table.assign(table.empty() ? 16 : table.size() * 2, make(0, kNone));
        each(place);
    }
    place(hash, entry);
    ++used;
}

template <bool kTagged>
void Variablen::Slots<kTagged>::clear()
{
    std::vector<Slot>().swap(table);
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
    release(bases);
    release(chunks);
    release(longNames);
    chunkLeft = 0;
    elementSlots.clear();
    nameSlots.clear();
    baseSlots.clear();
    lastBase = kNone;
    release(keySets);
    ++generation;
}

uint32_t Variablen::keep(std::string_view s)
{
    const size_t need = 2 + s.size();
    if (s.size() <= kShortName) {
        if (need > chunkLeft && chunks.size() < kChunks) {
            chunks.push_back(std::make_unique_for_overwrite<char[]>(kChunk));
            chunkLeft = kChunk;
        }
        if (need <= chunkLeft) {
            const size_t at = kChunk - chunkLeft;
            char* p = chunks.back().get() + at;
            const auto length = static_cast<uint16_t>(s.size());
            std::memcpy(p, &length, 2);
            std::memcpy(p + 2, s.data(), s.size());
            chunkLeft -= need;
            return static_cast<uint32_t>((chunks.size() - 1) << kChunkBits | at);
        }
    }
    longNames.emplace_back(s);
    return kLongName | static_cast<uint32_t>(longNames.size() - 1);
}

std::string_view Variablen::text(uint32_t name) const
{
    if (name & kLongName)
        return longNames[name & ~kLongName];
    const char* p = chunks[name >> kChunkBits].get() + (name & (kChunk - 1));
    uint16_t length;
    std::memcpy(&length, p, 2);
    return {p + 2, length};
}

uint64_t Variablen::elementHash(uint32_t base, long long key)
{
    // Sixteen neighbouring keys share a run of slots, so a loop over an
    // array reads the table one cache line after another; the runs
    // themselves are spread.
    const auto k = static_cast<uint64_t>(key);
    return Mix((k >> 4) ^ (uint64_t(base) * 0x9e3779b97f4a7c15ULL)) << 4 | (k & 15);
}

uint32_t Variablen::baseOf(std::string_view name) const
{
    if (lastBase != kNone && text(bases[lastBase]) == name)
        return lastBase;
    const uint32_t b = baseSlots.find(TextHash(name), [&](uint32_t i) { return text(bases[i]) == name; });
    if (b != kNone)
        lastBase = b;
    return b;
}

Variable* Variablen::locate(std::string_view name, Place& at) const
{
    if (SplitElement(name, at.baseText, at.key))
        return locateElement(at);
    at.element = false;
    at.hash = TextHash(name);
    const uint32_t e = nameSlots.find(at.hash, [&](uint32_t i) { return text(item(i).ref) == name; });
    return e == kNone ? nullptr : &item(e);
}

Variable* Variablen::locateElement(Place& at) const
{
    at.element = true;
    at.base = baseOf(at.baseText);
    if (at.base == kNone)
        return nullptr;
    at.hash = elementHash(at.base, at.key);
    const uint32_t e = elementSlots.find(at.hash, [&](uint32_t i) {
        const Variable& v = item(i);
        return v.key == at.key && v.ref == at.base;
    });
    return e == kNone ? nullptr : &item(e);
}

Variable& Variablen::GetElement(std::string_view base, const std::string& index)
{
    Place at;
    if (!CanonicalInteger(index, at.key)) {
        std::string name;
        name.reserve(base.size() + index.size() + 2);
        name.append(base).append(1, '[').append(index).append(1, ']');
        return Get(name);
    }
    at.baseText = base;
    if (Variable* v = locateElement(at))
        return *v;
    return *Append({}, at, std::string());
}

Variable& Variablen::GetElement(std::string_view base, Variable& index)
{
    // A number written without its text has the key's own digits.
    if (!index.textValid && index.numState == Variable::kInteger) {
        Place at;
        at.baseText = base;
        at.key = index.num.i;
        if (Variable* v = locateElement(at))
            return *v;
        return *Append({}, at, std::string());
    }
    return GetElement(base, index.value());
}

Variable* Variablen::Append(std::string_view name, Place& at, std::string&& value)
{
    if (count == blocks.size() * kBlock)
        blocks.push_back(std::make_unique<Variable[]>(kBlock));
    const auto index = static_cast<uint32_t>(count);
    Variable& v = item(count++);
    if (at.element) {
        if (at.base == kNone) {
            at.base = static_cast<uint32_t>(bases.size());
            bases.push_back(keep(at.baseText));
            baseSlots.add(TextHash(at.baseText), at.base, [&](auto put) {
                for (uint32_t b = 0; b < at.base; ++b)
                    put(TextHash(text(bases[b])), b);
            });
            lastBase = at.base;
            at.hash = elementHash(at.base, at.key);
        }
        v.element = true;
        v.ref = at.base;
        v.key = at.key;
        elementSlots.add(at.hash, index, [&](auto put) {
            for (uint32_t i = 0; i < index; ++i)
                if (const Variable& x = item(i); x.element)
                    put(elementHash(x.ref, x.key), i);
        });
    } else {
        v.ref = keep(name);
        nameSlots.add(at.hash, index, [&](auto put) {
            for (uint32_t i = 0; i < index; ++i)
                if (const Variable& x = item(i); !x.element)
                    put(TextHash(text(x.ref)), i);
        });
    }
    v.text = std::move(value);
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
        out.assign(text(v.ref));
        return;
    }
    char key[24];
    const auto end = std::to_chars(key, key + sizeof key, v.key).ptr;
    out.assign(text(bases[v.ref]));
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
    v.text = std::move(value);
}

namespace {

// Below this an integral double is exact and FormatNumber writes it as its
// integer's digits.
constexpr long long kExactBelow = 1000000000000000LL;

// Whether FormatNumber writes a non-integral double exactly, so that its text
// reads back as the same double: a binary fraction m / 2^k has the decimal
// digits of m * 5^k, and 15 of them are written.
bool WrittenExactly(double value)
{
    static constexpr unsigned long long kPow5[] = {1ULL, 5ULL, 25ULL, 125ULL, 625ULL, 3125ULL, 15625ULL, 78125ULL,
                                                   390625ULL, 1953125ULL, 9765625ULL, 48828125ULL, 244140625ULL,
                                                   1220703125ULL, 6103515625ULL, 30517578125ULL, 152587890625ULL,
                                                   762939453125ULL, 3814697265625ULL, 19073486328125ULL,
                                                   95367431640625ULL, 476837158203125ULL};
    double m = std::fabs(value);
    if (!(m < double(kExactBelow)))
        return false;
    for (size_t k = 1; k < std::size(kPow5); ++k) {
        m *= 2;  // exact: a power of two
        if (m == std::trunc(m))
            return m < double(kExactBelow) && static_cast<unsigned long long>(m) <= (kExactBelow - 1) / kPow5[k];
    }
    return false;
}

}  // namespace

void Variablen::AssignInteger(Variable& v, long long value)
{
    beforeWrite(v);
    if (value >= kExactBelow || value <= -kExactBelow) {
        // Its text has more digits than an exact integer may.
        IntToTextInto(v.text, value);
        return;
    }
    v.num.i = value;
    v.numState = Variable::kInteger;
    v.textValid = false;
}

void Variablen::AssignNumber(Variable& v, double value)
{
    if (value == std::trunc(value) && std::fabs(value) < double(kExactBelow)) {
        // -0 too: its text is "0".
        AssignInteger(v, static_cast<long long>(value));
        return;
    }
    beforeWrite(v);
    if (!WrittenExactly(value)) {
        // The text rounds the number: it is the value.
        FormatNumberInto(v.text, value);
        return;
    }
    v.num.d = value;
    v.numState = Variable::kDouble;
    v.textValid = false;
}

void Variable::makeText() const
{
    if (numState == kInteger)
        IntToTextInto(text, num.i);
    else
        FormatNumberInto(text, num.d);
    textValid = true;
}

bool IntegerOf(Variable& v, long long& out)
{
    if (v.numState == Variable::kUnread)
        v.numState = ExactInteger(v.text, v.num.i) ? Variable::kInteger : Variable::kNotInteger;
    if (v.numState != Variable::kInteger)
        return false;
    out = v.num.i;
    return true;
}

double NumberOf(Variable& v)
{
    long long n;
    if (IntegerOf(v, n))
        // "-0" reads as an exact 0 but as the double -0, which a division
        // shows.
        return n == 0 && v.textValid && v.text[0] == '-' ? -0.0 : double(n);
    if (v.numState == Variable::kNotInteger) {
        v.num.d = TextToDouble(v.text);
        v.numState = Variable::kDouble;
    }
    return v.num.d;
}

void Variablen::Append(Variable& v, const std::string& tail, size_t limit)
{
    v.value();
    beforeWrite(v);
    const size_t need = v.text.size() + tail.size();
    if (need > v.text.capacity()) {
        // Twice the need, so that a text that doubles moves only every other
        // time, and a long text gets room up to the limit at once, so that it
        // does not move again. Room above the need is not touched, so it
        // costs address space, not memory.
        size_t room = need * 2 >= limit / 4 ? limit : need * 2;
        room = std::max(room, need);
        const size_t size = v.text.size();
        if (&tail == &v.text) {
            v.text.reserve(room);
            v.text.append(v.text.data(), size);
            return;
        }
        v.text.reserve(room);
    }
    v.text.append(tail);
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
    Variable& v = Get(name);
    AssignInteger(v, value);
    return &v;
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
    return Get(name).value();
}

std::string Variablen::GetValue(const std::string& name)
{
    return Value(name);
}

std::string Variablen::CountElements(const std::string& name) const
{
    // A few names at once: a loop may ask for two arrays in turn.
    constexpr size_t kNamesKept = 4;
    auto it = std::find_if(keySets.begin(), keySets.end(), [&](const KeySet& k) { return k.name == name; });
    if (it == keySets.end()) {
        if (keySets.size() == kNamesKept)
            keySets.pop_back();
        keySets.insert(keySets.begin(), KeySet{name, 0, {}});
    } else {
        std::rotate(keySets.begin(), it, it + 1);
    }
    KeySet& set = keySets.front();
    std::string n;
    for (; set.counted < count; ++set.counted) {
        nameInto(n, item(set.counted));
        if (n.size() <= name.size() || n.compare(0, name.size(), name) != 0)
            continue;
        size_t close = n.find(']', name.size());
        if (close != std::string::npos)
            set.keys.insert(n.substr(name.size(), close + 1 - name.size()));
    }
    return std::to_string(set.keys.size());
}

void Variablen::Dump(RunHost& host) const
{
    std::string name;
    for (size_t i = 0; i < count; ++i) {
        const Variable& v = item(i);
        nameInto(name, v);
        AppendOutput(host, "Variable: %s=%s", name.c_str(), v.value().substr(0, 100).c_str());
    }
}

std::string ArrayElementCount(Skript& run, const std::string& name)
{
    std::string n = run.vars->CountElements(name);
    if (n == "0" && name.find('[') == std::string::npos)
        return "1";
    return n;
}
