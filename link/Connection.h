#pragma once
// Choosing the transport, connecting and disconnecting: the handlers behind Grop1
// (RBUSB, RBTCP, ConnectAddressBox, BtnCnt2). Control state lives in the UI port's
// mirror, so the GUI and tests drive the very same code.

#include <QObject>

#include <memory>

namespace trivel {

class Session;
class Transport;

class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(Session& s, QObject* parent = nullptr);
    ~Connection() override;

    void setTcpPort(quint16 port) { m_tcpPort = port; }
    quint16 tcpPort() const { return m_tcpPort; }

    // Start-up state of the group: USB checked, BtnCnt2 disabled, first device scan.
    void startUp();

    void RBUSBClick();
    void RBTCPClick();
    void BtnCnt2Click();
    void HidCtlDeviceChange();
    void CloseUsbLink();
    void USBTimeOutTimer();
    void FormClose();

private:
    Session& m_s;
    quint16 m_tcpPort = 7;
};

} // namespace trivel
