#include "interpreter/variables.h"

#include <algorithm>
#include <set>

#include "platform/numbers.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"

// --- TextRef -----------------------------------------------------------------

TextRef::TextRef(Variablen& store, Variable& v) : store_(&store), var_(&v)
{
    ++v.lent;
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
    --var_->lent;
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
    --var_->lent;
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

void Variablen::unlend(Variable& v)
{
    for (size_t i = lends.size(); i-- > 0;) {
        TextRef* r = lends[i];
        if (r->var_ == &v) {
            r->keepCopy();
            lends.erase(lends.begin() + long(i));
        }
    }
}

void Variablen::Clear()
{
    for (TextRef* r : lends)
        r->keepCopy();
    lends.clear();
    index.clear();
    items.clear();
    ++generation;
}

Variable* Variablen::Find(const std::string& name) const
{
    auto it = index.find(name);
    return it == index.end() ? nullptr : it->second;
}

Variable* Variablen::Append(const std::string& name, std::string&& value)
{
    items.push_back(std::make_unique<Variable>(name, std::move(value)));
    Variable* v = items.back().get();
    v->stamp = ++writes;
    index.emplace(name, v);
    return v;
}

Variable* Variablen::FindOrAppend(const std::string& name, std::string&& value)
{
    if (Variable* v = Find(name)) {
        Assign(*v, std::move(value));
        return v;
    }
    return Append(name, std::move(value));
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
    v.num = value;
    v.numState = 1;
}

bool IntegerOf(Variable& v, long long& out)
{
    if (v.numState == 0)
        v.numState = ExactInteger(v.value, v.num) ? 1 : -1;
    out = v.num;
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
    if (Variable* v = Find(name))
        return *v;
    return *Define(name);
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
    for (const auto& v : items) {
        const std::string& n = v->name;
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
    for (const auto& v : items)
        AppendOutput(host, "Variable: %s=%s", v->name.c_str(), v->value.substr(0, 100).c_str());
}

std::string ArrayElementCount(Skript& run, const std::string& name)
{
    std::string n = run.vars->CountElements(name);
    if (n == "0" && name.find('[') == std::string::npos)
        return "1";
    return n;
}
