// The Ethernet config of the System page: the 0x1003 frame of "Update" and its failures.

#include "link/Clock.h"
#include "box/Box.h"
#include "session/Session.h"
#include "session/Session.h"
#include "settings/SystemLogic.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::test;

namespace {

struct NetworkSession {
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    sim::BoxModel box;
    FakeBoxTransport link{box};

    NetworkSession()
    {
        link.delivery = Delivery::Synchronous;
        link.attach(s);
    }
};

std::array<QString, 3> Texts(const char* a, const char* m, const char* g)
{
    return {QString::fromLatin1(a), QString::fromLatin1(m), QString::fromLatin1(g)};
}

} // namespace

TEST(NetworkUpdate, StaticAddressGoesIntoTheFrameAndTheBoxTakesIt)
{
    NetworkSession n;
    // The dotted form ShowNetworkSettings writes ("%d.%d.%d.%d.") reads back as well.
    EXPECT_TRUE(Button15Click(n.s, false, Texts("10.1.2.3.", "255.255.0.0", "10.1.0.254")));
    ASSERT_EQ(n.link.sent.size(), 1u);
    const auto& f = n.link.sent.front();
    EXPECT_EQ(f[4] | f[5] << 8, 0x1003);
    EXPECT_EQ(f[8], 0);
    const std::vector<std::uint8_t> octets(f.begin() + 9, f.begin() + 21);
    EXPECT_EQ(octets, (std::vector<std::uint8_t>{10, 1, 2, 3, 255, 255, 0, 0, 10, 1, 0, 254}));
    EXPECT_EQ(n.box.network().bytes[13], 10);
    // Over TCP the link is closed after 200 ms, the box may have moved.
    ASSERT_FALSE(n.clock.waits().empty());
    EXPECT_EQ(n.clock.waits().back().ms, 200);
}

TEST(NetworkUpdate, DhcpWritesOnlyItsFlag)
{
    NetworkSession n;
    // Whatever the buffer held stays: only the code and byte 8 are written.
    n.s.RequestBuffer.fill(0x5A);
    EXPECT_TRUE(Button15Click(n.s, true, Texts("", "", "")));
    ASSERT_EQ(n.link.sent.size(), 1u);
    const auto& f = n.link.sent.front();
    EXPECT_EQ(f[4] | f[5] << 8, 0x1003);
    EXPECT_EQ(f[8], 1);
    EXPECT_EQ(f[9], 0x5A);
    EXPECT_TRUE(n.ui.messages.empty());
}

TEST(NetworkUpdate, AnAddressPartThatIsNoNumberSendsNothing)
{
    const std::array<QString, 3> cases[] = {
        Texts("192.168.x.1", "255.255.255.0", "192.168.0.1"),
        Texts("192.168.0.100", "", "192.168.0.1"),
        Texts("192.168.0.100", "255.255.255.0", "192.168.0"),
    };
    for (const auto& c : cases) {
        NetworkSession n;
        EXPECT_FALSE(Button15Click(n.s, false, c));
        EXPECT_TRUE(n.link.sent.empty());
        ASSERT_EQ(n.ui.messages.size(), 1u);
        EXPECT_TRUE(n.ui.messages[0].text.endsWith(QLatin1String("is not a valid integer value")));
    }
}
