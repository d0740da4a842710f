#include "web/dialup.h"

#include <chrono>
#include <thread>
#include <vector>

#include "platform/cp1252.h"
#include "platform/remote_access.h"
#include "platform/route_table.h"
#include "platform/texts.h"
#include "web/page_run.h"

namespace remote = platform::remote;

RasConnection ActiveConnection;
std::atomic<int> LastRasError{0};
// False while the lookup of the run's start is put off.
static bool activeConnectionKnown = false;
std::atomic<int> RasNotifyCount{0};

namespace {

using std::chrono::milliseconds;

// A hang-up that the system never confirms must not hold the run forever.
constexpr auto kHangUpLimit = std::chrono::seconds(30);

void DebugLine(PageRun& run, const std::string& line)
{
    if (run.debugOn())
        run.AppendOutput("%s", line.c_str());
}

// The notification texts by state; a state without one writes nothing.
const char* StateText(int state)
{
    switch (state) {
    case remote::kOpenPort: return "Kanal öffnen...";
    case remote::kPortOpened: return "Kanal geöffnet.";
    case remote::kConnectDevice: return "Wähle...";
    case remote::kDeviceConnected: return "Verbunden";
    case remote::kAllDevicesConnected: return "Alle verbunden";
    case remote::kAuthenticate: return "Authentisierung...";
    case remote::kAuthNotify: return "Authentisierung notify";
    case remote::kAuthRetry: return "Authentisierung Wiederholung";
    case remote::kAuthCallback: return "Authentisierung Callback";
    case remote::kAuthChangePassword: return "Kennwort Änderung";
    case remote::kAuthProject: return "AuthProject";
    case remote::kAuthLinkSpeed: return "Link speed";
    case remote::kAuthAck: return "AuthAck";
    case remote::kReAuthenticate: return "ReAuthenticate";
    case remote::kAuthenticated: return "Authenticated";
    case remote::kPrepareForCallback: return "PrepareForCallback";
    case remote::kWaitForModemReset: return "Warte auf Modem Reset...";
    case remote::kWaitForCallback: return "Wait for callback";
    case remote::kInteractive: return "Interactive";
    case remote::kRetryAuthentication: return "Wiederholung Authentisierung";
    case remote::kCallbackSetByCaller: return "CallbackSetByCaller";
    case remote::kPasswordExpired: return "Kennwort ungültig";
    case remote::kConnected: return "Verbunden.";
    case remote::kDisconnected: return "Verbindung getrennt";
    default: return nullptr;
    }
}

RasConnection FromEntry(const remote::Entry& e)
{
    return {e.uuid, platform::Utf8ToCp1252(e.name), platform::Utf8ToCp1252(e.device),
            platform::Utf8ToCp1252(e.type)};
}

}  // namespace

std::string RasErrorText(int code)
{
    return W(remote::ErrorText(code));
}

void ShowRasError(PageRun& run, const std::string& text, int code)
{
    if (!run.debugOn())
        return;
    // The system's text comes in a 512-byte buffer.
    std::string system = RasErrorText(code).substr(0, 511);
    run.AppendOutput("%s: %d (%s)", text.c_str(), code, system.c_str());
}

void RasDialCallback(PageRun& run, int state, int error)
{
    int count = RasNotifyCount.fetch_add(1) + 1;
    if (const char* text = StateText(state)) {
        if (error != 0)
            ShowRasError(run, "Fehler", error);
        else if (run.debugOn())
            run.AppendOutput("(%d) %s", count, W(text).c_str());
    }
    // Stored after the line, so that the dial's wait, which ends on this
    // error, never writes its own line before this one.
    LastRasError.store(error);
}

int Dial(PageRun& run, const std::string& entry, const std::string& password)
{
    RasNotifyCount = 0;
    LastRasError = 0;
    DebugLine(run, W("Wähle ") + entry + "...");

    remote::Entry e;
    int rc = remote::FindEntry(platform::Cp1252ToUtf8(entry), e);
    if (rc != remote::kOk) {
        LastRasError = rc;
        ShowRasError(run, W("Fehler bei Zugriff auf Wählparameter"), rc);
        return -1;
    }

    std::string handle;
    rc = remote::StartDial(
        e, platform::Cp1252ToUtf8(password), [&run](int state, int error) { RasDialCallback(run, state, error); },
        handle);
    ActiveConnection = FromEntry(e);
    ActiveConnection.handle = handle;
    activeConnectionKnown = true;
    if (rc != remote::kOk) {
        LastRasError = rc;
        ShowRasError(run, W("Fehler beim Verbindungsaufbau"), rc);
        return -1;
    }

    int state = remote::kOpenPort;
    for (;;) {
        int status = remote::ConnectStatus(handle, state);
        if (status != remote::kOk) {
            // The connection vanished without a notification: a failure all
            // the same, and it keeps a code that says so.
            if (LastRasError == 0)
                LastRasError = status;
            state = remote::kDisconnected;
            break;
        }
        if (state == remote::kConnected || state == remote::kDisconnected || LastRasError != 0)
            break;
        std::this_thread::sleep_for(milliseconds(300));
    }

    if (state == remote::kConnected && LastRasError == 0) {
        DebugLine(run, "Verbunden.");
        return 0;
    }
    ShowRasError(run, "Keine Verbindung", LastRasError);
    if (!handle.empty())
        HangUp(run, handle);
    return -1;
}

int GetActiveConnection(PageRun& run)
{
    std::vector<remote::Entry> active;
    int rc = remote::ListEntries(true, active);
    ActiveConnection = RasConnection{};
    activeConnectionKnown = true;
    if (rc != remote::kOk)
        ShowRasError(run, "Fehler beim Ermitteln der aktiven Verbindungen", rc);
    else if (!active.empty())
        ActiveConnection = FromEntry(active.front());  // further ones are ignored

    if (!ActiveConnection.handle.empty())
        DebugLine(run, W("Aktive DFÜ-Verbindung: ") + ActiveConnection.entryName + W(" (Gerät=") +
                  ActiveConnection.deviceName + "/" + ActiveConnection.deviceType + ")");
    else
        DebugLine(run, W("Keine aktive DFÜ-Verbindung"));
    return rc;
}

void HangUp(PageRun& run, const std::string& handle)
{
    DebugLine(run, "Die Verbindung wird getrennt.");
    (void)remote::HangUpConnection(handle);
    const auto deadline = std::chrono::steady_clock::now() + kHangUpLimit;
    int state;
    while (remote::ConnectStatus(handle, state) != remote::kInvalidHandle &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(200));
}

bool HasLanRoute(PageRun& run)
{
    platform::RouteLookup route = platform::LookUpDefaultRoute();
    if (route.error != 0)
        run.ShowNote("Fehler %d in GetIpForwardTable", route.error);
    return route.defaultRoute;
}

void NoteActiveConnection(PageRun& run)
{
    ActiveConnection = RasConnection{};
    activeConnectionKnown = false;
    if (run.debugOn())
        (void)GetActiveConnection(run);
}

RasConnection& NotedConnection(PageRun& run)
{
    if (!activeConnectionKnown)
        (void)GetActiveConnection(run);
    return ActiveConnection;
}
