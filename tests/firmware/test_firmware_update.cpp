// The three download procedures against the box model, on the virtual clock.

#include "box/Box.h"
#include "box/Connection.h"
#include "firmware/Controls.h"
#include "firmware/Firmware.h"
#include "link/Exchange.h"
#include "link/HidBackend.h"
#include "session/Controls.h"
#include "session/PageTable.h"
#include "session/Session.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace trivel::test {
namespace {

class NoHid final : public HidBackend {
public:
    std::vector<HidDeviceInfo> enumerate(std::uint16_t, std::uint16_t) override { return {}; }
    std::unique_ptr<HidDevice> open(std::uint16_t, std::uint16_t) override { return nullptr; }
};

std::vector<std::uint8_t> Pattern(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = std::uint8_t(i * 31 + 7 + (i >> 8));
    return v;
}

QString Hex4(std::uint32_t v)
{
    return QStringLiteral("%1").arg(v & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper();
}

class FirmwareUpdate : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    Firmware& fw = tool.firmware;
    sim::BoxModel box;
    FakeBoxTransport link{box};

    FirmwareUpdate()
    {
        link.delivery = Delivery::Pumped;
        link.attach(s);
        ui.setEnabled(ctl::ProgBtn, true); // as a connect leaves it
    }
    ~FirmwareUpdate() override { s.setTransport(nullptr); }

    QString write(const QString& name, const std::vector<std::uint8_t>& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path;
    }
    void start(const QString& name, const std::vector<std::uint8_t>& bytes)
    {
        fw.loadImage(write(name, bytes));
        fw.startUpdate();
    }
    // Delivers replies until the first request of this code has gone out (its reply not yet
    // handed over).
    void runUntilSent(std::uint32_t code)
    {
        while (sent(code) == 0 && link.pump(1) == 1) { }
        ASSERT_EQ(sent(code), 1);
    }
    int sent(std::uint32_t code) const
    {
        return int(std::count(link.sentCodes.begin(), link.sentCodes.end(), code));
    }
    QString lastMessage() const { return ui.messages.empty() ? QString() : ui.messages.back().text; }
};

TEST_F(FirmwareUpdate, EachProcedureDownloadsTheImageAndRestartsTheBox)
{
    const struct {
        const char* name;
        std::size_t size;
        std::uint32_t first, data, end;
        bool commit;
        int colour; // as the UI port takes it, 0xRRGGBB
        bool progBtnEnabledAfter;
    } cases[] = {
        {"fw.bin", 64, Cmd::FwShortStart, Cmd::FwShortData, Cmd::FwShortEnd, true, 0x800080, false},
        {"T52QBL_a.bin", 393215, Cmd::FwPrefixedStart, Cmd::FwPrefixedData, Cmd::FwPrefixedEnd, false,
            0xFFA500, false},
        {"t52qbl_a.bin", 393215, Cmd::FwPrefixedStart, Cmd::FwPrefixedData, Cmd::FwPrefixedEnd, false,
            0xFFA500, false},
        {"T52QBL_b.bin", 393216, Cmd::FwLargeBoardQuery, Cmd::FwLargeData, Cmd::FwLargeEnd, false, 0xFFFF00,
            true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + std::string(" ") + std::to_string(c.size));
        link.clearLog();
        ui.messages.clear();
        ui.setEnabled(ctl::ProgBtn, true);
        const auto image = Pattern(c.size);
        start(QString::fromLatin1(c.name), image);
        EXPECT_EQ(ui.caption(ctl::ProgBtn), "Downloading");
        EXPECT_FALSE(ui.isEnabled(ctl::GroupBox1));
        link.pump();

        EXPECT_EQ(box.firmwareImage(), image);
        EXPECT_FALSE(s.busy());
        EXPECT_EQ(fw.state().Outcome, FirmwareOutcome::Done);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "Process Done!! [ 0s ]");
        EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
        ASSERT_FALSE(link.sentCodes.empty());
        EXPECT_EQ(link.sentCodes.front(), c.first);
        EXPECT_EQ(link.sentCodes.back(), Cmd::Restart);
        EXPECT_EQ(sent(c.data), int((c.size + 255) / 256));
        EXPECT_EQ(sent(c.end), 1);
        EXPECT_EQ(sent(Cmd::FwShortCommit), c.commit ? 1 : 0);
        EXPECT_EQ(ui.intValue(ctl::ProgressBar1, Prop::Color), c.colour);
        EXPECT_EQ(ui.caption(ctl::PLabel), "100 %");
        EXPECT_EQ(ui.intValue(ctl::ProgressBar1, Prop::Minimum), -int(c.size / 10));
        EXPECT_EQ(ui.intValue(ctl::ProgressBar1, Prop::Maximum), int(c.size + c.size / 10));
        EXPECT_EQ(ui.caption(ctl::ProgBtn), "Start");
        EXPECT_EQ(ui.isEnabled(ctl::ProgBtn), c.progBtnEnabledAfter);
        EXPECT_TRUE(ui.isEnabled(ctl::GroupBox1));
        // What the start disabled stays disabled.
        EXPECT_FALSE(ui.isEnabled(ctl::BtnFrame));
        EXPECT_FALSE(ui.isEnabled(ctl::Warp95Tab));
        EXPECT_FALSE(ui.isEnabled(ctl::TntTabSheet5));
        EXPECT_FALSE(s.PageEnabled[Page::Mask]);
        EXPECT_TRUE(ui.isEnabled(ctl::TabSystem));
        EXPECT_EQ(s.ActivePage, Page::Firmware);
    }
}

TEST_F(FirmwareUpdate, RefusedFilesSendNothing)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.bin"));
    const struct {
        const char* name;
        std::size_t size;
        const char* message;
    } cases[] = {
        {"fw.hex", 100, "File Format error !!!"},
        {"fw", 100, "File Format error !!!"},
        {"short.bin", 63, "File not correct!!!"},
        {"folder.bin", 0, "Failed to load  File !!!"},
        {"missing.bin", 0, "Failed to load  File !!!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.messages.clear();
        const QString path
            = c.size ? write(QString::fromLatin1(c.name), Pattern(c.size)) : dir.filePath(c.name);
        fw.loadImage(path);
        fw.startUpdate();
        EXPECT_TRUE(link.sentCodes.empty());
        EXPECT_FALSE(s.busy());
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, c.message);
        EXPECT_EQ(ui.messages[0].icon, MsgIcon::None);
        EXPECT_TRUE(ui.isEnabled(ctl::ProgBtn));
        EXPECT_NE(ui.caption(ctl::ProgBtn), "Downloading");
        EXPECT_TRUE(ui.isEnabled(ctl::GroupBox1));
    }
}

TEST_F(FirmwareUpdate, ThreeHundredBytesGoInTwoPiecesTheLastZeroFilled)
{
    const auto image = Pattern(300);
    start("fw.bin", image);
    link.pump();
    std::vector<std::vector<std::uint8_t>> pieces;
    for (const auto& f : link.sent)
        if (FrameView(const_cast<std::uint8_t*>(f.data()), f.size()).code() == Cmd::FwShortData)
            pieces.push_back(f);
    ASSERT_EQ(pieces.size(), 2u);
    FrameView a(pieces[0].data(), pieces[0].size());
    FrameView b(pieces[1].data(), pieces[1].size());
    EXPECT_EQ(a.u32(8), 0u);
    EXPECT_EQ(b.u32(8), 256u);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 256, pieces[0].begin() + 12));
    EXPECT_TRUE(std::equal(image.begin() + 256, image.end(), pieces[1].begin() + 12));
    EXPECT_TRUE(
        std::all_of(pieces[1].begin() + 12 + 44, pieces[1].end(), [](std::uint8_t x) { return x == 0; }));
}

// Start, end, commit and restart write their own fields over the frame before them; a piece starts
// from a cleared frame.
TEST_F(FirmwareUpdate, OnlyPiecesClearTheFrameTheOthersWriteOverIt)
{
    s.RequestBuffer[1 + 100] = 0xEE; // left over from an earlier request
    const auto image = Pattern(300);
    start("fw.bin", image);
    link.pump();
    const auto indexOf = [this](std::uint32_t code) {
        return std::size_t(
            std::find(link.sentCodes.begin(), link.sentCodes.end(), code) - link.sentCodes.begin());
    };
    for (std::uint32_t code : {Cmd::FwShortStart, Cmd::FwShortEnd, Cmd::FwShortCommit, Cmd::Restart})
        ASSERT_LT(indexOf(code), link.sent.size()) << std::hex << code;
    const auto& first = link.sent[indexOf(Cmd::FwShortStart)];
    ASSERT_EQ(link.sentCodes[indexOf(Cmd::FwShortEnd) - 1], Cmd::FwShortData);
    const auto& lastPiece = link.sent[indexOf(Cmd::FwShortEnd) - 1];
    const auto& end = link.sent[indexOf(Cmd::FwShortEnd)];
    const auto& commit = link.sent[indexOf(Cmd::FwShortCommit)];
    const auto& restart = link.sent[indexOf(Cmd::Restart)];
    const auto at = [](const std::vector<std::uint8_t>& f, std::size_t o) {
        return FrameView(const_cast<std::uint8_t*>(f.data()), f.size()).u32(o);
    };
    EXPECT_EQ(at(first, 8), 300u);
    EXPECT_EQ(first[100], 0xEE);
    EXPECT_EQ(lastPiece[100], 0);
    EXPECT_EQ(at(end, 8), 300u);
    EXPECT_TRUE(std::equal(end.begin() + 12, end.end(), lastPiece.begin() + 12)) << "the last piece's bytes";
    EXPECT_EQ(at(commit, 8), 300u);
    EXPECT_EQ(at(commit, 12), FirmwareSum(image));
    EXPECT_TRUE(std::equal(commit.begin() + 16, commit.end(), end.begin() + 16));
    EXPECT_TRUE(std::equal(restart.begin() + 8, restart.end(), commit.begin() + 8));
}

TEST_F(FirmwareUpdate, SixteenBitCheckUsesTheLowerHalfAndTheCommitCarriesTheWholeSum)
{
    std::vector<std::uint8_t> image(515, 0xFF);
    image.back() = 0x01; // sum 0x0001FFFF
    start("fw.bin", image);
    EXPECT_EQ(ui.caption(ctl::CksLabel), "0001 FFFF");
    link.pump();
    EXPECT_EQ(fw.state().Outcome, FirmwareOutcome::Done);
    const auto commit = std::find_if(link.sent.begin(), link.sent.end(), [](const auto& f) {
        return FrameView(const_cast<std::uint8_t*>(f.data()), f.size()).code() == Cmd::FwShortCommit;
    });
    ASSERT_NE(commit, link.sent.end());
    FrameView c(commit->data(), commit->size());
    EXPECT_EQ(c.u32(8), 515u);
    EXPECT_EQ(c.u32(12), 0x0001FFFFu);
}

TEST_F(FirmwareUpdate, AWrongChecksumIsAnErrorWithTheBoxValueAndNoRestart)
{
    box.corruptFirmwareChecksum = true;
    const struct {
        const char* name;
        std::size_t size;
    } cases[] = {{"fw.bin", 1000}, {"R52QBL_x.bin", 1000}, {"big.bin", 393216}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        link.clearLog();
        ui.messages.clear();
        ui.setEnabled(ctl::ProgBtn, true);
        const auto image = Pattern(c.size);
        start(QString::fromLatin1(c.name), image);
        link.pump();
        const std::uint32_t boxSum = FirmwareSum(image) + 1;
        EXPECT_FALSE(s.busy());
        EXPECT_EQ(fw.state().Outcome, FirmwareOutcome::ChecksumError);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "Process Error!!" + Hex4(boxSum));
        EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);
        EXPECT_EQ(sent(Cmd::FwShortCommit), 0);
        EXPECT_EQ(sent(Cmd::Restart), 0);
        EXPECT_TRUE(ui.isEnabled(ctl::ProgBtn));
        EXPECT_EQ(ui.caption(ctl::ProgBtn), "Start");
        EXPECT_TRUE(ui.isEnabled(ctl::GroupBox1));
        EXPECT_EQ(ui.caption(ctl::PLabel), "100 %");
    }
}

TEST_F(FirmwareUpdate, LargeImageChecksOnlyTheBoardsPresent)
{
    const struct {
        std::uint8_t mask;
        std::size_t spoilOffset; // a board checksum the box gets wrong
        bool done;
        int colour;
    } cases[] = {
        {5, 12, true, 0x008000}, // boards 0 and 2: offsets 8 and 16 count, 12 and 20 do not
        {5, 20, true, 0x008000}, {5, 16, false, 0x008000}, {5, 8, false, 0x008000}, {8, 20, false, 0xFF0000},
        {0x10, 0, false, 0x0078D7}, // no board 0..3: nothing confirmed the image
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mask) + " " + std::to_string(c.spoilOffset));
        link.clearLog();
        ui.messages.clear();
        ui.setEnabled(ctl::ProgBtn, true);
        box.identity.boardMask = c.mask;
        box.replyHook = [&c](std::uint32_t code, std::vector<std::uint8_t>& reply) {
            if (code == Cmd::FwLargeEnd && c.spoilOffset)
                reply[c.spoilOffset] ^= 0x5A;
            return true;
        };
        start("big.bin", Pattern(393216 + 44));
        link.pump();
        EXPECT_EQ(s.BoardMask, c.mask);
        EXPECT_EQ(ui.intValue(ctl::ProgressBar1, Prop::Color), c.colour);
        EXPECT_EQ(fw.state().Outcome, c.done ? FirmwareOutcome::Done : FirmwareOutcome::ChecksumError);
        EXPECT_EQ(sent(Cmd::Restart), c.done ? 1 : 0);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text.startsWith(c.done ? "Process Done!!" : "Process Error!!"), true)
            << ui.messages[0].text.toStdString();
        EXPECT_TRUE(ui.isEnabled(ctl::ProgBtn));
    }
}

TEST_F(FirmwareUpdate, BoardQueryTriesSixTimes300msApart)
{
    const struct {
        int emptyReplies;
        FirmwareOutcome outcome;
    } cases[] = {{6, FirmwareOutcome::BoardNotFound}, {5, FirmwareOutcome::Done}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.emptyReplies);
        sim::BoxModel fresh;
        fresh.boardQueryEmptyReplies = c.emptyReplies;
        FakeBoxTransport l{fresh};
        l.delivery = Delivery::Pumped;
        l.attach(s);
        ui.messages.clear();
        ui.setEnabled(ctl::ProgBtn, true);
        clock.clearWaits();
        start("big.bin", Pattern(393216));
        l.pump();
        EXPECT_EQ(std::count(l.sentCodes.begin(), l.sentCodes.end(), Cmd::FwLargeBoardQuery), 6);
        EXPECT_EQ(fw.state().Outcome, c.outcome);
        ASSERT_EQ(clock.waits().size(), 5u);
        for (const auto& w : clock.waits()) {
            EXPECT_EQ(w.kind, VirtualClock::WaitKind::Sleep);
            EXPECT_EQ(w.ms, 300);
        }
        ASSERT_EQ(ui.messages.size(), 1u);
        if (c.outcome == FirmwareOutcome::BoardNotFound) {
            EXPECT_EQ(ui.messages[0].text, "Board not found!!");
            EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);
            EXPECT_EQ(std::count(l.sentCodes.begin(), l.sentCodes.end(), Cmd::FwLargeStart), 0);
            EXPECT_EQ(ui.intValue(ctl::ProgressBar1, Prop::Position), -39321);
            EXPECT_TRUE(ui.isEnabled(ctl::ProgBtn));
            EXPECT_FALSE(s.busy());
        } else {
            EXPECT_EQ(fresh.firmwareImage(), Pattern(393216));
        }
        s.setTransport(nullptr);
    }
}

TEST_F(FirmwareUpdate, ElapsedSecondsAreTruncated)
{
    start("fw.bin", Pattern(1000));
    runUntilSent(Cmd::FwShortEnd);
    clock.advance(59999 - clock.tickMs());
    link.pump();
    EXPECT_EQ(lastMessage(), "Process Done!! [ 59s ]");
}

// The box may take long to flash before it answers the end or commit frame; a piece that gets no
// answer is a dead link much sooner.
TEST_F(FirmwareUpdate, WatchdogAllowsFlashingButEndsADeadUpdate)
{
    const struct {
        const char* name;
        std::size_t size;
        std::uint32_t stopAt; // the request the box never answers
        int allowance;
    } cases[] = {
        {"fw.bin", 1000, Cmd::FwShortData, kReplyAllowanceMs},
        {"fw.bin", 1000, Cmd::FwShortEnd, kFlashAllowanceMs},
        {"fw.bin", 1000, Cmd::FwShortCommit, kFlashAllowanceMs},
        {"T52QBL_a.bin", 1000, Cmd::FwPrefixedEnd, kFlashAllowanceMs},
        {"big.bin", 393216, Cmd::FwLargeEnd, kFlashAllowanceMs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.stopAt));
        link.clearLog();
        link.dropQueued();
        ui.messages.clear();
        ui.setEnabled(ctl::ProgBtn, true);
        start(QString::fromLatin1(c.name), Pattern(c.size));
        runUntilSent(c.stopAt);
        link.dropQueued(); // the box never answers
        const qint64 at = fw.state().BarPosition;
        clock.advance(c.allowance - 1);
        EXPECT_TRUE(fw.running());
        EXPECT_TRUE(ui.messages.empty());
        clock.advance(2);
        EXPECT_FALSE(s.busy());
        EXPECT_EQ(fw.state().Outcome, FirmwareOutcome::NoReply);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "Firmware update did not complete: no reply from the box.");
        EXPECT_EQ(fw.state().BarPosition, at);
        EXPECT_EQ(sent(Cmd::Restart), 0);
        EXPECT_TRUE(ui.isEnabled(ctl::ProgBtn));
        EXPECT_EQ(ui.caption(ctl::ProgBtn), "Start");
        EXPECT_TRUE(ui.isEnabled(ctl::GroupBox1));
    }
}

TEST_F(FirmwareUpdate, ClosingTheLinkMidwayEndsTheUpdate)
{
    QTemporaryDir lockDir;
    Connection connection{s, std::make_unique<NoHid>(), lockDir.path()};
    for (const bool tcp : {true, false}) {
        SCOPED_TRACE(tcp ? "disconnect over TCP" : "USB unplugged");
        link.clearLog();
        link.dropQueued();
        ui.messages.clear();
        link.attach(s);
        s.TcpSelected = tcp;
        ui.setEnabled(ctl::ProgBtn, true);
        start("fw.bin", Pattern(5000));
        link.pump(5);
        ASSERT_TRUE(fw.running());
        ASSERT_EQ(link.sentCodes.back(), Cmd::FwShortData);
        const qint64 at = fw.state().BarPosition;
        if (tcp) {
            connection.BtnCnt2Click();
            link.pump(); // the disconnect's neutral state, then the close
        } else {
            connection.CloseUsbLink();
        }
        EXPECT_FALSE(s.connected());
        EXPECT_FALSE(s.busy());
        EXPECT_EQ(fw.state().Outcome, FirmwareOutcome::LinkClosed);
        EXPECT_EQ(fw.state().BarPosition, at);
        EXPECT_EQ(ui.intValue(ctl::ProgressBar1, Prop::Position), int(at));
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.messages.back().text, kFirmwareLinkClosed);
        EXPECT_FALSE(ui.isEnabled(ctl::ProgBtn));
        EXPECT_EQ(ui.caption(ctl::ProgBtn), "Start");
        // A new connect makes ProgBtn usable, and the update runs again from the start.
        link.dropQueued(); // replies in flight died with the old link
        link.attach(s);
        link.clearLog();
        ui.setEnabled(ctl::ProgBtn, true);
        fw.startUpdate();
        link.pump();
        EXPECT_EQ(fw.state().Outcome, FirmwareOutcome::Done);
        EXPECT_EQ(box.firmwareImage(), Pattern(5000));
    }
    s.connection = nullptr;
}

// A close while the board query waits to ask again ends the update then, not at the next query.
TEST_F(FirmwareUpdate, ClosingTheLinkDuringTheBoardQueryWaitEndsTheUpdateAtOnce)
{
    QTemporaryDir lockDir;
    Connection connection{s, std::make_unique<NoHid>(), lockDir.path()};
    box.boardQueryEmptyReplies = 6;
    link.useClock(nullptr); // pump() hands replies over but leaves the waits pending
    start("big.bin", Pattern(393216));
    ASSERT_EQ(link.pump(1), 1); // no board yet: the 300 ms wait begins
    ASSERT_TRUE(clock.delayPending());
    connection.CloseUsbLink();
    EXPECT_FALSE(fw.running());
    EXPECT_EQ(fw.state().Outcome, FirmwareOutcome::LinkClosed);
    EXPECT_FALSE(clock.delayPending());
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(sent(Cmd::FwLargeBoardQuery), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kFirmwareLinkClosed);
    s.connection = nullptr;
}

TEST_F(FirmwareUpdate, SuccessOverTcpRestartsTheBoxThenDisconnects)
{
    QTemporaryDir lockDir;
    Connection connection{s, std::make_unique<NoHid>(), lockDir.path()};
    for (const bool restart : {true, false}) {
        SCOPED_TRACE(restart ? "CBReset checked" : "--no-restart");
        link.clearLog();
        link.attach(s); // TCP
        ui.setEnabled(ctl::ProgBtn, true);
        fw.setRestartAfterUpdate(restart);
        start("fw.bin", Pattern(700));
        link.pump();
        EXPECT_EQ(fw.state().Outcome, FirmwareOutcome::Done);
        EXPECT_FALSE(s.connected());
        EXPECT_FALSE(ui.isEnabled(ctl::ProgBtn));
        const auto commit = std::find(link.sentCodes.begin(), link.sentCodes.end(), Cmd::FwShortCommit);
        ASSERT_NE(commit, link.sentCodes.end());
        // The restart directly follows the commit's answer, before the disconnect's own frames.
        EXPECT_EQ(commit + 1 != link.sentCodes.end() && commit[1] == Cmd::Restart, restart);
        EXPECT_EQ(sent(Cmd::Restart), restart ? 1 : 0);
    }
    s.connection = nullptr;
}

} // namespace
} // namespace trivel::test
