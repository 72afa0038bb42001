#include "protocol/SettingCodec.h"
#include "sim/BoxModel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace trivel;
using namespace trivel::sim;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A request frame under construction.
struct Req {
    Bytes bytes = Bytes(kTcpFrameSize, 0);
    explicit Req(std::uint32_t code) { view().setCode(code); }
    FrameView view() { return FrameView(bytes.data(), bytes.size()); }
    Req& u8(std::size_t off, std::uint8_t v)
    {
        view().put8(off, v);
        return *this;
    }
    Req& u16(std::size_t off, std::uint16_t v)
    {
        view().put16(off, v);
        return *this;
    }
    Req& u32(std::size_t off, std::uint32_t v)
    {
        view().put32(off, v);
        return *this;
    }
    Req& text(std::string_view t)
    {
        const SettingCommand c = MakeSettingCommand(t);
        view().copyIn(kSettingOffset, c.data(), c.size());
        return *this;
    }
};

struct Reply {
    Bytes bytes;
    FrameView view() { return FrameView(bytes.data(), bytes.size()); }
    std::uint32_t code() { return view().code(); }
    std::uint8_t u8(std::size_t off) { return view().u8(off); }
    std::uint16_t u16(std::size_t off) { return view().u16(off); }
    std::int16_t i16(std::size_t off) { return view().i16(off); }
    std::uint32_t u32(std::size_t off) { return view().u32(off); }
    std::string text() { return std::string(reinterpret_cast<const char*>(bytes.data()) + 8, 10); }
    int value() { return DecodeSettingReply(view()); }
};

class BoxModelTest : public ::testing::Test {
protected:
    BoxModel box;

    Reply send(Req r)
    {
        auto rep = box.handle(r.bytes.data(), r.bytes.size());
        EXPECT_TRUE(rep.has_value());
        if (!rep)
            return Reply{Bytes(kTcpFrameSize, 0)};
        EXPECT_EQ(rep->size(), kTcpFrameSize);
        return Reply{*rep};
    }
    Reply write(std::string_view t, std::uint32_t code = Cmd::Setting) { return send(Req(code).text(t)); }
    Reply query(std::string_view t) { return send(Req(Cmd::SettingQuery).text(t)); }
    void selectWindow(int w) { write(std::string("s00VKY+06") + char('0' + w)); }
};

} // namespace

TEST_F(BoxModelTest, EveryRequestCodeIsAnsweredWithItsOwnCode)
{
    const std::uint32_t codes[] = {0x0001, 0x0011, 0x0012, 0x0013, 0x0014, 0x0015, 0x0016, 0x0017, 0x0090,
        0x0091, 0x0092, 0x0093, 0x1000, 0x1001, 0x1002, 0x1003, 0x1006, 0x1007, 0x1008, 0x1009, 0x100a,
        0x100b, 0x100c, 0x1020, 0x1021, 0x1022, 0x1023, 0x1025, 0x1026, 0x1027, 0x1029, 0x102a, 0x1200,
        0x1201, 0x1202, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2010, 0x2011, 0x2012, 0x2013,
        0x2014, 0x2015, 0x2016, 0x2017, 0x2020, 0x2030, 0x3000, 0x4242};
    for (std::uint32_t code : codes) {
        SCOPED_TRACE(code);
        EXPECT_EQ(send(Req(code)).code(), code);
    }
    EXPECT_EQ(box.repliesSent(), int(std::size(codes)));
}

TEST_F(BoxModelTest, RestartAndTestRequestGetNoReply)
{
    for (std::uint32_t code : {Cmd::Restart, Cmd::TestRequest}) {
        Req r(code);
        EXPECT_FALSE(box.handle(r.bytes.data(), r.bytes.size()).has_value());
    }
    EXPECT_TRUE(box.takeLinkEnd()); // the restart drops the link
    EXPECT_FALSE(box.takeLinkEnd());
    EXPECT_EQ(box.requests(Cmd::Restart), 1);
    EXPECT_EQ(box.repliesSent(), 0);
}

TEST_F(BoxModelTest, ShortAndEmptyRequestsAreTolerated)
{
    const std::uint8_t shortFrame[6] = {0, 0, 0, 0, 0x06, 0x10}; // status poll, code cut to 16 bits
    auto rep = box.handle(shortFrame, sizeof shortFrame);
    ASSERT_TRUE(rep);
    EXPECT_EQ(FrameView(rep->data(), rep->size()).code(), Cmd::Status);
    rep = box.handle(nullptr, 0);
    ASSERT_TRUE(rep);
    EXPECT_EQ(rep->size(), kTcpFrameSize);
}

TEST_F(BoxModelTest, IdentifyCarriesTheConfiguredIdentity)
{
    struct Case {
        const char* name;
        void (*set)(BoxIdentity&);
        std::size_t offset;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {"board kind", [](BoxIdentity& i) { i.boardKind = 0x02; }, 14, 0x02},
        {"key", [](BoxIdentity& i) { i.key = 7; }, 15, 7},
        {"user mask", [](BoxIdentity& i) { i.userMask = 0; }, 37, 0},
        {"main board error", [](BoxIdentity& i) { i.mainBoardError = true; }, 34, 0x08},
        {"version",
            [](BoxIdentity& i) {
                i.firmwareVersion = {4, 1, 9};
            },
            9, 1},
        {"mcu high byte", [](BoxIdentity& i) { i.controllerFirmware = 0x016C28; }, 11, 0x01},
        {"mcu low byte", [](BoxIdentity& i) { i.controllerFirmware = 0x016C28; }, 13, 0x28},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BoxIdentity id;
        c.set(id);
        box.identity = id;
        EXPECT_EQ(send(Req(Cmd::Identify)).u8(c.offset), c.expected);
    }

    box.identity = BoxIdentity{};
    box.identity.frameWidth01 = 1280;
    box.identity.frameHeight01 = 800;
    box.identity.frameWidth23 = 3840;
    box.identity.frameHeight23 = 2160;
    Reply r = send(Req(Cmd::Identify));
    EXPECT_EQ(r.u8(8), 3);
    EXPECT_EQ((r.u8(11) << 16) | (r.u8(12) << 8) | r.u8(13), 93224);
    EXPECT_EQ(r.u8(14), 0x84);
    EXPECT_EQ(r.u8(34), 0);
    EXPECT_EQ(r.u16(16), 1280);
    EXPECT_EQ(r.u16(18), 800);
    EXPECT_EQ(r.u16(20), 3840);
    EXPECT_EQ(r.u16(22), 2160);
    EXPECT_EQ(query("S00MDNR000").value(), 800);
    box.identity.model = 116;
    EXPECT_EQ(query("S00MDNR000").text(), "S00MDN+116");
}

TEST_F(BoxModelTest, StatusReportsSignalsAndMasks)
{
    Reply r = send(Req(Cmd::Status));
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(r.bytes.data()) + 8, 3), "001"); // window 0 has a signal
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.bytes.data()) + 12, 3), "015"); // four outputs
    EXPECT_EQ(r.u32(16), 1920u);
    EXPECT_EQ(r.u32(20), 1080u);
    EXPECT_EQ(r.u32(24), 0u);

    box.inputSignals.input[2] = {1280, 720};
    box.inputSignals.pipSource[3] = {720, 576};
    box.inputSignals.outputMask = 0x83;
    r = send(Req(Cmd::Status));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.bytes.data()) + 8, 3), "005");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.bytes.data()) + 12, 3), "131");
    EXPECT_EQ(r.u32(16 + 16), 1280u);
    EXPECT_EQ(r.u32(20 + 16), 720u);
    EXPECT_EQ(r.u32(48 + 24), 720u);
    EXPECT_EQ(r.u32(52 + 24), 576u);
    EXPECT_EQ(r.u8(83), 0x02);
    EXPECT_EQ(r.u8(80), 0x00);

    // Presence flags set apart from the sizes: a size without a source, a source without a size.
    box.inputSignals.pipPresentMask = 0b0001;
    r = send(Req(Cmd::Status));
    EXPECT_EQ(r.u8(80), 0x02);
    EXPECT_EQ(r.u8(83), 0x00);
    EXPECT_EQ(r.u32(48 + 24), 720u) << "the size is still reported";
}

TEST_F(BoxModelTest, WindowSettingsRecordHasTheDefaults)
{
    Reply r = send(Req(Cmd::ReadWindowSettings));
    for (int w = 0; w < 4; ++w) {
        SCOPED_TRACE(w);
        const std::size_t b = 8 + 80 * std::size_t(w);
        EXPECT_EQ(r.u8(b + 30), 50); // BRI
        EXPECT_EQ(r.u8(b + 31), 75); // CON
        EXPECT_EQ(r.u8(b + 32), 5); // XHA step
        EXPECT_EQ(r.u8(b + 16), 0); // HZM 0-based
        EXPECT_EQ(r.u16(b + 20), 1800); // OLE 0
        EXPECT_EQ(r.u16(b + 46), 1920); // H1W
        EXPECT_EQ(r.u16(b + 56), 1080); // VGV
    }
    EXPECT_EQ(r.u8(15), 0); // current window
    EXPECT_EQ(r.u8(8 + 240 + 5), 0x01); // capability byte from the identity, live
    box.identity.windowCaps[3] = 0x80;
    EXPECT_EQ(send(Req(Cmd::ReadWindowSettings)).u8(8 + 240 + 5), 0x80);
}

// A written setting is what the next window-settings read and the next query report.
TEST_F(BoxModelTest, SettingWrittenIsReadBackByRecordAndQuery)
{
    struct Case {
        const char* write;
        const char* query;
        std::size_t recordOffset;
        int width; // 1 or 2 bytes
        int recordValue;
        int queryValue;
    };
    const Case cases[] = {
        {"s00BRI+060", "S00BRIR000", 30, 1, 60, 60},
        {"s00CON+011", "S00CONR000", 31, 1, 11, 11},
        {"s00XHA+070", "S00XHAR000", 32, 1, 7, 70},
        {"s00INP+003", "S00INPR000", 0, 1, 3, 3},
        {"s00OPM+012", "S00OPMR000", 6, 1, 12, 12},
        {"s00HZM+003", "S00HZMR000", 16, 1, 3, 3},
        {"s00OLE-120", "S00OLER000", 20, 2, 1680, -120},
        {"s00OBE9500", "S00OBER000", 26, 2, 300, -1500},
        {"s00ORI+005", "S00ORIR000", 28, 1, 5, 5},
        {"s00CLR+003", "S00CLRR000", 35, 1, 3, 3},
        {"s00BGN+042", "S00BGNR000", 38, 1, 42, 42},
        {"s00H1W1925", "S00H1WR000", 46, 2, 1925, 1925},
        {"s00VGV+900", "S00VGVR000", 56, 2, 900, 900},
        {"s00VGE+005", "S00VGER000", 58, 1, 5, 5},
    };
    selectWindow(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.write);
        write(c.write);
        Reply r = send(Req(Cmd::ReadWindowSettings));
        const std::size_t off = 8 + 80 * 2 + c.recordOffset;
        EXPECT_EQ(c.width == 1 ? r.u8(off) : r.u16(off), c.recordValue);
        EXPECT_EQ(r.u8(15), 2);
        Reply q = query(c.query);
        EXPECT_EQ(q.code(), Cmd::SettingQuery);
        if (c.queryValue < 2000) {
            EXPECT_EQ(q.value(), c.queryValue);
        }
        EXPECT_EQ(q.text().substr(0, 6), std::string(c.query).substr(0, 6));
    }
    // The other windows kept their values.
    EXPECT_EQ(send(Req(Cmd::ReadWindowSettings)).u8(8 + 30), 50);
}

TEST_F(BoxModelTest, AlternativeWriteCodeAppliesLikeTheNormalOne)
{
    write("s00BRI+033", Cmd::SettingAlt);
    EXPECT_EQ(query("S00BRIR000").value(), 33);
}

TEST_F(BoxModelTest, QueryRepliesKeepTheTwelveCharacterLayout)
{
    Reply q = query("S00BRIR000");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(q.bytes.data()) + 8, 12), "S00BRI+050\r\n");
    q = query("S00ZZZR000"); // unknown names answer 0
    EXPECT_EQ(q.text(), "S00ZZZ+000");
}

TEST_F(BoxModelTest, EdidIsSharedByWindowPairsWithoutPerWindowInputs)
{
    box.identity.boardKind = 0x02; // four windows, inputs shared by pairs
    selectWindow(1);
    write("s00H1E+016");
    write("s00DPW2560");
    Reply r = send(Req(Cmd::ReadWindowSettings));
    EXPECT_EQ(r.u8(8 + 40), 16);
    EXPECT_EQ(r.u16(8 + 50), 2560);
    EXPECT_EQ(r.u8(8 + 80 + 40), 16);
    EXPECT_EQ(r.u8(8 + 160 + 40), 0);
}

TEST_F(BoxModelTest, PipDeepColourHdcpAndMaskAssignmentQueries)
{
    selectWindow(3);
    write("s00PIO+002");
    write("s00PIZ+045");
    write("s00PBO9200");
    write("s00PLO+123");
    write("s00DCM+001");
    write("s00HDO+002");
    EXPECT_EQ(query("S00PIOR000").value(), 2);
    EXPECT_EQ(query("S00PIZR000").value(), 45);
    EXPECT_EQ(query("S00PBOR000").value(), -1200);
    EXPECT_EQ(query("S00PLOR000").value(), 123);
    EXPECT_EQ(query("S00DCMR000").value(), 1);
    EXPECT_EQ(query("S00HDOR000").value(), 2);
    // Model 800 pairs its outputs: window 2 follows window 3.
    selectWindow(2);
    EXPECT_EQ(query("S00DCMR000").value(), 1);
    EXPECT_EQ(query("S00PIOR000").value(), 0);
    // A parameterised DMI query assigns the slot and echoes it.
    EXPECT_EQ(query("S00DMI+007").value(), 7);
    EXPECT_EQ(query("S00DMIR000").value(), 7);
    EXPECT_EQ(box.window(2).maskAssignment, 7);
}

TEST_F(BoxModelTest, DescribeGivesCodeAndSettingText)
{
    Req r(Cmd::Setting);
    r.text("s00BRI+060");
    EXPECT_EQ(BoxModel::describe(r.bytes), "0x1002 s00BRI+060");
    EXPECT_EQ(BoxModel::describe(Req(Cmd::Status).bytes), "0x1006");
    EXPECT_EQ(BoxModel::describe(Req(Cmd::Restart).bytes), "0x12345678");
}

TEST_F(BoxModelTest, CountersAndLog)
{
    send(Req(Cmd::Status));
    send(Req(Cmd::Status));
    write("s00BRI+060");
    EXPECT_EQ(box.requests(Cmd::Status), 2);
    EXPECT_EQ(box.requests(Cmd::Setting), 1);
    EXPECT_EQ(box.requests(Cmd::Identify), 0);
    EXPECT_EQ(box.totalRequests(), 3);
    ASSERT_EQ(box.received().size(), 3u);
    EXPECT_EQ(FrameView(const_cast<std::uint8_t*>(box.received()[2].data()), 512).code(), Cmd::Setting);
    EXPECT_EQ(box.settingsReceived(), std::vector<std::string>{"s00BRI+060"});
    box.clearCounters();
    EXPECT_EQ(box.totalRequests(), 0);
    EXPECT_TRUE(box.received().empty());
}

TEST_F(BoxModelTest, ScriptedFailures)
{
    box.wrongCodeFor = Cmd::Status;
    box.wrongCode = 0x1001;
    EXPECT_EQ(send(Req(Cmd::Status)).code(), 0x1001u);
    EXPECT_EQ(send(Req(Cmd::Identify)).code(), Cmd::Identify);
    box.wrongCodeFor.reset();

    int hooked = 0;
    box.replyHook = [&](std::uint32_t code, Bytes& reply) {
        ++hooked;
        if (code == Cmd::ReadBlend)
            return false;
        reply[100] = 0xAB;
        return true;
    };
    EXPECT_EQ(send(Req(Cmd::Status)).u8(100), 0xAB);
    Req blend(Cmd::ReadBlend);
    EXPECT_FALSE(box.handle(blend.bytes.data(), blend.bytes.size()));
    EXPECT_EQ(hooked, 2);
    box.replyHook = nullptr;

    box.clearCounters();
    box.silentAfter = 2;
    send(Req(Cmd::Status));
    send(Req(Cmd::Status));
    Req third(Cmd::Status);
    EXPECT_FALSE(box.handle(third.bytes.data(), third.bytes.size()));
    EXPECT_EQ(box.requests(Cmd::Status), 3); // still counted
    EXPECT_EQ(box.repliesSent(), 2);

    box.silentAfter = -1;
    box.silent = true;
    Req select = Req(Cmd::Setting).text("s00VKY+062");
    EXPECT_FALSE(box.handle(select.bytes.data(), select.bytes.size()));
    EXPECT_EQ(box.settings().currentWindow, 2) << "a silent box still takes the request in";
    box.silent = false;
    EXPECT_TRUE(box.handle(third.bytes.data(), third.bytes.size()));
}

TEST_F(BoxModelTest, NetworkSettingsWrittenAreReadBack)
{
    Reply r = send(Req(Cmd::ReadNetwork));
    EXPECT_EQ(r.u8(24), 0); // static
    EXPECT_EQ(r.u8(24 + 13), 192);
    EXPECT_EQ(r.u8(24 + 16), 100);

    Req set(Cmd::WriteNetwork);
    set.u8(8, 0);
    const std::uint8_t addr[12] = {10, 0, 0, 7, 255, 255, 0, 0, 10, 0, 0, 1};
    set.view().copyIn(9, addr, 12);
    send(set);
    r = send(Req(Cmd::ReadNetwork));
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(r.u8(24 + 13 + i), addr[i]); // static
        EXPECT_EQ(r.u8(24 + 1 + i), addr[i]); // in use
    }

    // With DHCP the address bytes of the frame are left-overs and must be ignored.
    Req dhcp(Cmd::WriteNetwork);
    dhcp.u8(8, 1).u8(9, 99);
    send(dhcp);
    r = send(Req(Cmd::ReadNetwork));
    EXPECT_EQ(r.u8(24), 1);
    EXPECT_EQ(r.u8(24 + 13), 10); // static address kept
}

TEST_F(BoxModelTest, WarpCommandsAreReadBackByTheTables)
{
    selectWindow(1);
    write("s0095I+007"); // row 0, column 7
    EXPECT_EQ(query("S0095X+012").value(), 12);
    EXPECT_EQ(query("S0095Y-004").value(), -4);
    EXPECT_EQ(query("S0095X+900").value(), 600); // the box keeps offsets within -600..600
    Reply a = send(Req(Cmd::ReadWarpA));
    EXPECT_EQ(a.i16(8 + 180 + 7 * 4), 600);
    EXPECT_EQ(a.i16(8 + 180 + 7 * 4 + 2), -4);

    selectWindow(3);
    write("s0095I+044");
    query("S0095Y+033");
    EXPECT_EQ(send(Req(Cmd::ReadWarpB)).i16(8 + 180 + 44 * 4 + 2), 33);

    write("s00WPM+016");
    write("s0095I+004"); // top middle of the wall
    write("s00WLX-020");
    write("s0095I+026"); // right middle
    write("s00WLY+015");
    write("s00BRB-007"); // y of the bottom-right corner
    write("s00TRA+009", Cmd::SettingAlt); // x of the top-right corner
    Reply c = send(Req(Cmd::ReadWarpC));
    EXPECT_EQ(c.u8(8 + 3), 16);
    const std::size_t wall = 16 + 32 * 3;
    EXPECT_EQ(c.i16(wall + 1 * 4), -20); // top middle x
    EXPECT_EQ(c.i16(wall + 6 * 4), -20); // bottom middle x follows
    EXPECT_EQ(c.i16(wall + 4 * 4 + 2), 15); // right middle y
    EXPECT_EQ(c.i16(wall + 3 * 4 + 2), 15); // left middle y follows
    const std::size_t corners = 144 + 16 * 3;
    EXPECT_EQ(c.i16(corners + 3 * 4 + 2), -7);
    EXPECT_EQ(c.i16(corners + 1 * 4), 9);
    EXPECT_EQ(query("S00WPMR000").value(), 16);
}

TEST_F(BoxModelTest, BulkBlocksFillTheSelectedWindow)
{
    selectWindow(2);
    Req b1(Cmd::BulkWarpBlock);
    b1.u8(8, 1).u8(9, 3);
    for (std::size_t i = 0; i < 90; ++i)
        b1.u16(12 + 2 * i, std::uint16_t(std::int16_t(i) - 45));
    send(b1);
    Req b2(Cmd::BulkWarpBlock);
    b2.u8(8, 2).u8(9, 3).u16(12, std::uint16_t(-5)).u16(50 + 30, 77);
    send(b2);
    Req b3(Cmd::BulkWarpBlock);
    b3.u8(8, 3).u8(9, 180).u16(12, std::uint16_t(-300)).u8(50 + 26, 9).u16(80 + 14, 55).u16(120, 66);
    send(b3);

    Reply b = send(Req(Cmd::ReadWarpB));
    EXPECT_EQ(b.i16(8), -45);
    EXPECT_EQ(b.i16(8 + 178), 44);
    Reply c = send(Req(Cmd::ReadWarpC));
    EXPECT_EQ(c.u8(8 + 2), 3);
    EXPECT_EQ(c.i16(144 + 32), -5);
    EXPECT_EQ(c.i16(16 + 64 + 30), 77);
    Reply bl = send(Req(Cmd::ReadBlend));
    const std::size_t rec = 8 + 94 * 2;
    EXPECT_EQ(bl.u8(rec + 25), 180);
    EXPECT_EQ(bl.i16(rec + 54), -300);
    EXPECT_EQ(bl.u8(rec + 52), 9);
    EXPECT_EQ(bl.i16(384 + 32 + 14), 55);
    EXPECT_EQ(bl.i16(448 + 32), 66);
}

// Chunks carry no window: they collect until an apply names one. A chunk that would reach past
// the table's 132 columns is dropped whole.
TEST_F(BoxModelTest, UserMapChunksGoToTheWindowThatAppliesThem)
{
    auto chunk = [&](std::uint32_t code, int first, int columns, std::uint16_t word) {
        Req r(code);
        r.u8(8, std::uint8_t(first)).u8(9, std::uint8_t(columns));
        for (std::size_t i = 0; 32 + 2 * i + 1 < kTcpFrameSize; ++i)
            r.u16(32 + 2 * i, word);
        send(r);
    };
    auto word = [](const std::vector<std::uint8_t>& t, std::size_t column, std::size_t row) {
        const std::size_t at = column * kUserMapColumnBytes + 2 * row;
        return t[at] | t[at + 1] << 8;
    };
    EXPECT_FALSE(box.userMapTables(1).has_value());
    int applied = -1;
    box.onUserMapApplied = [&](int w) { applied = w; };
    chunk(Cmd::UserMapSourceX, 0, 3, 0x1111);
    chunk(Cmd::UserMapSourceX, 129, 3, 0x2222);
    chunk(Cmd::UserMapSourceY, 3, 3, 0x3333);
    chunk(Cmd::UserMapSourceX, 130, 3, 0x4444); // columns 130..132: past the end
    chunk(Cmd::UserMapSourceY, 0, 255, 0x5555); // more than a frame holds
    EXPECT_FALSE(box.userMapTables(1).has_value()) << "nothing before the apply";
    send(Req(Cmd::UserMapApply).u8(8, 1));
    EXPECT_EQ(applied, 1);
    ASSERT_TRUE(box.userMapTables(1).has_value());
    const UserMapTables& t = *box.userMapTables(1);
    EXPECT_EQ(word(t.x, 0, 0), 0x1111);
    EXPECT_EQ(word(t.x, 2, 77), 0x1111);
    EXPECT_EQ(word(t.x, 3, 0), 0);
    EXPECT_EQ(word(t.x, 129, 0), 0x2222);
    EXPECT_EQ(word(t.x, 131, 77), 0x2222);
    EXPECT_EQ(word(t.y, 3, 0), 0x3333);
    EXPECT_EQ(word(t.y, 0, 0), 0);
    EXPECT_FALSE(box.userMapTables(0).has_value());
}

TEST_F(BoxModelTest, BlendSettingsAreReadBackByTheBlendBlock)
{
    selectWindow(1);
    write("s00LEB+050");
    write("s00BEB1080");
    write("s00EFT-100");
    write("s00EBG+250");
    write("s00GGB+077");
    write("s00EBL+225");
    write("s00EGR+010");
    write("s00EOB+090");
    write("s0095I+022"); // centre region: black-level slot 0
    write("s00BCB+012");
    write("s0095I+044"); // bottom right: corner 7, region slot 8
    write("s00EOY-900");
    write("s00EMX+321");
    write("s00BCR+200");

    Reply r = send(Req(Cmd::ReadBlend));
    const std::size_t rec = 8 + 94;
    EXPECT_EQ(r.u16(rec + 0), 50);
    EXPECT_EQ(r.u16(rec + 6), 1080);
    EXPECT_EQ(r.i16(rec + 12), -100);
    EXPECT_EQ(r.u16(rec + 18), 250);
    EXPECT_EQ(r.u8(rec + 24), 77);
    EXPECT_EQ(r.u8(rec + 25), 225);
    EXPECT_EQ(r.u8(rec + 86), 10);
    EXPECT_EQ(r.u8(rec + 91), 90);
    EXPECT_EQ(r.u8(rec + 26 + 2), 12); // slot 0, blue
    EXPECT_EQ(r.u8(rec + 26 + 24), 200); // slot 8, red
    EXPECT_EQ(r.i16(rec + 54 + 7 * 4 + 2), -900);
    EXPECT_EQ(r.i16(384 + 16 + 7 * 2), 321);
    EXPECT_EQ(query("S00EOYR000").value(), -900);
    // Window 0 kept its defaults.
    EXPECT_EQ(r.u16(8 + 16), 220);
    EXPECT_EQ(r.u8(8 + 86), 50);
}

TEST_F(BoxModelTest, MaskStoredIsReadBackAndDeleted)
{
    // A 1000-byte mono stream in three chunks, as the tool uploads it.
    Bytes stream(1000);
    for (std::size_t i = 0; i < stream.size(); ++i)
        stream[i] = std::uint8_t(i * 7);
    const std::uint8_t magic[4] = {0xFF, 'M', 'E', 'X'};
    std::copy_n(magic, 4, stream.begin());
    stream[4] = 1000 & 0xFF;
    stream[5] = 1000 >> 8;
    stream[6] = stream[7] = 0;
    for (std::uint32_t pos = 0; pos < stream.size(); pos += 480) {
        Req up(Cmd::MaskUploadMono);
        up.u8(8, 1).u32(12, pos).u32(16, 1000);
        up.view().copyIn(20, stream.data() + pos, std::min<std::size_t>(480, stream.size() - pos));
        send(up);
    }
    send(Req(Cmd::MaskStore).u8(8, 1).u8(12, 2)); // slot 3

    Reply h = send(Req(Cmd::MaskReadHeader).u8(8, 0).u8(12, 2));
    EXPECT_EQ(h.u8(10), 'E');
    EXPECT_EQ(h.u8(11), 'X');
    EXPECT_EQ(h.u32(12), 1000u);
    Bytes back;
    for (std::uint32_t pos = 32; pos < 1000 + 256; pos += 256) {
        Reply c = send(Req(Cmd::MaskReadChunk).u8(8, 0).u32(12, pos));
        back.insert(back.end(), c.bytes.begin() + 8, c.bytes.begin() + 8 + 256);
    }
    back.resize(1000 - 32);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), stream.begin() + 32));
    EXPECT_EQ(send(Req(Cmd::MaskReadHeader).u8(12, 3)).u8(10), 0); // other slots empty

    send(Req(Cmd::MaskDelete).u8(8, 1).u8(12, 2));
    EXPECT_EQ(send(Req(Cmd::MaskReadHeader).u8(12, 2)).u32(8), 0u);
}

TEST_F(BoxModelTest, ColourMaskGoesToTheColourSlot)
{
    Bytes stream(800 + 4 * 4, 3);
    const std::uint8_t magic[4] = {0xFF, 'C', 'E', 'X'};
    std::copy_n(magic, 4, stream.begin());
    Req up(Cmd::MaskUploadColour);
    up.u8(8, 0).u32(12, 0).u32(16, std::uint32_t(stream.size()));
    up.view().copyIn(20, stream.data(), 480);
    send(up);
    Req up2(Cmd::MaskUploadColour);
    up2.u8(8, 0).u32(12, 480).u32(16, std::uint32_t(stream.size()));
    up2.view().copyIn(20, stream.data() + 480, stream.size() - 480);
    send(up2);
    send(Req(Cmd::MaskStore).u8(12, 9));
    Reply h = send(Req(Cmd::MaskReadColourHeader).u8(12, 9));
    EXPECT_EQ(h.u8(9), 'C');
    EXPECT_EQ(h.u8(11), 'X');
    Reply c = send(Req(Cmd::MaskReadColourChunk).u32(12, 800 - 8));
    EXPECT_EQ(c.u8(8), 3);
    EXPECT_EQ(c.u8(8 + 23), 3);
    EXPECT_EQ(c.u8(8 + 24), 0); // past the stored stream
    EXPECT_EQ(box.maskSlot(9).size(), stream.size());
}

TEST_F(BoxModelTest, HostileMaskUploadStaysInsideTheSlot)
{
    Req up(Cmd::MaskUploadMono);
    up.u8(8, 200).u32(12, 0xFFFFFF00u).u32(16, 0xFFFFFFFFu);
    send(up);
    send(Req(Cmd::MaskStore).u8(8, 200).u8(12, 0));
    EXPECT_LE(box.maskSlot(0).size(), kMonoSlotLimit);
    send(Req(Cmd::MaskStore).u8(12, 250)); // no such slot
    send(Req(Cmd::MaskReadChunk).u32(12, 0xFFFFFFFFu));
}

TEST_F(BoxModelTest, PointOffsetsSavedToAMapAreLoadedBack)
{
    // Chunks 0..2 of window 2, then one point changed on its own.
    Bytes offsets(kPointOffsetsSize);
    for (std::size_t i = 0; i < offsets.size(); ++i)
        offsets[i] = std::uint8_t(i % 251);
    for (std::uint8_t chunk = 0; chunk < 3; ++chunk) {
        Req r(Cmd::PointModeChunk);
        r.u8(8, 2).u8(9, chunk);
        r.view().copyIn(32, offsets.data() + 408 * chunk, chunk < 2 ? 408 : 340);
        send(r);
    }
    Req point(Cmd::PointModePoint);
    point.u8(8, 2).u8(10, 16).u8(11, 16).u8(12, 1).u32(16, std::uint32_t(-600)).u32(20, 600);
    send(point);
    FrameView(offsets.data(), offsets.size()).put16(16 * 68 + 16 * 4, std::uint16_t(-600));
    FrameView(offsets.data(), offsets.size()).put16(16 * 68 + 16 * 4 + 2, 600);
    selectWindow(2);
    write("s00TLB+031");

    Reply saved = send(Req(Cmd::SaveWarpMap).u8(8, 2).u8(9, 9).u8(12, 6));
    EXPECT_EQ(saved.u8(9), 9); // the tool selects user map slot + 6 from this byte

    EXPECT_EQ(send(Req(Cmd::QueryWarpMap).u8(8, 2).u8(9, 4)).u8(8), 0);
    EXPECT_EQ(send(Req(Cmd::QueryWarpMap).u8(8, 1).u8(9, 9)).u8(8), 0); // maps are per window
    EXPECT_EQ(send(Req(Cmd::QueryWarpMap).u8(8, 2).u8(9, 9)).u8(8), 1);
    Bytes back;
    for (std::uint8_t block = 0; block < 5; ++block) {
        Reply r = send(Req(Cmd::ReadWarpMapBlock).u8(8, 2).u8(12, block));
        back.insert(back.end(), r.bytes.begin() + 16, r.bytes.begin() + 16 + (block < 4 ? 256 : 132));
        if (block == 4) {
            EXPECT_EQ(r.i16(272 + 2), 31);
        }
    }
    EXPECT_EQ(back, offsets);

    // Selecting the map as user map 10 puts it back into the window.
    box.window(2).pointOffsets.fill(0);
    write("s00WPM+015");
    EXPECT_EQ(box.window(2).pointOffsets[0], offsets[0]);
    EXPECT_EQ(box.window(2).controlPattern, 15);
    send(Req(Cmd::PointModeEnter).u8(8, 2));
    EXPECT_EQ(send(Req(Cmd::ReadWarpC)).u8(10), 100);
}

TEST_F(BoxModelTest, ProfilesSaveAndLoadTheWholeState)
{
    selectWindow(1);
    write("s00BRI+011");
    write("s00LEB+300");
    write("s0095I+000");
    query("S0095X+040");
    write("s00PFV+003");
    write("s00BRI+099");
    write("s00LEB+000");
    query("S0095X-040");
    write("s00PFA+003");
    EXPECT_EQ(query("S00BRIR000").value(), 11);
    EXPECT_EQ(send(Req(Cmd::ReadBlend)).u16(8 + 94), 300);
    EXPECT_EQ(send(Req(Cmd::ReadWarpA)).i16(8 + 180), 40);
    // A profile never saved changes nothing.
    write("s00PFA+001");
    EXPECT_EQ(query("S00BRIR000").value(), 11);
}

TEST_F(BoxModelTest, ResetsRestoreDefaults)
{
    selectWindow(0);
    write("s00BRI+011");
    selectWindow(1);
    write("s00BRI+012");
    write("s00RXT+002"); // the current window only
    EXPECT_EQ(query("S00BRIR000").value(), 50);
    selectWindow(0);
    EXPECT_EQ(query("S00BRIR000").value(), 11);

    write("s00CON+001");
    write("s00TLA+001", Cmd::SettingAlt);
    write("s00RXT+001"); // every window
    EXPECT_EQ(query("S00BRIR000").value(), 50);
    EXPECT_EQ(query("S00CONR000").value(), 75);
    EXPECT_EQ(send(Req(Cmd::ReadWarpC)).i16(144), 0);

    write("s00PFV+000");
    send(Req(Cmd::MaskUploadMono).u32(16, 64));
    send(Req(Cmd::MaskStore).u8(12, 0));
    write("s00VKY+250"); // factory reset
    EXPECT_TRUE(box.takeLinkEnd());
    EXPECT_FALSE(box.profile(0).has_value());
    EXPECT_TRUE(box.maskSlot(0).empty());
}

TEST_F(BoxModelTest, RegisterBankReadsBackWhatWasWritten)
{
    // Select bank 2 through register 0, then write register 0x12.
    send(Req(Cmd::RegisterWrite).u8(8, 1).u8(9, 1).u8(32, 0).u8(33, 2));
    send(Req(Cmd::RegisterWrite).u8(8, 1).u8(9, 1).u8(32, 0x12).u8(33, 0xBC));
    Req read(Cmd::RegisterRead);
    read.u8(8, 1).u8(9, 128).u8(10, 2);
    for (std::uint8_t a = 0; a < 128; ++a)
        read.u8(32 + 2 * a, a);
    Reply r = send(read);
    EXPECT_EQ(r.u8(9), 128);
    EXPECT_EQ(r.u8(32), 0);
    EXPECT_EQ(r.u8(33), 2); // register 0 shows the bank
    EXPECT_EQ(r.u8(32 + 2 * 0x12), 0x12);
    EXPECT_EQ(r.u8(33 + 2 * 0x12), 0xBC);
    EXPECT_EQ(r.u8(33 + 2 * 0x13), 0);
    EXPECT_EQ(r.u8(33 + 2 * 127), 0);

    // Another bank, another window: untouched.
    Reply other = send(Req(Cmd::RegisterRead).u8(8, 1).u8(9, 1).u8(10, 3).u8(32, 0x12));
    EXPECT_EQ(other.u8(33), 0);
    other = send(Req(Cmd::RegisterRead).u8(8, 0).u8(9, 1).u8(10, 2).u8(32, 0x12));
    EXPECT_EQ(other.u8(33), 0);
    // An oversized count is cut to what fits in a frame.
    EXPECT_LE(send(Req(Cmd::RegisterRead).u8(9, 255)).u8(9), 240);
}

TEST_F(BoxModelTest, FirmwareChecksumsCoverTheDownloadedImage)
{
    struct Proc {
        std::uint32_t start, data, end;
    };
    Bytes image(300);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = std::uint8_t(0xF0 + i);
        sum += image[i];
    }
    for (const Proc p : {Proc{0x11, 0x12, 0x13}, Proc{0x15, 0x16, 0x17}}) {
        SCOPED_TRACE(p.start);
        send(Req(p.start).u32(8, 300));
        for (std::uint32_t pos = 0; pos < 300; pos += 256) {
            Req d(p.data);
            d.u32(8, pos);
            d.view().copyIn(12, image.data() + pos, std::min<std::size_t>(256, 300 - pos));
            send(d);
        }
        EXPECT_EQ(send(Req(p.end).u32(8, 300)).u16(8), std::uint16_t(sum));
    }
    EXPECT_EQ(box.firmwareImage(), image);

    box.identity.boardMask = 5;
    box.boardQueryEmptyReplies = 2;
    EXPECT_EQ(send(Req(Cmd::FwLargeBoardQuery)).u8(8), 0);
    EXPECT_EQ(send(Req(Cmd::FwLargeBoardQuery)).u8(8), 0);
    EXPECT_EQ(send(Req(Cmd::FwLargeBoardQuery)).u8(8), 5);
    send(Req(Cmd::FwLargeStart).u32(8, 300));
    for (std::uint32_t pos = 0; pos < 300; pos += 256) {
        Req d(Cmd::FwLargeData);
        d.u32(8, pos);
        d.view().copyIn(12, image.data() + pos, std::min<std::size_t>(256, 300 - pos));
        send(d);
    }
    Reply end = send(Req(Cmd::FwLargeEnd).u32(8, 300));
    EXPECT_EQ(end.u32(8), sum);
    EXPECT_EQ(end.u32(12), 0u);
    EXPECT_EQ(end.u32(16), sum);
    EXPECT_EQ(end.u32(20), 0u);

    box.corruptFirmwareChecksum = true;
    EXPECT_NE(send(Req(Cmd::FwShortEnd)).u16(8), std::uint16_t(sum));
}

// The bytes the tool reads from each data reply of a fresh box (defaults: 4 PIP windows, model
// 800, user masks, window 0 with a 1920 x 1080 signal).
TEST_F(BoxModelTest, ReplyLayoutsOfAFreshBox)
{
    struct Case {
        const char* what;
        std::uint32_t code;
        std::size_t offset;
        int width; // 1, 2 or 4 bytes, little-endian
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"identify: version", Cmd::Identify, 8, 1, 3},
        {"identify: board kind", Cmd::Identify, 14, 1, 0x84},
        {"identify: user masks", Cmd::Identify, 37, 1, 0x5B},
        {"identify: frame width 2/3", Cmd::Identify, 20, 2, 1920},
        {"status: input mask", Cmd::Status, 8, 4, 0x00313030}, // "001" and a zero byte
        {"status: window 0 height", Cmd::Status, 20, 4, 1080},
        {"status: no PIP source", Cmd::Status, 80, 4, 0},
        {"window settings: current window", Cmd::ReadWindowSettings, 15, 1, 0},
        {"window settings: window 3 contrast", Cmd::ReadWindowSettings, 8 + 240 + 31, 1, 75},
        {"window settings: window 1 overscan top", Cmd::ReadWindowSettings, 8 + 80 + 24, 2, 1800},
        {"window settings: window 2 caps", Cmd::ReadWindowSettings, 8 + 160 + 5, 1, 0x01},
        {"network: static flag", Cmd::ReadNetwork, 24, 1, 0},
        {"network: gateway in use", Cmd::ReadNetwork, 24 + 9, 4, 0x0100A8C0},
        {"warp A: window 1 last point", Cmd::ReadWarpA, 8 + 356, 4, 0},
        {"warp C: patterns", Cmd::ReadWarpC, 8, 4, 0},
        {"blend: window 3 transition red", Cmd::ReadBlend, 8 + 282 + 16, 2, 220},
        {"blend: window 0 colour offset blue", Cmd::ReadBlend, 8 + 91, 1, 50},
        {"blend: last mask corner y", Cmd::ReadBlend, 510, 2, 0},
        {"mask header: empty slot", Cmd::MaskReadHeader, 8, 4, 0},
        {"colour header: empty slot", Cmd::MaskReadColourHeader, 10, 2, 0},
        {"map query: empty", Cmd::QueryWarpMap, 8, 1, 0},
        {"board query: four boards", Cmd::FwLargeBoardQuery, 8, 1, 0x0F},
        {"firmware end: empty image", Cmd::FwShortEnd, 8, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reply r = send(Req(c.code));
        EXPECT_EQ(r.code(), c.code);
        const std::uint32_t got = c.width == 1 ? r.u8(c.offset)
            : c.width == 2                     ? r.u16(c.offset)
                                               : r.u32(c.offset);
        EXPECT_EQ(got, c.expected);
    }
}
