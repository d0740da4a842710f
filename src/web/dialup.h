// Dial-up control: dial a phone-book entry, note the active dial-up
// connection and hang it up, over the remote-access layer. Progress and
// error lines go to the run's output pane only while the debug level is not 0.
// Entry and device names are Windows-1252, like every script value.
#pragma once

#include <atomic>
#include <string>

class PageRun;

struct RasConnection {
    std::string handle;  // "" for none
    std::string entryName, deviceName, deviceType;
};

// The connection found by the last lookup, or the one the last Dial got.
// Used on the interpreter thread only.
extern RasConnection ActiveConnection;
// The code of the last failed step of Dial or of the last notification's
// error; shared with the dialling thread.
extern std::atomic<int> LastRasError;
// Notifications since the last Dial began; shared with the dialling thread.
extern std::atomic<int> RasNotifyCount;

// 0 when connected, -1 otherwise (LastRasError says why). An empty password
// keeps the one saved with the entry.
[[nodiscard]] int Dial(PageRun& run, const std::string& entry, const std::string& password);
// Refreshes ActiveConnection with the first active dial-up connection that
// the system lists; returns 0 or the lookup's error code.
int GetActiveConnection(PageRun& run);
// Hangs the connection up and returns once it is gone.
void HangUp(PageRun& run, const std::string& handle);
// True when the route table holds a default route. A table that cannot be
// read shows its error in the "Notiz" box and counts as none.
bool HasLanRoute(PageRun& run);
// The output line "text: code (the code's text)".
void ShowRasError(PageRun& run, const std::string& text, int code);
// The notifier of Dial; runs on the dialling thread.
void RasDialCallback(PageRun& run, int state, int error);
// The system's text for a remote-access error code, "" when it has none.
std::string RasErrorText(int code);

// Notes the active dial-up connection at the start of a run. The lookup
// starts a program (nmcli), which would cost every run's start the time of
// that program: it is put off until a run needs the noted connection
// (disconnect before any connected or dial), unless debug output is on,
// where its line belongs at the start.
void NoteActiveConnection(PageRun& run);
// The connection noted at the run's start, looked up now if it was put off.
RasConnection& NotedConnection(PageRun& run);
