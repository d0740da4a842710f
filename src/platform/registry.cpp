#include "platform/registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cp1252.h"
#include "platform/folders.h"

namespace platform {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

std::vector<std::string> SplitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts)
{
    std::string path;
    for (const auto& p : parts) {
        if (!path.empty())
            path += '\\';
        path += p;
    }
    return path;
}

// --- UTF-8 and UTF-16 for the hex(1) and hex(2) forms ----------------------

// Decodes one UTF-8 sequence at i; a malformed byte is taken as a
// Windows-1252 character, so no byte is dropped.
char32_t DecodeUtf8(const std::string& s, size_t& i)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra == 0) {
        ++i;
        return c;
    }
    if (extra > 0 && i + size_t(extra) < s.size()) {
        char32_t cp = c & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; ok && k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + size_t(k)]);
            ok = (d & 0xC0) == 0x80;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (ok && cp >= kMin[extra] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            i += size_t(extra) + 1;
            return cp;
        }
    }
    ++i;
    return Cp1252ToUtf16(std::string_view(reinterpret_cast<const char*>(&c), 1))[0];
}

bool IsPlainText(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        size_t start = i;
        char32_t cp = DecodeUtf8(s, i);
        if (cp < 0x20 || cp == 0x7F)
            return false;
        // A malformed byte decodes as one byte that is not ASCII.
        if (i - start == 1 && static_cast<unsigned char>(s[start]) >= 0x80)
            return false;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE bytes with the terminating zero, as the hex(1)/hex(2) forms hold.
std::string Utf8ToUtf16Bytes(const std::string& s)
{
    std::string out;
    auto unit = [&out](unsigned u) {
        out += char(u & 0xFF);
        out += char(u >> 8);
    };
    for (size_t i = 0; i < s.size();) {
        char32_t cp = DecodeUtf8(s, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 | unsigned(cp >> 10));
            unit(0xDC00 | unsigned(cp & 0x3FF));
        } else {
            unit(unsigned(cp));
        }
    }
    unit(0);
    return out;
}

std::string Utf16BytesToUtf8(const std::string& bytes)
{
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t u = static_cast<unsigned char>(bytes[i]) | (char32_t(static_cast<unsigned char>(bytes[i + 1])) << 8);
        if (u == 0)
            break;
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            char32_t lo = static_cast<unsigned char>(bytes[i + 2]) | (char32_t(static_cast<unsigned char>(bytes[i + 3])) << 8);
            if (lo >= 0xDC00 && lo < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, u);
    }
    return out;
}

// --- the text form ------------------------------------------------------------

std::string Quote(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

std::string HexBytes(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out += ',';
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

void WriteKey(std::string& out, const RegKey& key, const std::string& path)
{
    out += "\r\n[" + path + "]\r\n";
    for (const auto& v : key.values) {
        out += v.name.empty() ? std::string("@") : Quote(v.name);
        out += '=';
        char buf[16];
        switch (v.type) {
        case RegType::String:
            if (IsPlainText(v.data))
                out += Quote(v.data);
            else
                out += "hex(1):" + HexBytes(Utf8ToUtf16Bytes(v.data));
            break;
        case RegType::ExpandString:
            out += "hex(2):" + HexBytes(Utf8ToUtf16Bytes(v.data));
            break;
        case RegType::Integer:
            std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(v.number));
            out += buf;
            break;
        case RegType::Binary:
            out += "hex:" + HexBytes(v.data);
            break;
        }
        out += "\r\n";
    }
    for (const auto& sub : key.subkeys)
        WriteKey(out, *sub, path + "\\" + sub->name);
}

// Reads a quoted text from p (at the opening quote); returns false when it
// is not closed.
bool ReadQuoted(const std::string& line, size_t& p, std::string& out)
{
    out.clear();
    if (p >= line.size() || line[p] != '"')
        return false;
    for (++p; p < line.size(); ++p) {
        char c = line[p];
        if (c == '\\' && p + 1 < line.size()) {
            out += line[++p];
        } else if (c == '"') {
            ++p;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool ParseHexBytes(const std::string& text, std::string& out)
{
    out.clear();
    int nibbles = 0;
    unsigned cur = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c == ',' || c == ' ' || c == '\t') {
            if (nibbles) {
                out += char(cur);
                nibbles = 0;
                cur = 0;
            }
            continue;
        } else
            return false;
        cur = cur * 16 + unsigned(d);
        if (++nibbles > 2)
            return false;
    }
    if (nibbles)
        out += char(cur);
    return true;
}

bool ParseValue(const std::string& line, RegValue& v)
{
    size_t p = 0;
    if (line[0] == '@') {
        v.name.clear();
        p = 1;
    } else if (!ReadQuoted(line, p, v.name)) {
        return false;
    }
    if (p >= line.size() || line[p] != '=')
        return false;
    std::string data = line.substr(p + 1);
    if (!data.empty() && data[0] == '"') {
        size_t q = 0;
        v.type = RegType::String;
        return ReadQuoted(data, q, v.data);
    }
    auto startsWith = [&data](const char* prefix) { return data.rfind(prefix, 0) == 0; };
    if (startsWith("dword:")) {
        std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        char* end = nullptr;
        unsigned long n = std::strtoul(digits.c_str(), &end, 16);
        if (*end)
            return false;
        v.type = RegType::Integer;
        v.number = std::uint32_t(n);
        return true;
    }
    std::string bytes;
    if (startsWith("hex(1):") || startsWith("hex(2):")) {
        if (!ParseHexBytes(data.substr(7), bytes))
            return false;
        v.type = data[4] == '1' ? RegType::String : RegType::ExpandString;
        v.data = Utf16BytesToUtf8(bytes);
        return true;
    }
    if (startsWith("hex:")) {
        if (!ParseHexBytes(data.substr(4), bytes))
            return false;
        v.type = RegType::Binary;
        v.data = bytes;
        return true;
    }
    return false;
}

bool ReadWholeFile(const std::string& path, std::string& text, bool& exists)
{
    exists = false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        exists = errno != ENOENT;
        return errno == ENOENT;
    }
    exists = true;
    text.clear();
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

std::string ErrnoText()
{
    return std::strerror(errno);
}

// Holds the hive's lock file while a write reloads and replaces the file.
class HiveLock {
public:
    explicit HiveLock(const std::string& file)
    {
        fd_ = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~HiveLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

private:
    int fd_ = -1;
};

void SaveAtomically(const std::string& file, const std::string& text)
{
    std::string tmp = file + ".tmp." + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        throw RegistryError("Die Registrierungsdatei " + tmp + " kann nicht angelegt werden: " + ErrnoText());
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::string why = ErrnoText();
            ::close(fd);
            ::unlink(tmp.c_str());
            throw RegistryError("Fehler beim Schreiben von " + tmp + ": " + why);
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        std::string why = ErrnoText();
        ::unlink(tmp.c_str());
        throw RegistryError("Fehler beim Schreiben von " + tmp + ": " + why);
    }
    if (::rename(tmp.c_str(), file.c_str()) != 0) {
        std::string why = ErrnoText();
        ::unlink(tmp.c_str());
        throw RegistryError("Die Registrierungsdatei " + file + " kann nicht ersetzt werden: " + why);
    }
}

}  // namespace

// --- keys and hives ---------------------------------------------------------------

RegValue* RegKey::FindValue(const std::string& valueName)
{
    for (auto& v : values)
        if (SameName(v.name, valueName))
            return &v;
    return nullptr;
}

RegKey* RegKey::FindSubkey(const std::string& keyName)
{
    for (auto& k : subkeys)
        if (SameName(k->name, keyName))
            return k.get();
    return nullptr;
}

RegKey& RegKey::SubkeyOrNew(const std::string& keyName)
{
    if (RegKey* k = FindSubkey(keyName))
        return *k;
    subkeys.push_back(std::make_unique<RegKey>());
    subkeys.back()->name = keyName;
    return *subkeys.back();
}

RegHive::RegHive(Hive hive) : hive_(hive)
{
    root_.name = HiveName(hive);
}

RegKey* RegHive::Find(const std::string& path)
{
    RegKey* k = &root_;
    for (const auto& part : SplitPath(path)) {
        k = k->FindSubkey(part);
        if (!k)
            return nullptr;
    }
    return k;
}

RegKey& RegHive::FindOrCreate(const std::string& path)
{
    RegKey* k = &root_;
    for (const auto& part : SplitPath(path))
        k = &k->SubkeyOrNew(part);
    return *k;
}

bool RegHive::Delete(const std::string& path)
{
    auto parts = SplitPath(path);
    if (parts.empty())
        return false;
    std::string last = parts.back();
    parts.pop_back();
    RegKey* parent = Find(JoinPath(parts));
    if (!parent)
        return false;
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
        if (SameName((*it)->name, last)) {
            parent->subkeys.erase(it);
            return true;
        }
    }
    return false;
}

std::string RegHive::ToText() const
{
    std::string out = std::string(kHeader) + "\r\n";
    // The hive's own values, if any, sit in a section named by the hive.
    if (!root_.values.empty()) {
        RegKey rootOnly;
        rootOnly.values = root_.values;
        WriteKey(out, rootOnly, HiveName(hive_));
    }
    for (const auto& sub : root_.subkeys)
        WriteKey(out, *sub, std::string(HiveName(hive_)) + "\\" + sub->name);
    return out;
}

void RegHive::FromText(const std::string& text)
{
    root_.values.clear();
    root_.subkeys.clear();
    RegKey* current = nullptr;
    std::string pending;  // a value line continued with "\"
    size_t pos = 0;
    const std::string prefix = std::string(HiveName(hive_));
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!pending.empty()) {
            size_t first = line.find_first_not_of(" \t");
            line = pending + (first == std::string::npos ? std::string() : line.substr(first));
            pending.clear();
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            current = nullptr;
            size_t close = line.rfind(']');
            if (close == std::string::npos)
                continue;
            std::string path = line.substr(1, close - 1);
            if (SameName(path.substr(0, prefix.size()), prefix) &&
                (path.size() == prefix.size() || path[prefix.size()] == '\\'))
                current = &FindOrCreate(path.substr(prefix.size()));
            continue;
        }
        if (line.back() == '\\' && line.find("=hex") != std::string::npos) {
            line.pop_back();
            pending = line;
            continue;
        }
        if (!current)
            continue;
        RegValue v;
        if (!ParseValue(line, v))
            continue;
        if (RegValue* old = current->FindValue(v.name))
            *old = std::move(v);
        else
            current->values.push_back(std::move(v));
    }
}

std::string RegistryDir()
{
    const char* dir = std::getenv("SKIMLARK_REGISTRY_DIR");
    if (dir && *dir)
        return dir;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg)
        return std::string(xdg) + "/skimlark/registry";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.config/skimlark/registry";
}

const char* HiveName(Hive hive)
{
    return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string HiveFile(Hive hive)
{
    return RegistryDir() + "/" + HiveName(hive) + ".reg";
}

// --- the registry object ---------------------------------------------------------

TRegistry::TRegistry(unsigned access, Hive root) : access_(access), root_(root)
{
    Load();
}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(Hive root)
{
    CloseKey();
    root_ = root;
    Load();
}

void TRegistry::Load()
{
    hive_ = std::make_unique<RegHive>(root_);
    std::string text;
    bool exists = false;
    if (ReadWholeFile(HiveFile(root_), text, exists) && exists)
        hive_->FromText(text);
}

std::string TRegistry::Resolve(const std::string& key) const
{
    if (!key.empty() && key[0] == '\\')
        return JoinPath(SplitPath(key));
    if (!open_)
        return JoinPath(SplitPath(key));
    auto parts = SplitPath(path_);
    for (const auto& p : SplitPath(key))
        parts.push_back(p);
    return JoinPath(parts);
}

RegKey* TRegistry::CurrentKey()
{
    // Without an open key the hive's root is the current key, as with the
    // system's registry object.
    return open_ ? hive_->Find(path_) : &hive_->root();
}

template <typename F>
void TRegistry::Modify(F&& change)
{
    if (!(access_ & 0x6u) || readOnly_)
        throw RegistryError("Der Schlüssel ist nur zum Lesen geöffnet");
    std::string dir = RegistryDir();
    if (!MakeDirs(dir))
        throw RegistryError("Der Ordner " + dir + " kann nicht angelegt werden: " + ErrnoText());
    std::string file = HiveFile(root_);
    HiveLock lock(file);
    auto fresh = std::make_unique<RegHive>(root_);
    std::string text;
    bool exists = false;
    if (!ReadWholeFile(file, text, exists))
        throw RegistryError("Die Registrierungsdatei " + file + " kann nicht gelesen werden: " + ErrnoText());
    if (exists)
        fresh->FromText(text);
    change(*fresh);
    SaveAtomically(file, fresh->ToText());
    hive_ = std::move(fresh);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    std::string path = Resolve(key);
    Load();
    if (!hive_->Find(path)) {
        if (!canCreate || !(access_ & 0x6u))
            return false;
        try {
            Modify([&path](RegHive& h) { h.FindOrCreate(path); });
        } catch (const RegistryError&) {
            return false;
        }
    }
    open_ = true;
    readOnly_ = false;
    path_ = path;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key)
{
    std::string path = Resolve(key);
    Load();
    if (!hive_->Find(path))
        return false;
    open_ = true;
    readOnly_ = true;
    path_ = path;
    return true;
}

void TRegistry::CloseKey()
{
    open_ = false;
    readOnly_ = false;
    path_.clear();
}

bool TRegistry::KeyExists(const std::string& key)
{
    std::string path = Resolve(key);
    Load();
    return hive_->Find(path) != nullptr;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    std::string path = Resolve(key);
    if (SplitPath(path).empty())
        return false;
    bool deleted = false;
    try {
        Modify([&](RegHive& h) { deleted = h.Delete(path); });
    } catch (const RegistryError&) {
        return false;
    }
    if (open_ && !hive_->Find(path_))
        CloseKey();
    return deleted;
}

bool TRegistry::ValueExists(const std::string& name)
{
    RegKey* k = CurrentKey();
    return k && k->FindValue(name);
}

bool TRegistry::DeleteValue(const std::string& name)
{
    if (!ValueExists(name))
        return false;
    bool deleted = false;
    std::string path = open_ ? path_ : std::string();
    Modify([&](RegHive& h) {
        RegKey* k = h.Find(path);
        if (!k)
            return;
        for (auto it = k->values.begin(); it != k->values.end(); ++it) {
            if (SameName(it->name, name)) {
                k->values.erase(it);
                deleted = true;
                return;
            }
        }
    });
    return deleted;
}

std::vector<std::string> TRegistry::GetValueNames()
{
    std::vector<std::string> names;
    if (RegKey* k = CurrentKey())
        for (const auto& v : k->values)
            names.push_back(v.name);
    return names;
}

std::vector<std::string> TRegistry::GetKeyNames()
{
    std::vector<std::string> names;
    if (RegKey* k = CurrentKey())
        for (const auto& s : k->subkeys)
            names.push_back(s->name);
    return names;
}

std::string TRegistry::ReadString(const std::string& name)
{
    RegKey* k = CurrentKey();
    RegValue* v = k ? k->FindValue(name) : nullptr;
    if (!v)
        return std::string();
    if (v->type != RegType::String && v->type != RegType::ExpandString)
        throw RegistryError("Ungültiger Datentyp für '" + name + "'");
    return v->data;
}

int TRegistry::ReadInteger(const std::string& name)
{
    RegKey* k = CurrentKey();
    RegValue* v = k ? k->FindValue(name) : nullptr;
    if (!v)
        throw RegistryError("Der Wert '" + name + "' fehlt");
    if (v->type != RegType::Integer)
        throw RegistryError("Ungültiger Datentyp für '" + name + "'");
    return static_cast<int>(v->number);
}

void TRegistry::WriteValue(const std::string& name, RegValue value)
{
    value.name = name;
    std::string path = open_ ? path_ : std::string();
    Modify([&](RegHive& h) {
        RegKey& k = h.FindOrCreate(path);
        if (RegValue* old = k.FindValue(name)) {
            value.name = old->name;
            *old = value;
        } else {
            k.values.push_back(value);
        }
    });
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    RegValue v;
    v.type = RegType::String;
    v.data = value;
    WriteValue(name, std::move(v));
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value)
{
    RegValue v;
    v.type = RegType::ExpandString;
    v.data = value;
    WriteValue(name, std::move(v));
}

void TRegistry::WriteInteger(const std::string& name, int value)
{
    RegValue v;
    v.type = RegType::Integer;
    v.number = static_cast<std::uint32_t>(value);
    WriteValue(name, std::move(v));
}

}  // namespace platform
