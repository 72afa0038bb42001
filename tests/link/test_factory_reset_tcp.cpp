// Factory reset and reboot over a real TCP link to the simulated box.

#include "FakeHid.h"
#include "LinkTestSupport.h"

#include "box/BoxCommands.h"
#include "box/Connection.h"
#include "sim/BoxModel.h"
#include "sim/BoxServer.h"
#include "support/Controls.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace trivel::test {
namespace {

class TcpBoxCommands : public TcpLinkFixture {
protected:
    void SetUp() override
    {
        TcpLinkFixture::SetUp();
        connectAndSettle();
    }
};

TEST_F(TcpBoxCommands, FactoryResetEndsDisconnectedWithoutTheNeutralState)
{
    const int before = box.totalRequests();
    const Operation<void> reset = FactoryReset(ls.s);
    ASSERT_TRUE(waitUntil([&] { return !ls.s.connected(); }));
    EXPECT_FALSE(ls.s.busy());
    EXPECT_FALSE(ls.s.FactoryResetPending);
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
    ASSERT_TRUE(waitUntil([&] { return !server.hasClient(); }));
    EXPECT_EQ(box.totalRequests(), before + 1)
        << "only the reset itself: no blend-marker, pattern or cursor request";
}

TEST_F(TcpBoxCommands, RebootClosesTheTcpLink)
{
    const Operation<void> reboot = Reboot(ls.s);
    ASSERT_TRUE(settle(ls.clock, [&] { return !ls.s.connected(); }));
    EXPECT_EQ(ls.ui.caption(ctl::BtnCnt2), "Connect");
}

} // namespace
} // namespace trivel::test
