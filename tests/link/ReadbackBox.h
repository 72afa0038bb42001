#pragma once
// A scripted box for the link chains: answers the read-back, poll and command requests with
// recognisable data, records every request, and hands replies over only when pumped, so a
// test decides exactly when the receive thread "delivers".

#include "session/Session.h"
#include "link/Transport.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trivel::test {

struct BoxKind {
    std::uint8_t boardKind = 1; // Identify byte 14
    std::uint8_t key = 0; // byte 15
    std::uint8_t userMask = 0; // byte 37
    std::uint32_t firmware = 93224; // bytes 11..13
    bool mainBoardError = false; // byte 34 bit 3
    int model = 400;
    std::uint16_t frame01[2] = {1920, 1080};
    std::uint16_t frame23[2] = {1280, 800};
};

class ReadbackBox : public Transport {
    Q_OBJECT
public:
    explicit ReadbackBox(BoxKind kind = {}, bool usb = false)
        : kind(kind)
        , m_usb(usb)
    {
    }

    // Connects a session to this box (connected flag, transport, reply sink, TCP/USB choice).
    void attach(Session& s);

    bool isUsb() const override { return m_usb; }
    bool isOpen() const override { return m_open; }
    void sendFrame(const FrameBuffer& request) override;
    void close() override { m_open = false; }

    // Forgets replies not yet delivered (they were lost on the way).
    void dropQueued() { m_queue.clear(); }
    std::size_t queued() const { return m_queue.size(); }
    // Delivers queued replies (and those they cause) until none is left or `limit` is reached.
    int pump(int limit = 100000);

    // One line per request: the code as four hex digits, and the setting text if it carries one
    // ("100c S00DMIR000"); mask requests add their slot or offset ("1025 0", "1026 288").
    std::vector<std::string> log;
    std::vector<std::vector<std::uint8_t>> frames;
    void clearLog()
    {
        log.clear();
        frames.clear();
    }

    BoxKind kind;
    bool silent = false;
    std::optional<std::uint32_t> wrongCodeFor; // answer this code with code + 1
    std::map<int, std::uint32_t> monoSlotSize; // slot 0..8 -> size field (bytes incl. header)
    std::optional<std::uint32_t> colourSlotSize;
    int inputMask = 1;
    int outputMask = 3;
    std::uint8_t pipPresent = 0; // bit w: PIP source of window w present
    int currentWindow = 0; // window selected on the box (VKY 60..63)
    std::function<void(std::vector<std::uint8_t>&)> patchWindowSettings;

private:
    std::vector<std::uint8_t> reply(const std::uint8_t* f);

    bool m_usb;
    bool m_open = true;
    std::deque<std::vector<std::uint8_t>> m_queue;
};

// Values the box reports for a query of window w (the read-back stores them).
int BoxQueryValue(const std::string& mnemonic, int window, int model);

} // namespace trivel::test
