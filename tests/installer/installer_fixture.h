// Shared by the installer tests: archives made with minizip's writer, with
// the zip tools and in the shapes they write, a
// private home for every folder the installer touches, and answers for the
// installer's boxes.
#pragma once

#include <QByteArray>
#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <climits>
#include <csignal>
#include <cstring>
#include <ftw.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <zip.h>

#include "installer/setup_ui.h"
#include "installer/special_folders.h"

struct ZipEntry {
    std::string name;
    std::string data;
    bool folder = false;
    unsigned mode = 0;  // Unix permission bits; 0 = archive made elsewhere
    int year = 2019, month = 4, day = 17, hour = 13, minute = 45, second = 30;  // month 1-based
    bool stored = false;  // stored without compression, so its bytes are visible
    // An entry that lies: stored as it is, but with this size and checksum
    // in its records.
    long declaredSize = -1;
    unsigned long declaredCrc = 0;
    bool utf8Flag = false;  // the name is marked as UTF-8
};

inline bool MakeZip(const QString& path, const std::vector<ZipEntry>& entries)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto& e : entries) {
        zip_fileinfo info{};
        info.tmz_date.tm_year = uInt(e.year);
        info.tmz_date.tm_mon = uInt(e.month - 1);
        info.tmz_date.tm_mday = uInt(e.day);
        info.tmz_date.tm_hour = uInt(e.hour);
        info.tmz_date.tm_min = uInt(e.minute);
        info.tmz_date.tm_sec = uInt(e.second);
        uLong madeBy = 20;
        if (e.mode) {
            info.external_fa = uLong(e.mode | (e.folder ? 040000 : 0100000)) << 16;
            madeBy |= 3 << 8;
        }
        const bool lies = e.declaredSize >= 0;
        const bool stored = e.stored || lies;
        if (zipOpenNewFileInZip4_64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    stored ? 0 : Z_DEFLATED, stored ? 0 : Z_DEFAULT_COMPRESSION, lies ? 1 : 0,
                                    -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, madeBy,
                                    e.utf8Flag ? 1u << 11 : 0, 0) != ZIP_OK) {
            ok = false;
            break;
        }
        if (!e.data.empty() && zipWriteInFileInZip(zip, e.data.data(), unsigned(e.data.size())) != ZIP_OK)
            ok = false;
        if (lies)
            zipCloseFileInZipRaw64(zip, ZPOS64_T(e.declaredSize), e.declaredCrc);
        else
            zipCloseFileInZip(zip);
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// Makes the archive's end record count only count entries, whatever its
// central directory holds.
inline void CountEntriesAs(QByteArray& zip, int count)
{
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    for (qsizetype at : {end + 8, end + 10}) {
        zip[at] = char(count & 0xFF);
        zip[at + 1] = char(count >> 8);
    }
}

// Rewrites the end of an archive of entries entries (without comment) as
// zip tools write it for more than 65,535 entries or 4 GB: a ZIP64 end
// record and its locator in front of an end record whose counts and offsets
// all say "see there". (minizip's writer only caps the counts.)
inline void MoveEndToZip64(QByteArray& zip, quint64 entries)
{
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    auto get = [&](qsizetype at, int bytes) {
        quint64 v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | uchar(zip[at + i]);
        return v;
    };
    const quint64 size = get(end + 12, 4), offset = get(end + 16, 4);
    QByteArray tail;
    auto put = [&](quint64 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tail += char((v >> (8 * i)) & 0xFF);
    };
    put(0x06064b50, 4), put(44, 8), put(45, 2), put(45, 2), put(0, 4), put(0, 4);
    put(entries, 8), put(entries, 8), put(size, 8), put(offset, 8);
    put(0x07064b50, 4), put(0, 4), put(quint64(end), 8), put(1, 4);
    put(0x06054b50, 4), put(0, 2), put(0, 2), put(0xFFFF, 2), put(0xFFFF, 2);
    put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4), put(0, 2);
    zip = zip.left(end) + tail;
}

// Runs f while no file may grow beyond limit bytes, as on a full disk: a
// write past it fails (with EFBIG) instead of ending the process.
template <class F>
auto WithFileSizeLimit(rlim_t limit, F f)
{
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = limit;
    auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    auto result = f();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    return result;
}

inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Points HOME, the XDG folders and the settings store into one temporary
// folder, so no test ever touches the real home.
class PrivateHome {
public:
    PrivateHome()
    {
        home_ = dir_.path();
        qputenv("HOME", home_.toUtf8());
        qputenv("XDG_DATA_HOME", (home_ + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (home_ + "/config").toUtf8());
        qputenv("XDG_DESKTOP_DIR", (home_ + "/Schreibtisch").toUtf8());
        qputenv("SKIMLARK_REGISTRY_DIR", (home_ + "/registry").toUtf8());
        // A system folder for programs that does not exist, so the default
        // folder is the one in this home.
        installer::SetSystemProgramsFolder((home_ + "/opt").toStdString());
    }
    QString path() const { return home_; }

private:
    QTemporaryDir dir_;
    QString home_;
};

// Records every status text while it lives (made after the window, which
// points the status line at its label).
struct StatusRecorder {
    std::vector<std::string> texts;
    StatusRecorder()
    {
        installer::SetStatusHandler([this](const std::string& text) { texts.push_back(text); });
    }
    ~StatusRecorder() { installer::SetStatusHandler({}); }
    bool any(const std::string& text) const
    {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
};

// Records every box and answers questions with the next queued answer
// (Cancel when none is left).
struct BoxRecorder {
    struct Box {
        std::string text, caption;
        installer::Buttons buttons;
    };
    std::vector<Box> boxes;
    std::vector<int> answers;

    BoxRecorder()
    {
        installer::SetNoteHandler([this](const std::string& text, const std::string& caption,
                                         installer::Buttons buttons) {
            boxes.push_back({text, caption, buttons});
            if (buttons == installer::Buttons::Ok)
                return int(installer::IDOK);
            if (answers.empty())
                return int(installer::IDCANCEL);
            int a = answers.front();
            answers.erase(answers.begin());
            return a;
        });
    }
    ~BoxRecorder() { installer::SetNoteHandler({}); }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> t;
        for (const auto& b : boxes)
            t.push_back(b.text);
        return t;
    }
    bool any(const char* part) const
    {
        for (const auto& b : boxes)
            if (b.text.find(part) != std::string::npos)
                return true;
        return false;
    }
};

// Runs a tool the way a user would, in folder; false when it is missing or
// fails.
inline bool RunTool(const QString& folder, const QString& program, const QStringList& args,
                    const QStringList& env = {})
{
    QProcess p;
    p.setWorkingDirectory(folder);
    if (!env.isEmpty()) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString& pair : env)
            e.insert(pair.section('=', 0, 0), pair.section('=', 1));
        p.setProcessEnvironment(e);
    }
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline bool HaveTool(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

// An archive written by python's zipfile with every size and offset that
// the format allows there in ZIP64 extra fields (local and central), and,
// with endRecords, the ZIP64 end records too; without them the plain end
// record alone says where the directory is.
inline bool MakePythonZip64(const QString& path, const std::vector<std::pair<std::string, std::string>>& files,
                            bool endRecords)
{
    QString script =
        "import sys, zipfile\n"
        "zipfile.ZIP64_LIMIT = 0\n"
        "path, strip = sys.argv[1], sys.argv[2] == '1'\n"
        "with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for i in range(3, len(sys.argv), 2):\n"
        "        with z.open(sys.argv[i], 'w', force_zip64=True) as f:\n"
        "            f.write(sys.argv[i + 1].encode())\n"
        "data = open(path, 'rb').read()\n"
        "if strip:\n"
        "    end = data.rfind(b'PK\\x05\\x06')\n"
        "    zip64 = data.rfind(b'PK\\x06\\x06', 0, end)\n"
        "    data = data[:zip64] + data[end:]\n"
        "open(path, 'wb').write(data)\n";
    QStringList args{"-c", script, path, endRecords ? "0" : "1"};
    for (const auto& [name, data] : files)
        args << QString::fromStdString(name) << QString::fromStdString(data);
    return RunTool(QDir::currentPath(), "python3", args);
}

// A stored entry of size zero bytes as zip tools write one of 4 GB and more:
// both sizes and the offset only in ZIP64 extra fields, ZIP64 end records.
// The archive is sparse, so it costs no disk space; the entry's bytes are
// zeros but for its last one, 'E'.
inline bool MakeSparseZip64(const QString& path, const std::string& name, quint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray out;
    auto put = [&](quint64 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += char((v >> (8 * i)) & 0xFF);
    };
    // The checksum of size - 1 zeros and an 'E', without reading them.
    std::vector<unsigned char> zeros(1 << 20, 0);
    uLong crc = crc32(0L, Z_NULL, 0);
    for (quint64 left = size - 1; left > 0;) {
        const uInt n = uInt(std::min<quint64>(left, zeros.size()));
        crc = crc32(crc, zeros.data(), n);
        left -= n;
    }
    const unsigned char last = 'E';
    crc = crc32(crc, &last, 1);
    put(0x04034b50, 4), put(45, 2), put(0, 2), put(0, 2), put(0, 2), put(0x5821, 2), put(crc, 4);
    put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4), put(name.size(), 2), put(20, 2);
    out += QByteArray::fromStdString(name);
    put(1, 2), put(16, 2), put(size, 8), put(size, 8);
    const quint64 dataAt = quint64(out.size());
    f.write(out);
    out.clear();
    f.seek(qint64(dataAt + size - 1));
    f.write("E", 1);
    const quint64 central = dataAt + size;
    put(0x02014b50, 4), put(45 | (3 << 8), 2), put(45, 2), put(0, 2), put(0, 2), put(0, 2), put(0x5821, 2);
    put(crc, 4), put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4), put(name.size(), 2), put(28, 2), put(0, 2);
    put(0, 2), put(0, 2), put(quint64(0100644) << 16, 4), put(0xFFFFFFFF, 4);
    out += QByteArray::fromStdString(name);
    put(1, 2), put(24, 2), put(size, 8), put(size, 8), put(0, 8);
    const quint64 centralSize = quint64(out.size());
    const quint64 end64 = central + centralSize;
    put(0x06064b50, 4), put(44, 8), put(45, 2), put(45, 2), put(0, 4), put(0, 4);
    put(1, 8), put(1, 8), put(centralSize, 8), put(central, 8);
    put(0x07064b50, 4), put(0, 4), put(end64, 8), put(1, 4);
    put(0x06054b50, 4), put(0, 2), put(0, 2), put(1, 2), put(1, 2);
    put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4), put(0, 2);
    return f.write(out) == out.size();
}

// Free bytes on the file system that holds path.
inline quint64 FreeBytes(const QString& path)
{
    struct statvfs fs{};
    if (statvfs(QFile::encodeName(path).constData(), &fs) != 0)
        return 0;
    return quint64(fs.f_bavail) * fs.f_frsize;
}

// Runs f as an ordinary user, who may not write what its modes forbid:
// when the tests run as root, in a child process that gives up root and
// owns tree (and may pass through the folders above it). Returns f's int
// result; INT_MIN when the child could not run.
template <class F>
int AsOrdinaryUser(const QString& tree, F f)
{
    if (geteuid() != 0)
        return f();
    constexpr uid_t kNobody = 65534;
    const QByteArray top = QFile::encodeName(tree);
    nftw(top.constData(), [](const char* p, const struct stat*, int, FTW*) { return lchown(p, kNobody, kNobody); },
         16, FTW_PHYS);
    for (QString up = QFileInfo(tree).absolutePath(); up != "/"; up = QFileInfo(up).absolutePath()) {
        struct stat st;
        const QByteArray p = QFile::encodeName(up);
        if (stat(p.constData(), &st) == 0 && !(st.st_mode & S_IXOTH))
            chmod(p.constData(), (st.st_mode & 07777) | S_IXOTH);
    }
    int fds[2];
    if (pipe(fds) != 0)
        return INT_MIN;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int result = INT_MIN;
        if (setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0)
            result = f();
        if (write(fds[1], &result, sizeof result) != sizeof result)
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    int result = INT_MIN;
    if (pid < 0 || read(fds[0], &result, sizeof result) != sizeof result)
        result = INT_MIN;
    close(fds[0]);
    if (pid > 0)
        waitpid(pid, nullptr, 0);
    return result;
}
