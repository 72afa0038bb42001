#include "link/HidBackend.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <hidapi.h>

#include <algorithm>
#include <map>

namespace trivel {

Q_LOGGING_CATEGORY(lcHid, "trivel.link.hid")

HidReportLengths ParseHidReportLengths(std::span<const std::uint8_t> d)
{
    // Short items only: global Report Size / Report Count / Report ID, main Input / Output.
    std::uint32_t reportSize = 0, reportCount = 0, reportId = 0;
    std::map<std::uint32_t, std::size_t> inBits, outBits;
    std::size_t i = 0;
    while (i < d.size()) {
        const std::uint8_t prefix = d[i];
        if (prefix == 0xFE) { // long item: skip it whole
            if (i + 1 >= d.size())
                break;
            i += 3 + d[i + 1];
            continue;
        }
        static constexpr std::size_t kSizes[4] = {0, 1, 2, 4};
        const std::size_t n = kSizes[prefix & 3];
        if (i + 1 + n > d.size())
            break;
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < n; ++k)
            v |= std::uint32_t(d[i + 1 + k]) << (8 * k);
        switch (prefix & 0xFC) {
        case 0x74:
            reportSize = v;
            break;
        case 0x94:
            reportCount = v;
            break;
        case 0x84:
            reportId = v;
            break;
        case 0x80:
            inBits[reportId] += std::size_t(reportSize) * reportCount;
            break;
        case 0x90:
            outBits[reportId] += std::size_t(reportSize) * reportCount;
            break;
        default:
            break;
        }
        i += 1 + n;
    }
    // The report id byte is counted for unnumbered reports too (it is 0 there).
    auto largest = [](const std::map<std::uint32_t, std::size_t>& m) {
        std::size_t best = 0;
        for (const auto& [id, bits] : m)
            best = std::max(best, (bits + 7) / 8 + 1);
        return best;
    };
    return {largest(inBits), largest(outBits)};
}

namespace {

// hidapi gives no report lengths before 0.14; on Linux the descriptor is in sysfs.
HidReportLengths lengthsFromSysfs(const std::string& devicePath)
{
    const QString node = QFileInfo(QString::fromStdString(devicePath)).fileName(); // hidrawN
    QFile f(QStringLiteral("/sys/class/hidraw/%1/device/report_descriptor").arg(node));
    if (!node.startsWith(QLatin1String("hidraw")) || !f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.read(4096);
    return ParseHidReportLengths(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
}

// Full-speed interrupt reports are 64 bytes; with the report id byte, 65.
constexpr std::size_t kFallbackReportLength = 65;

class HidapiDevice final : public HidDevice {
public:
    HidapiDevice(hid_device* dev, HidReportLengths lengths)
        : m_dev(dev)
        , m_in(lengths.input ? lengths.input : kFallbackReportLength)
        , m_out(lengths.output ? lengths.output : kFallbackReportLength)
    {
    }
    ~HidapiDevice() override { hid_close(m_dev); }

    std::size_t inputReportLength() const override { return m_in; }
    std::size_t outputReportLength() const override { return m_out; }
    void flush() override
    {
        std::uint8_t buf[1024];
        for (int i = 0; i < 256 && hid_read_timeout(m_dev, buf, sizeof buf, 0) > 0; ++i) { }
    }
    int write(const std::uint8_t* report, std::size_t n) override
    {
        const int r = hid_write(m_dev, report, n);
        if (r < 0)
            qCWarning(lcHid) << "hid_write failed:" << QString::fromWCharArray(hid_error(m_dev));
        return r;
    }
    int read(std::uint8_t* buf, std::size_t n, int timeoutMs) override
    {
        return hid_read_timeout(m_dev, buf, n, timeoutMs);
    }
    QString lastError() override
    {
        const wchar_t* text = hid_error(m_dev);
        return text ? QString::fromWCharArray(text) : QString();
    }

private:
    hid_device* m_dev;
    std::size_t m_in;
    std::size_t m_out;
};

class HidapiBackend final : public HidBackend {
public:
    HidapiBackend() { m_ok = hid_init() == 0; }
    ~HidapiBackend() override { hid_exit(); }

    std::vector<HidDeviceInfo> enumerate(std::uint16_t vid, std::uint16_t pid) override
    {
        std::vector<HidDeviceInfo> out;
        if (!m_ok)
            return out;
        hid_device_info* list = hid_enumerate(vid, pid);
        for (hid_device_info* d = list; d; d = d->next)
            out.push_back({d->path ? d->path : "", d->vendor_id, d->product_id});
        hid_free_enumeration(list);
        return out;
    }

    std::unique_ptr<HidDevice> open(std::uint16_t vid, std::uint16_t pid) override
    {
        if (!m_ok)
            return nullptr;
        const std::vector<HidDeviceInfo> found = enumerate(vid, pid);
        if (found.empty())
            return nullptr;
        hid_device* dev = hid_open_path(found.front().path.c_str());
        if (!dev) {
            qCWarning(lcHid) << "cannot open" << found.front().path.c_str()
                             << "(is the udev rule installed?)";
            return nullptr;
        }
        return std::make_unique<HidapiDevice>(dev, lengthsFromSysfs(found.front().path));
    }

private:
    bool m_ok = false;
};

} // namespace

std::unique_ptr<HidBackend> CreateHidapiBackend()
{
    return std::make_unique<HidapiBackend>();
}

} // namespace trivel
