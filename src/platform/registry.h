// The program's settings store in place of the system registry: keys holding
// named string and integer values, one text file per hive in the .reg text
// format. Texts are UTF-8 as the file holds them.
//
// Every write reloads the hive, applies the one change and replaces the file
// atomically (temp file + rename) under a lock file, so two processes that
// write different values of one hive lose nothing of each other.
#pragma once

#include <cstdint>
#include <map>
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
};

// One key of a hive: its values in the order they were created and its
// subkeys by name. Names compare without regard to letter case, as the
// registry does, and keep the case they were created with.
struct RegKey {
    std::string name;
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegKey>> subkeys;

    RegValue* FindValue(const std::string& valueName);
    RegKey* FindSubkey(const std::string& keyName);
    RegKey& SubkeyOrNew(const std::string& keyName);
};

// A whole hive in memory with its .reg text form.
class RegHive {
public:
    explicit RegHive(Hive hive);
    Hive hive() const { return hive_; }
    RegKey& root() { return root_; }
    // The key at a path of names separated by "\", or null.
    RegKey* Find(const std::string& path);
    RegKey& FindOrCreate(const std::string& path);
    bool Delete(const std::string& path);

    std::string ToText() const;
    // Parses .reg text; sections of other hives and lines it does not
    // understand are skipped, so a damaged file loses only its damaged part.
    void FromText(const std::string& text);

private:
    Hive hive_;
    RegKey root_;
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
    void SetAccess(unsigned access) { access_ = access; }

    // A path that starts with "\" is taken from the hive's root, any other
    // from the current key. With canCreate a missing key is created (which
    // writes the hive); false when the key is missing or cannot be created.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    bool HasCurrentKey() const { return open_; }
    // Path of the current key below the hive, without a leading "\".
    const std::string& CurrentPath() const { return path_; }

    bool KeyExists(const std::string& key);
    // Deletes the key with all its subkeys; false when it did not exist.
    bool DeleteKey(const std::string& key);

    bool ValueExists(const std::string& name);
    bool DeleteValue(const std::string& name);
    std::vector<std::string> GetValueNames();
    std::vector<std::string> GetKeyNames();

    // A missing value reads as ""; a value that is not a string throws.
    std::string ReadString(const std::string& name);
    // A missing value or one that is not an integer throws.
    int ReadInteger(const std::string& name);
    // Throw when no key is open for writing or the file cannot be written.
    void WriteString(const std::string& name, const std::string& value);
    void WriteExpandString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int value);

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
};

}  // namespace platform
