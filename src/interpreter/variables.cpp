#include "interpreter/variables.h"

#include <set>

#include "interpreter/output.h"
#include "interpreter/skript.h"

void Variablen::Clear()
{
    index.clear();
    items.clear();
}

Variable* Variablen::Find(const std::string& name) const
{
    auto it = index.find(name);
    return it == index.end() ? nullptr : it->second;
}

Variable* Variablen::Append(const std::string& name, const std::string& value)
{
    items.push_back(std::make_unique<Variable>(name, value));
    Variable* v = items.back().get();
    index.emplace(name, v);
    return v;
}

Variable* Variablen::FindOrAppend(const std::string& name, const std::string& value)
{
    if (Variable* v = Find(name)) {
        v->value = value;
        return v;
    }
    return Append(name, value);
}

Variable* Variablen::SetValue(const std::string& name, const std::string& value)
{
    return FindOrAppend(name, value);
}

Variable* Variablen::SetValue(const std::string& name, long long value)
{
    return FindOrAppend(name, std::to_string(value));
}

const std::string& Variablen::Value(const std::string& name)
{
    if (Variable* v = Find(name))
        return v->value;
    return Define(name)->value;
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

void Variablen::Dump() const
{
    for (const auto& v : items)
        AppendOutput("Variable: %s=%s", v->name.c_str(), v->value.substr(0, 100).c_str());
}

std::string ArrayElementCount(Skript& run, const std::string& name)
{
    std::string n = run.vars->CountElements(name);
    if (n == "0" && name.find('[') == std::string::npos)
        return "1";
    return n;
}
