#include "box/Box.h"
#include "ChainFixture.h"

#include "protocol/SettingCodec.h"
#include "protocol/SettingFrames.h"
#include "mask/MaskState.h"
#include "session/Session.h"
#include "session/PageTable.h"
#include "box/StatusPoll.h"
#include "sim/BoxModel.h"
#include "support/Controls.h"
#include "support/FakeBoxTransport.h"

#include <QCoreApplication>

#include <gmock/gmock.h>

namespace trivel::test {
namespace {

using ::testing::ElementsAreArray;

struct KindCase {
    const char* name;
    std::uint8_t boardKind;
    std::uint8_t userMask;
    int windows;
    bool pip;
    int progress; // +8 per main step, +1 per mask slot
};

std::vector<std::string> ExpectedReadback(const KindCase& k)
{
    std::vector<std::string> e{"0001", "100c S00MDNR000", "1000"};
    if (k.userMask) {
        for (int slot = 0; slot < 9; ++slot)
            e.push_back("1025 " + std::to_string(slot));
        e.push_back("1029 9");
    }
    for (const char* c : {"1001", "1007", "1008", "1009", "100a"})
        e.push_back(c);
    for (int w = k.windows - 1; w >= 0; --w) {
        e.push_back("1002 s00VKY+06" + std::to_string(w));
        if (k.pip && k.userMask)
            e.push_back("100c S00DMIR000");
        e.push_back("100c S00DCMR000");
        e.push_back("100c S00HDOR000");
        if (k.pip)
            for (const char* item :
                {"PIO", "PIZ", "PIH", "PIV", "PIR", "PIT", "POR", "PLO", "PRO", "PTO", "PBO"})
                e.push_back(std::string("100c S00") + item + "R000");
    }
    return e;
}

class ReadbackKinds : public ChainTest, public ::testing::WithParamInterface<KindCase> { };

TEST_P(ReadbackKinds, RequestOrderCachesProgressAndFinalWindow)
{
    const KindCase& k = GetParam();
    box.identity.boardKind = k.boardKind;
    box.identity.userMask = k.userMask;
    connectAndRead();

    EXPECT_THAT(link.log, ElementsAreArray(ExpectedReadback(k)));
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.ChannelCount, k.windows);
    EXPECT_EQ(s.flag(Flag::PipCapable), k.pip);
    EXPECT_EQ(s.flag(Flag::UserMask), k.userMask != 0);
    EXPECT_EQ(ui.isVisible(ctl::TabPIP), k.pip);
    EXPECT_EQ(ui.isVisible(ctl::TabDigiMap), k.userMask != 0);
    EXPECT_EQ(s.BoardModel, 400);
    EXPECT_EQ(box.settings().currentWindow, 0) << "the loop ends with window 0 selected on the box";
    EXPECT_EQ(progressBeforeFinish(), k.progress);
    EXPECT_FALSE(ui.waitWindowOpen());
    EXPECT_EQ(ui.waitPositions.back(), 100);
    EXPECT_TRUE(ui.messages.empty());

    // Caches, window by window, as the box reported them.
    for (int w = 0; w < k.windows; ++w) {
        SCOPED_TRACE(w);
        EXPECT_EQ(s.settings().DCM[w], w % 2);
        EXPECT_EQ(s.settings().HDO[w], (w + 1) % 3);
        if (k.pip) {
            const PipRecord& p = s.settings().PipSettings[w];
            for (int i = 0; i < 7; ++i)
                EXPECT_EQ(p.bytes[i], box.window(w).pip[std::size_t(i)]) << PipQueryName(i);
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(p.overlap[i], box.window(w).pipOverlap[std::size_t(i)]) << PipQueryName(7 + i);
        }
        EXPECT_EQ(s.masks->state().MaskAssignment[w], k.pip && k.userMask ? w + 1 : 0);
    }
    if (k.pip) {
        EXPECT_EQ(s.settings().PipSettings[0].overlap[3], -1100) << "'9' form of PBO";
    }

    const auto& ws = s.settings().WindowSettings;
    EXPECT_EQ(ws.OPM[3], 5);
    EXPECT_EQ(ws.HZM[2], 3);
    EXPECT_EQ(ws.OLE[1], 10);
    EXPECT_EQ(ws.BRI[3], 43);
    EXPECT_EQ(ws.H1W[1], k.pip ? 2001 : 2000) << "without per-window inputs window 1 shares window 0's EDID";

    EXPECT_EQ(s.box->warp.adjust().ControlOffsets[1][0], (PointOffset{90, 91}));
    EXPECT_EQ(s.box->warp.adjust().ControlOffsets[2][1], (PointOffset{1002, 1003}));
    EXPECT_EQ(s.box->warp.adjust().WallPoints[1][0], (PointOffset{-16, -17}));
    EXPECT_EQ(s.box->warp.adjust().KeystoneCorners[3][3], (PointOffset{530, 531}));
    for (int w = 0; w < 4; ++w)
        EXPECT_EQ(s.box->warp.state().model[w].ControlPattern, w + 1);
    EXPECT_EQ(s.settings().BlendSettings[1].bytes[0], 94);
    EXPECT_EQ(s.settings().BlendSettings[3].bytes[93], std::uint8_t(375));
    EXPECT_EQ(s.settings().EdgeMaskCorners.x[0][0], -32);
    EXPECT_EQ(s.settings().EdgeMaskCorners.y[3][7], 31);

    EXPECT_EQ(s.box->warp.state().model[1].frameWidth, 1920);
    EXPECT_EQ(s.box->warp.state().model[2].frameWidth, 1280);
    EXPECT_EQ(s.box->warp.state().model[3].frameHeight, 800);
    EXPECT_EQ(ui.caption(ctl::MCUVersion), "M2A93224");
    EXPECT_EQ(ui.caption(ctl::NetworkEdits[0]), "172.16.1.2.");
    EXPECT_TRUE(ui.isChecked(ctl::RBSTATICIP));
}

// The same four kinds against a box fresh from the factory, replies handed over on the event
// loop as the receive threads do.
TEST_P(ReadbackKinds, AgainstTheSimulatedBox)
{
    const KindCase& k = GetParam();
    sim::BoxIdentity id;
    id.boardKind = k.boardKind;
    id.userMask = k.userMask;
    sim::BoxModel model(id);
    FakeBoxTransport eventLoopLink(model);
    eventLoopLink.attach(s);
    SendIdentify(s);
    for (int turn = 0; turn < 10000 && s.busy(); ++turn) {
        QCoreApplication::processEvents();
        clock.runNextDelay();
    }
    ASSERT_FALSE(s.busy());

    std::vector<std::uint32_t> expected;
    for (const std::string& line : ExpectedReadback(k))
        expected.push_back(std::uint32_t(std::stoul(line.substr(0, 4), nullptr, 16)));
    EXPECT_EQ(eventLoopLink.sentCodes, expected);
    EXPECT_EQ(s.ChannelCount, k.windows);
    EXPECT_EQ(progressBeforeFinish(), k.progress);
    EXPECT_EQ(model.settings().currentWindow, 0);
    EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(FourBoxes, ReadbackKinds,
    ::testing::Values(KindCase{"PipWithUserMask", 0x84, 0x5B, 4, true, 66},
        KindCase{"PipWithoutUserMask", 0x82, 0, 2, true, 56}, KindCase{"PlainTwoWindows", 1, 0, 2, false, 56},
        KindCase{"PlainFourWindows", 2, 0, 4, false, 56}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChainTest, IdentifyMemoLineAndFinishOrders)
{
    connectAndRead(); // a plain two-window box
    ASSERT_FALSE(ui.memo().isEmpty());
    EXPECT_EQ(ui.memo().first(), "V:3.14-- IV:093224 CH:1 KEY:0 RXBUF[34]:0");
    // Plain order: the wait window closes 500 ms after reaching its maximum, then the pages are refilled.
    const std::vector<std::string> plainOrder{"refresh", "open", "close", "refresh"};
    EXPECT_EQ(ui.events, plainOrder);
    ASSERT_EQ(clock.waits().size(), 1u);
    EXPECT_EQ(clock.waits()[0].ms, 500);
    EXPECT_EQ(ui.refreshBlendPagesCount, 1);
}

TEST_F(ChainTest, PipOrderRefreshesBeforeClosing)
{
    box.identity.boardKind = 0x82;
    connectAndRead();
    const std::vector<std::string> pipOrder{"refresh", "open", "refresh", "close"};
    EXPECT_EQ(ui.events, pipOrder);
}

TEST_F(ChainTest, FinishReadbackKeepsSystemAndVideoWallPagesActive)
{
    for (int page : {1, 5, 7}) {
        SetActivePage(s, page); // as the user's pick would
        s.ReadbackWindow = 1;
        const Operation<void> end = FinishReadback(s, false);
        while (clock.runNextDelay()) {
        }
        EXPECT_TRUE(end.succeeded());
        const int tag = PageTag(page);
        EXPECT_EQ(ui.activePage(), tag == 4 || tag == 6 ? page : 0) << page;
    }
}

TEST_F(ChainTest, ReadbackAfterAWholeBoxTransferKeepsPatternsAndSelectsWindowOne)
{
    link.attach(s);
    for (auto& m : s.box->warp.state().model)
        m.ControlPattern = 16;
    s.setFlag(Flag::TransferReadback, true);
    ui.set(ctl::ProgressBar2, Prop::Position, 40);
    StartReadback(s, ReadbackStart::AfterTransfer);
    link.pump();
    EXPECT_TRUE(s.readback.succeeded());
    EXPECT_EQ(link.log.front(), "1000");
    EXPECT_EQ(s.box->warp.state().model[2].ControlPattern, 16) << "the transfer's patterns are kept";
    EXPECT_EQ(ui.intValue(ctl::ProgressBar2, Prop::Position), 100);
    EXPECT_FALSE(s.flag(Flag::TransferReadback));
    const std::vector<std::string> events{"click BtnWin1", "refresh"}; // no wait window on this entry
    EXPECT_EQ(ui.events, events);
    EXPECT_EQ(clock.waits().size(), 2u);
}

struct IdentifyCase {
    std::uint8_t byte14;
    int windows;
    bool pip;
    bool fourInput;
};

class IdentifyKinds : public ChainTest, public ::testing::WithParamInterface<IdentifyCase> { };

TEST_P(IdentifyKinds, BoardKindByte)
{
    const IdentifyCase& c = GetParam();
    box.identity.boardKind = c.byte14;
    link.attach(s);
    SendIdentify(s);
    link.pump(1);
    EXPECT_EQ(s.ChannelCount, c.windows);
    EXPECT_EQ(s.flag(Flag::PipCapable), c.pip);
    EXPECT_EQ(s.flag(Flag::FourInput), c.fourInput);
    EXPECT_EQ(ui.isVisible(ctl::TabPIP), c.pip);
    EXPECT_EQ(ui.isEnabled(ctl::TabPIP), c.pip);
    EXPECT_EQ(ui.isEnabled(ctl::BtnWins[3]), c.windows == 4);
    EXPECT_EQ(link.log.back(), "100c S00MDNR000") << "the model is asked next";
}

INSTANTIATE_TEST_SUITE_P(Bytes, IdentifyKinds,
    ::testing::Values(IdentifyCase{0x84, 4, true, true}, IdentifyCase{2, 4, false, true},
        IdentifyCase{1, 2, false, false}, IdentifyCase{0x83, 3, true, false},
        // Counts the tool has no windows for are held to 1..4.
        IdentifyCase{0x00, 1, false, false}, IdentifyCase{0xFF, 4, true, false}),
    [](const auto& info) {
        return QStringLiteral("Kind%1").arg(info.param.byte14, 2, 16, QChar('0')).toStdString();
    });

struct RejectCase {
    bool boardError;
    std::uint32_t firmware;
    const char* message; // nullptr: accepted
};

class Rejection : public ChainTest, public ::testing::WithParamInterface<RejectCase> { };

TEST_P(Rejection, OldFirmwareOrBoardError)
{
    const RejectCase& c = GetParam();
    box.identity.controllerFirmware = c.firmware;
    box.identity.mainBoardError = c.boardError;
    link.attach(s);
    SendIdentify(s);
    link.pump(1);
    if (!c.message) {
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(link.log.back(), "100c S00MDNR000");
        EXPECT_FALSE(s.flag(Flag::Rejected));
        return;
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, c.message);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.readback.failure()->kind, Failure::Kind::BoxFault);
    EXPECT_TRUE(s.flag(Flag::Rejected));
    EXPECT_TRUE(s.connected()) << "the link stays open";
    EXPECT_FALSE(ui.isEnabled(ctl::BtnFrame));
    for (int p = 0; p <= 9; ++p)
        EXPECT_FALSE(ui.isVisible(kPages[std::size_t(p)].control)) << p;
    EXPECT_TRUE(ui.isVisible(ctl::TabFirmware));
    EXPECT_FALSE(ui.waitWindowOpen());
    EXPECT_EQ(ui.caption(ctl::MCUVersion), QStringLiteral("M2A%1").arg(c.firmware));

    // No status poll until the next connect.
    link.clearLog();
    clock.advance(4000);
    link.pump();
    EXPECT_TRUE(link.log.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, Rejection,
    ::testing::Values(RejectCase{true, 99999, "Sorry!The Main Board Error!!"},
        RejectCase{false, 93223, "Sorry!The MCU F/W version is too old! [M2A93223]"},
        RejectCase{false, 4711, "Sorry!The MCU F/W version is too old! [M2A04711]"},
        RejectCase{false, 93224, nullptr}),
    [](const auto& info) {
        return info.param.boardError ? std::string("MainBoardError")
                                     : "Firmware" + std::to_string(info.param.firmware);
    });

TEST_F(ChainTest, ModelNumberHidesBlendPagesOrPairsOutputs)
{
    box.identity.model = 116;
    connectAndRead();
    EXPECT_EQ(s.BoardModel, 116);
    EXPECT_FALSE(ui.isVisible(ctl::TabEdgeBlend1));
    EXPECT_FALSE(ui.isEnabled(ctl::TabEdgeBlend2));
    EXPECT_FALSE(s.flag(Flag::PairedOutputs));

    sim::BoxModel paired = ChainBox();
    paired.identity.model = 800;
    FakeBoxTransport pairedLink(paired);
    pairedLink.delivery = Delivery::Pumped;
    VirtualClock c2;
    TrackingUi ui2;
    Box box2(c2, ui2);
    Session& s2 = box2.session;
    ui2.track(s2.events);
    pairedLink.attach(s2);
    SendIdentify(s2);
    pairedLink.pump();
    EXPECT_TRUE(s2.flag(Flag::PairedOutputs));
    EXPECT_TRUE(ui2.isVisible(ctl::TabEdgeBlend1));
}

TEST_F(ChainTest, MaskSlotsAreReadToTheirEnd)
{
    box.identity.boardKind = 0x84;
    box.identity.userMask = 0x5B;
    StoreMaskSlot(box, 2, 288, 288);
    StoreMaskSlot(box, 9, 600, 600);
    connectAndRead();
    const std::vector<std::string> slotRequests(link.log.begin() + 3, link.log.begin() + 18);
    const std::vector<std::string> expected{"1025 0", "1025 1", "1025 2", "1026 32", "1026 288", "1025 3",
        "1025 4", "1025 5", "1025 6", "1025 7", "1025 8", "1029 9", "102a 32", "102a 288", "102a 544"};
    EXPECT_EQ(slotRequests, expected);
    const auto& copy = s.masks->state().MonoSlotCopy[2];
    EXPECT_THAT(std::vector<std::uint8_t>(copy.begin(), copy.begin() + 4), ElementsAreArray(kMonoMagic));
    EXPECT_EQ(copy[4] | copy[5] << 8, 288) << "header copied from the reply, size field kept";
    EXPECT_EQ(copy[8], 2);
    EXPECT_EQ(copy[32], 32) << "first chunk at offset 32";
    EXPECT_EQ(copy[32 + 256], std::uint8_t(288));
    EXPECT_EQ(s.masks->state().MonoSlotCopy[1][1], 0) << "an empty slot has a zero header";
    EXPECT_THAT(std::vector<std::uint8_t>(
                    s.masks->state().ColourSlotCopy.begin(), s.masks->state().ColourSlotCopy.begin() + 4),
        ElementsAreArray(kColourMagic));
    EXPECT_EQ(progressBeforeFinish(), 66);
    EXPECT_TRUE(s.readback.succeeded());
}

TEST_F(ChainTest, MaskSlotSizeBeyondTheCopyNeverWritesPastIt)
{
    box.identity.boardKind = 0x84;
    box.identity.userMask = 1;
    // Headers claiming more than a slot copy holds; the box has data up to the copy's end.
    StoreMaskSlot(box, 8, 0x7fffffff, kMonoSlotBytes - 32);
    StoreMaskSlot(box, 9, 0xffffffff, kColourSlotBytes - 32);
    connectAndRead();
    EXPECT_EQ(s.masks->state().MonoSlotCopy[8].size(), kMonoSlotBytes);
    EXPECT_EQ(s.masks->state().ColourSlotCopy.size(), kColourSlotBytes);
    const auto chunks = std::count_if(
        link.log.begin(), link.log.end(), [](const std::string& l) { return l.rfind("1026 ", 0) == 0; });
    EXPECT_EQ(chunks, long((kMonoSlotBytes - 32 + 255) / 256));
    EXPECT_EQ(
        s.masks->state().MonoSlotCopy[8][kMonoSlotBytes - 1], std::uint8_t(kMonoSlotBytes - 1 - 32 + 32));
    EXPECT_TRUE(s.readback.succeeded()) << "the read-back went on to its end";
    EXPECT_EQ(s.masks->state().MonoMaskLimit, 237568);
}

TEST_F(ChainTest, GarbledSlotAnswerCountsAsOff)
{
    box.identity.boardKind = 0x81;
    box.identity.userMask = 1;
    box.window(0).maskAssignment = 3;
    link.tamper = [](std::vector<std::uint8_t>& reply) {
        if (std::string(reply.begin() + 8, reply.begin() + 14) == "S00DMI")
            std::copy_n("S00DMI+9x9\r\n", 12, reply.begin() + 8);
    };
    connectAndRead();
    EXPECT_EQ(s.masks->state().MaskAssignment[0], 0);
    EXPECT_TRUE(s.readback.succeeded());
}

TEST_F(ChainTest, WarpRereadAfterModeChange)
{
    link.attach(s);
    ui.setEnabled(ctl::GPWPMode, false);
    s.exchange.post(proto::SettingWrite("s00WPM+006", 6));
    const Operation<void> reread = s.box->warp.readTablesBack();
    link.pump();
    EXPECT_TRUE(reread.succeeded());
    const std::vector<std::string> expected{"1002 s00WPM+006", "1007", "1008", "1009"};
    EXPECT_EQ(link.log, expected);
    EXPECT_FALSE(s.busy());
    EXPECT_TRUE(ui.isEnabled(ctl::GPWPMode));
    EXPECT_EQ(s.box->warp.adjust().KeystoneCorners[0][0], (PointOffset{500, 501}));
    EXPECT_FALSE(ui.waitWindowOpen());
}

TEST_F(ChainTest, RepliesNobodyAwaitsAreDroppedQuietly)
{
    link.attach(s);
    for (const std::uint32_t code : {Cmd::ReadWindowSettings, Cmd::Identify, 0x5000u}) {
        std::vector<std::uint8_t> reply(kTcpFrameSize, 0x11);
        FrameView(reply.data(), reply.size()).setCode(code);
        DeliverReply(s, reply.data(), reply.size(), false);
        EXPECT_EQ(s.reply().code(), 0u) << "the reply code is reset";
        EXPECT_FALSE(s.busy());
    }
    EXPECT_TRUE(link.log.empty());
    EXPECT_TRUE(ui.memo().isEmpty());
}

} // namespace
} // namespace trivel::test
