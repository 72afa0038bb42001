#pragma once
// Choosing the transport, connecting and disconnecting: the handlers behind Grop1
// (RBUSB, RBTCP, ConnectAddressBox, BtnCnt2), on top of the link's mechanism. The GUI, trivelctl
// and the tests drive the very same handlers.

#include "link/HidBackend.h"
#include "link/Link.h"
#include "link/Operation.h"

#include <QObject>
#include <QString>

#include <memory>

namespace trivel {

class Session;

class Connection : public QObject {
    Q_OBJECT
public:
    static constexpr int kConnectWaitMs = 3000;
    static constexpr int kDevicePollMs = Link::kDevicePollMs;

    // Uses hidapi for USB.
    explicit Connection(Session& s, QObject* parent = nullptr);
    // Tests pass a scripted HID backend and their own lock directory.
    Connection(Session& s, std::unique_ptr<HidBackend> hid, const QString& usbLockDir = {},
        QObject* parent = nullptr);
    ~Connection() override;

    void setTcpPort(quint16 port) { m_tcpPort = port; }
    quint16 tcpPort() const { return m_tcpPort; }
    // Why the last TCP connect failed ("Connection refused", "time-out"); empty after a success.
    const QString& lastConnectError() const { return m_lastConnectError; }
    void setConnectWaitMs(int ms) { m_connectWaitMs = ms; }
    // Tests shorten the send deadline (kReplyWatchdogMs by default).
    void setSendTimeoutMs(int ms) { m_link.setSendTimeoutMs(ms); }

    // Start-up state of the group: USB checked, BtnCnt2 disabled, first device scan,
    // then a device scan about once a second.
    void startUp();

    void RBUSBClick();
    void RBTCPClick();
    // Connects, or disconnects: the neutral state goes out first (its requests and pauses), then
    // the link closes. A click while that runs does nothing.
    void BtnCnt2Click();
    bool disconnecting() const { return m_disconnect.valid() && !m_disconnect.finished(); }
    // The last disconnect that sent the neutral state; it has ended once the link is closed.
    const Operation<void>& disconnection() const { return m_disconnect; }
    // Ends the link as a disconnect does, but without the neutral-state requests: for a caller
    // that showed nothing on the box and never read its current window (trivelctl identify).
    void DisconnectWithoutNeutralState();
    // Once per matching device of an enumeration; false stops the enumeration.
    bool HidCtlEnumerate(const HidDeviceInfo& device);
    void HidCtlDeviceChange();
    void CloseUsbLink();
    void FormClose();

    // The address taken from ConnectAddressBox at the last TCP connect.
    QString ConnectAddress;

    const UsbModeLock& usbModeLock() const { return m_link.usbModeLock(); }
    HidBackend& hidBackend() { return m_link.hidBackend(); }
    Link& link() { return m_link; }

private:
    void commonClickPart();
    void connectUsb();
    void connectTcp();
    void TcpClient1Connect();
    void disconnect(bool neutralState);
    void closeLink();
    void closeTcpLink();
    void startHidEnumeration();
    void onLinkLost(const QString& reason);
    void attachToSession();
    void detachFromSession();

    Session& m_s;
    Link m_link;
    quint16 m_tcpPort = 7;
    QString m_lastConnectError;
    int m_connectWaitMs = kConnectWaitMs;
    Operation<void> m_disconnect;
};

} // namespace trivel
