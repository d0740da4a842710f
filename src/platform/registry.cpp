#include "platform/registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <unistd.h>

#include "platform/ascii_text.h"
#include "platform/cp1252.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace platform {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr const char* kRoots[] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT",
                                  "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
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

// --- UTF-16 for the hex(1) and hex(2) forms -----------------------------------

bool IsPlainText(const std::string& s)
{
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F)
            return false;
    return IsValidUtf8(s);
}

// UTF-16LE bytes with the terminating zero.
std::string Utf16Bytes(const std::string& s)
{
    std::string out;
    for (char16_t u : Utf8ToUtf16(s)) {
        out += char(u & 0xFF);
        out += char(u >> 8);
    }
    out.append(2, '\0');
    return out;
}

std::string TextOfUtf16Bytes(const std::string& bytes)
{
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t u = char16_t(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (u == 0)
            break;
        units += u;
    }
    return Utf16ToUtf8(units);
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

// The value's line without its line end.
std::string ValueText(const RegValue& v)
{
    std::string out = v.name.empty() ? std::string("@") : Quote(v.name);
    out += '=';
    char buf[16];
    switch (v.type) {
    case RegType::String:
        out += IsPlainText(v.data) ? Quote(v.data) : "hex(1):" + HexBytes(Utf16Bytes(v.data));
        break;
    case RegType::ExpandString:
        out += "hex(2):" + HexBytes(Utf16Bytes(v.data));
        break;
    case RegType::Integer:
        std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(v.number));
        out += buf;
        break;
    case RegType::Binary:
        out += "hex:" + HexBytes(v.data);
        break;
    }
    return out;
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

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHexBytes(const std::string& text, std::string& out)
{
    out.clear();
    int nibbles = 0;
    unsigned cur = 0;
    for (char c : text) {
        int d = HexDigit(c);
        if (d < 0) {
            if (c != ',' && c != ' ' && c != '\t')
                return false;
            if (nibbles) {
                out += char(cur);
                nibbles = 0;
                cur = 0;
            }
            continue;
        }
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
        if (*end || HexDigit(digits[0]) < 0)
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
        v.data = TextOfUtf16Bytes(bytes);
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

// The line without its line end.
std::string_view Content(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::string_view LineEnd(std::string_view line)
{
    return line.substr(Content(line).size());
}

bool IsHeader(std::string_view content)
{
    if (content.substr(0, kUtf8Mark.size()) == kUtf8Mark)
        content.remove_prefix(kUtf8Mark.size());
    content = TrimBlanks(content);
    return content == kHeader || content == kOldHeader;
}

// "[ROOT\path]" of a known root, "[-ROOT\path]" (a deletion) included; a line
// that only begins with "[" is no section and is passed over as damaged.
bool ParseSection(std::string_view content, std::string_view& root, std::string_view& path, bool& deletion)
{
    content = TrimBlanks(content);
    if (content.size() < 2 || content.front() != '[' || content.back() != ']')
        return false;
    std::string_view inner = content.substr(1, content.size() - 2);
    deletion = !inner.empty() && inner.front() == '-';
    if (deletion)
        inner.remove_prefix(1);
    size_t slash = inner.find('\\');
    root = inner.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : inner.substr(slash + 1);
    for (const char* known : kRoots)
        if (SameName(root, known))
            return true;
    return false;
}

// A hex value's continuation: hex digits, commas and blanks, and at most a
// final "\" for one more line.
bool IsContinuation(std::string_view content)
{
    content = TrimBlanks(content);
    if (!content.empty() && content.back() == '\\')
        content.remove_suffix(1);
    if (content.empty())
        return false;
    for (char c : content)
        if (HexDigit(c) < 0 && c != ',' && c != ' ' && c != '\t')
            return false;
    return true;
}

// A value and its continuation lines as one line of text.
std::string JoinedValue(std::string_view text)
{
    std::string out;
    bool first = true;
    while (!text.empty()) {
        size_t end = text.find('\n');
        end = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = Content(text.substr(0, end));
        text.remove_prefix(end);
        if (!first)
            line = TrimBlanks(line);
        if (!text.empty() && !line.empty() && line.back() == '\\')
            line.remove_suffix(1);
        out += line;
        first = false;
    }
    return out;
}

RegKey& KeyOrNew(RegKey& root, const std::string& path)
{
    RegKey* k = &root;
    for (const auto& part : SplitPath(path))
        k = &k->SubkeyOrNew(part);
    return *k;
}

bool IsAtOrBelow(const std::string& key, const std::string& path)
{
    return SameName(key, path) || (key.size() > path.size() && key[path.size()] == '\\' &&
                                   StartsWithNoCase(key, path));
}

// A line with a NUL byte is damaged like any other line that cannot be read:
// it is passed over, and the rest of the file still counts.
bool HasNul(std::string_view line)
{
    return line.find('\0') != std::string_view::npos;
}

// The file's text as UTF-8. A registry editor's export is UTF-16LE with its
// byte order mark; it is read as such and written back as UTF-8.
std::string HiveText(std::string bytes)
{
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE')
        return bytes;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        units += char16_t(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return Utf16ToUtf8(units);
}

int ReadHiveFile(const std::string& file, std::string& text)
{
    int err = ReadWholeFile(file, text);
    if (err == 0)
        text = HiveText(std::move(text));
    return err;
}

std::string ReadError(const std::string& file, int err)
{
    return "Die Registrierungsdatei " + file + " kann nicht gelesen werden: " + SystemErrorTextUtf8(err);
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

// Writes text to the open fd and closes it; removes the file and throws on
// failure.
void WriteAndClose(int fd, const std::string& name, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::string why = SystemErrorTextUtf8(errno);
            ::close(fd);
            ::unlink(name.c_str());
            throw RegistryError("Fehler beim Schreiben von " + name + ": " + why);
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        std::string why = SystemErrorTextUtf8(errno);
        ::unlink(name.c_str());
        throw RegistryError("Fehler beim Schreiben von " + name + ": " + why);
    }
}

void SaveAtomically(const std::string& file, const std::string& text)
{
    std::string tmp = file + ".tmp." + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        throw RegistryError("Die Registrierungsdatei " + tmp + " kann nicht angelegt werden: " + SystemErrorTextUtf8(errno));
    WriteAndClose(fd, tmp, text);
    if (::rename(tmp.c_str(), file.c_str()) != 0) {
        std::string why = SystemErrorTextUtf8(errno);
        ::unlink(tmp.c_str());
        throw RegistryError("Die Registrierungsdatei " + file + " kann nicht ersetzt werden: " + why);
    }
}

// Keeps a copy of the file's old bytes under a name not yet taken; returns
// that name.
std::string KeepAside(const std::string& file, const std::string& text)
{
    for (int n = 1; n < 1000; ++n) {
        std::string name = file + ".bak" + (n > 1 ? std::to_string(n) : std::string());
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            throw RegistryError("Die Sicherung " + name + " kann nicht angelegt werden: " + SystemErrorTextUtf8(errno));
        WriteAndClose(fd, name, text);
        return name;
    }
    throw RegistryError("Für die Registrierungsdatei " + file + " ist kein Sicherungsname mehr frei");
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

bool RegHive::IsRegText(const std::string& text)
{
    if (TrimBlanks(text).empty())
        return true;
    std::string_view rest = text;
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        end = end == std::string_view::npos ? rest.size() : end + 1;
        std::string_view line = Content(rest.substr(0, end));
        rest.remove_prefix(end);
        std::string_view root, path;
        bool deletion;
        if (!HasNul(line) && (IsHeader(line) || ParseSection(line, root, path, deletion)))
            return true;
    }
    return false;
}

void RegHive::FromText(const std::string& text)
{
    lines_.clear();
    bool ours = false;
    std::string key;
    size_t pos = 0;
    auto nextLine = [&text, &pos]() {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(pos, end - pos);
        pos = end;
        return line;
    };
    while (pos < text.size()) {
        Line line;
        line.text = nextLine();
        std::string_view content = Content(line.text);
        std::string_view root, path;
        bool deletion = false;
        if (HasNul(content)) {
            // Neither a section nor a value.
        } else if (!content.empty() && content[0] == '[' && ParseSection(content, root, path, deletion)) {
            line.section = true;
            ours = !deletion && SameName(root, HiveName(hive_));
            key = JoinPath(SplitPath(std::string(path)));
        } else if (ours && !content.empty() && content.back() == '\\' && content.find("=hex") != std::string::npos) {
            // A hex value goes on while the next lines look like its bytes;
            // any other line ends it and is read for itself.
            for (bool more = true; more && pos < text.size();) {
                size_t start = pos;
                std::string next = nextLine();
                if (!IsContinuation(Content(next))) {
                    pos = start;
                    break;
                }
                more = Content(next).back() == '\\';
                line.text += next;
            }
        }
        line.ours = ours;
        line.key = key;
        lines_.push_back(std::move(line));
    }

    root_.values.clear();
    root_.subkeys.clear();
    root_.valuesEnd = std::string::npos;
    RegKey* current = nullptr;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.section) {
            current = line.ours ? &KeyOrNew(root_, line.key) : nullptr;
            if (current)
                current->valuesEnd = i;
            continue;
        }
        if (!current)
            continue;
        std::string content = JoinedValue(line.text);
        RegValue v;
        if (content.empty() || content[0] == ';' || HasNul(content) || !ParseValue(content, v))
            continue;
        v.line = i;
        current->valuesEnd = i;
        if (RegValue* old = current->FindValue(v.name))
            *old = std::move(v);
        else
            current->values.push_back(std::move(v));
    }
}

std::string RegHive::ToText() const
{
    std::string out;
    for (const auto& line : lines_)
        out += line.text;
    return out;
}

std::string RegHive::NewLine() const
{
    if (!lines_.empty() && LineEnd(lines_[0].text) == "\n")
        return "\n";
    return "\r\n";
}

// The path as the keys that exist already spell it.
std::string RegHive::KeySpelling(const std::string& path)
{
    std::vector<std::string> parts = SplitPath(path);
    RegKey* k = &root_;
    for (auto& part : parts) {
        k = k ? k->FindSubkey(part) : nullptr;
        if (k)
            part = k->name;
    }
    return JoinPath(parts);
}

void RegHive::Replace(size_t first, size_t count, const std::string& text)
{
    std::string out;
    if (lines_.empty() || !IsHeader(Content(lines_[0].text)))
        out = std::string(kHeader) + NewLine();
    for (size_t i = 0; i < first; ++i)
        out += lines_[i].text;
    // A last line without its line end gets one before anything follows it.
    if (first > 0 && lines_[first - 1].text.back() != '\n')
        out += lines_[first - 1].text.back() == '\r' ? std::string("\n") : NewLine();
    out += text;
    for (size_t i = first + count; i < lines_.size(); ++i)
        out += lines_[i].text;
    FromText(out);
}

void RegHive::AppendSection(const std::string& path)
{
    std::string spelled = KeySpelling(path);
    std::string header = std::string("[") + HiveName(hive_) + (spelled.empty() ? "" : "\\") + spelled + "]";
    Replace(lines_.size(), 0, NewLine() + header + NewLine());
}

void RegHive::CreateKey(const std::string& path)
{
    if (!Find(path))
        AppendSection(path);
}

void RegHive::SetValue(const std::string& path, const RegValue& value)
{
    RegKey* k = Find(path);
    // A key that is only the parent of deeper sections gets a section of its own.
    if (!k || k->valuesEnd == std::string::npos) {
        AppendSection(path);
        k = Find(path);
    }
    if (RegValue* old = k->FindValue(value.name)) {
        RegValue renamed = value;
        renamed.name = old->name;
        size_t at = old->line;
        Replace(at, 1, ValueText(renamed) + std::string(LineEnd(lines_[at].text)));
        return;
    }
    Replace(k->valuesEnd + 1, 0, ValueText(value) + NewLine());
}

bool RegHive::DeleteKey(const std::string& path)
{
    std::string key = JoinPath(SplitPath(path));
    if (key.empty() || !Find(key))
        return false;
    std::vector<std::string> parts = SplitPath(key);
    parts.pop_back();
    std::string parent = KeySpelling(JoinPath(parts));
    std::string out;
    bool dropping = false;
    for (const auto& line : lines_) {
        if (line.section)
            dropping = line.ours && IsAtOrBelow(line.key, key);
        if (!dropping)
            out += line.text;
    }
    FromText(out);
    // The parent stays, also when it was only the parent of the deleted key.
    if (!Find(parent))
        AppendSection(parent);
    return true;
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
    std::string file = HiveFile(root_);
    std::string text;
    int err = ReadHiveFile(file, text);
    lastError_.clear();
    if (err == 0 && RegHive::IsRegText(text))
        hive_->FromText(text);
    else if (err != 0 && err != ENOENT)
        lastError_ = ReadError(file, err);
}

std::string TRegistry::TakeNote()
{
    std::string note;
    note.swap(note_);
    return note;
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
        throw RegistryError("Der Ordner " + dir + " kann nicht angelegt werden: " + SystemErrorTextUtf8(errno));
    std::string file = HiveFile(root_);
    HiveLock lock(file);
    auto fresh = std::make_unique<RegHive>(root_);
    std::string text;
    int err = ReadHiveFile(file, text);
    if (err != 0 && err != ENOENT)
        throw RegistryError(ReadError(file, err));
    std::string keptAs;
    if (err == 0 && !RegHive::IsRegText(text))
        keptAs = KeepAside(file, text);
    else
        fresh->FromText(text);
    change(*fresh);
    SaveAtomically(file, fresh->ToText());
    hive_ = std::move(fresh);
    if (!keptAs.empty())
        note_ = "Die Registrierungsdatei " + file +
                " war keine lesbare Textdatei; sie wurde als " + keptAs +
                " aufbewahrt, die Einstellungen beginnen mit ihren Vorgaben.";
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    std::string path = Resolve(key);
    Load();
    if (!hive_->Find(path)) {
        if (!canCreate || !(access_ & 0x6u))
            return false;
        try {
            Modify([&path](RegHive& h) { h.CreateKey(path); });
        } catch (const RegistryError& e) {
            lastError_ = e.what();
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
        Modify([&](RegHive& h) { deleted = h.DeleteKey(path); });
    } catch (const RegistryError& e) {
        lastError_ = e.what();
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
    Modify([&](RegHive& h) { h.SetValue(path, value); });
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    RegValue v;
    v.type = RegType::String;
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
