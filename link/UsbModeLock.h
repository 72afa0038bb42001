#pragma once
// The machine-wide lock that lets only one running instance use the USB transport.
// Windows: the named mutex "UWM-12667599". Elsewhere: an flock on a file of that name, so
// a holder that crashes releases it with its last descriptor.

#include <QString>

namespace trivel {

inline constexpr char kUsbModeLockName[] = "UWM-12667599";

class UsbModeLock {
public:
    // dir: where the lock file lives (ignored on Windows); empty means /tmp.
    explicit UsbModeLock(const QString& dir = {});
    ~UsbModeLock();
    UsbModeLock(const UsbModeLock&) = delete;
    UsbModeLock& operator=(const UsbModeLock&) = delete;

    // Takes the lock unless another process holds it. True when held afterwards.
    bool tryAcquire();
    void release();
    bool held() const;
    QString path() const { return m_path; }

private:
    QString m_path;
#ifdef _WIN32
    void* m_mutex = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace trivel
