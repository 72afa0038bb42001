// Asking only for the box's identity (trivelctl identify) leaves the box as it was: the Identify and
// model requests go out, nothing that selects or reads a window, and no neutral state at the end.

#include "LinkTestSupport.h"

#include <QSignalSpy>

namespace trivel::test {
namespace {

using IdentifyOnly = TcpLinkFixture;

TEST_F(IdentifyOnly, AsksForIdentityAndModelAndLeavesTheBoxAsItWas)
{
    // What the installer left on the box: window 2 current, a pattern, a shown cursor, a marker.
    box.settings().currentWindow = 2;
    for (int w = 0; w < 4; ++w) {
        box.window(w).patternColour = std::uint8_t(3 + w);
        box.window(w).controlCursor = std::uint8_t(10 + w);
        box.window(w).controlCursorShown = 1;
        box.window(w).blendMarker = 1;
    }
    const sim::BoxSettings before = box.settings();
    box.clearCounters();

    ls.s.IdentifyOnly = true;
    QSignalSpy finished(&ls.s.events, &SessionEvents::readbackFinished);
    conn->BtnCnt2Click();
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
    EXPECT_FALSE(ls.s.busy());
    EXPECT_EQ(ls.s.BoardModel, 800);
    EXPECT_EQ(ls.s.ChannelCount, 4);
    EXPECT_FALSE(ls.ui.waitWindowOpen());
    conn->DisconnectWithoutNeutralState();
    EXPECT_FALSE(ls.s.connected());
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    ASSERT_TRUE(waitUntil([&] { return !server.hasClient(); }));

    std::vector<std::string> requests;
    for (const auto& f : box.received())
        requests.push_back(sim::BoxModel::describe(f));
    EXPECT_EQ(requests, (std::vector<std::string>{"0x0001", "0x100c S00MDNR000"}));
    const sim::BoxSettings& after = box.settings();
    EXPECT_EQ(after.currentWindow, 2);
    for (std::size_t w = 0; w < 4; ++w) {
        const sim::WindowState& a = after.windows[w];
        const sim::WindowState& b = before.windows[w];
        EXPECT_EQ(a.record, b.record) << w;
        EXPECT_EQ(a.patternColour, b.patternColour) << w;
        EXPECT_EQ(a.controlCursor, b.controlCursor) << w;
        EXPECT_EQ(a.controlCursorShown, b.controlCursorShown) << w;
        EXPECT_EQ(a.blendMarker, b.blendMarker) << w;
    }
    EXPECT_TRUE(ls.ui.messages.empty());
}

TEST_F(IdentifyOnly, ARejectedBoxIsToldWithoutTheModelQuery)
{
    box.identity.controllerFirmware = 93223;
    box.clearCounters();
    ls.s.IdentifyOnly = true;
    QSignalSpy rejected(&ls.s.events, &SessionEvents::boxRejected);
    conn->BtnCnt2Click();
    ASSERT_TRUE(waitUntil([&] { return rejected.count() > 0 && ls.s.flag(Flag::Rejected); }));
    conn->DisconnectWithoutNeutralState();
    ASSERT_TRUE(waitUntil([&] { return !server.hasClient(); }));
    EXPECT_EQ(box.totalRequests(), 1);
}

} // namespace
} // namespace trivel::test
