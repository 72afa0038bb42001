// Replies from a box, whatever their bytes, to every operation the tool runs on the exchange.
//
// The first byte chooses the operation from the table below. The rest is cut into replies, one
// per request sent: a head byte (odd: the reply carries a code of its own, the next four bytes;
// even: the request's code, so the step takes it), a length byte, then that many bytes laid into
// the frame after its code. Once the input is used up the box answers with empty frames of the
// right code for a while, then goes silent, so every operation reaches its end one way or the
// other. New operations join the table.

#include "box/Box.h"
#include "box/BoxCommands.h"
#include "box/NeutralState.h"
#include "box/PageShow.h"
#include "box/Readback.h"
#include "box/StatusPoll.h"
#include "files/SettingTransfer.h"
#include "interchange/ImportSend.h"
#include "link/Clock.h"
#include "link/Exchange.h"
#include "link/Transport.h"
#include "protocol/Frame.h"
#include "session/Session.h"
#include "session/SessionFlags.h"
#include "support/RecordingUi.h"

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using namespace trivel;

// Requests answered after the input has run out; a chunked read of megabytes would otherwise
// take thousands.
constexpr int kEmptyReplies = 24;
// The operation is given up on after this many turns of the loop.
constexpr int kMaxTurns = 4000;

struct OperationEntry {
    const char* name;
    std::function<Operation<void>(Box&)> start;
};

const std::vector<OperationEntry>& Operations()
{
    static const std::vector<OperationEntry> table{
        {"connect read-back", [](Box& b) { return ReadBack(b.session, ReadbackStart::Identify); }},
        {"read-back after a reset", [](Box& b) { return ReadBack(b.session, ReadbackStart::WindowSettings); }},
        {"read-back after a transfer", [](Box& b) { return ReadBack(b.session, ReadbackStart::AfterTransfer); }},
        {"status poll", [](Box& b) { return PollStatus(b.session); }},
        {"window settings after a poll", [](Box& b) { return ReadWindowSettingsAfterPoll(b.session); }},
        {"register bank", [](Box& b) { return b.registers.readBank(); }},
        {"register write", [](Box& b) { return b.registers.write(0x12, 0x34); }},
        {"settings reset", [](Box& b) { return ResetSettings(b.session); }},
        {"all reset", [](Box& b) { return ResetAll(b.session); }},
        {"profile load", [](Box& b) { return LoadProfile(b.session, 2); }},
        {"profile save", [](Box& b) { return SaveProfile(b.session, 3); }},
        {"neutral state", [](Box& b) { return SendNeutralState(b.session, true, 1); }},
        {"page show", [](Box& b) { return ShowPage(b.session, 1); }},
        {"warp mode", [](Box& b) { return b.warp.selectMode(4); }},
        {"warp move", [](Box& b) { return b.warp.movePoint(WarpDir::Right); }},
        {"warp reset", [](Box& b) { return b.warp.reset(); }},
        {"warp map save", [](Box& b) { return b.warp.saveUserMap(3); }},
        {"warp map load", [](Box& b) { return b.warp.loadUserMap(); }},
        {"warp tables back", [](Box& b) { return b.warp.readTablesBack(); }},
        {"user map transfer", [](Box& b) { return b.warp.transferTables(); }},
        {"mask slots", [](Box& b) { return b.masks.readSlots(); }},
        {"mask stream shown", [](Box& b) { return b.masks.showStream(1, MaskBytes(1000, 0x81)); }},
        {"mask stream hidden", [](Box& b) { return b.masks.hideStream(2); }},
        {"pattern colour of a window", [](Box& b) { return b.warp.showPatternColour(3, 1); }},
        {"17x17 points of a window",
            [](Box& b) { return b.warp.sendPointOffsets(1, GridArray<OffsetPair>{}); }},
        {"mask read", [](Box& b) { return b.masks.read(); }},
        {"mask delete", [](Box& b) { return b.masks.deleteSlot(); }},
        {"mask assign", [](Box& b) { return b.masks.assign(); }},
        {"setting", [](Box& b) { return b.settings.apply(Setting::BRI, 1, 61); }},
        {"window selection", [](Box& b) { return b.settings.selectWindow(2); }},
        {"edge widths reset", [](Box& b) { return b.settings.resetEdgeWidths(); }},
        {"blend record", [](Box& b) { return b.settings.sendBlendRecord(); }},
        {"point offsets", [](Box& b) { return b.warp.sendPointOffsets(); }},
        {"import tables", [](Box& b) { return SendImportPlan(b, ImportPlan{}); }},
        {"import point offsets",
            [](Box& b) {
                ImportPlan plan;
                plan.window = 1;
                plan.pointOffsets = true;
                return SendImportPlan(b, plan);
            }},
        {"setting transfer, whole box", [](Box& b) { return TransferSettings(b, true); }},
        {"setting transfer, one window", [](Box& b) { return TransferSettings(b, false); }},
    };
    return table;
}

// Owes one reply per request that awaits one; the loop below hands them over.
class FuzzLink final : public Transport {
public:
    bool isUsb() const override { return false; }
    bool isOpen() const override { return true; }
    void sendFrame(const FrameBuffer& request) override
    {
        const std::uint32_t code = FrameView::ofBuffer(const_cast<FrameBuffer&>(request)).code();
        if (Cmd::AwaitsReply(code))
            owed.push_back(code);
    }
    void close() override { }

    std::vector<std::uint32_t> owed;
};

class ReplySource {
public:
    ReplySource(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    // The next reply to a request of this code; false once the box has fallen silent.
    bool next(std::uint32_t code, std::array<std::uint8_t, kTcpFrameSize>& frame)
    {
        frame.fill(0);
        FrameView v(frame.data(), frame.size());
        if (m_pos >= m_size) {
            if (m_empty-- <= 0)
                return false;
            v.setCode(code);
            return true;
        }
        const std::uint8_t head = take();
        const std::size_t length = take();
        if ((head & 1) && m_size - m_pos >= 4) {
            std::uint32_t own = 0;
            for (int i = 0; i < 4; ++i)
                own |= std::uint32_t(take()) << (8 * i);
            v.setCode(own);
        } else {
            v.setCode(code);
        }
        const std::size_t n = std::min({length, m_size - m_pos, frame.size() - kCodeOffset - 4});
        std::memcpy(frame.data() + kCodeOffset + 4, m_data + m_pos, n);
        m_pos += n;
        return true;
    }

private:
    std::uint8_t take() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    int m_empty = kEmptyReplies;
};

} // namespace

// The operations log odd replies; a fuzz run would spend its time printing them.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const auto& table = Operations();
    const OperationEntry& chosen = table[data[0] % table.size()];

    VirtualClock clock;
    test::RecordingUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    s.TcpSelected = true;
    FuzzLink link;
    s.setTransport(&link);
    s.setFlag(Flag::Connected, true);

    ReplySource replies(data + 1, size - 1);
    const Operation<void> op = chosen.start(tool);
    std::array<std::uint8_t, kTcpFrameSize> frame{};
    for (int turn = 0; turn < kMaxTurns && !op.finished(); ++turn) {
        if (!link.owed.empty()) {
            const std::uint32_t code = link.owed.front();
            link.owed.erase(link.owed.begin());
            if (replies.next(code, frame))
                s.exchange.deliver(frame.data(), frame.size(), false);
        } else if (!clock.runNextDelay()) {
            // Nothing owed and nothing to wait for: let the reply allowance run out.
            clock.advance(kReplyAllowanceMs + 1);
        }
    }
    s.setTransport(nullptr);
    return 0;
}
