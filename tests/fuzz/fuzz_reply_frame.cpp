// A reply frame from the box, handed to a chain step the dispatcher routes to.
//
// The first two bytes (little-endian) choose the step: a PendingOp value some route row serves (the
// seeds name theirs so), or else an index into all those values, taken modulo their number, so that
// any two bytes choose some step. The rest is the reply. One
// fresh session per input, connected over TCP: the reply first answers Identify, so that the bytes
// choose the box kind, window count and mask support the step runs with, then the chosen step,
// then each step its chain moves on to, a few at most, as a box that keeps sending the same frame.
// Every step the dispatcher routes to is reachable, so the chains added later are fuzzed too.

#include "link/Clock.h"
#include "box/Box.h"
#include "link/Transport.h"
#include "session/Dispatch.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "session/SessionFlags.h"
#include "support/RecordingUi.h"

#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using namespace trivel;

// Steps followed after the chosen one: enough for a chain's next few requests, while a chunked
// read of megabytes would otherwise take thousands.
constexpr int kFollowedSteps = 8;

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
    std::sort(ops.begin(), ops.end());
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
    if (size < 2 || ops.empty())
        return 0;
    const int asked = int(data[0]) | int(data[1]) << 8;
    const int chosen
        = std::binary_search(ops.begin(), ops.end(), asked) ? asked : ops[std::size_t(asked) % ops.size()];
    const std::uint8_t* reply = data + 2;
    const std::size_t replySize = size - 2;

    VirtualClock clock;
    test::RecordingUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    s.TcpSelected = true;
    NullTransport link;
    s.setTransport(&link);
    const auto answer = [&](int op) {
        s.setFlag(Flag::Connected, true);
        s.PendingOp = op;
        DeliverReply(s, reply, replySize, false);
    };
    answer(Op::Identify);
    answer(chosen);
    for (int i = 0; i < kFollowedSteps && s.PendingOp != Op::Idle; ++i)
        answer(s.PendingOp);
    s.setTransport(nullptr);
    return 0;
}
