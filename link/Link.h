#pragma once
// The link to the box as a mechanism: the USB-mode lock, device scanning, opening a TCP or USB
// transport with its receive thread, closing it, and noticing that it died. What a connect or
// a disconnect means for the tool (captions, pages, the read-back) is the session's business.

#include "link/HidBackend.h"
#include "link/Transport.h"
#include "link/UsbModeLock.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trivel {

class Clock;
class ClockTimer;

class Link : public QObject {
    Q_OBJECT
public:
    static constexpr int kDevicePollMs = 1000;

    Link(Clock& clock, std::unique_ptr<HidBackend> hid, const QString& usbLockDir = {},
        QObject* parent = nullptr);
    ~Link() override;

    // The USB-mode lock between instances.
    bool takeUsbMode() { return m_usbLock.held() || m_usbLock.tryAcquire(); }
    void releaseUsbMode() { m_usbLock.release(); }
    const UsbModeLock& usbModeLock() const { return m_usbLock; }

    // The boxes plugged in now; remembered, so polling reports only changes.
    std::vector<HidDeviceInfo> scanDevices();
    // About once a second while on (hidapi has no plug notification): devicesChanged() when the
    // set of boxes differs from the last scan.
    void setDevicePolling(bool on);
    HidBackend& hidBackend() { return *m_hid; }

    // Opens a link; on failure returns false with a short reason in *why.
    bool openUsb(QString* why = nullptr);
    bool openTcp(const QString& host, quint16 port, int waitMs, QString* why = nullptr);
    // Puts another transport behind the TCP choice (an in-process box for trivelctl's tests);
    // it returns null with a reason when the connect fails.
    using TcpOpener
        = std::function<std::unique_ptr<Transport>(const QString& host, quint16 port, QString* why)>;
    void setTcpOpener(TcpOpener opener) { m_tcpOpener = std::move(opener); }
    // How long a send may take before the link counts as lost (Transport::sendFrame).
    void setSendTimeoutMs(int ms);
    // Replies go to the sink from now on.
    void setReplySink(Transport::ReplySink sink) { m_sink = std::move(sink); }
    void startReceiving();
    // Closes the open link, if any. Safe from inside a hand-over of that link.
    void close();
    // Drops links closed earlier; call when none of their calls can be on the stack.
    void forgetClosed() { m_retired.clear(); }

    Transport* transport() const { return m_transport.get(); }
    // Whether the last device scan found a box.
    bool boxPresent() const { return !m_lastDevices.empty(); }
    bool isOpen() const { return m_transport && m_transport->isOpen(); }

signals:
    // The peer closed, the socket failed or the device went away.
    void linkLost(const QString& reason);
    void devicesChanged();

private:
    void attach(std::unique_ptr<Transport> t);
    void pollDevices();

    std::unique_ptr<HidBackend> m_hid;
    UsbModeLock m_usbLock;
    Transport::ReplySink m_sink;
    std::unique_ptr<Transport> m_transport;
    // Closed links are kept until no call of theirs can still be on the stack.
    std::vector<std::unique_ptr<Transport>> m_retired;
    std::unique_ptr<ClockTimer> m_devicePoll;
    std::vector<std::string> m_lastDevices;
    int m_sendTimeoutMs = kSendTimeoutMs;
    TcpOpener m_tcpOpener;
};

} // namespace trivel
