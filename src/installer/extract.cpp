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
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unzip.h>
#include <zlib.h>

#include "installer/archive_reader.h"
#include "installer/confined_files.h"
#include "installer/setup_ui.h"
#include "platform/cp437.h"

namespace installer {

namespace {

constexpr size_t kBlock = 8192;
constexpr const char* kFileList = "files.lst";
// The installation's own files beside the extracted ones: an entry of that
// name would replace the install record or the uninstaller.
constexpr const char* kReservedNames[] = {"files.lst", "setup.zip", "setup.exe"};

// Appends name to the list as one line, before the file is opened, so that
// whatever is written is listed. Returns the list's length before the line,
// or -1 with errno when the line could not be written whole; a cut line is
// taken away again, so no part of a name is ever listed. Opened and closed
// for every file, so the list on disk is complete when a later entry stops
// the run.
off_t ListFile(const std::string& name)
{
    FILE* list = OpenBelow(".", kFileList, true);
    if (!list)
        return -1;
    const int fd = fileno(list);
    struct stat st;
    off_t before = fstat(fd, &st) == 0 ? st.st_size : -1;
    int err = errno;
    const std::string line = name + "\n";
    for (size_t done = 0; before >= 0 && done < line.size();) {
        ssize_t n = write(fd, line.data() + done, line.size() - done);
        if (n >= 0) {
            done += size_t(n);
            continue;
        }
        err = errno;
        if (ftruncate(fd, before) != 0) {
            // The cut line stays; the stop that follows still says why.
        }
        before = -1;
    }
    // Nothing went through the stream's buffer, so closing writes nothing.
    if (std::fclose(list) != 0 && before >= 0) {
        err = errno;
        before = -1;
    }
    errno = err;
    return before;
}

// Takes the last lines away again, back to length, for a file that was
// listed but not written after all.
void UnlistFrom(off_t length)
{
    if (FILE* list = OpenBelow(".", kFileList, true)) {
        if (ftruncate(fileno(list), length) != 0) {
            // A name too many is only a file the uninstall does not find.
        }
        std::fclose(list);
    }
}

// The entry's name as it goes to the file system and the status line, in
// UTF-8: names without the UTF-8 flag are in the code page zip tools have
// always used.
std::string EntryName(const unz_file_info64& info, const char* stored)
{
    constexpr uLong kUtf8Name = 1u << 11;
    return (info.flag & kUtf8Name) ? std::string(stored) : platform::Cp437ToUtf8(stored);
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

// Archives made on Unix carry the file mode; the program file must be
// executable even when the archive says nothing, or it cannot be started.
// The user's umask holds as for any file the process creates.
void SetEntryMode(int fd, const unz_file_info64& info, bool isExe, mode_t umask)
{
    mode_t mode = 0;
    if ((info.version >> 8) == 3)
        mode = mode_t((info.external_fa >> 16) & 0777);
    if (isExe)
        mode |= 0755;
    if (mode != 0)
        fchmod(fd, mode & ~umask);
}

int ExtractCurrentEntry(unzFile zip, const std::string& exeName, mode_t umask, std::string* programFile)
{
    char stored[256];
    unz_file_info64 info;
    int err = unzGetCurrentFileInfo64(zip, &info, stored, sizeof stored, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) {
        ShowNote("error %d with zipfile in unzGetCurrentFileInfo\n", err);
        return err;
    }
    stored[sizeof stored - 1] = '\0';
    void* buffer = std::malloc(kBlock);
    if (!buffer) {
        ShowNote("Error allocating memory\n");
        return kExtractCancelled;
    }
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
        if (path && !path->empty())
            MakeFolderPath(*path);
        std::free(buffer);
        return 0;
    }
    if (!path) {
        // Departure: such names would write outside the target folder.
        ShowNote("Unzul\xC3\xA4ssiger Dateiname im Archiv, nicht entpackt: %s\n", name);
        std::free(buffer);
        return 0;
    }

    const bool isExe = strcasecmp(name, exeName.c_str()) == 0;
    bool incomplete = false;
    err = unzOpenCurrentFilePassword(zip, nullptr);
    if (err != UNZ_OK) {
        ShowNote("error %d with zipfile in unzOpenCurrentFilePassword\n", err);
    } else if (const off_t listed = ListFile(entry); listed < 0) {
        ShowNote("Fehler beim Schreiben von %s: %s\n", kFileList, std::strerror(errno));
        err = kExtractWriteError;
    } else {
        FILE* out = nullptr;
        int answer;
        std::string folder = path->find('/') == std::string::npos
                                 ? std::string()
                                 : path->substr(0, path->rfind('/'));
        do {
            answer = IDNO;
            out = OpenBelow(".", *path);
            if (!out && !folder.empty()) {
                MakeFolderPath(folder);
                out = OpenBelow(".", *path);
            }
            if (!out) {
                if (isExe)
                    answer = AskNote(
                        "Fehler beim Schreiben von %s: Das Programm ist vermutlich gerade aktiv.\n\n"
                        "Beenden Sie %s und klicken Sie auf 'Ja', um den Vorgang zu wiederholen;\n\n"
                        "Klicken Sie auf 'Nein', um die Installation trotz des Fehlers fortzusetzen;\n\n"
                        "Klicken Sie auf Abbrechen, um die Installation abzubrechen.",
                        name, name);
                else
                    ShowNote("Fehler beim Schreiben von %s: %s\n", name, std::strerror(errno));
            }
        } while (!out && answer == IDYES);

        if (!out) {
            UnlistFrom(listed);
            if (answer == IDCANCEL) {
                err = kExtractCancelled;
                ShowNote("Die Installation wurde unvollst\xC3\xA4ndig abgebrochen.");
            }
        } else {
            // Started and shortcuts use the spelling on disk; the header's
            // own spelling wins when both are in the archive.
            if (isExe && programFile && (programFile->empty() || entry == exeName))
                *programFile = *path;
            std::uint64_t size = 0;
            uLong crc = crc32(0L, Z_NULL, 0);
            for (;;) {
                int got = unzReadCurrentFile(zip, buffer, unsigned(kBlock));
                if (got < 0) {
                    err = got;
                    ShowNote("error %d with zipfile in unzReadCurrentFile\n", err);
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
            // minizip checks the checksum only when the data reached the
            // declared size; data that end early must not pass either.
            incomplete = err == 0 && (size != info.uncompressed_size || crc != info.crc);
            if (std::fflush(out) != 0 && err == 0) {
                ShowNote("error in writing extracted file\n");
                err = kExtractWriteError;
            }
            if (err == 0 && !incomplete) {
                SetEntryMode(fileno(out), info, isExe, umask);
                SetEntryFileTimes(fileno(out), info);
            }
            if (std::fclose(out) != 0 && err == 0) {
                ShowNote("error in writing extracted file\n");
                err = kExtractWriteError;
            }
        }
    }

    if (err == 0) {
        err = unzCloseCurrentFile(zip);
        if (err == UNZ_OK && incomplete)
            err = UNZ_CRCERROR;
        if (err != UNZ_OK)
            ShowNote("error %d with zipfile in unzCloseCurrentFile\n", err);
    } else {
        unzCloseCurrentFile(zip);
    }
    std::free(buffer);
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

int ExtractAllEntries(unzFile zip, const ExtractProgress& progress, const std::string& exeName,
                      std::string* programFile)
{
    const mode_t umask = ProcessUmask();
    unz_global_info64 global{};
    int err = unzGetGlobalInfo64(zip, &global);
    if (err != UNZ_OK)
        ShowNote("error %d with zipfile in unzGetGlobalInfo \n", err);
    // A ZIP64 count may lie beyond what an int holds; cut to it, the walk
    // through the directory then ends with the entries really there.
    int total = int(std::min<ZPOS64_T>(global.number_entry, INT_MAX));
    int result = 0;
    for (int i = 0; i < total; ++i) {
        if (progress)
            progress(total, i);
        result = ExtractCurrentEntry(zip, exeName, umask, programFile);
        if (result != 0)
            break;
        if (i + 1 < total) {
            result = unzGoToNextFile(zip);
            if (result != UNZ_OK) {
                ShowNote("error %d with zipfile in unzGoToNextFile\n", result);
                break;
            }
        }
    }
    if (result == 0 && HasUncountedEntry(zip, total)) {
        result = UNZ_BADZIPFILE;
        ShowNote("error %d with zipfile in unzGoToNextFile\n", result);
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

int MakeFolderPath(const std::string& path)
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

int ExtractArchive(const std::string& archiveName, ExtractProgress progress, const std::string& exeName,
                   std::string* programFile)
{
    std::remove(kFileList);
    if (programFile)
        programFile->clear();
    unzFile zip = OpenArchive(archiveName);
    if (!zip)
        zip = OpenArchive(archiveName + ".zip");
    if (!zip) {
        ShowNote("Cannot open %s or %s.zip\n", archiveName.c_str(), archiveName.c_str());
        return kExtractCannotOpen;
    }
    int result = ExtractAllEntries(zip, progress, exeName, programFile);
    unzClose(zip);
    return result;
}

}  // namespace installer
