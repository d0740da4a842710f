// Remote access: the dial-up connections of the system's phone book, dialling
// with progress notifications, the active connections and hanging up. The
// phone book is NetworkManager's list of connections of a dial-up kind, read
// and driven through nmcli with a fixed argument vector. Without nmcli (or
// without a running NetworkManager) the phone book is simply empty.
//
// Texts here are UTF-8; the caller converts at its edge.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::remote {

// Connection states, numbered as the dial notifications carry them.
enum ConnState : int {
    kOpenPort = 0,
    kPortOpened = 1,
    kConnectDevice = 2,
    kDeviceConnected = 3,
    kAllDevicesConnected = 4,
    kAuthenticate = 5,
    kAuthNotify = 6,
    kAuthRetry = 7,
    kAuthCallback = 8,
    kAuthChangePassword = 9,
    kAuthProject = 10,
    kAuthLinkSpeed = 11,
    kAuthAck = 12,
    kReAuthenticate = 13,
    kAuthenticated = 14,
    kPrepareForCallback = 15,
    kWaitForModemReset = 16,
    kWaitForCallback = 17,
    kProjected = 18,
    kInteractive = 0x1000,
    kRetryAuthentication = 0x1001,
    kCallbackSetByCaller = 0x1002,
    kPasswordExpired = 0x1003,
    kConnected = 0x2000,
    kDisconnected = 0x2001,
};

// Error codes of this layer; ErrorText gives their texts.
enum Error : int {
    kOk = 0,
    kInvalidHandle = 6,         // the connection is gone
    kNotEnoughMemory = 8,
    kInvalidParameter = 87,
    kBufferTooSmall = 603,
    kEntryNotFound = 623,
    kRemoteDisconnected = 629,  // the other side ended or refused the connection
    kUserDisconnected = 631,
    kDeviceError = 651,
    kNoAnswer = 678,
    kAuthenticationFailed = 691,
    kServiceUnavailable = 711,  // no nmcli, or NetworkManager not running
};

// A phone-book entry or an active connection.
struct Entry {
    std::string name;
    std::string uuid;    // the handle of the connection
    std::string type;    // the connection's kind: gsm, cdma, pppoe, vpn, ...
    std::string device;  // the interface it runs on, "" while inactive
    std::string state;   // activating, activated, deactivating; "" while inactive
};

// True for the kinds that count as dial-up connections.
bool IsDialUpKind(std::string_view type);

// The connections of a dial-up kind, all or only the active ones, in the
// order the system lists them. Without nmcli or NetworkManager: 0, none.
[[nodiscard]] int ListEntries(bool activeOnly, std::vector<Entry>& out);

// The phone-book entry of that exact name: 0, kEntryNotFound, or
// kServiceUnavailable when there is no phone book at all.
[[nodiscard]] int FindEntry(const std::string& name, Entry& out);

// Called from the dialling thread: a state and its error (0 for none). The
// last call of a dial carries kConnected or kDisconnected.
using Notifier = std::function<void(int state, int error)>;

// Starts activating the entry on a thread of its own and returns at once
// with the handle to ask about. A non-empty password is handed over for this
// activation only; an empty one keeps the secret saved with the entry.
[[nodiscard]] int StartDial(const Entry& entry, const std::string& password, Notifier notify,
                            std::string& handle);

// The state of a connection: 0 and the state while it is being dialled or
// active, kInvalidHandle once it is gone.
[[nodiscard]] int ConnectStatus(const std::string& handle, int& state);

// Ends a dial in progress and deactivates the connection; returns at once.
int HangUpConnection(const std::string& handle);

// The text for one of the codes above, "" for a code without one.
std::string ErrorText(int code);

}  // namespace platform::remote
