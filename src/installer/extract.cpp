#include "installer/extract.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <set>
#include <vector>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unzip.h>
#include <zlib.h>

#include "installer/archive_reader.h"
#include "installer/confined_files.h"
#include "installer/setup_ui.h"
#include "platform/cp1252.h"
#include "platform/cp437.h"

namespace installer {

namespace {

constexpr size_t kBlock = 8192;
constexpr const char* kFileList = "files.lst";
// The installation's own files beside the extracted ones: an entry of that
// name would replace the install record or the uninstaller.
constexpr const char* kReservedNames[] = {"files.lst", "setup.zip", "setup.exe"};
// Longer link targets are no link that a program ships.
constexpr size_t kMaxLinkTarget = 4096;

// What one extraction carries from entry to entry.
struct Run {
    std::string exeName;
    std::string* programFile;
    mode_t umask;
    // Every name in "files.lst", this install's and an earlier one's alike:
    // a stopped update must leave everything either put there listed.
    std::set<std::string> listed;
    // The archive once more, for entries minizip cannot read.
    std::FILE* raw;
    std::uint64_t start;
};

// Takes the names of an earlier install's list, so that the list keeps
// them; a last line without its line end gets one.
void LoadList(Run& run)
{
    int fd = open(kFileList, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    // A link or a second name is no list of ours; it is replaced when written.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        close(fd);
        return;
    }
    std::string text;
    char block[kBlock];
    for (ssize_t n; (n = read(fd, block, sizeof block)) > 0;)
        text.append(block, size_t(n));
    close(fd);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            run.listed.insert(line);
        pos = end + 1;
    }
    if (!text.empty() && text.back() != '\n')
        if (FILE* list = OpenBelow(".", kFileList, true)) {
            std::fputc('\n', list);
            std::fclose(list);
        }
}

// Appends name to the list as one line, before the file is written, so that
// whatever is written is listed; a name already listed is not repeated.
// False with errno when the line could not be written whole; a cut line is
// taken away again, so no part of a name is ever listed. *before receives
// the list's length in front of the line, -1 when nothing was added.
// Opened and closed for every name, so the list on disk is complete when a
// later entry stops the run.
bool ListFile(Run& run, const std::string& name, off_t* before = nullptr)
{
    if (before)
        *before = -1;
    if (run.listed.count(name))
        return true;
    FILE* list = OpenBelow(".", kFileList, true);
    if (!list)
        return false;
    const int fd = fileno(list);
    struct stat st;
    off_t length = fstat(fd, &st) == 0 ? st.st_size : -1;
    int err = errno;
    const std::string line = name + "\n";
    for (size_t done = 0; length >= 0 && done < line.size();) {
        ssize_t n = write(fd, line.data() + done, line.size() - done);
        if (n >= 0) {
            done += size_t(n);
            continue;
        }
        err = errno;
        if (ftruncate(fd, length) != 0) {
            // The cut line stays; the stop that follows still says why.
        }
        length = -1;
    }
    // Nothing went through the stream's buffer, so closing writes nothing.
    if (std::fclose(list) != 0 && length >= 0) {
        err = errno;
        length = -1;
    }
    errno = err;
    if (length < 0)
        return false;
    run.listed.insert(name);
    if (before)
        *before = length;
    return true;
}

// Takes the line of a file that was listed but not written after all away
// again.
void Unlist(Run& run, const std::string& name, off_t before)
{
    if (before < 0)
        return;
    run.listed.erase(name);
    if (FILE* list = OpenBelow(".", kFileList, true)) {
        if (ftruncate(fileno(list), before) != 0) {
            // A name too many is only a file the uninstall does not find.
        }
        std::fclose(list);
    }
}

int MakeFolders(const std::string& path)
{
    if (path.empty())
        return 0;
    std::string failed;
    if (!MakeFoldersBelow(path, &failed)) {
        ShowNote("couldn't create directory %s\n", failed.c_str());
        return 0;
    }
    return 1;
}

// Creates the folder levels of path, listing those that are not there yet
// with a trailing "/" first, so that the uninstall removes these folders
// and no others. False with errno when the list cannot take a line; then
// nothing is created.
bool MakeListedFolders(Run& run, const std::string& path)
{
    std::string level;
    for (size_t pos = 0; pos != std::string::npos;) {
        size_t slash = path.find('/', pos);
        level = path.substr(0, slash);
        pos = slash == std::string::npos ? slash : slash + 1;
        struct stat st;
        if ((lstat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) && !ListFile(run, level + "/"))
            return false;
    }
    MakeFolders(path);
    return true;
}

// The entry's name as it goes to the file system and the status line, in
// UTF-8. Names without the UTF-8 flag are read as UTF-8 when they are valid
// UTF-8 (many tools write them so without saying), else in the code page
// zip tools have always used.
std::string EntryName(const unz_file_info64& info, const std::string& stored)
{
    constexpr uLong kUtf8Name = 1u << 11;
    if ((info.flag & kUtf8Name) || platform::IsValidUtf8(stored))
        return stored;
    return platform::Cp437ToUtf8(stored);
}

// An archive that is damaged at an entry: which, and why, in German.
int Damaged(const std::string& entry, const std::string& cause, int err)
{
    ShowNote("Fehler im Archiv bei %s: %s\n", entry.c_str(), cause.c_str());
    return err;
}

std::string CauseOf(int err)
{
    switch (err) {
    case UNZ_CRCERROR:
        return "Pr\xC3\xBC" "fsumme stimmt nicht";
    case UNZ_BADZIPFILE:
        return "Archiv besch\xC3\xA4" "digt";
    case UNZ_ERRNO:
        return std::string("Lesefehler: ") + std::strerror(errno);
    case Z_DATA_ERROR:
        return "Daten besch\xC3\xA4" "digt";
    case Z_MEM_ERROR:
        return "zu wenig Speicher";
    default:
        return "Fehler " + std::to_string(err);
    }
}

// The entry's DOS time, read as local time, becomes the file's modification
// time; the access time is kept. Linux has no settable creation time.
void SetEntryFileTimes(int fd, const unz_file_info64& info)
{
    std::tm t{};
    t.tm_sec = int(info.tmu_date.tm_sec);
    t.tm_min = int(info.tmu_date.tm_min);
    t.tm_hour = int(info.tmu_date.tm_hour);
    t.tm_mday = int(info.tmu_date.tm_mday);
    t.tm_mon = int(info.tmu_date.tm_mon);
    t.tm_year = int(info.tmu_date.tm_year) - 1900;
    t.tm_isdst = -1;
    std::time_t when = std::mktime(&t);
    if (when == std::time_t(-1))
        return;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = when;
    times[1].tv_nsec = 0;
    futimens(fd, times);
}

bool MadeOnUnix(const unz_file_info64& info) { return (info.version >> 8) == 3; }

bool IsLinkEntry(const unz_file_info64& info)
{
    return MadeOnUnix(info) && ((info.external_fa >> 16) & 0170000) == 0120000;
}

// Archives made on Unix carry the file mode; the program file must be
// executable even when the archive says nothing, or it cannot be started.
// The user's umask holds as for any file the process creates.
void SetEntryMode(int fd, const unz_file_info64& info, bool isExe, mode_t umask)
{
    mode_t mode = 0;
    if (MadeOnUnix(info))
        mode = mode_t((info.external_fa >> 16) & 0777);
    if (isExe)
        mode |= 0755;
    if (mode != 0)
        fchmod(fd, mode & ~umask);
}

// A link entry's target may only lead to a place inside the installation
// folder: relative, and never above it from the link's own folder. ".."
// levels must come first: behind a name that is itself a link they would
// climb from wherever that link leads.
bool LinkStaysInside(const std::string& path, const std::string& target)
{
    if (target.empty() || target[0] == '/' || target.find('\0') != std::string::npos)
        return false;
    for (unsigned char c : target)
        if (c < 0x20 || c == 0x7F || c == '\\')
            return false;
    long depth = long(std::count(path.begin(), path.end(), '/'));
    bool named = false;
    size_t pos = 0;
    while (pos <= target.size()) {
        size_t end = target.find('/', pos);
        if (end == std::string::npos)
            end = target.size();
        const std::string level = target.substr(pos, end - pos);
        if (level == "..") {
            if (named || --depth < 0)
                return false;
        } else if (!level.empty() && level != ".") {
            named = true;
        }
        pos = end + 1;
    }
    return true;
}

// The data of the current entry, read by minizip or, where its sizes or
// place stand in the ZIP64 extra field only, by our own reader.
class EntryData {
public:
    EntryData(unzFile zip, Run& run, const EntryPlace& place) : zip_(zip)
    {
        if (place.zip64)
            own_ = std::make_unique<Zip64Data>(run.raw, run.start, place);
    }
    // 0 or an error, with the cause told.
    int Open(const std::string& entry)
    {
        if (own_)
            return own_->cause().empty() ? 0 : Damaged(entry, own_->cause(), UNZ_BADZIPFILE);
        opened_ = true;
        int err = unzOpenCurrentFilePassword(zip_, nullptr);
        return err == UNZ_OK ? 0 : Damaged(entry, CauseOf(err), err);
    }
    // Bytes read, 0 at the end, < 0 on damage (told).
    int Read(const std::string& entry, void* buf, unsigned size)
    {
        int got = own_ ? own_->Read(buf, size) : unzReadCurrentFile(zip_, buf, size);
        if (got < 0)
            return Damaged(entry, own_ ? own_->cause() : CauseOf(got), own_ ? UNZ_BADZIPFILE : got);
        return got;
    }
    // After the whole entry was read: checksum and size, told when wrong.
    int Close(const std::string& entry, bool incomplete)
    {
        if (own_)
            return own_->Check() ? 0 : Damaged(entry, own_->cause(), UNZ_CRCERROR);
        opened_ = false;
        int err = unzCloseCurrentFile(zip_);
        if (err == UNZ_OK && incomplete)
            err = UNZ_CRCERROR;
        return err == UNZ_OK ? 0 : Damaged(entry, CauseOf(err), err);
    }
    ~EntryData()
    {
        if (opened_)
            unzCloseCurrentFile(zip_);
    }

private:
    unzFile zip_;
    std::unique_ptr<Zip64Data> own_;
    bool opened_ = false;
};

// Writes the link entry path (its target as data) as a link, when the
// target stays inside; anything else is refused with a note.
int ExtractLink(Run& run, EntryData& data, const std::string& entry, const std::string& path)
{
    std::string target;
    char block[512];
    int got;
    while ((got = data.Read(entry, block, sizeof block)) > 0 && target.size() <= kMaxLinkTarget)
        target.append(block, size_t(got));
    if (got < 0)
        return got;
    if (target.size() > kMaxLinkTarget || !LinkStaysInside(path, target)) {
        ShowNote("Verkn\xC3\xBCpfung %s -> %s f\xC3\xBChrt aus dem Installations-Verzeichnis, nicht entpackt.\n",
                 entry.c_str(), target.c_str());
        return 0;
    }
    if (int err = data.Close(entry, false))
        return err;
    const std::string folder = path.find('/') == std::string::npos ? std::string() : path.substr(0, path.rfind('/'));
    off_t before;
    if ((!folder.empty() && !MakeListedFolders(run, folder)) || !ListFile(run, path, &before)) {
        ShowNote("Fehler beim Schreiben von %s: %s\n", kFileList, std::strerror(errno));
        return kExtractWriteError;
    }
    if (!LinkBelow(".", path, target)) {
        ShowNote("Fehler beim Schreiben von %s: %s\n", entry.c_str(), std::strerror(errno));
        Unlist(run, path, before);
        return kExtractWriteError;
    }
    return 0;
}

int ExtractCurrentEntry(unzFile zip, Run& run, int index)
{
    unz_file_info64 info;
    std::string stored;
    int err = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    if (err == UNZ_OK) {
        // The whole name, however long: a name the file system cannot take
        // must fail whole, never arrive cut.
        stored.assign(size_t(info.size_filename), '\0');
        err = unzGetCurrentFileInfo64(zip, &info, stored.data(), uLong(stored.size()), nullptr, 0, nullptr, 0);
        stored.resize(std::strlen(stored.c_str()));
    }
    if (err != UNZ_OK)
        return Damaged("Eintrag " + std::to_string(index + 1), CauseOf(err), err);
    void* buffer = std::malloc(kBlock);
    if (!buffer) {
        ShowNote("Error allocating memory\n");
        return kExtractCancelled;
    }
    std::unique_ptr<void, decltype(&std::free)> freeBuffer(buffer, &std::free);
    const std::string entry = EntryName(info, stored);
    const char* name = entry.c_str();
    ShowStatus("Extracting %s  ", name);

    const char* filePart = name;
    for (const char* p = name; *p; ++p)
        if (*p == '/' || *p == '\\')
            filePart = p + 1;
    auto path = SafeEntryPath(entry);

    if (*filePart == '\0') {
        // A folder entry; one that would lie outside is passed over, as a
        // folder that cannot be created is.
        if (path && !path->empty() && !MakeListedFolders(run, *path)) {
            ShowNote("Fehler beim Schreiben von %s: %s\n", kFileList, std::strerror(errno));
            return kExtractWriteError;
        }
        return 0;
    }
    if (!path) {
        // Departure: such names would write outside the target folder.
        ShowNote("Unzul\xC3\xA4ssiger Dateiname im Archiv, nicht entpackt: %s\n", name);
        return 0;
    }

    std::string cause;
    const EntryPlace place = ReadEntryPlace(run.raw, run.start, zip, &cause);
    if (!cause.empty())
        return Damaged(entry, cause, UNZ_BADZIPFILE);
    // minizip would hand the raw bytes of a method it does not know over as
    // the data.
    if (place.method != 0 && place.method != Z_DEFLATED)
        return Damaged(entry,
                       "Kompressionsverfahren " + std::to_string(place.method) + " wird nicht unterst\xC3\xBCtzt",
                       UNZ_BADZIPFILE);
    EntryData data(zip, run, place);
    if ((err = data.Open(entry)) != 0)
        return err;
    if (IsLinkEntry(info))
        return ExtractLink(run, data, entry, *path);

    const bool isExe = strcasecmp(name, run.exeName.c_str()) == 0;
    const std::string folder = path->find('/') == std::string::npos ? std::string() : path->substr(0, path->rfind('/'));
    off_t before;
    if ((!folder.empty() && !MakeListedFolders(run, folder)) || !ListFile(run, *path, &before)) {
        ShowNote("Fehler beim Schreiben von %s: %s\n", kFileList, std::strerror(errno));
        return kExtractWriteError;
    }
    FILE* out = nullptr;
    int answer;
    do {
        answer = IDNO;
        out = OpenBelow(".", *path);
        if (!out && isExe)
            answer = AskNote("Fehler beim Schreiben von %s: Das Programm ist vermutlich gerade aktiv.\n\n"
                             "Beenden Sie %s und klicken Sie auf 'Ja', um den Vorgang zu wiederholen;\n\n"
                             "Klicken Sie auf 'Nein', um die Installation trotz des Fehlers fortzusetzen;\n\n"
                             "Klicken Sie auf Abbrechen, um die Installation abzubrechen.",
                             name, name);
    } while (!out && answer == IDYES);

    if (!out) {
        const int openErr = errno;
        // An older install's file of that name stays listed: it is still there.
        Unlist(run, *path, before);
        if (isExe) {
            if (answer != IDCANCEL)
                return 0;
            ShowNote("Die Installation wurde unvollst\xC3\xA4ndig abgebrochen.");
            return kExtractCancelled;
        }
        // A file that cannot be written is a failed install, never one
        // reported done.
        ShowNote("Fehler beim Schreiben von %s: %s\n", name, std::strerror(openErr));
        return kExtractWriteError;
    }
    // Started and shortcuts use the spelling on disk; the header's own
    // spelling wins when both are in the archive.
    if (isExe && run.programFile && (run.programFile->empty() || entry == run.exeName))
        *run.programFile = *path;
    std::uint64_t size = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (;;) {
        int got = data.Read(entry, buffer, unsigned(kBlock));
        if (got < 0) {
            err = got;
            break;
        }
        if (got == 0)
            break;
        size += unsigned(got);
        crc = crc32(crc, static_cast<const Bytef*>(buffer), unsigned(got));
        if (std::fwrite(buffer, 1, size_t(got), out) != size_t(got)) {
            ShowNote("error in writing extracted file\n");
            err = kExtractWriteError;
            break;
        }
    }
    // minizip checks the checksum only when the data reached the declared
    // size; data that end early must not pass either.
    const bool incomplete = err == 0 && (size != place.uncompressed || crc != place.crc);
    if (std::fflush(out) != 0 && err == 0) {
        ShowNote("error in writing extracted file\n");
        err = kExtractWriteError;
    }
    if (err == 0 && !incomplete) {
        SetEntryMode(fileno(out), info, isExe, run.umask);
        SetEntryFileTimes(fileno(out), info);
    }
    if (std::fclose(out) != 0 && err == 0) {
        ShowNote("error in writing extracted file\n");
        err = kExtractWriteError;
    }
    if (err == 0)
        err = data.Close(entry, incomplete);
    return err;
}

// An end record may count fewer entries than the central directory holds;
// minizip then stops early and the rest would be left out unnoticed. True
// when another directory record follows the last counted one.
bool HasUncountedEntry(unzFile zip, int counted)
{
    if (counted == 0)
        return unzGoToFirstFile(zip) == UNZ_OK;
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    // A directory record is 46 bytes followed by its name, extra field and comment.
    ZPOS64_T next = unzGetOffset64(zip) + 46 + info.size_filename + info.size_file_extra + info.size_file_comment;
    return unzSetOffset64(zip, next) == UNZ_OK;
}

int ExtractAllEntries(unzFile zip, const ExtractProgress& progress, Run& run)
{
    unz_global_info64 global{};
    int err = unzGetGlobalInfo64(zip, &global);
    if (err != UNZ_OK)
        ShowNote("Fehler im Archiv: %s\n", CauseOf(err).c_str());
    // A ZIP64 count may lie beyond what an int holds; cut to it, the walk
    // through the directory then ends with the entries really there.
    int total = int(std::min<ZPOS64_T>(global.number_entry, INT_MAX));
    int result = 0;
    for (int i = 0; i < total; ++i) {
        if (progress)
            progress(total, i);
        result = ExtractCurrentEntry(zip, run, i);
        if (result != 0)
            break;
        if (i + 1 < total) {
            result = unzGoToNextFile(zip);
            if (result != UNZ_OK) {
                Damaged("Eintrag " + std::to_string(i + 2), "Verzeichnis besch\xC3\xA4" "digt", result);
                break;
            }
        }
    }
    if (result == 0 && HasUncountedEntry(zip, total)) {
        result = UNZ_BADZIPFILE;
        ShowNote("Fehler im Archiv: Es enth\xC3\xA4lt mehr Eintr\xC3\xA4ge, als sein Verzeichnis z\xC3\xA4hlt.\n");
    }
    return result;
}

}  // namespace

std::optional<std::string> SafeEntryPath(const std::string& name)
{
    // A line break in a name would put a second name into "files.lst".
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F)
            return std::nullopt;
    if (!name.empty() && (name[0] == '/' || name[0] == '\\'))
        return std::nullopt;
    std::string path;
    std::string level;
    bool last = false;
    for (size_t i = 0; !last; ++i) {
        last = i == name.size();
        char c = last ? '/' : name[i];
        if (c != '/' && c != '\\') {
            level += c;
            continue;
        }
        if (level == "..")
            return std::nullopt;
        // "." as the file part names no file.
        if (level == "." && last)
            return std::nullopt;
        if (!level.empty() && level != ".")
            path += (path.empty() ? "" : "/") + level;
        level.clear();
    }
    for (const char* reserved : kReservedNames)
        if (path == reserved)
            return std::nullopt;
    return path;
}

int MakeFolderPath(const std::string& path) { return MakeFolders(path); }

int ExtractArchive(const std::string& archiveName, ExtractProgress progress, const std::string& exeName,
                   std::string* programFile)
{
    Run run{exeName, programFile, ProcessUmask(), {}, nullptr, 0};
    LoadList(run);
    if (programFile)
        programFile->clear();
    std::string opened = archiveName;
    unzFile zip = OpenArchive(opened);
    if (!zip)
        zip = OpenArchive(opened = archiveName + ".zip");
    if (!zip) {
        ShowNote("Cannot open %s or %s.zip\n", archiveName.c_str(), archiveName.c_str());
        return kExtractCannotOpen;
    }
    run.raw = std::fopen(opened.c_str(), "rb");
    if (!run.raw) {
        unzClose(zip);
        ShowNote("Cannot open %s or %s.zip\n", archiveName.c_str(), archiveName.c_str());
        return kExtractCannotOpen;
    }
    run.start = ArchiveStart(run.raw);
    int result = ExtractAllEntries(zip, progress, run);
    unzClose(zip);
    std::fclose(run.raw);
    return result;
}

}  // namespace installer
