#include "files/SettingFileIo.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trivel {

namespace {

QString SystemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString WhatItIs(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

// Closes on every path out; the write side checks close() itself.
class Fd {
public:
    explicit Fd(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, std::size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

QByteArray TempName(const QByteArray& dir, const QByteArray& name)
{
    return dir + "/." + name + ".part-" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
}

// A temporary file in dir that is complete on disk when this returns true; tempName is its
// name, or empty while it has none yet (an unnamed O_TMPFILE, which a crash leaves nowhere).
bool WriteTemporary(const QByteArray& dir, const QByteArray& name, bool unnamed, const QByteArray& bytes,
    const struct stat* old, Fd& fd, QByteArray& tempName)
{
    tempName.clear();
    if (unnamed) {
#ifdef O_TMPFILE
        fd.reset(::open(dir.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
#else
        errno = EOPNOTSUPP;
#endif
        if (fd.get() < 0)
            return false;
    } else {
        for (int attempt = 0; attempt < 100 && fd.get() < 0; ++attempt) {
            tempName = TempName(dir, name);
            fd.reset(::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (fd.get() < 0 && errno != EEXIST)
                break;
        }
        if (fd.get() < 0) {
            tempName.clear();
            return false;
        }
    }
    // The new file keeps the permissions of the one it replaces.
    if (old)
        ::fchmod(fd.get(), old->st_mode & 07777);
    return WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
}

// Gives an unnamed temporary file a name beside the target, so that rename can put it in place.
bool NameTemporary(const QByteArray& dir, const QByteArray& name, const Fd& fd, QByteArray& tempName)
{
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = TempName(dir, name);
        if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, tempName.constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    tempName.clear();
    return false;
}

enum class Replaced { Done, Failed, NoUnnamedFile };

// One try with an unnamed or a named temporary file; error is errno of the failure.
Replaced ReplaceWith(
    const QByteArray& target, const QByteArray& bytes, const struct stat* old, bool unnamed, int& error)
{
    const QFileInfo info(QFile::decodeName(target));
    const QByteArray dir = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());
    Fd fd;
    QByteArray tempName;
    bool ok = WriteTemporary(dir, name, unnamed, bytes, old, fd, tempName);
    if (!ok && unnamed && fd.get() < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        return Replaced::NoUnnamedFile; // the file system has none: a named one then
    if (ok && unnamed && !NameTemporary(dir, name, fd, tempName))
        return Replaced::NoUnnamedFile; // no /proc to name it by
    if (ok)
        ok = ::close(fd.release()) == 0;
    if (ok)
        ok = ::rename(tempName.constData(), target.constData()) == 0;
    error = ok ? 0 : errno;
    if (!ok && !tempName.isEmpty())
        ::unlink(tempName.constData());
    if (!ok)
        return Replaced::Failed;
    // The rename itself is on disk only once the folder is.
    Fd dirFd(::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0)
        ::fsync(dirFd.get());
    return Replaced::Done;
}

} // namespace

SettingFileKind SettingFileKindOf(const QByteArray& head)
{
    if (head.startsWith("WPM"))
        return SettingFileKind::WholeBox;
    if (head.startsWith("SBF"))
        return SettingFileKind::SingleWindow;
    return SettingFileKind::Unknown;
}

QString SettingFileKindName(SettingFileKind kind)
{
    switch (kind) {
    case SettingFileKind::WholeBox:
        return QStringLiteral("whole-box");
    case SettingFileKind::SingleWindow:
        return QStringLiteral("single-window");
    case SettingFileKind::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

SaveTarget ResolveSaveName(const QString& name, bool wholeBoxChosen)
{
    const QString file = QFileInfo(name).fileName();
    const qsizetype dot = file.lastIndexOf('.');
    const QString ext = dot > 0 ? file.mid(dot + 1) : QString();
    SaveTarget t;
    t.path = name;
    if (ext.compare(QLatin1String("wbf"), Qt::CaseInsensitive) == 0) {
        t.wholeBox = t.extensionGiven = true;
    } else if (ext.compare(QLatin1String("sbf"), Qt::CaseInsensitive) == 0) {
        t.extensionGiven = true;
    } else {
        t.wholeBox = wholeBoxChosen;
        t.path += wholeBoxChosen ? QLatin1String(".WBF") : QLatin1String(".SBF");
    }
    return t;
}

bool ReadRegularFile(const QString& path, qint64 limit, QByteArray& bytes, QString& error)
{
    // Non-blocking, so that opening a named pipe returns at once instead of waiting for a writer.
    Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st { };
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        error = QStringLiteral("Cannot read the file: %1.").arg(SystemReason(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = QStringLiteral("This is %1, not a setting file: only regular files are read.")
                    .arg(WhatItIs(st.st_mode));
        return false;
    }
    if (st.st_size > limit) {
        error = QStringLiteral("The file is %1 bytes long, too long for a setting file.").arg(st.st_size);
        return false;
    }
    bytes.resize(qsizetype(st.st_size));
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, std::size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = QStringLiteral("Cannot read the file: %1.").arg(SystemReason(errno));
            return false;
        }
        if (n == 0)
            break; // shrunk since fstat: what is there is the file
        got += n;
    }
    bytes.truncate(got);
    return true;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error)
{
    QByteArray target = QFile::encodeName(path);
    // Through a link the file it points to is replaced, and the link stays.
    const QFileInfo info(path);
    if (info.isSymLink())
        target = QFile::encodeName(info.symLinkTarget());
    struct stat old { };
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        error = QStringLiteral("%1 is %2, not a file").arg(path, WhatItIs(old.st_mode));
        return false;
    }
    int reason = 0;
    Replaced r = ReplaceWith(target, bytes, exists ? &old : nullptr, true, reason);
    if (r == Replaced::NoUnnamedFile)
        r = ReplaceWith(target, bytes, exists ? &old : nullptr, false, reason);
    if (r == Replaced::Done)
        return true;
    error = SystemReason(reason);
    return false;
}

} // namespace trivel
