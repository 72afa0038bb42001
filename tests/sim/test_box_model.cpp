#include "link/SettingCodec.h"
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
}
