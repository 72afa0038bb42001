#include "link/UsbModeLock.h"

#include <QDir>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace trivel {

UsbModeLock::UsbModeLock(const QString& dir)
{
    const QString base = dir.isEmpty() ? QStringLiteral("/tmp") : dir;
    m_path = QDir(base).filePath(QLatin1String(kUsbModeLockName) + QLatin1String(".lock"));
}

UsbModeLock::~UsbModeLock()
{
    release();
}

#ifdef _WIN32

bool UsbModeLock::tryAcquire()
{
    if (m_mutex)
        return true;
    // An existing mutex of that name means another instance has the USB transport.
    if (HANDLE other = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kUsbModeLockName)) {
        CloseHandle(other);
        return false;
    }
    HANDLE h = CreateMutexA(nullptr, TRUE, kUsbModeLockName);
    if (!h)
        return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) { // created by someone else meanwhile
        CloseHandle(h);
        return false;
    }
    m_mutex = h;
    return true;
}

void UsbModeLock::release()
{
    if (!m_mutex)
        return;
    ReleaseMutex(static_cast<HANDLE>(m_mutex));
    CloseHandle(static_cast<HANDLE>(m_mutex));
    m_mutex = nullptr;
}

bool UsbModeLock::held() const
{
    return m_mutex != nullptr;
}

#else

bool UsbModeLock::tryAcquire()
{
    if (m_fd >= 0)
        return true;
    const QByteArray p = QFile::encodeName(m_path);
    int fd = ::open(p.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0)
        ::fchmod(fd, 0666); // another user's instance must be able to open it too (umask)
    else
        fd = ::open(p.constData(), O_RDONLY | O_CLOEXEC); // someone else's file: read access is enough
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void UsbModeLock::release()
{
    if (m_fd < 0)
        return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

bool UsbModeLock::held() const
{
    return m_fd >= 0;
}

#endif

} // namespace trivel
