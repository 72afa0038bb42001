// The transfer of a loaded setting file to the box as one operation, on the virtual clock
// against the box model: what is sent, in which order, after which waits, and what the box holds
// at the end.

#include "app/AppFixture.h"
#include "box/Box.h"
#include "files/SettingFiles.h"
#include "files/SettingTransfer.h"
#include "mask/MaskState.h"
#include "session/Controls.h"
#include "box/Readback.h"
#include "session/Session.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"
#include "warp/WarpAdjustState.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <set>

using namespace trivel;
using namespace trivel::test;

namespace {

// One request as the box received it, with the state of the tool when it went out.
struct Sent {
    std::string line; // "1002 s00BRI+060", "1023 4" (a mask store or delete and its slot), "3000 1"
    qint64 waitedMs; // virtual time since the previous request
    int progress;
    bool running; // the transfer was under way
};

std::string Line(std::uint32_t code, const FrameView& req)
{
    char line[64];
    const unsigned c = code;
    if (code == Cmd::Setting || code == Cmd::SettingQuery) {
        char text[10];
        req.copyOut(8, text, sizeof text);
        std::snprintf(line, sizeof line, "%04x %.*s", c, int(sizeof text), text);
    } else if (code == Cmd::MaskStore || code == Cmd::MaskDelete) {
        std::snprintf(line, sizeof line, "%04x %u", c, unsigned(req.u8(12)));
    } else if (code == Cmd::BulkWarpBlock) {
        std::snprintf(line, sizeof line, "%04x %u mode %u", c, unsigned(req.u8(8)), unsigned(req.u8(9)));
    } else {
        std::snprintf(line, sizeof line, "%04x", c);
    }
    return line;
}

class Transfer : public ::testing::Test {
protected:
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    SettingFiles files{tool};
    sim::BoxModel box{Identity()};
    FakeBoxTransport link{box};
    std::vector<Sent> sent;

    static sim::BoxIdentity Identity()
    {
        sim::BoxIdentity id;
        id.boardKind = 0x84; // PIP kind, four windows
        id.userMask = 0x5B;
        id.model = 400; // outputs not paired: each window keeps its own DCM and HDO
        return id;
    }

    void SetUp() override
    {
        // Every window has an input, so no refill of the pages clears the overscans.
        for (auto& in : box.inputSignals.input)
            in = {1920, 1080};
        link.delivery = Delivery::Pumped;
        link.attach(s);
        SendIdentify(s);
        link.pump();
        ASSERT_FALSE(s.busy());
        ASSERT_EQ(s.ChannelCount, 4);
        ASSERT_TRUE(s.flag(Flag::UserMask));
        // What the first status poll would report.
        s.LastInputMask = 0xF;
        s.InputSize.fill({1920, 1080});
        qint64 last = clock.tickMs();
        box.replyHook = [this, last](std::uint32_t code, std::vector<std::uint8_t>&) mutable {
            const auto& req = box.received().back();
            const FrameView view(const_cast<std::uint8_t*>(req.data()), req.size());
            sent.push_back({Line(code, view), clock.tickMs() - last, s.ProgressPosition, s.transfer.Running});
            last = clock.tickMs();
            return true;
        };
    }

    // Every field the transfer carries, different in every window and from the box's defaults.
    void FillCaches()
    {
        WindowSettingsRecord& ws = s.settings().WindowSettings;
        for (std::size_t w = 0; w < 4; ++w) {
            const int k = int(w);
            ws.INP[w] = std::uint8_t(k);
            ws.OPM[w] = std::uint8_t(1 + k);
            ws.HZM[w] = std::uint8_t(2 + k);
            ws.VZM[w] = std::uint8_t(3 + k);
            ws.HPN[w] = std::uint8_t(4 + k);
            ws.VPN[w] = std::uint8_t(5 + k);
            ws.OLE[w] = std::int16_t(-10 - k);
            ws.ORE[w] = std::int16_t(20 + k);
            ws.OTE[w] = std::int16_t(-30 - k);
            ws.OBE[w] = std::int16_t(40 + k);
            ws.ORI[w] = std::uint8_t(k);
            ws.BRI[w] = std::uint8_t(60 + k);
            ws.CON[w] = std::uint8_t(70 + k);
            ws.XHA[w] = std::uint8_t(3 + k);
            ws.HUE[w] = std::uint8_t(40 + k);
            ws.XAT[w] = std::uint8_t(45 + k);
            ws.CLR[w] = std::uint8_t(2 + k);
            ws.RGN[w] = std::uint8_t(90 + k);
            ws.GGN[w] = std::uint8_t(80 + k);
            ws.BGN[w] = std::uint8_t(70 + k);
            ws.H1E[w] = std::uint8_t(1 + k);
            ws.H2E[w] = std::uint8_t(2 + k);
            ws.DPE[w] = std::uint8_t(3 + k);
            ws.VGE[w] = std::uint8_t(4 + k);
            ws.H1W[w] = 1280 + k;
            ws.H1V[w] = 720 + k;
            ws.H2W[w] = 1600 + k;
            ws.H2V[w] = 900 + k;
            ws.DPW[w] = 3840 + k;
            ws.DPV[w] = 2160 + k;
            ws.VGW[w] = 1024 + k;
            ws.VGV[w] = 768 + k;

            BlendRecord& b = s.settings().BlendSettings[w];
            b.bytes = {};
            for (int side = 0; side < 4; ++side) {
                b.setEdgeWidth(side, std::uint16_t(100 + 10 * k + side));
                b.setEdgeShift(side, std::int16_t(-50 - 10 * k - side));
            }
            for (int ch = 0; ch < 3; ++ch) {
                b.setTransitionGamma(ch, std::uint16_t(180 + 10 * k + ch));
                b.gammaGain(ch) = std::uint8_t(30 + k + ch);
                b.colourGain(ch) = std::uint8_t(60 + k + ch);
                b.colourOffset(ch) = std::uint8_t(20 + k + ch);
            }
            b.gammaOffset() = std::uint8_t(200 + k);
            for (std::size_t i = 26; i <= 52; ++i) // region offsets
                b.bytes[i] = std::uint8_t(i + 5 * w);
            for (int c = 0; c < 8; ++c)
                b.setCorner(c, std::int16_t(-100 * k - c), std::int16_t(100 * k + c));
            for (std::size_t c = 0; c < 8; ++c) {
                s.settings().EdgeMaskCorners.x[w][c] = std::int16_t(7 * k + int(c));
                s.settings().EdgeMaskCorners.y[w][c] = std::int16_t(-7 * k - int(c));
            }

            PipRecord& p = s.settings().PipSettings[w];
            for (std::size_t i = 0; i < 7; ++i)
                p.bytes[i] = std::uint8_t(10 * k + int(i) + 1);
            for (std::size_t i = 0; i < 4; ++i)
                p.overlap[i] = std::int16_t(-(100 * k + 10 * int(i) + 5));
            s.settings().DCM[w] = std::uint8_t(1 + k % 2);
            s.settings().HDO[w] = std::uint8_t(2 - k % 2);
            s.masks->state().MaskAssignment[w] = 2 * k + 1;
            s.FileInputSize[w] = {1920 - k, 1080 - k};
            s.FilePipSourceSize[w] = {640 + k, 480 + k};

            for (std::size_t i = 0; i < kControlPoints; ++i)
                s.box->warp.adjust().ControlOffsets[w][i] = {std::int16_t(i + 50 * w), std::int16_t(-int(i) - k)};
            for (std::size_t i = 0; i < kWallPoints; ++i)
                s.box->warp.adjust().WallPoints[w][i] = {std::int16_t(300 + i + k), std::int16_t(-300 - int(i))};
            for (std::size_t i = 0; i < kKeystoneCorners; ++i)
                s.box->warp.adjust().KeystoneCorners[w][i] = {std::int16_t(-200 - int(i)), std::int16_t(200 + i + k)};
            WarpModel& m = s.box->warp.state().model[w];
            m.ControlPattern = std::array<std::uint8_t, 4>{3, WarpMode::Points, WarpMode::Wall, 1}[w];
            for (int c = 0; c < kGridSize; ++c)
                for (int r = 0; r < kGridSize; ++r)
                    m.PointOffsets[std::size_t(c)][std::size_t(r)]
                        = {std::int16_t(c - r + k), std::int16_t(r * 2 - c - k)};
        }
    }

    // A slot copy as a load leaves it: magic, size field, then bytes of its own.
    static void PutMask(SlotCopy& slot, std::size_t size, std::uint8_t seed)
    {
        slot.clear();
        const std::span<std::uint8_t> copy = slot.writable();
        for (std::size_t i = 0; i < size; ++i)
            copy[i] = std::uint8_t(i * 7 + seed);
        const auto& magic = copy.size() == kColourSlotBytes ? kColourMagic : kMonoMagic;
        std::copy(magic.begin(), magic.end(), copy.begin());
        for (int i = 0; i < 4; ++i)
            copy[4 + std::size_t(i)] = std::uint8_t(size >> (8 * i));
    }

    // The requests from the nth one that matches `from`.
    std::vector<Sent> From(const std::string& from, std::size_t n, int nth = 1) const
    {
        for (std::size_t i = 0; i < sent.size(); ++i)
            if (sent[i].line == from && --nth == 0)
                return {sent.begin() + std::ptrdiff_t(i),
                    sent.begin() + std::ptrdiff_t(std::min(sent.size(), i + n))};
        return {};
    }

    std::vector<std::string> Lines(const std::vector<Sent>& v) const
    {
        std::vector<std::string> out;
        for (const Sent& x : v)
            out.push_back(x.line);
        return out;
    }
};

TEST_F(Transfer, AllEmptySlotsAreDeletedOneByOneThenTheFirstWindowIsSelected)
{
    const Operation<void> op = files.transfer(true);
    EXPECT_EQ(ui.intValue(ctl::UpdateStep, Prop::Top), 180);
    EXPECT_EQ(s.ProgressMaximum, kWholeBoxProgress);
    link.pump(11);
    EXPECT_EQ(Lines(sent),
        (std::vector<std::string>{"1002 s00VKY+060", "1023 0", "1023 1", "1023 2", "1023 3", "1023 4",
            "1023 5", "1023 6", "1023 7", "1023 8", "1023 9", "1002 s00VKY+060"}));
    EXPECT_EQ(sent.back().progress, 11) << "ten slots advance ProgressBar2 by 11";
    EXPECT_FALSE(op.finished()) << "the first window's selection awaits its reply";
    EXPECT_TRUE(s.transfer.Running);
}

TEST_F(Transfer, SlotCopiesGoInChunksOf480AndAreStoredInTheirOwnSlot)
{
    struct Case {
        int slot;
        std::size_t size;
        int chunks;
    };
    for (const Case c : {Case{1, 960, 2}, Case{4, 961, 3}, Case{9, 1000, 3}}) {
        SCOPED_TRACE(c.slot);
        for (auto& copy : s.masks->state().MonoSlotCopy)
            copy.clear();
        s.masks->state().ColourSlotCopy.clear();
        auto& copy = c.slot < 9 ? s.masks->state().MonoSlotCopy[std::size_t(c.slot)]
                                : s.masks->state().ColourSlotCopy;
        PutMask(copy, c.size, std::uint8_t(c.slot));
        sent.clear();
        const Operation<void> op = files.transfer(true);
        link.pump(11 + c.chunks);
        const std::string upload = c.slot < 9 ? "1021" : "1027";
        std::vector<std::string> expected;
        for (int i = 0; i < c.chunks; ++i)
            expected.push_back(upload);
        expected.push_back("1022 " + std::to_string(c.slot));
        const auto lines = Lines(sent);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1 + c.slot, lines.begin() + 2 + c.slot + c.chunks),
            expected);
        ASSERT_EQ(box.maskSlot(c.slot).size(), c.size);
        EXPECT_TRUE(std::equal(box.maskSlot(c.slot).begin(), box.maskSlot(c.slot).end(), copy.begin()));
        // The rest is of no interest: the reply on its way is taken off and dropped.
        op.cancel();
        link.pump();
        ASSERT_FALSE(s.busy());
    }
}

TEST_F(Transfer, OneWindowSendsItsCommandsInOrderWithTheirWaits)
{
    FillCaches();
    const Operation<void> op = files.transfer(true);
    link.pump();
    // Window 1: 17x17 point mode.
    const auto window = From("1002 s00VKY+061", 1 + 73 + 14);
    ASSERT_EQ(window.size(), 88u);
    const QStringList order = QStringLiteral(
        "INP HZM VZM HPN VPN ORI BRI CON XHA HUE XAT CLR RGN GGN BGN OPM LEB REB TEB BEB EFL EFR EFT EFB "
        "EBR EBG EBB GGR GGG GGB EGR EGG EGB EOR EOG EOB WWW VVV OLE ORE OTE OBE WWW VVV WWW VVV PLO PRO "
        "PTO PBO WWW VVV PIT PIZ PIH PIV PIR POR PIO H1W H1V H2W H2V DPW DPV VGW VGV H1E H2E DPE VGE DCM HDO")
                                  .split(' ');
    ASSERT_EQ(order.size(), 73);
    // CommandList indices 0 to 16 wait 50 ms, the others 120 ms.
    const std::set<std::string> early{"INP", "OPM", "HZM", "VZM", "HPN", "VPN", "OLE", "ORE", "OTE", "OBE",
        "ORI", "BRI", "CON", "XHA", "HUE", "XAT", "CLR"};
    for (int i = 0; i < 73; ++i) {
        const Sent& x = window[std::size_t(1 + i)];
        EXPECT_EQ(x.line.substr(0, 11), "1002 s00" + order[i].toStdString()) << i;
        const std::string name = order[i].toStdString();
        const int extra = name == "HZM" || name == "LEB" || name == "PIZ" ? 1000 : (i >= 44 ? 300 : 0);
        EXPECT_EQ(x.waitedMs, extra + (early.count(name) ? 50 : 120)) << name;
    }
    EXPECT_EQ(window[2].line, "1002 s00HZM+002") << "HZM - 1";
    EXPECT_EQ(window[9].line, "1002 s00XHA+040") << "XHA x 10";
    EXPECT_EQ(window[37].line, "1002 s00WWW1919") << "the file's input width";

    const std::vector<std::pair<std::string, qint64>> tail{{"3000 1 mode 4", 200}, {"1002 s00UDT+001", 20},
        {"3000 2 mode 100", 1500}, {"1002 s00UDT+002", 600}, {"1202", 0}, {"1202", 0}, {"1202", 0},
        {"1201", 600}, {"3000 3 mode 201", 200}, {"1002 s00UDT+004", 100}, {"100c S00DMI+003", 100},
        {"100c S0095I+000", 800}, {"2007", 100}, {"2004", 180}};
    for (std::size_t i = 0; i < tail.size(); ++i) {
        EXPECT_EQ(window[74 + i].line, tail[i].first) << i;
        EXPECT_EQ(window[74 + i].waitedMs, tail[i].second) << tail[i].first;
    }
    // The window-end frame's 80 ms pause and 600 ms, before the next window.
    const qint64 next = From("1002 s00VKY+062", 1).at(0).waitedMs;
    EXPECT_EQ(next, 680);
    // About 24 s of fixed waits per window, all on the virtual clock.
    qint64 total = next;
    for (std::size_t i = 1; i < window.size(); ++i)
        total += window[i].waitedMs;
    EXPECT_EQ(total, 18970 + 4400 + 680);
}

TEST_F(Transfer, TheWarpModeDecidesBlockOneModeAndTheStepAfterThePointChunks)
{
    FillCaches();
    const Operation<void> op = files.transfer(true);
    link.pump();
    struct Case {
        const char* select;
        int nth; // window 0 is selected once for the mask slots first
        const char* block1;
        const char* block2;
        const char* afterPoints;
    };
    for (const Case c : {Case{"1002 s00VKY+060", 2, "3000 1 mode 3", "3000 2 mode 3", "1002 s00UDT+003"},
             Case{"1002 s00VKY+061", 1, "3000 1 mode 4", "3000 2 mode 100", "1201"},
             Case{"1002 s00VKY+062", 1, "3000 1 mode 16", "3000 2 mode 16", "1002 s00UDT+003"}}) {
        SCOPED_TRACE(c.select);
        const auto w = Lines(From(c.select, 88, c.nth));
        ASSERT_EQ(w.size(), 88u);
        EXPECT_EQ(w[74], c.block1);
        EXPECT_EQ(w[76], c.block2);
        EXPECT_EQ(w[81], c.afterPoints);
    }
}

// Every setting command of one window with the value its cache holds, as the box receives it: a
// row of the binding table that changed its template, its cache field or what it sends would
// show here. An edge width of 49 goes out as it stands (the slider would send 0).
TEST_F(Transfer, EveryCommandOfAWindowCarriesItsCachedValue)
{
    FillCaches();
    s.settings().BlendSettings[2].setEdgeWidth(0, 49);
    const Operation<void> op = files.transfer(true);
    link.pump();
    const auto window = Lines(From("1002 s00VKY+062", 1 + 73));
    ASSERT_EQ(window.size(), 74u);
    const std::vector<std::string> expected{"s00INP+002", "s00HZM+003", "s00VZM+004", "s00HPN+005",
        "s00VPN+006", "s00ORI+002", "s00BRI+062", "s00CON+072", "s00XHA+050", "s00HUE+042", "s00XAT+047",
        "s00CLR+004", "s00RGN+092", "s00GGN+082", "s00BGN+072", "s00OPM+003", "s00LEB+049", "s00REB+121",
        "s00TEB+122", "s00BEB+123", "s00EFL-070", "s00EFR-071", "s00EFT-072", "s00EFB-073", "s00EBR+200",
        "s00EBG+201", "s00EBB+202", "s00GGR+032", "s00GGG+033", "s00GGB+034", "s00EGR+062", "s00EGG+063",
        "s00EGB+064", "s00EOR+022", "s00EOG+023", "s00EOB+024", "s00WWW1918", "s00VVV1078", "s00OLE-012",
        "s00ORE+022", "s00OTE-032", "s00OBE+042", "s00WWW+000", "s00VVV+000", "s00WWW+642", "s00VVV+482",
        "s00PLO-205", "s00PRO-215", "s00PTO-225", "s00PBO-235", "s00WWW+000", "s00VVV+000", "s00PIT+026",
        "s00PIZ+022", "s00PIH+023", "s00PIV+024", "s00PIR+025", "s00POR+027", "s00PIO+021", "s00H1W1282",
        "s00H1V+722", "s00H2W1602", "s00H2V+902", "s00DPW3842", "s00DPV2162", "s00VGW1026", "s00VGV+770",
        "s00H1E+003", "s00H2E+004", "s00DPE+005", "s00VGE+006", "s00DCM+001", "s00HDO+002"};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(window[1 + i], "1002 " + expected[i]) << i;
    EXPECT_EQ(Lines(From("100c S00DMI+005", 1)).size(), 1u) << "window 3's mask assignment, asked on its own";
    EXPECT_TRUE(op.succeeded());
}

TEST_F(Transfer, AWholeBoxTransferEndsInAReadBackThatFindsTheBoxHoldingTheCaches)
{
    FillCaches();
    PutMask(s.masks->state().MonoSlotCopy[2], 961, 3);
    PutMask(s.masks->state().ColourSlotCopy, 1500, 9);
    const SettingsState settings = s.settings();
    const WarpAdjustState warp = s.box->warp.adjust();
    const auto assignment = s.masks->state().MaskAssignment;
    const auto mono2 = s.masks->state().MonoSlotCopy[2];
    const auto colour = s.masks->state().ColourSlotCopy;

    const Operation<void> op = files.transfer(true);
    link.pump();

    const auto end = From("2004", 1000);
    ASSERT_FALSE(end.empty());
    const auto readback = From("1000", 1);
    ASSERT_EQ(readback.size(), 1u);
    EXPECT_FALSE(s.busy());
    EXPECT_TRUE(op.succeeded()) << "the transfer ends with its read-back";
    EXPECT_FALSE(s.transfer.Running);
    EXPECT_FALSE(s.flag(Flag::TransferReadback)) << "the read-back's end clears it";
    EXPECT_EQ(s.ProgressPosition, kWholeBoxProgress);
    EXPECT_EQ(ui.intValue(ctl::UpdateStep, Prop::Top), 680);
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const Sent& x) { return x.line == "2004"; }), 4);

    // The read-back refilled the caches from the box: the box holds what was sent.
    for (std::size_t w = 0; w < 4; ++w) {
        SCOPED_TRACE(w);
        settings.WindowSettings.forEachField([&](const char* name, const auto& before) {
            s.settings().WindowSettings.forEachField([&](const char* n, const auto& after) {
                if (std::string(n) == name) {
                    EXPECT_EQ(int(after[w]), int(before[w])) << name;
                }
            });
        });
        EXPECT_EQ(s.settings().BlendSettings[w].bytes, settings.BlendSettings[w].bytes);
        EXPECT_EQ(s.settings().EdgeMaskCorners.x[w], settings.EdgeMaskCorners.x[w]);
        EXPECT_EQ(s.settings().EdgeMaskCorners.y[w], settings.EdgeMaskCorners.y[w]);
        EXPECT_EQ(s.settings().PipSettings[w].bytes, settings.PipSettings[w].bytes);
        EXPECT_EQ(s.settings().PipSettings[w].overlap, settings.PipSettings[w].overlap);
        EXPECT_EQ(s.settings().DCM[w], settings.DCM[w]);
        EXPECT_EQ(s.settings().HDO[w], settings.HDO[w]);
        EXPECT_EQ(s.masks->state().MaskAssignment[w], assignment[w]);
        EXPECT_EQ(s.box->warp.adjust().ControlOffsets[w], warp.ControlOffsets[w]);
        EXPECT_EQ(s.box->warp.adjust().WallPoints[w], warp.WallPoints[w]);
        EXPECT_EQ(s.box->warp.adjust().KeystoneCorners[w], warp.KeystoneCorners[w]);
        EXPECT_EQ(box.window(int(w)).controlPattern, s.box->warp.state().model[w].ControlPattern);
        const auto& points = box.window(int(w)).pointOffsets;
        const auto& m = s.box->warp.state().model[w];
        for (std::size_t c = 0; c < 17; ++c)
            for (std::size_t r = 0; r < 17; ++r) {
                const std::size_t at = (c * 17 + r) * 4;
                ASSERT_EQ(std::int16_t(points[at] | points[at + 1] << 8), m.PointOffsets[c][r].dx);
                ASSERT_EQ(std::int16_t(points[at + 2] | points[at + 3] << 8), m.PointOffsets[c][r].dy);
            }
        EXPECT_EQ(box.window(int(w)).fileWidth, 0) << "WWW and VVV end at 0";
    }
    EXPECT_TRUE(std::equal(mono2.begin(), mono2.begin() + 961, s.masks->state().MonoSlotCopy[2].begin()));
    EXPECT_TRUE(std::equal(colour.begin(), colour.begin() + 1500, s.masks->state().ColourSlotCopy.begin()));
    EXPECT_EQ(s.masks->state().MonoSlotCopy[0][4], 0) << "empty slots stay empty";
}

TEST_F(Transfer, ASingleWindowTransferSendsItsSlotAndEndsWithoutAReadBack)
{
    FillCaches();
    s.CurrentWindow = 2;
    s.masks->state().MaskAssignment[2] = 9; // the last mono slot
    PutMask(s.masks->state().MonoSlotCopy[8], 500, 1);
    PutMask(s.masks->state().MonoSlotCopy[0], 500, 2); // not this window's slot: never sent
    const auto before = box.window(1).record;

    const Operation<void> op = files.transfer(false);
    EXPECT_EQ(s.ProgressMaximum, kSingleWindowProgress);
    link.pump();

    EXPECT_EQ(Lines(From("1002 s00VKY+062", 5)),
        (std::vector<std::string>{"1002 s00VKY+062", "1021", "1021", "1022 8", "1002 s00VKY+062"}));
    EXPECT_EQ(box.maskSlot(8).size(), 500u);
    EXPECT_TRUE(box.maskSlot(0).empty());
    EXPECT_TRUE(From("1000", 1).empty()) << "no read-back";
    EXPECT_TRUE(From("1002 s00VKY+060", 1).empty()) << "no other window";
    EXPECT_FALSE(s.busy());
    EXPECT_TRUE(op.succeeded());
    EXPECT_FALSE(s.flag(Flag::SingleWindowTransfer));
    EXPECT_EQ(s.ProgressPosition, kSingleWindowProgress);
    EXPECT_EQ(ui.intValue(ctl::UpdateStep, Prop::Top), 680);
    EXPECT_EQ(box.window(2).record[30], 62) << "BRI of window 2";
    EXPECT_EQ(box.window(1).record, before);
    EXPECT_EQ(box.window(2).maskAssignment, 9);
    // The Warp Adjust cursor of the current window (WALL) back at its start.
    EXPECT_EQ(Lines(std::vector<Sent>(sent.end() - 2, sent.end())),
        (std::vector<std::string>{"2007", "1002 s0095I+000"}));
}

TEST_F(Transfer, AWholeBoxFileSentAsOneWindowLeavesTheMaskSlotsAlone)
{
    FillCaches();
    PutMask(s.masks->state().MonoSlotCopy[0], 500, 2);
    s.setFlag(Flag::SingleWindowTransfer, true); // a model-116 file
    const Operation<void> op = files.transfer(true);
    link.pump();
    EXPECT_EQ(
        Lines(From("1002 s00VKY+060", 2)), (std::vector<std::string>{"1002 s00VKY+060", "1002 s00INP+000"}));
    EXPECT_EQ(
        box.requests(Cmd::MaskUploadMono) + box.requests(Cmd::MaskDelete) + box.requests(Cmd::MaskStore), 0);
    EXPECT_TRUE(ui.memo().join('\n').contains(QStringLiteral("MASK SLOTS NOT SENT")));
    EXPECT_TRUE(From("1002 s00VKY+061", 1).empty());
    EXPECT_FALSE(s.busy());
    EXPECT_FALSE(s.flag(Flag::SingleWindowTransfer));
}

TEST_F(Transfer, TheLoadButtonSendsALoadedFileToAConnectedBox)
{
    FillCaches();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rig.WBF"));
    ASSERT_TRUE(SaveSettingFile(s, path, true).ok);
    s.settings().WindowSettings.BRI.fill(1);

    const SettingFileOutcome o = files.loadAndTransfer(path);
    ASSERT_TRUE(o.ok) << qPrintable(o.message);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].line, "1002 s00VKY+060");
    EXPECT_TRUE(sent[0].running);
    EXPECT_TRUE(o.maskTransfer);
    link.pump();
    EXPECT_FALSE(s.busy());
    EXPECT_TRUE(files.transferring().succeeded());
    for (int w = 0; w < 4; ++w)
        EXPECT_EQ(box.window(w).record[30], 60 + w) << "BRI from the file";
}

TEST_F(Transfer, NothingIsSentWithoutABox)
{
    link.close();
    s.setFlag(Flag::Connected, false);
    const Operation<void> op = files.transfer(true);
    EXPECT_TRUE(op.finished());
    EXPECT_FALSE(s.busy());
    EXPECT_TRUE(sent.empty());
}

} // namespace

// The picture in docs/: the main window during a four-window transfer. Run with
// TRIVEL_SCREENSHOT_DIR=docs and --gtest_also_run_disabled_tests.
TEST(SettingTransferPicture, DISABLED_Screenshot)
{
    const QString out = qEnvironmentVariable("TRIVEL_SCREENSHOT_DIR");
    ASSERT_FALSE(out.isEmpty());
    AppFixture f;
    auto& link = f.connectFakeBox();
    link.delivery = Delivery::Pumped;
    f.form.show();
    SendIdentify(f.s);
    link.pump();
    const Operation<void> op = f.form.settingFiles().transfer(true);
    link.pump(150); // the mask slots and most of window 1
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.form.grab().save(out + "/setting-transfer-progress.png"));
    op.cancel();
    link.pump();
}
