#pragma once
// The USB HID operations the link needs, behind a small interface: hidapi in the product,
// a scripted device in tests.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace trivel {

inline constexpr std::uint16_t kBoxVendorId = 0x0416;
inline constexpr std::uint16_t kBoxProductId = 0xF002;

struct HidDeviceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// One open device. write() runs on the main thread, read() on the receive thread.
class HidDevice {
public:
    virtual ~HidDevice() = default; // closes the device

    // Declared report lengths, the report id byte included.
    virtual std::size_t inputReportLength() const = 0;
    virtual std::size_t outputReportLength() const = 0;
    // Drops input reports already queued.
    virtual void flush() = 0;
    // One output report, report id first. Returns bytes written or -1. hidapi has no write
    // time-out; the platform bounds it: hidraw's output report is a USB transfer the kernel
    // abandons after 5 s (-1, ETIMEDOUT), the libusb and Windows backends give up after 1 s.
    virtual int write(const std::uint8_t* report, std::size_t n) = 0;
    // One input report without its report id into buf; waits at most timeoutMs.
    // Returns the byte count, 0 on time-out, -1 when the device has gone.
    virtual int read(std::uint8_t* buf, std::size_t n, int timeoutMs) = 0;
    // The error text of the last failed call, asked on the thread that made it: hidapi keeps
    // it per device, and a call on another thread would overwrite it.
    virtual QString lastError() { return {}; }
    // Wakes a read() in progress (from another thread), if the backend can.
    virtual void cancelRead() { }
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;
    virtual std::unique_ptr<HidDevice> open(std::uint16_t vendorId, std::uint16_t productId) = 0;
};

// The hidapi implementation the product uses.
std::unique_ptr<HidBackend> CreateHidapiBackend();

struct HidReportLengths {
    std::size_t input = 0; // largest input report, report id byte included
    std::size_t output = 0;
};

// Largest input and output report of a HID report descriptor (report id byte included);
// 0 for a kind the descriptor does not declare. Malformed descriptors end the parse early.
HidReportLengths ParseHidReportLengths(std::span<const std::uint8_t> descriptor);

} // namespace trivel
