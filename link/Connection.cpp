#include "link/Connection.h"

#include "link/Dispatch.h"
#include "link/LinkChains.h"
#include "link/NeutralState.h"
#include "link/Session.h"
#include "link/TcpTransport.h"
#include "link/UsbTransport.h"
#include "settings/SettingsState.h"

#include <algorithm>

namespace trivel {

namespace {

// Pages 0..7 of PCMain: re-enabled and shown by every click on BtnCnt2.
constexpr const char* kReshownPages[] = {
    "Warp95Tab",
    "TabVideoWall",
    "TabEdgeBlend1",
    "TabEdgeBlend2",
    "TabMask",
    "TabImage",
    "TntTabSheet5",
    "TabSystem",
};

constexpr int kIdentifyPending = 4094;

} // namespace

Connection::Connection(Session& s, QObject* parent)
    : Connection(s, CreateHidapiBackend(), QString(), parent)
{
}

Connection::Connection(
    Session& s, std::unique_ptr<HidBackend> hid, const QString& usbLockDir, QObject* parent)
    : QObject(parent)
    , m_s(s)
    , m_hid(std::move(hid))
    , m_usbLock(usbLockDir)
{
    m_s.connection = this;
    if (m_s.USBTimeOut)
        m_s.USBTimeOut->onTimeout = [this] { USBTimeOutTimer(); };
    m_devicePoll = m_s.clock.createTimer(kDevicePollMs);
    m_devicePoll->onTimeout = [this] { pollDevices(); };
}

Connection::~Connection()
{
    m_devicePoll->setEnabled(false);
    if (m_s.USBTimeOut)
        m_s.USBTimeOut->onTimeout = nullptr;
    if (m_transport) {
        m_transport->close();
        if (m_s.transport == m_transport.get())
            m_s.transport = nullptr;
    }
    m_transport.reset();
    m_retired.clear();
    if (m_s.connection == this)
        m_s.connection = nullptr;
}

void Connection::startUp()
{
    UiPort& ui = m_s.ui;
    ui.setChecked("RBUSB", true);
    ui.setChecked("RBTCP", false);
    if (ui.caption("ConnectAddressBox").isEmpty())
        ui.setCaption("ConnectAddressBox", "192.168.0.100");
    ui.setCaption("BtnCnt2", "Connect");
    ui.setEnabled("BtnCnt2", false);
    HidCtlDeviceChange(); // the device change reported once the main window exists
    m_devicePoll->setEnabled(true);
}

void Connection::RBUSBClick()
{
    UiPort& ui = m_s.ui;
    if (!m_usbLock.held() && !m_usbLock.tryAcquire()) {
        ui.message(MsgIcon::None, QString(), "USB mode already used by another programe!! ", MsgButtons::Ok);
        ui.setChecked("RBUSB", false);
        ui.setChecked("RBTCP", true);
        RBTCPClick(); // checking RBTCP selects TCP as a click would
        return;
    }
    ui.setEnabled("BtnCnt2", false);
    ui.setEnabled("ConnectAddressBox", false);
    startHidEnumeration();
}

void Connection::RBTCPClick()
{
    if (!m_s.ui.isChecked("RBTCP"))
        return;
    m_s.ui.setEnabled("ConnectAddressBox", true);
    m_s.ui.setEnabled("BtnCnt2", true);
    m_usbLock.release();
}

bool Connection::HidCtlEnumerate(const HidDeviceInfo& device)
{
    if (m_s.tcpSelected() || device.vendorId != kBoxVendorId || device.productId != kBoxProductId)
        return true;
    m_s.ui.setEnabled("BtnCnt2", true);
    return false;
}

void Connection::HidCtlDeviceChange()
{
    if (m_s.tcpSelected())
        return;
    if (m_s.connected())
        CloseUsbLink();
    m_s.ui.setEnabled("BtnCnt2", false);
    startHidEnumeration();
}

void Connection::startHidEnumeration()
{
    const std::vector<HidDeviceInfo> found = m_hid->enumerate(kBoxVendorId, kBoxProductId);
    m_lastDevices.clear();
    for (const HidDeviceInfo& d : found)
        m_lastDevices.push_back(d.path);
    std::sort(m_lastDevices.begin(), m_lastDevices.end());
    for (const HidDeviceInfo& d : found)
        if (!HidCtlEnumerate(d))
            break;
}

void Connection::pollDevices()
{
    if (m_s.tcpSelected())
        return; // device changes are ignored then; selecting USB enumerates afresh
    std::vector<std::string> now;
    for (const HidDeviceInfo& d : m_hid->enumerate(kBoxVendorId, kBoxProductId))
        now.push_back(d.path);
    std::sort(now.begin(), now.end());
    if (now == m_lastDevices)
        return;
    m_lastDevices = std::move(now);
    HidCtlDeviceChange();
}

void Connection::commonClickPart()
{
    UiPort& ui = m_s.ui;
    for (const char* page : kReshownPages) {
        ui.setEnabled(page, true);
        ui.setVisible(page, true);
    }
    m_s.LastInputMask = 256;
    m_s.LastOutputMask = 256;
    m_s.setFlag(Flag::Rejected, false);
    ui.setEnabled("BtnFrame", true);
    ui.setEnabled("GroupBox1", true);
    ui.setEnabled("FRstBtn", true);
}

void Connection::BtnCnt2Click()
{
    commonClickPart();
    if (m_s.connected())
        disconnect();
    else if (m_s.tcpSelected())
        connectTcp();
    else
        connectUsb();
}

void Connection::attach(Transport* t)
{
    t->setReplySink([this](const std::uint8_t* bytes, std::size_t n, bool withReportId) {
        DeliverReply(m_s, bytes, n, withReportId);
    });
    connect(t, &Transport::linkLost, this, &Connection::onLinkLost);
    m_s.transport = t;
}

void Connection::retireTransport()
{
    if (!m_transport)
        return;
    m_transport->close();
    if (m_s.transport == m_transport.get())
        m_s.transport = nullptr;
    // We may be inside this transport's own hand-over (a chain step that disconnects).
    m_retired.push_back(std::move(m_transport));
}

void Connection::connectUsb()
{
    UiPort& ui = m_s.ui;
    m_retired.clear();
    m_s.SessionFlags = 0;
    ui.setCaption("BtnCnt2", "Disconnect");
    m_s.setFlag(Flag::Connected, true);

    std::unique_ptr<HidDevice> dev = m_hid->open(kBoxVendorId, kBoxProductId);
    if (!dev) {
        // Enumerated but not openable (gone meanwhile, or no access rights).
        m_s.setFlag(Flag::Connected, false);
        ui.setCaption("BtnCnt2", "Connect");
        ui.message(MsgIcon::Error, QString(), "The USB box could not be opened.", MsgButtons::Ok);
        return;
    }
    auto usb = std::make_unique<UsbTransport>(std::move(dev));
    UsbTransport* t = usb.get();
    attach(t);
    m_transport = std::move(usb);
    t->startReceiving();

    m_s.clearRequest();
    m_s.request().setCode(Cmd::Identify);
    SendFrame(m_s);
    m_s.PendingOp = kIdentifyPending;

    ui.setEnabled("ProgBtn", true);
    ui.setEnabled("RBTCP", false);
}

void Connection::connectTcp()
{
    UiPort& ui = m_s.ui;
    m_retired.clear();
    ConnectAddress = ui.caption("ConnectAddressBox").left(20).trimmed();
    m_s.SessionFlags = 0;
    ui.setCaption("BtnCnt2", "Connecting");

    auto tcp = std::make_unique<TcpTransport>();
    QString why;
    if (!tcp->open(ConnectAddress, m_tcpPort, m_connectWaitMs, &why)) {
        qCWarning(lcLink) << "TCP connect to" << ConnectAddress << m_tcpPort << "failed:" << why;
        ui.message(MsgIcon::Error, QString(), "Can' not link to " + ConnectAddress, MsgButtons::Ok);
        ui.setCaption("BtnCnt2", "Connect");
        return;
    }
    TcpTransport* t = tcp.get();
    attach(t);
    m_transport = std::move(tcp);
    TcpClient1Connect();

    ui.setCaption("BtnCnt2", "Disconnect");
    ui.setEnabled("ProgBtn", true);
    t->startReceiving();
}

void Connection::TcpClient1Connect()
{
    m_s.setFlag(Flag::Connected, true);
    m_s.ui.setEnabled("RBUSB", false);
    m_s.clearRequest();
    m_s.request().setCode(Cmd::Identify);
    SendFrame(m_s);
    m_s.PendingOp = kIdentifyPending;
}

void Connection::disconnect()
{
    if (!m_s.FactoryResetPending)
        SendNeutralState(m_s, true);
    const bool usb = m_transport ? m_transport->isUsb() : !m_s.tcpSelected();
    if (usb)
        CloseUsbLink();
    else
        closeTcpLink();
    m_s.ui.setActivePage(0);
}

void Connection::closeTcpLink()
{
    UiPort& ui = m_s.ui;
    ApplyChannelLayout(m_s, false);
    retireTransport();
    ui.setCaption("BtnCnt2", "Connect");
    ui.setEnabled("ProgBtn", false);
    ui.setEnabled("RBUSB", true);
    m_s.setFlag(Flag::Connected, false);
    ShowSignalIndicators(m_s, 0, 0);
    ResetWindowSettings(m_s);
}

void Connection::CloseUsbLink()
{
    UiPort& ui = m_s.ui;
    ApplyChannelLayout(m_s, false);
    ui.setCaption("BtnCnt2", "Connect");
    ui.setEnabled("ProgBtn", false);
    ui.setCaption("ProgBtn", "Start");
    m_s.setFlag(Flag::Connected, false);
    ShowSignalIndicators(m_s, 0, 0);
    // Nothing left to resend to.
    if (m_s.USBTimeOut)
        m_s.USBTimeOut->setEnabled(false);
    retireTransport();
    ui.setEnabled("RBTCP", true);
    ResetWindowSettings(m_s);
}

void Connection::onLinkLost(const QString& reason)
{
    if (sender() != m_transport.get() || !m_s.connected())
        return;
    qCWarning(lcLink) << "link lost:" << reason;
    const bool usb = m_transport->isUsb();
    if (usb) {
        HidCtlDeviceChange(); // as an unplug: close, BtnCnt2 off until the box is back
    } else {
        closeTcpLink();
    }
    // A chain waiting for the dead link would otherwise keep the wait window up for ever.
    m_s.PendingOp = 0;
    m_s.ui.closeWaitWindow();
    if (!usb)
        m_s.ui.message(MsgIcon::Warning, QString(), "Connection to the box lost.", MsgButtons::Ok);
}

void Connection::USBTimeOutTimer()
{
    if (m_s.USBTimeOut)
        m_s.USBTimeOut->setEnabled(false);
    if (m_s.tcpSelected())
        return;
    m_s.ui.appendMemo("NO ACK RESEND");
    SendFrame(m_s);
}

void Connection::FormClose()
{
    m_devicePoll->setEnabled(false);
    retireTransport();
    m_s.setFlag(Flag::Connected, false);
    m_usbLock.release();
}

} // namespace trivel
