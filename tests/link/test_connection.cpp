// Connecting and disconnecting through the Grop1 handlers, over TCP to the simulated box and
// over USB to a scripted HID device; link loss, the resend guard.

#include "box/Box.h"
#include "FakeHid.h"
#include "LinkTestSupport.h"
#include "protocol/SettingCodec.h"
#include "protocol/SettingFrames.h"
#include "box/BoxCommands.h"
#include "box/Connection.h"
#include "sim/BoxModel.h"
#include "sim/BoxServer.h"
#include "support/Controls.h"
#include "support/FakeBoxTransport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trivel::test {
namespace {

std::uint32_t codeOf(const std::vector<std::uint8_t>& frame, std::size_t frameStart = 0)
{
    return FrameView(const_cast<std::uint8_t*>(frame.data()) + frameStart, frame.size() - frameStart).code();
}

using TcpLink = TcpLinkFixture;

TEST_F(TcpLink, ConnectWriteReadBackAndDisconnectIntoTheNeutralState)
{
    conn->BtnCnt2Click();
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Disconnect");
    EXPECT_TRUE(ls.s.connected());
    EXPECT_FALSE(ls.ui.isEnabled(ctl::RBUSB));
    EXPECT_TRUE(ls.ui.isEnabled(ctl::ProgBtn));
    EXPECT_EQ(conn->ConnectAddress, "127.0.0.1");
    ASSERT_TRUE(ls.settleIdle());
    ASSERT_FALSE(box.received().empty());
    EXPECT_EQ(codeOf(box.received().front()), Cmd::Identify);
    EXPECT_EQ(box.repliesSent(), box.totalRequests()); // every reply reached the step awaiting it

    // A setting written and read back over the same link.
    ReplyLog log;
    log.attach(ls.s, *ls.s.transport);
    ls.s.exchange.post(proto::SettingWrite("s00BRI+061", 61));
    ls.s.exchange.post(proto::SettingQuery("BRI"));
    ASSERT_TRUE(waitUntil([&] { return log.frames.size() == 2; }));
    EXPECT_EQ(codeOf(log.frames[1]), Cmd::SettingQuery);
    EXPECT_EQ(DecodeSettingReply(FrameView(log.frames[1].data(), log.frames[1].size())), 61);

    // Disconnect: the neutral state for the current window, then the link is closed.
    ls.s.CurrentWindow = 1;
    ls.s.box->warp.state().model[1].ControlCursor = {2, 1}; // point 11
    ls.ui.setActivePage(5);
    const int before = box.totalRequests();
    conn->BtnCnt2Click();
    ASSERT_TRUE(settle(ls.clock, [&] { return !ls.s.connected(); }));
    EXPECT_EQ(ls.s.transport, nullptr);
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    EXPECT_TRUE(ls.ui.isEnabled(ctl::RBUSB));
    EXPECT_FALSE(ls.ui.isEnabled(ctl::ProgBtn));
    EXPECT_EQ(ls.ui.activePage(), 0);
    ASSERT_TRUE(waitUntil([&] { return !server.hasClient(); }));
    ASSERT_EQ(box.totalRequests(), before + 3);
    const auto& r = box.received();
    const auto& marker = r[r.size() - 3];
    const auto& colour = r[r.size() - 2];
    const auto& cursor = r[r.size() - 1];
    EXPECT_EQ(codeOf(marker), Cmd::BlendMarker);
    EXPECT_EQ((std::vector<int>{marker[8], marker[9]}), (std::vector<int>{1, 0}));
    EXPECT_EQ(codeOf(colour), Cmd::TestPatternColour);
    EXPECT_EQ((std::vector<int>{colour[8], colour[9]}), (std::vector<int>{1, 0}));
    EXPECT_EQ(codeOf(cursor), Cmd::ControlCursor);
    EXPECT_EQ((std::vector<int>{cursor[8], cursor[9], cursor[10]}), (std::vector<int>{1, 11, 0}));
}

TEST_F(TcpLink, DisconnectFinishingAFactoryResetSendsNothing)
{
    connectAndSettle();
    const int before = box.totalRequests();
    ls.s.FactoryResetPending = true;
    conn->BtnCnt2Click();
    EXPECT_FALSE(ls.s.connected());
    ASSERT_TRUE(waitUntil([&] { return !server.hasClient(); }));
    EXPECT_EQ(box.totalRequests(), before);
}

// The factory-reset reply disconnects from inside its own dispatch, on the receive thread's
// hand-over: closing must neither deadlock nor free the transport under the running call.
TEST_F(TcpLink, FactoryResetDisconnectsFromInsideTheDispatch)
{
    connectAndSettle();
    const int before = box.totalRequests();
    const Operation<void> reset = FactoryReset(ls.s); // the recording UI answers Yes
    ASSERT_TRUE(waitUntil([&] { return !ls.s.connected(); }));
    EXPECT_FALSE(ls.s.FactoryResetPending);
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    ASSERT_TRUE(waitUntil([&] { return !server.hasClient(); }));
    EXPECT_EQ(box.totalRequests(), before + 1); // the reset command, no neutral state
    connectAndSettle(); // and the next link works
}

// Reboot gets no reply: the tool closes its side once the neutral state is out, without waiting
// for an answer.
TEST_F(TcpLink, RebootClosesTheLinkWithoutWaiting)
{
    connectAndSettle();
    const Operation<void> reboot = Reboot(ls.s);
    ASSERT_TRUE(settle(ls.clock, [&] { return !ls.s.connected(); }));
    EXPECT_EQ(ls.s.transport, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !server.hasClient(); }));
    EXPECT_EQ(box.requests(Cmd::Restart), 1);
}

TEST_F(TcpLink, SplitRepliesAreDispatchedWhole)
{
    server.split = true; // every reply in two segments
    connectAndSettle();
    EXPECT_EQ(ls.s.ChannelCount, 4); // byte 14 of the Identify reply
    EXPECT_EQ(box.repliesSent(), box.totalRequests());
    EXPECT_FALSE(ls.ui.waitWindowOpen());
    EXPECT_TRUE(ls.ui.messages.empty());
}

TEST_F(TcpLink, PeerCloseTakesTheLinkToIdleWithAMessageAndAllowsReconnect)
{
    server.closeAfter = 3; // in the middle of the read-back
    conn->BtnCnt2Click();
    ASSERT_TRUE(waitUntil([&] { return !ls.s.connected(); }));
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2));
    EXPECT_TRUE(ls.ui.isEnabled(ctl::RBUSB));
    EXPECT_FALSE(ls.ui.isEnabled(ctl::ProgBtn));
    EXPECT_EQ(ls.s.transport, nullptr);
    EXPECT_FALSE(ls.s.busy());
    EXPECT_FALSE(ls.ui.waitWindowOpen());
    ASSERT_EQ(ls.ui.messages.size(), 1u);
    EXPECT_EQ(ls.ui.messages[0].text, "Connection to the box lost.");

    server.closeAfter = -1;
    connectAndSettle();
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Disconnect");
}

TEST_F(TcpLink, ConnectFailureShowsTheTypedAddress)
{
    conn->setTcpPort(ScriptedPeer::deadPort());
    ls.s.ConnectAddressText = QStringLiteral("127.0.0.1");
    conn->BtnCnt2Click();
    ASSERT_EQ(ls.ui.messages.size(), 1u);
    EXPECT_EQ(ls.ui.messages[0].text, "Can' not link to 127.0.0.1");
    EXPECT_EQ(ls.ui.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    EXPECT_FALSE(ls.s.connected());
    EXPECT_TRUE(ls.ui.isEnabled(ctl::RBUSB));
    EXPECT_EQ(ls.s.transport, nullptr);
}

// The disconnect awaits no answer: a box gone silent still gets the neutral state with its pauses,
// and the link closes right after them; a second click meanwhile changes nothing.
TEST(Disconnect, ASilentBoxGetsTheNeutralStateThenTheLinkCloses)
{
    LinkSession ls;
    sim::BoxModel box;
    QTemporaryDir lockDir;
    Connection conn(
        ls.s, std::make_unique<FakeHidBackend>(std::make_shared<FakeHidState>(box)), lockDir.path());
    FakeBoxTransport link(box);
    link.attach(ls.s); // over TCP
    link.silent = true;
    conn.BtnCnt2Click();
    EXPECT_TRUE(conn.disconnecting());
    conn.BtnCnt2Click();
    ASSERT_TRUE(RunUntilIdle(ls.s));
    EXPECT_FALSE(ls.s.connected());
    EXPECT_FALSE(conn.disconnecting());
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    EXPECT_EQ(link.sentCodes,
        (std::vector<std::uint32_t>{Cmd::BlendMarker, Cmd::TestPatternColour, Cmd::ControlCursor}));
    ASSERT_EQ(ls.clock.waits().size(), 3u);
    for (const auto& w : ls.clock.waits()) {
        EXPECT_EQ(w.kind, VirtualClock::WaitKind::Pump);
        EXPECT_EQ(w.ms, 20);
    }
    EXPECT_EQ(ls.clock.tickMs(), 60);
    EXPECT_TRUE(ls.ui.messages.empty());
}

class UsbLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        hid->inputLength = hid->outputLength = 513;
        conn = std::make_unique<Connection>(ls.s, std::make_unique<FakeHidBackend>(hid), lockDir.path());
        conn->startUp();
    }
    void connectAndSettle()
    {
        conn->BtnCnt2Click();
        ASSERT_TRUE(ls.s.connected());
        ASSERT_TRUE(ls.settleIdle());
    }
    int memoCount(const QString& line) const { return int(ls.ui.memo().count(line)); }

    LinkSession ls;
    sim::BoxModel box;
    std::shared_ptr<FakeHidState> hid = std::make_shared<FakeHidState>(box);
    QTemporaryDir lockDir;
    std::unique_ptr<Connection> conn;
};

TEST_F(UsbLink, StartUpAndPlugChangesEnableConnectOnlyWithTheBoxPresent)
{
    EXPECT_TRUE(ls.ui.isChecked(ctl::RBUSB));
    EXPECT_FALSE(ls.ui.isChecked(ctl::RBTCP));
    EXPECT_EQ(ls.ui.caption(ctl::ConnectAddressBox), "192.168.0.100");
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2)); // the first scan found the box
    EXPECT_FALSE(conn->usbModeLock().held()); // the start-up selection takes no lock

    hid->unplug();
    ls.clock.advance(Connection::kDevicePollMs);
    EXPECT_FALSE(ls.ui.isEnabled(ctl::BtnCnt2));
    hid->plug();
    ls.clock.advance(Connection::kDevicePollMs);
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2));

    // With TCP selected device changes leave the button alone.
    ls.ui.setChecked(ctl::RBUSB, false);
    ls.ui.setChecked(ctl::RBTCP, true);
    conn->RBTCPClick();
    hid->unplug();
    ls.clock.advance(Connection::kDevicePollMs);
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2));
}

TEST(UsbStartUp, KeepsAnAddressAlreadyTypedAndStaysDisabledWithoutTheBox)
{
    LinkSession ls;
    sim::BoxModel box;
    auto hid = std::make_shared<FakeHidState>(box);
    hid->plugged = false;
    QTemporaryDir dir;
    ls.s.ConnectAddressText = QStringLiteral("10.0.0.7");
    Connection conn(ls.s, std::make_unique<FakeHidBackend>(hid), dir.path());
    conn.startUp();
    EXPECT_EQ(ls.ui.caption(ctl::ConnectAddressBox), "10.0.0.7");
    EXPECT_FALSE(ls.ui.isEnabled(ctl::BtnCnt2));
    EXPECT_EQ(ls.s.connection, &conn);
}

TEST_F(UsbLink, ConnectSendsIdentifyAsAReportAndUnplugReturnsToIdle)
{
    conn->BtnCnt2Click();
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Disconnect");
    EXPECT_TRUE(ls.s.connected());
    EXPECT_FALSE(ls.ui.isEnabled(ctl::RBTCP));
    EXPECT_TRUE(ls.ui.isEnabled(ctl::ProgBtn));
    const auto first = hid->writtenAt(0);
    ASSERT_EQ(first.size(), 513u);
    EXPECT_EQ(first[0], 0);
    EXPECT_EQ(codeOf(first, 1), Cmd::Identify);
    ASSERT_TRUE(ls.settleIdle()); // the read-back ran over USB
    EXPECT_EQ(box.repliesSent(), box.totalRequests());

    hid->unplug();
    ASSERT_TRUE(waitUntil([&] { return !ls.s.connected(); }));
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    EXPECT_FALSE(ls.ui.isEnabled(ctl::BtnCnt2));
    EXPECT_TRUE(ls.ui.isEnabled(ctl::RBTCP));
    EXPECT_FALSE(ls.ui.isEnabled(ctl::ProgBtn));
    EXPECT_EQ(ls.ui.caption(ctl::ProgBtn), "Start");
    EXPECT_EQ(ls.s.transport, nullptr);
    EXPECT_EQ(hid->liveDevices, 0); // released

    hid->plug();
    ls.clock.advance(Connection::kDevicePollMs);
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2));
    connectAndSettle();
}

TEST_F(UsbLink, DisconnectSendsTheNeutralStateThenReleasesTheDevice)
{
    connectAndSettle();
    const std::size_t before = hid->writtenCount();
    ls.ui.setActivePage(3);
    conn->BtnCnt2Click();
    ASSERT_TRUE(settle(ls.clock, [&] { return !ls.s.connected(); }));
    ASSERT_EQ(hid->writtenCount(), before + 3);
    EXPECT_EQ(codeOf(hid->writtenAt(before), 1), Cmd::BlendMarker);
    EXPECT_EQ(codeOf(hid->writtenAt(before + 1), 1), Cmd::TestPatternColour);
    EXPECT_EQ(codeOf(hid->writtenAt(before + 2), 1), Cmd::ControlCursor);
    EXPECT_FALSE(ls.s.connected());
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2)); // the box is still there
    EXPECT_TRUE(ls.ui.isEnabled(ctl::RBTCP));
    EXPECT_EQ(ls.ui.activePage(), 0);
    EXPECT_EQ(hid->liveDevices, 0);
}

TEST_F(UsbLink, ResendGuardResendsTheUnchangedRequestOnce)
{
    connectAndSettle();
    ls.s.TmrStatus->setEnabled(false);
    hid->swallowReplies = true;
    ls.s.exchange.post(Request(Cmd::ReadBlend, Clear::None), {.resendOnUsb = true});
    const std::size_t sent = hid->writtenCount();

    ls.clock.advance(500);
    EXPECT_EQ(memoCount("NO ACK RESEND"), 1);
    ASSERT_EQ(hid->writtenCount(), sent + 1);
    EXPECT_EQ(hid->writtenAt(sent), hid->writtenAt(sent - 1));
    ls.clock.advance(3000);
    EXPECT_EQ(memoCount("NO ACK RESEND"), 1);
    ls.clock.advance(kReplyAllowanceMs);

    // An answered request is not sent again.
    hid->swallowReplies = false;
    const int replies = box.repliesSent();
    ls.s.exchange.post(Request(Cmd::ReadBlend, Clear::None), {.resendOnUsb = true});
    ASSERT_TRUE(waitUntil([&] { return box.repliesSent() == replies + 1 && ls.s.exchange.idle(); }));
    ls.clock.advance(500);
    EXPECT_EQ(memoCount("NO ACK RESEND"), 1);
}

TEST_F(UsbLink, ADeviceThatCannotBeOpenedLeavesTheLinkIdle)
{
    hid->openFails = true;
    conn->BtnCnt2Click();
    EXPECT_FALSE(ls.s.connected());
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    ASSERT_EQ(ls.ui.messages.size(), 1u);
    EXPECT_EQ(ls.ui.messages[0].icon, MsgIcon::Error);
    EXPECT_TRUE(ls.ui.isEnabled(ctl::RBTCP));
}

} // namespace
} // namespace trivel::test
