// The settings store's reading of hostile hive files: no crash, a write after
// a read keeps every line of the file, and every value that could be read
// before reads the same after.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/registry.h"

using platform::Hive;
using platform::RegHive;
using platform::RegKey;
using platform::RegType;
using platform::RegValue;

namespace {

using Values = std::map<std::string, std::tuple<int, std::string, std::uint32_t>>;

void Collect(RegKey& key, const std::string& path, Values& out)
{
    for (const RegValue& v : key.values)
        out[path + "|" + v.name] = {int(v.type), v.data, v.number};
    for (const auto& sub : key.subkeys)
        Collect(*sub, path + "\\" + sub->name, out);
}

// The lines without their line ends (a last line may gain one).
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(pos, (end == std::string::npos ? text.size() : end) - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        pos = next;
    }
    return lines;
}

bool KeepsInOrder(const std::string& before, const std::string& after)
{
    std::vector<std::string> want = Lines(before), have = Lines(after);
    size_t k = 0;
    for (const std::string& line : have)
        if (k < want.size() && line == want[k])
            ++k;
    return k == want.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!RegHive::IsRegText(text))
        return 0;
    RegHive hive(Hive::CurrentUser);
    hive.FromText(text);
    Values before;
    Collect(hive.root(), "", before);

    // A name the file does not hold, so nothing of it is replaced.
    std::string name = "fz";
    while (text.find(name) != std::string::npos)
        name += 'z';
    RegValue v;
    v.name = name;
    v.type = RegType::String;
    v.data = "Wert\x01\xC3\xA4";
    const std::string key = text.size() % 2 ? "Software\\Orvanta" : "Software\\Fuzz\\Neu";
    hive.SetValue(key, v);
    const std::string written = hive.ToText();
    if (!KeepsInOrder(text, written))
        std::abort();

    RegHive again(Hive::CurrentUser);
    again.FromText(written);
    Values after;
    Collect(again.root(), "", after);
    RegKey* k = again.Find(key);
    RegValue* back = k ? k->FindValue(name) : nullptr;
    if (!back || back->data != v.data)
        std::abort();
    for (const auto& [where, value] : before) {
        auto it = after.find(where);
        if (it == after.end() || it->second != value)
            std::abort();
    }
    // A second write replaces only its own line.
    v.data = "zwei";
    again.SetValue(key, v);
    std::string second = again.ToText();
    std::string own = "\"" + name + "\"=";
    std::string kept;
    for (const std::string& line : Lines(written))
        if (line.find(own) == std::string::npos)
            kept += line + "\r\n";
    if (!KeepsInOrder(kept, second))
        std::abort();
    return 0;
}
