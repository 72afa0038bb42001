#include "box/Connection.h"

#include "box/Readback.h"

#include "firmware/Controls.h"
#include "box/NeutralState.h"
#include "session/Session.h"
#include "box/StatusPoll.h"
#include "box/Watchdog.h"
#include "session/Controls.h"
#include "settings/Controls.h"
#include "settings/SettingsState.h"

namespace trivel {

Connection::Connection(Session& s, QObject* parent)
    : Connection(s, CreateHidapiBackend(), QString(), parent)
{
}

Connection::Connection(
    Session& s, std::unique_ptr<HidBackend> hid, const QString& usbLockDir, QObject* parent)
    : QObject(parent)
    , m_s(s)
    , m_link(s.clock, std::move(hid), usbLockDir)
{
    m_s.connection = this;
    connect(&m_s.events, &SessionEvents::disconnectRequested, this, &Connection::BtnCnt2Click);
    // A send stuck longer than a reply is allowed to take ends the link.
    m_link.setSendTimeoutMs(kReplyWatchdogMs);
    m_link.setReplySink([this](const std::uint8_t* bytes, std::size_t n, bool withReportId) {
        DeliverReply(m_s, bytes, n, withReportId);
    });
    connect(&m_link, &Link::linkLost, this, &Connection::onLinkLost);
    connect(&m_link, &Link::devicesChanged, this, [this] {
        // Device changes are ignored while TCP is selected; selecting USB enumerates afresh.
        if (!m_s.TcpSelected)
            HidCtlDeviceChange();
    });
}

Connection::~Connection()
{
    // A disconnect still sending its neutral state closes the link now, while this still exists.
    m_disconnect.cancel();
    m_link.setDevicePolling(false);
    detachFromSession();
    m_link.close();
    if (m_s.connection == this)
        m_s.connection = nullptr;
}

void Connection::attachToSession()
{
    m_s.setTransport(m_link.transport());
}

void Connection::detachFromSession()
{
    if (m_s.transport && m_s.transport == m_link.transport())
        m_s.setTransport(nullptr);
}

void Connection::startUp()
{
    UiPort& ui = m_s.ui;
    m_s.TcpSelected = false;
    ui.setChecked(ctl::RBUSB, true);
    ui.setChecked(ctl::RBTCP, false);
    ui.setCaption(ctl::ConnectAddressBox, m_s.ConnectAddressText);
    ui.setCaption(ctl::BtnCnt2, "Connect");
    ui.setEnabled(ctl::BtnCnt2, false);
    HidCtlDeviceChange(); // the device change reported once the main window exists
    m_link.setDevicePolling(true);
}

void Connection::RBUSBClick()
{
    UiPort& ui = m_s.ui;
    if (!m_link.takeUsbMode()) {
        ui.message(MsgIcon::None, QString(), "USB mode already used by another programe!! ", MsgButtons::Ok);
        ui.setChecked(ctl::RBUSB, false);
        ui.setChecked(ctl::RBTCP, true);
        m_s.TcpSelected = true;
        RBTCPClick(); // checking RBTCP selects TCP as a click would
        return;
    }
    m_s.TcpSelected = false;
    ui.setChecked(ctl::RBUSB, true);
    ui.setChecked(ctl::RBTCP, false);
    ui.setEnabled(ctl::BtnCnt2, false);
    ui.setEnabled(ctl::ConnectAddressBox, false);
    startHidEnumeration();
}

void Connection::RBTCPClick()
{
    m_s.TcpSelected = true;
    m_s.ui.setChecked(ctl::RBTCP, true);
    m_s.ui.setChecked(ctl::RBUSB, false);
    m_s.ui.setEnabled(ctl::ConnectAddressBox, true);
    m_s.ui.setEnabled(ctl::BtnCnt2, true);
    m_link.releaseUsbMode();
}

bool Connection::HidCtlEnumerate(const HidDeviceInfo& device)
{
    if (m_s.TcpSelected || device.vendorId != kBoxVendorId || device.productId != kBoxProductId)
        return true;
    m_s.ui.setEnabled(ctl::BtnCnt2, true);
    return false;
}

void Connection::HidCtlDeviceChange()
{
    if (m_s.TcpSelected)
        return;
    if (m_s.connected())
        CloseUsbLink();
    m_s.ui.setEnabled(ctl::BtnCnt2, false);
    startHidEnumeration();
}

void Connection::startHidEnumeration()
{
    for (const HidDeviceInfo& d : m_link.scanDevices())
        if (!HidCtlEnumerate(d))
            break;
}

void Connection::commonClickPart()
{
    UiPort& ui = m_s.ui;
    for (int page = Page::WarpAdjust; page <= Page::System; ++page)
        SetPageAvailable(m_s, page, true);
    m_s.LastInputMask = kSignalMaskUnknown;
    m_s.LastOutputMask = kSignalMaskUnknown;
    m_s.setFlag(Flag::Rejected, false);
    ui.setEnabled(ctl::BtnFrame, true);
    ui.setEnabled(ctl::GroupBox1, true);
    ui.setEnabled(ctl::FRstBtn, true);
}

void Connection::BtnCnt2Click()
{
    if (disconnecting())
        return;
    commonClickPart();
    if (m_s.connected())
        disconnect(true);
    else if (m_s.TcpSelected)
        connectTcp();
    else
        connectUsb();
}

void Connection::connectUsb()
{
    UiPort& ui = m_s.ui;
    m_s.SessionFlags = 0;
    ui.setCaption(ctl::BtnCnt2, "Disconnect");
    m_s.setFlag(Flag::Connected, true);

    if (!m_link.openUsb()) {
        // Enumerated but not openable (gone meanwhile, or no access rights).
        m_s.setFlag(Flag::Connected, false);
        ui.setCaption(ctl::BtnCnt2, "Connect");
        ui.message(MsgIcon::Error, QString(), "The USB box could not be opened.", MsgButtons::Ok);
        return;
    }
    attachToSession();
    NoteLinkOpened(m_s);
    m_link.startReceiving();

    SendIdentify(m_s);

    ui.setEnabled(ctl::ProgBtn, true);
    ui.setEnabled(ctl::RBTCP, false);
}

void Connection::connectTcp()
{
    UiPort& ui = m_s.ui;
    ConnectAddress = m_s.ConnectAddressText.left(20).trimmed();
    m_s.SessionFlags = 0;
    ui.setCaption(ctl::BtnCnt2, "Connecting");

    QString why;
    const bool opened = m_link.openTcp(ConnectAddress, m_tcpPort, m_connectWaitMs, &why);
    m_lastConnectError = opened ? QString() : why;
    if (!opened) {
        ui.message(MsgIcon::Error, QString(), "Can' not link to " + ConnectAddress, MsgButtons::Ok);
        ui.setCaption(ctl::BtnCnt2, "Connect");
        return;
    }
    attachToSession();
    NoteLinkOpened(m_s);
    TcpClient1Connect();

    ui.setCaption(ctl::BtnCnt2, "Disconnect");
    ui.setEnabled(ctl::ProgBtn, true);
    m_link.startReceiving();
}

void Connection::TcpClient1Connect()
{
    m_s.setFlag(Flag::Connected, true);
    m_s.ui.setEnabled(ctl::RBUSB, false);
    SendIdentify(m_s);
}

void Connection::DisconnectWithoutNeutralState()
{
    if (m_s.connected())
        disconnect(false);
}

void Connection::disconnect(bool neutralState)
{
    emit m_s.events.linkClosing();
    if (neutralState && !m_s.FactoryResetPending && m_s.transport) {
        m_disconnect = LeaveNeutralState(m_s);
        m_disconnect.onFinished([this] {
            // Unless the link went meanwhile (lost, or this runs inside its own close).
            if (m_s.connected() && m_s.transport)
                closeLink();
            SetActivePage(m_s, Page::WarpAdjust);
        });
        return;
    }
    closeLink();
    SetActivePage(m_s, Page::WarpAdjust);
}

void Connection::closeLink()
{
    const bool usb = m_link.transport() ? m_link.transport()->isUsb() : !m_s.TcpSelected;
    if (usb)
        CloseUsbLink();
    else
        closeTcpLink();
}

void Connection::closeTcpLink()
{
    UiPort& ui = m_s.ui;
    emit m_s.events.linkClosing();
    ApplyChannelLayout(m_s, false);
    // The session's link ends here, whichever transport carried it.
    m_s.setTransport(nullptr, QStringLiteral("disconnected"));
    m_link.close();
    ui.setCaption(ctl::BtnCnt2, "Connect");
    ui.setEnabled(ctl::ProgBtn, false);
    ui.setEnabled(ctl::RBUSB, true);
    m_s.setFlag(Flag::Connected, false);
    ShowSignalIndicators(m_s, 0, 0);
    ResetWindowSettings(m_s);
}

void Connection::CloseUsbLink()
{
    UiPort& ui = m_s.ui;
    emit m_s.events.linkClosing();
    ApplyChannelLayout(m_s, false);
    ui.setCaption(ctl::BtnCnt2, "Connect");
    ui.setEnabled(ctl::ProgBtn, false);
    ui.setCaption(ctl::ProgBtn, "Start");
    m_s.setFlag(Flag::Connected, false);
    ShowSignalIndicators(m_s, 0, 0);
    // The session's link ends here, whichever transport carried it.
    m_s.setTransport(nullptr, QStringLiteral("disconnected"));
    m_link.close();
    ui.setEnabled(ctl::RBTCP, true);
    ResetWindowSettings(m_s);
}

void Connection::onLinkLost(const QString& reason)
{
    if (!m_s.connected() || !m_link.transport())
        return;
    qCWarning(lcSession) << "link lost:" << reason;
    const bool usb = m_link.transport()->isUsb();
    const bool sendFailed = m_link.transport()->sendFailed();
    if (usb) {
        HidCtlDeviceChange(); // as an unplug: close, BtnCnt2 off until the box is back
    } else {
        closeTcpLink();
    }
    // An operation waiting for the dead link has failed with it; its wait window goes too, and
    // a setting transfer's progress panel with it.
    m_s.ui.closeWaitWindow();
    m_s.ui.set(ctl::UpdateStep, Prop::Top, 680);
    // An unplugged box speaks for itself; one still plugged in stopped taking reports.
    if (!usb || (sendFailed && m_link.boxPresent()))
        m_s.ui.message(MsgIcon::Warning, QString(), "Connection to the box lost.", MsgButtons::Ok);
}

void Connection::FormClose()
{
    m_link.setDevicePolling(false);
    detachFromSession();
    m_link.close();
    m_s.setFlag(Flag::Connected, false);
    m_link.releaseUsbMode();
}

} // namespace trivel
