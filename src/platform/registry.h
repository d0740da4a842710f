// The program's settings store in place of the system registry: keys holding
// named string and integer values, one text file per hive in the .reg text
// format. Texts are UTF-8 as the file holds them.
//
// Every write reloads the hive, applies the one change and replaces the file
// atomically (temp file + rename) under a lock file, so two processes that
// write different values of one hive lose nothing of each other.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// Failures of the store: a missing or mistyped integer, a value of the wrong
// type, a write without an open key, a file that cannot be written.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Hive { CurrentUser, LocalMachine };

// Access rights as the registry call takes them.
enum : unsigned { KEY_READ = 0x20019, KEY_WRITE = 0x20006, KEY_ALL_ACCESS = 0xF003F };

enum class RegType { String, ExpandString, Integer, Binary };

struct RegValue {
    std::string name;  // "" is the key's default value
    RegType type = RegType::String;
    std::string data;       // String: the text; Binary: the bytes
    std::uint32_t number = 0;  // Integer
    size_t line = 0;           // the file line that holds it
};

// One key of a hive: its values and its subkeys by name. Names compare
// without regard to letter case, as the registry does, and keep the case
// they were created with.
struct RegKey {
    std::string name;
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegKey>> subkeys;
    // The line after which a new value of the key goes; npos while the key
    // has no section of its own (it is only the parent of one).
    size_t valuesEnd = std::string::npos;

    RegValue* FindValue(const std::string& valueName);
    RegKey* FindSubkey(const std::string& keyName);
    RegKey& SubkeyOrNew(const std::string& keyName);
};

// A whole hive in memory, kept as the lines of its .reg text. A change
// rewrites only the lines it concerns: lines the store cannot read (other
// value types, damaged lines, comments, other hives' sections) and keys it
// never opened stay byte for byte as they were.
class RegHive {
public:
    explicit RegHive(Hive hive);
    Hive hive() const { return hive_; }
    RegKey& root() { return root_; }
    // The key at a path of names separated by "\", or null.
    RegKey* Find(const std::string& path);

    // False for a file that is no .reg text as a whole (another encoding,
    // binary data): reading it line by line would find nothing of it.
    static bool IsRegText(const std::string& text);
    // A damaged line costs only itself.
    void FromText(const std::string& text);
    std::string ToText() const;

    void CreateKey(const std::string& path);
    void SetValue(const std::string& path, const RegValue& value);
    // The key with all its subkeys; false when it did not exist.
    bool DeleteKey(const std::string& path);

private:
    std::string NewLine() const;
    std::string KeySpelling(const std::string& path);
    void Replace(size_t first, size_t count, const std::string& text);
    void AppendSection(const std::string& path);

    Hive hive_;
    RegKey root_;
    // One line of the file, a value with its continuation lines as one.
    struct Line {
        std::string text;      // the bytes, line end included
        bool section = false;  // opens a section, of any hive
        bool ours = false;     // opens or lies in a section of this hive
        std::string key;       // that section's key path
    };
    std::vector<Line> lines_;
};

// The folder of the hive files: SKIMLARK_REGISTRY_DIR, else
// XDG_CONFIG_HOME/skimlark/registry, else ~/.config/skimlark/registry.
std::string RegistryDir();
// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
const char* HiveName(Hive hive);
std::string HiveFile(Hive hive);

// In the manner of the class library's registry object: a root hive, one
// current key, reads and writes of the current key's values.
class TRegistry {
public:
    explicit TRegistry(unsigned access = KEY_ALL_ACCESS, Hive root = Hive::CurrentUser);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    Hive RootKey() const { return root_; }
    void SetRootKey(Hive root);
    unsigned Access() const { return access_; }

    // A path that starts with "\" is taken from the hive's root, any other
    // from the current key. With canCreate a missing key is created (which
    // writes the hive); false when the key is missing or cannot be created.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    // Path of the current key below the hive, without a leading "\".
    const std::string& CurrentPath() const { return path_; }

    bool KeyExists(const std::string& key);
    // Deletes the key with all its subkeys; false when it did not exist.
    bool DeleteKey(const std::string& key);

    bool ValueExists(const std::string& name);

    // A missing value reads as ""; a value that is not a string throws.
    std::string ReadString(const std::string& name);
    // A missing value or one that is not an integer throws.
    int ReadInteger(const std::string& name);
    // Throw when no key is open for writing or the file cannot be written.
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int value);

    // Why the last open, delete or read of the hive file failed ("" when none
    // did), for the user's note.
    const std::string& LastError() const { return lastError_; }
    // A note for the user, given once: a hive file that was no .reg text was
    // kept beside the new one.
    std::string TakeNote();

private:
    std::string Resolve(const std::string& key) const;
    RegKey* CurrentKey();
    void Load();
    // Reload the hive under the lock, apply the change, save atomically.
    template <typename F>
    void Modify(F&& change);
    void WriteValue(const std::string& name, RegValue value);

    unsigned access_;
    Hive root_;
    std::unique_ptr<RegHive> hive_;  // what the file held at the last open or write
    bool open_ = false;
    bool readOnly_ = false;
    std::string path_;
    std::string lastError_;
    std::string note_;
};

}  // namespace platform
