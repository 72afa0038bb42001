#include "link/Link.h"

#include "link/Clock.h"
#include "link/Log.h"
#include "link/TcpTransport.h"
#include "link/UsbTransport.h"

#include <algorithm>

namespace trivel {

namespace {

std::vector<std::string> Paths(const std::vector<HidDeviceInfo>& devices)
{
    std::vector<std::string> paths;
    for (const HidDeviceInfo& d : devices)
        paths.push_back(d.path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace

Link::Link(Clock& clock, std::unique_ptr<HidBackend> hid, const QString& usbLockDir, QObject* parent)
    : QObject(parent)
    , m_hid(std::move(hid))
    , m_usbLock(usbLockDir)
{
    m_devicePoll = clock.createTimer(kDevicePollMs);
    m_devicePoll->onTimeout = [this] { pollDevices(); };
}

Link::~Link()
{
    m_devicePoll->setEnabled(false);
    if (m_transport)
        m_transport->close();
    m_transport.reset();
    m_retired.clear();
}

std::vector<HidDeviceInfo> Link::scanDevices()
{
    std::vector<HidDeviceInfo> found = m_hid->enumerate(kBoxVendorId, kBoxProductId);
    m_lastDevices = Paths(found);
    return found;
}

void Link::setDevicePolling(bool on)
{
    m_devicePoll->setEnabled(on);
}

void Link::pollDevices()
{
    std::vector<std::string> now = Paths(m_hid->enumerate(kBoxVendorId, kBoxProductId));
    if (now == m_lastDevices)
        return;
    m_lastDevices = std::move(now);
    emit devicesChanged();
}

bool Link::openUsb(QString* why)
{
    std::unique_ptr<HidDevice> dev = m_hid->open(kBoxVendorId, kBoxProductId);
    if (!dev) {
        if (why)
            *why = QStringLiteral("the device could not be opened");
        return false;
    }
    attach(std::make_unique<UsbTransport>(std::move(dev)));
    return true;
}

bool Link::openTcp(const QString& host, quint16 port, int waitMs, QString* why)
{
    if (m_tcpOpener) {
        std::unique_ptr<Transport> t = m_tcpOpener(host, port, why);
        if (!t)
            return false;
        attach(std::move(t));
        return true;
    }
    auto tcp = std::make_unique<TcpTransport>();
    if (!tcp->open(host, port, waitMs, why)) {
        qCWarning(lcLink) << "TCP connect to" << host << port << "failed:" << (why ? *why : QString());
        return false;
    }
    attach(std::move(tcp));
    return true;
}

void Link::setSendTimeoutMs(int ms)
{
    m_sendTimeoutMs = ms;
    if (m_transport)
        m_transport->setSendTimeoutMs(ms);
}

void Link::attach(std::unique_ptr<Transport> t)
{
    close();
    forgetClosed();
    t->setSendTimeoutMs(m_sendTimeoutMs);
    t->setReplySink([this](const std::uint8_t* bytes, std::size_t n, bool withReportId) {
        if (m_sink)
            m_sink(bytes, n, withReportId);
    });
    Transport* raw = t.get();
    connect(raw, &Transport::linkLost, this, [this, raw](const QString& reason) {
        // A link closed meanwhile has been replaced; its late news is stale.
        if (raw == m_transport.get())
            emit linkLost(reason);
    });
    m_transport = std::move(t);
}

void Link::startReceiving()
{
    if (auto* tcp = qobject_cast<TcpTransport*>(m_transport.get()))
        tcp->startReceiving();
    else if (auto* usb = qobject_cast<UsbTransport*>(m_transport.get()))
        usb->startReceiving();
}

void Link::close()
{
    if (!m_transport)
        return;
    m_transport->close();
    // We may be inside this transport's own hand-over (a chain step that disconnects).
    m_retired.push_back(std::move(m_transport));
}

} // namespace trivel
