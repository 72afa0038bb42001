#include "link/Clock.h"
#include "box/Box.h"
#include "session/Session.h"
#include "settings/SettingsState.h"
#include "support/Controls.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trivel::test {
namespace {

class SettingsCache : public ::testing::Test {
protected:
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    FrameBuffer buffer{};
    SettingsCache() { ui.watch(s.events); }
    FrameView frame = FrameView::ofBuffer(buffer);
};

TEST(WindowSettingsLayout, ThirtyThreeArraysInFileOrder)
{
    WindowSettingsRecord ws;
    std::vector<std::string> names;
    std::size_t bytes = 0;
    ws.forEachField([&](const char* name, const auto& a) {
        names.push_back(name);
        bytes += sizeof a;
    });
    ASSERT_EQ(names.size(), 33u);
    EXPECT_EQ(bytes, kWindowSettingsBytes);
    const std::vector<std::string> some{names[0], names[6], names[10], names[20], names[25], names[32]};
    EXPECT_EQ(some, (std::vector<std::string>{"INP", "OLE", "ORI", "WindowCaps", "H1W", "VGV"}));
}

TEST_F(SettingsCache, ResetGivesInitialValuesAndKeepsPipAndOutputSettings)
{
    s.settings().WindowSettings.BRI[2] = 7;
    s.settings().WindowSettings.H2V[3] = 720;
    s.settings().PipSettings[1].bytes[0] = 2;
    s.settings().DCM[3] = 1;
    s.settings().HDO[0] = 2;
    BlendRecord& b = s.settings().BlendSettings[2];
    b.setEdgeWidth(1, 300);
    b.setTransitionGamma(0, 220);
    b.colourGain(2) = 9;
    s.settings().LastPointCode[2] = 4;
    s.settings().Network.bytes[0] = 1;

    ResetWindowSettings(s);

    const WindowSettingsRecord& ws = s.settings().WindowSettings;
    EXPECT_EQ(ws.BRI[2], 50);
    EXPECT_EQ(ws.CON[0], 75);
    EXPECT_EQ(ws.XHA[1], 5);
    EXPECT_EQ(ws.HZM[3], 1);
    EXPECT_EQ(ws.RGN[0], 100);
    EXPECT_EQ(ws.CLR[0], 1);
    EXPECT_EQ(ws.H2V[3], 1080);
    EXPECT_EQ(ws.DPW[0], 1920);
    EXPECT_EQ(ws.OLE[0], 0);
    EXPECT_EQ(s.settings().PipSettings[1].bytes[0], 2) << "PIP records survive a reset";
    EXPECT_EQ(s.settings().DCM[3], 1);
    EXPECT_EQ(s.settings().HDO[0], 2);
    EXPECT_EQ(b.edgeWidth(1), 300) << "blend widths keep their values";
    EXPECT_EQ(b.transitionGamma(0), 50);
    EXPECT_EQ(b.colourGain(2), 50);
    EXPECT_EQ(b.gammaOffset(), 50);
    EXPECT_EQ(s.settings().LastPointCode[2], 0xFE);
    EXPECT_EQ(s.settings().BlendMarker[2], 1);
    EXPECT_FALSE(s.settings().Network.dhcp());
    EXPECT_EQ(s.settings().Network.addressText(0, false), "192.168.0.100.");
    EXPECT_EQ(s.settings().Network.addressText(2, false), "192.168.0.1.");
    EXPECT_EQ(ui.refreshPagesCount, 1);
}

TEST_F(SettingsCache, DecodeWindowBlockTransformsFields)
{
    // All-zero record: zoom byte 0 is HZM 1, overscan bytes 0 are -1800.
    frame.put8(8 + 80 * 2 + 5, 0x80);
    frame.put8(8 + 80 * 3 + 6, 14);
    frame.put8(8 + 80 * 1 + 19, 4);
    frame.put16(8 + 80 * 1 + 26, 3600);
    frame.put8(8 + 80 * 0 + 35, 3);
    frame.put8(8 + 80 * 0 + 38, 99);
    DecodeWindowBlock(s, frame);
    const WindowSettingsRecord& ws = s.settings().WindowSettings;
    EXPECT_EQ(ws.HZM[0], 1);
    EXPECT_EQ(ws.OLE[0], -1800);
    EXPECT_EQ(ws.WindowCaps[2], 0x80);
    EXPECT_EQ(ws.OPM[3], 14);
    EXPECT_EQ(ws.VPN[1], 5);
    EXPECT_EQ(ws.OBE[1], 1800);
    EXPECT_EQ(ws.CLR[0], 3);
    EXPECT_EQ(ws.BGN[0], 99);
}

struct EdidCase {
    bool pip;
    std::array<int, 4> h1w; // what each window ends up with
};

class EdidSharing : public SettingsCache, public ::testing::WithParamInterface<EdidCase> { };

TEST_P(EdidSharing, PerWindowOnlyOnPipBoxes)
{
    s.setFlag(Flag::PipCapable, GetParam().pip);
    for (int w = 0; w < 4; ++w) {
        frame.put16(8 + 80 * std::size_t(w) + 46, std::uint16_t(1000 + w));
        frame.put8(8 + 80 * std::size_t(w) + 58, std::uint8_t(w + 2));
    }
    DecodeWindowBlock(s, frame);
    for (int w = 0; w < 4; ++w) {
        EXPECT_EQ(s.settings().WindowSettings.H1W[w], GetParam().h1w[w]) << w;
        EXPECT_EQ(s.settings().WindowSettings.VGE[w], GetParam().h1w[w] - 1000 + 2) << w;
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, EdidSharing,
    ::testing::Values(EdidCase{true, {1000, 1001, 1002, 1003}}, EdidCase{false, {1000, 1000, 1002, 1002}}),
    [](const auto& info) { return std::string(info.param.pip ? "PipBox" : "PlainBox"); });

TEST_F(SettingsCache, CurrentWindowFollowsTheBoxWithinTheFourWindows)
{
    frame.put8(15, 2);
    DecodeWindowBlock(s, frame);
    EXPECT_EQ(s.CurrentWindow, 2);
    EXPECT_EQ(s.box->warp.state().WarpWindow, 2);
    frame.put8(15, 9); // no such window: kept
    DecodeWindowBlock(s, frame);
    EXPECT_EQ(s.CurrentWindow, 2);
}

class NetworkDisplay : public SettingsCache, public ::testing::WithParamInterface<bool> { };

TEST_P(NetworkDisplay, DhcpShowsAddressesInUseStaticShowsStoredOnes)
{
    const bool dhcp = GetParam();
    const std::uint8_t net[25] = {std::uint8_t(dhcp), 10, 1, 2, 3, 255, 255, 255, 0, 10, 1, 2, 254, 192, 168,
        7, 9, 255, 255, 0, 0, 192, 168, 7, 1};
    frame.copyIn(24, net, sizeof net);
    ShowNetworkSettings(s, frame);
    EXPECT_EQ(ui.isChecked(ctl::RBDHCP), dhcp);
    EXPECT_EQ(ui.isChecked(ctl::RBSTATICIP), !dhcp);
    const QStringList texts{
        ui.caption(ctl::NetworkEdits[0]), ui.caption(ctl::NetworkEdits[1]), ui.caption(ctl::NetworkEdits[2])};
    if (dhcp)
        EXPECT_EQ(texts, (QStringList{"10.1.2.3.", "255.255.255.0.", "10.1.2.254."}));
    else
        EXPECT_EQ(texts, (QStringList{"192.168.7.9.", "255.255.0.0.", "192.168.7.1."}));
    for (const Control& edit : ctl::NetworkEdits)
        EXPECT_EQ(ui.isEnabled(edit), !dhcp);
    EXPECT_EQ(s.settings().Network.bytes[24], 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, NetworkDisplay, ::testing::Bool(),
    [](const auto& info) { return std::string(info.param ? "Dhcp" : "Static"); });

TEST(BlendRecordLayout, AccessorsHitTheBoxOffsets)
{
    BlendRecord b;
    b.setEdgeWidth(3, 0x0102);
    b.setEdgeShift(0, -2);
    b.setTransitionGamma(2, 300);
    b.gammaGain(1) = 11;
    b.gammaOffset() = 22;
    b.blackLevel(8, 2) = 33;
    b.setCorner(7, -5, 6);
    b.colourGain(0) = 44;
    b.colourOffset(2) = 55;
    EXPECT_EQ(b.bytes[6], 0x02);
    EXPECT_EQ(b.bytes[7], 0x01);
    EXPECT_EQ(b.bytes[8], 0xFE);
    EXPECT_EQ(b.bytes[9], 0xFF);
    EXPECT_EQ(b.bytes[20] | b.bytes[21] << 8, 300);
    EXPECT_EQ(b.bytes[23], 11);
    EXPECT_EQ(b.bytes[25], 22);
    EXPECT_EQ(b.bytes[52], 33);
    EXPECT_EQ(b.bytes[82], 0xFB);
    EXPECT_EQ(b.bytes[84], 6);
    EXPECT_EQ(b.bytes[86], 44);
    EXPECT_EQ(b.bytes[91], 55);
    EXPECT_EQ(b.cornerX(7), -5);
    EXPECT_EQ(b.edgeShift(0), -2);
}

} // namespace
} // namespace trivel::test
