#include "platform/remote_access.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/shell.h"

namespace platform::remote {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// nmcli's messages and state names are only read in the C locale.
const std::vector<std::string> kNmcliEnv = {"LC_ALL=C"};

// nmcli's own exit codes.
constexpr int kNmcliTimeout = 3;
constexpr int kNmcliActivationFailed = 4;
constexpr int kNmcliNotRunning = 8;
constexpr int kNmcliNotFound = 10;

// How long nmcli may take for an activation (it gives up itself first) and
// for the short questions.
constexpr int kDialWaitSeconds = 90;
constexpr seconds kDialLimit{kDialWaitSeconds + 30};
constexpr seconds kQueryLimit{20};

bool ServiceMissing(const ProgramRun& r)
{
    return r.startError == ENOENT || (r.startError == 0 && r.exitCode == kNmcliNotRunning);
}

bool Contains(std::string haystack, std::string_view needle)
{
    std::transform(haystack.begin(), haystack.end(), haystack.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return haystack.find(needle) != std::string::npos;
}

int FailureCode(const ProgramRun& r)
{
    if (ServiceMissing(r))
        return kServiceUnavailable;
    if (r.startError == ENOMEM)
        return kNotEnoughMemory;
    if (r.startError != 0)
        return kServiceUnavailable;
    if (r.timedOut || r.exitCode == kNmcliTimeout)
        return kNoAnswer;
    if (r.exitCode == kNmcliNotFound)
        return kEntryNotFound;
    if (Contains(r.err, "secret") || Contains(r.err, "auth") || Contains(r.err, "password"))
        return kAuthenticationFailed;
    if (Contains(r.err, "timeout") || Contains(r.err, "timed out"))
        return kNoAnswer;
    if (r.exitCode == kNmcliActivationFailed)
        return kRemoteDisconnected;
    return kDeviceError;
}

// One line of nmcli's terse output: fields split at ':', with "\:" and "\\"
// standing for the characters themselves.
std::vector<std::string> TerseFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            fields.back() += line[++i];
        } else if (c == ':') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// Runs the listing; available is false when there is no phone book at all.
int Query(bool activeOnly, std::vector<Entry>& out, bool& available)
{
    out.clear();
    available = true;
    std::vector<std::string> argv = {"nmcli", "--terse", "--escape", "yes", "--fields",
                                     "NAME,UUID,TYPE,DEVICE,STATE", "connection", "show"};
    if (activeOnly)
        argv.push_back("--active");
    ProgramRun r = RunProgram(argv, kQueryLimit, kNmcliEnv);
    if (ServiceMissing(r)) {
        available = false;
        return kOk;
    }
    if (r.startError != 0 || r.timedOut || r.exitCode != 0)
        return FailureCode(r);
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        if (end == std::string::npos)
            end = r.out.size();
        std::string line = r.out.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> f = TerseFields(line);
        if (f.size() < 5 || f[1].empty() || !IsDialUpKind(f[2]))
            continue;
        out.push_back({f[0], f[1], f[2], f[3], f[4]});
    }
    return kOk;
}

// The secrets file that hands a password to nmcli for one activation; one
// line per setting that may ask for it with this kind of connection.
std::string PasswordLines(const std::string& type, const std::string& password)
{
    std::vector<std::string> keys;
    if (type == "gsm")
        keys = {"gsm.password"};
    else if (type == "cdma")
        keys = {"cdma.password"};
    else if (type == "pppoe" || type == "ppp")
        keys = {"pppoe.password"};
    else if (type == "vpn")
        keys = {"vpn.secrets.password"};
    else
        keys = {"gsm.password", "cdma.password"};  // bluetooth dial-up runs over either
    std::string text;
    for (const std::string& k : keys)
        text += k + ":" + password + "\n";
    return text;
}

// Writes the secrets to a file only we can read; "" when that failed.
std::string WritePasswordFile(const std::string& content)
{
    std::string path = TempDir() + "skimlark-dial-XXXXXX";
    int fd = mkstemp(path.data());
    if (fd < 0)
        return "";
    bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(path.c_str());
        return "";
    }
    return path;
}

struct Session {
    std::string handle;
    std::atomic<int> state{kOpenPort};
    std::atomic<bool> cancel{false};
    std::thread thread;
};

// The dials this process started. At exit every dial still running is
// ended, so that no thread outlives the program's statics.
struct Sessions {
    std::mutex mutex;
    std::vector<std::shared_ptr<Session>> list;

    ~Sessions()
    {
        for (auto& s : list) {
            s->cancel = true;
            if (s->thread.joinable())
                s->thread.join();
        }
    }

    std::shared_ptr<Session> Take(const std::string& handle)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = std::find_if(list.begin(), list.end(), [&](auto& s) { return s->handle == handle; });
        if (it == list.end())
            return nullptr;
        std::shared_ptr<Session> s = *it;
        list.erase(it);
        return s;
    }

    std::shared_ptr<Session> Find(const std::string& handle)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto& s : list)
            if (s->handle == handle)
                return s;
        return nullptr;
    }
};

Sessions& AllSessions()
{
    static Sessions sessions;
    return sessions;
}

void EndSession(const std::shared_ptr<Session>& s)
{
    if (!s)
        return;
    s->cancel = true;
    if (s->thread.joinable())
        s->thread.join();
}

void RunDial(Session& s, Entry entry, std::string password, Notifier notify)
{
    notify(kOpenPort, 0);
    std::string secrets;
    if (!password.empty()) {
        secrets = WritePasswordFile(PasswordLines(entry.type, password));
        if (secrets.empty()) {
            notify(kDisconnected, kDeviceError);
            s.state = kDisconnected;
            return;
        }
    }
    notify(kConnectDevice, 0);
    std::vector<std::string> argv = {"nmcli", "--wait", std::to_string(kDialWaitSeconds),
                                     "connection", "up", "uuid", entry.uuid};
    if (!secrets.empty()) {
        argv.push_back("passwd-file");
        argv.push_back(secrets);
    }
    ProgramRun r = RunProgram(argv, kDialLimit, kNmcliEnv, &s.cancel);
    if (!secrets.empty())
        unlink(secrets.c_str());
    // A dial ended by a hang-up reports nothing more: the caller knows.
    if (r.cancelled) {
        s.state = kDisconnected;
        return;
    }
    // The notification comes before the state, so that whoever sees the end
    // state also sees the error that the notification carried.
    if (r.startError == 0 && !r.timedOut && r.exitCode == 0) {
        notify(kConnected, 0);
        s.state = kConnected;
    } else {
        notify(kDisconnected, FailureCode(r));
        s.state = kDisconnected;
    }
}

int StateOf(const std::string& nmState)
{
    if (nmState == "activated")
        return kConnected;
    if (nmState == "deactivating")
        return kDisconnected;
    return kConnectDevice;
}

}  // namespace

bool IsDialUpKind(std::string_view type)
{
    static constexpr std::string_view kinds[] = {"ppp", "pppoe", "gsm", "cdma", "bluetooth", "vpn"};
    return std::find(std::begin(kinds), std::end(kinds), type) != std::end(kinds);
}

int ListEntries(bool activeOnly, std::vector<Entry>& out)
{
    bool available;
    return Query(activeOnly, out, available);
}

int FindEntry(const std::string& name, Entry& out)
{
    std::vector<Entry> entries;
    bool available;
    int rc = Query(false, entries, available);
    if (rc != kOk)
        return rc;
    if (!available)
        return kServiceUnavailable;
    for (const Entry& e : entries)
        if (e.name == name) {
            out = e;
            return kOk;
        }
    return kEntryNotFound;
}

int StartDial(const Entry& entry, const std::string& password, Notifier notify, std::string& handle)
{
    handle.clear();
    if (entry.uuid.empty())
        return kEntryNotFound;
    // The secrets file holds one "key:value" per line.
    if (password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return kInvalidParameter;
    Sessions& all = AllSessions();
    EndSession(all.Take(entry.uuid));

    auto s = std::make_shared<Session>();
    s->handle = entry.uuid;
    {
        std::lock_guard<std::mutex> lock(all.mutex);
        all.list.push_back(s);
    }
    try {
        s->thread = std::thread(RunDial, std::ref(*s), entry, password, std::move(notify));
    } catch (const std::system_error&) {
        all.Take(entry.uuid);
        return kNotEnoughMemory;
    }
    handle = entry.uuid;
    return kOk;
}

int ConnectStatus(const std::string& handle, int& state)
{
    if (auto s = AllSessions().Find(handle)) {
        state = s->state;
        return kOk;
    }
    std::vector<Entry> active;
    bool available;
    if (Query(true, active, available) != kOk || !available)
        return kInvalidHandle;
    for (const Entry& e : active)
        if (e.uuid == handle) {
            state = StateOf(e.state);
            return kOk;
        }
    return kInvalidHandle;
}

int HangUpConnection(const std::string& handle)
{
    EndSession(AllSessions().Take(handle));
    ProgramRun r = RunProgram({"nmcli", "--wait", "10", "connection", "down", "uuid", handle},
                              kQueryLimit, kNmcliEnv);
    return (r.startError == 0 && !r.timedOut && r.exitCode == 0) ? kOk : FailureCode(r);
}

std::string ErrorText(int code)
{
    switch (code) {
    case kInvalidHandle: return "Das Handle ist ungültig.";
    case kNotEnoughMemory: return "Nicht genügend Speicher verfügbar.";
    case kInvalidParameter: return "Ungültiger Parameter.";
    case kBufferTooSmall: return "Der Puffer ist zu klein.";
    case kEntryNotFound: return "Der Telefonbucheintrag wurde nicht gefunden.";
    case kRemoteDisconnected: return "Die Verbindung wurde von der Gegenstelle getrennt.";
    case kUserDisconnected: return "Die Verbindung wurde vom Benutzer getrennt.";
    case kDeviceError: return "Das Gerät hat einen Fehler gemeldet.";
    case kNoAnswer: return "Die Gegenstelle antwortet nicht.";
    case kAuthenticationFailed: return "Zugriff verweigert: Benutzername oder Kennwort ist ungültig.";
    case kServiceUnavailable:
        return "Der Wählverbindungsdienst ist nicht verfügbar (nmcli fehlt oder NetworkManager läuft nicht).";
    default: return "";
    }
}

}  // namespace platform::remote
