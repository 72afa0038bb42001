// A reply frame from the box, handed to every chain step the dispatcher routes to.
//
// One fresh session per input; the same bytes then answer each PendingOp value of every route
// row in turn, with the session connected over TCP. The session keeps what each step stored, so
// the Identify step (the first value) lets the bytes choose the box kind, window count and mask
// support that the later steps run with.

#include "link/Clock.h"
#include "link/Transport.h"
#include "session/Dispatch.h"
#include "session/Session.h"
#include "session/SessionFlags.h"
#include "support/RecordingUi.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using namespace trivel;

// An open link that drops every request: only the replies matter here.
class NullTransport final : public Transport {
public:
    bool isUsb() const override { return false; }
    bool isOpen() const override { return true; }
    void sendFrame(const FrameBuffer&) override { }
    void close() override { }
};

std::vector<int> EveryRoutedOp()
{
    std::vector<int> ops;
    for (const ChainRoute& r : ChainTable())
        for (int op = r.first; op <= r.last; ++op)
            ops.push_back(op);
    return ops;
}

} // namespace

// The chains log odd replies; a fuzz run would spend its time printing them.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<int> ops = EveryRoutedOp();
    VirtualClock clock;
    test::RecordingUi ui;
    Session s(clock, ui);
    s.TcpSelected = true;
    NullTransport link;
    s.setTransport(&link);
    for (int op : ops) {
        s.setFlag(Flag::Connected, true);
        s.PendingOp = op;
        DeliverReply(s, data, size, false);
    }
    s.setTransport(nullptr);
    return 0;
}
