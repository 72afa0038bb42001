#pragma once
// Choosing the transport, connecting and disconnecting: the handlers behind Grop1
// (RBUSB, RBTCP, ConnectAddressBox, BtnCnt2). Control state lives in the UI port's
// mirror, so the GUI and tests drive the very same code.

#include "link/HidBackend.h"
#include "link/UsbModeLock.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace trivel {

class ClockTimer;
class Session;
class TcpTransport;
class Transport;
class UsbTransport;

class Connection : public QObject {
    Q_OBJECT
public:
    static constexpr int kConnectWaitMs = 3000;
    static constexpr int kDevicePollMs = 1000;

    // Uses hidapi for USB.
    explicit Connection(Session& s, QObject* parent = nullptr);
    // Tests pass a scripted HID backend and their own lock directory.
    Connection(Session& s, std::unique_ptr<HidBackend> hid, const QString& usbLockDir = {},
        QObject* parent = nullptr);
    ~Connection() override;

    void setTcpPort(quint16 port) { m_tcpPort = port; }
    quint16 tcpPort() const { return m_tcpPort; }
    void setConnectWaitMs(int ms) { m_connectWaitMs = ms; }

    // Start-up state of the group: USB checked, BtnCnt2 disabled, first device scan,
    // then a device scan about once a second (hidapi has no plug notification).
    void startUp();

    void RBUSBClick();
    void RBTCPClick();
    void BtnCnt2Click();
    // Once per matching device of an enumeration; false stops the enumeration.
    bool HidCtlEnumerate(const HidDeviceInfo& device);
    void HidCtlDeviceChange();
    void CloseUsbLink();
    void USBTimeOutTimer();
    void FormClose();

    // The text typed into ConnectAddressBox at the last TCP connect.
    QString ConnectAddress;

    const UsbModeLock& usbModeLock() const { return m_usbLock; }
    HidBackend& hidBackend() { return *m_hid; }

private:
    void commonClickPart();
    void connectUsb();
    void connectTcp();
    void TcpClient1Connect();
    void disconnect();
    void closeTcpLink();
    void startHidEnumeration();
    void pollDevices();
    void onLinkLost(const QString& reason);
    void attach(Transport* t);
    void retireTransport();

    Session& m_s;
    std::unique_ptr<HidBackend> m_hid;
    UsbModeLock m_usbLock;
    quint16 m_tcpPort = 7;
    int m_connectWaitMs = kConnectWaitMs;
    std::unique_ptr<Transport> m_transport;
    // Closed links are kept until no call of theirs can still be on the stack.
    std::vector<std::unique_ptr<Transport>> m_retired;
    std::unique_ptr<ClockTimer> m_devicePoll;
    std::vector<std::string> m_lastDevices;
};

} // namespace trivel
