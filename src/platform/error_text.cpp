#include "platform/error_text.h"

#include <cerrno>
#include <cstring>

#include "platform/cp1252.h"

namespace {

// The messages are German; the C library's texts are English unless a
// German locale happens to be installed, so the common ones are our own.
const char* GermanText(int code)
{
    switch (code) {
    case ENOENT: return "Datei oder Ordner nicht gefunden";
    case EACCES: return "Zugriff verweigert";
    case EPERM: return "Vorgang nicht zulässig";
    case ENOSPC: return "Kein freier Platz auf dem Datenträger";
    case EDQUOT: return "Speicherkontingent überschritten";
    case EROFS: return "Der Datenträger ist schreibgeschützt";
    case EISDIR: return "Ist ein Ordner";
    case ENOTDIR: return "Ist kein Ordner";
    case EEXIST: return "Die Datei existiert bereits";
    case ENAMETOOLONG: return "Der Dateiname ist zu lang";
    case EFBIG: return "Die Datei ist zu groß";
    case EMFILE:
    case ENFILE: return "Zu viele offene Dateien";
    case EIO: return "Ein-/Ausgabefehler";
    case ENOMEM: return "Nicht genügend Speicher";
    case EINVAL: return "Ungültiges Argument";
    case EBADF: return "Ungültiger Dateideskriptor";
    case ENOEXEC: return "Keine ausführbare Datei";
    case ECONNREFUSED: return "Verbindung abgelehnt";
    case ECONNRESET: return "Verbindung von der Gegenseite zurückgesetzt";
    case ECONNABORTED: return "Verbindung abgebrochen";
    case EPIPE: return "Verbindung unterbrochen";
    case ETIMEDOUT: return "Zeitüberschreitung der Verbindung";
    case EHOSTUNREACH: return "Der Zielrechner ist nicht erreichbar";
    case ENETUNREACH: return "Das Netzwerk ist nicht erreichbar";
    case ENETDOWN: return "Das Netzwerk ist nicht verfügbar";
    case EADDRNOTAVAIL: return "Die Adresse ist nicht verfügbar";
    default: return nullptr;
    }
}

}  // namespace

std::string SystemErrorText(int code)
{
    if (const char* german = GermanText(code))
        return platform::Utf8ToCp1252(german);
    char buf[256];
    const char* text = strerror_r(code, buf, sizeof buf);
    if (!text || std::strncmp(text, "Unknown error", 13) == 0)
        return "???";
    return text;
}

std::string SystemErrorTextUtf8(int code)
{
    return platform::Cp1252ToUtf8(SystemErrorText(code));
}
