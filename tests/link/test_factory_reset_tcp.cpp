// Factory reset and reboot over a real TCP link to the simulated box.

#include "FakeHid.h"
#include "LinkTestSupport.h"

#include "link/BoxCommands.h"
#include "link/Connection.h"
#include "sim/BoxModel.h"
#include "sim/BoxServer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace trivel::test {
namespace {

class TcpBoxCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        conn = std::make_unique<Connection>(ls.s, std::make_unique<FakeHidBackend>(hid), lockDir.path());
        conn->startUp();
        ls.ui.setChecked("RBUSB", false);
        ls.ui.setChecked("RBTCP", true);
        conn->RBTCPClick();
        ls.ui.setCaption("ConnectAddressBox", "127.0.0.1");
        conn->setTcpPort(server.port());
        conn->BtnCnt2Click();
        ASSERT_TRUE(ls.s.connected());
        ASSERT_TRUE(waitUntil([&] { return ls.s.PendingOp == 0; }));
    }

    LinkSession ls;
    sim::BoxModel box;
    sim::BoxServer server{box};
    std::shared_ptr<FakeHidState> hid = std::make_shared<FakeHidState>(box);
    QTemporaryDir lockDir;
    std::unique_ptr<Connection> conn;
};

TEST_F(TcpBoxCommands, FactoryResetEndsDisconnectedWithoutTheNeutralState)
{
    const int before = box.totalRequests();
    FRstBtnClick(ls.s);
    ASSERT_TRUE(waitUntil([&] { return !ls.s.connected(); }));
    EXPECT_EQ(ls.s.PendingOp, 0);
    EXPECT_FALSE(ls.s.FactoryResetPending);
    EXPECT_EQ(ls.ui.caption("BtnCnt2"), "Connect");
    ASSERT_TRUE(waitUntil([&] { return !server.hasClient(); }));
    EXPECT_EQ(box.totalRequests(), before + 1)
        << "only the reset itself: no blend-marker, pattern or cursor request";
}

TEST_F(TcpBoxCommands, RebootClosesTheTcpLink)
{
    BtnRebootClick(ls.s);
    EXPECT_FALSE(ls.s.connected());
    EXPECT_EQ(ls.ui.caption("BtnCnt2"), "Connect");
}

} // namespace
} // namespace trivel::test
